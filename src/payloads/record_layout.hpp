// Decoding of the sign's fixed-layout answers (sign type, statistics) from a table that
// gives each field its offset, its encoding and the member it fills. The sign may answer
// with a shorter record than we know (older firmware), so decoding runs in table order:
// a text takes whatever part of it the answer holds, and the first number that the answer
// does not reach, or that does not fit its member, ends the decoding.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <variant>

#include "qordtcon/payloads/fields.hpp"

namespace qordtcon::record {

enum class Encoding {
  kByte,         // one byte
  kSigned,       // 16-bit little-endian, two's complement
  kUnsigned,     // 16-bit little-endian, 0..65535
  kAbsSigned,    // 16-bit little-endian read as signed, then its absolute value
  kLong,         // 32-bit little-endian, two's complement
  kRawText,      // `length` bytes unchanged
  kTrimmedText,  // `length` bytes up to the first byte 0
};

template <class T>
struct Field {
  std::size_t offset;
  Encoding encoding;
  std::variant<std::int16_t T::*, std::int32_t T::*, std::string T::*> member;
  std::size_t length = 0;  // texts only
};

inline std::size_t NumberSize(Encoding e) {
  return e == Encoding::kByte ? 1 : e == Encoding::kLong ? 4 : 2;
}

inline std::int32_t ReadNumber(ByteReader& r, Encoding e) {
  switch (e) {
    case Encoding::kByte:
      return r.Byte();
    case Encoding::kUnsigned:
      return r.UnsignedWord();
    case Encoding::kAbsSigned:
      return std::abs(static_cast<std::int32_t>(r.SignedWord()));
    case Encoding::kLong:
      return r.Long();
    default:
      return r.SignedWord();
  }
}

// Decodes `fields` in order into `object`; False when a number stopped the decoding (the
// fields before it keep their new values, the rest their old ones).
template <class T, class Fields>
bool Decode(T& object, std::string_view answer, const Fields& fields) {
  for (const Field<T>& f : fields) {
    ByteReader r(answer.substr(std::min(f.offset, answer.size())));
    if (auto* text = std::get_if<std::string T::*>(&f.member)) {
      const std::string bytes = r.Text(std::min(f.length, r.Remaining()));
      object.*(*text) = f.encoding == Encoding::kTrimmedText ? TrimAtNul(bytes) : bytes;
      continue;
    }
    if (!r.Has(NumberSize(f.encoding))) return false;
    const std::int32_t value = ReadNumber(r, f.encoding);
    if (auto* integer = std::get_if<std::int16_t T::*>(&f.member)) {
      if (value > std::numeric_limits<std::int16_t>::max()) return false;  // overflow
      object.*(*integer) = static_cast<std::int16_t>(value);
    } else {
      object.*std::get<std::int32_t T::*>(f.member) = value;
    }
  }
  return true;
}

}  // namespace qordtcon::record
