// How a decoder without a length check of its own fails on a short answer: a field read
// beyond the end is an invalid argument, as reading a missing character was for the control.
#pragma once

#include "qordtcon/payloads/fields.hpp"

#include <stdexcept>
#include <string>
#include <string_view>

namespace qordtcon::detail {

// Runs `decode` over a reader of `data`. A field beyond the end fails with an invalid-argument
// error; the fields decoded before it keep their new values.
template <class Decode>
void DecodeUnchecked(std::string_view data, Decode decode) {
  ByteReader reader(data);
  try {
    decode(reader);
  } catch (const std::out_of_range&) {
    throw std::invalid_argument("Invalid argument: the answer ends at byte " +
                                std::to_string(data.size()) + ", before the field at byte " +
                                std::to_string(reader.Position()));
  }
}

}  // namespace qordtcon::detail
