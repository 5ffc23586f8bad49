// Decoders without a length check of their own meet a short answer the way the
// control's character reads did: an invalid-argument error at the first missing byte,
// with the fields read before it keeping their new values.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

#include "qordtcon/payloads/fields.hpp"

namespace qordtcon {

inline void NeedAnswerBytes(const ByteReader& in, std::size_t count) {
  if (!in.Has(count)) {
    throw std::invalid_argument("Invalid argument: the answer ends at byte " +
                                std::to_string(in.Position() + in.Remaining()) +
                                ", a field needs " + std::to_string(count) + " more from byte " +
                                std::to_string(in.Position()));
  }
}

}  // namespace qordtcon
