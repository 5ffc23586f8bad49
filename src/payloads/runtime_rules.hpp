// How the payload classes fail where the control's runtime failed: an entry number outside a
// table's bounds is a subscript out of range, and a field read beyond the end of an answer
// that the class takes without a length check is an invalid argument.
#pragma once

#include "qordtcon/payloads/fields.hpp"

#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qordtcon::runtime {

// Entry `index` of a table whose entries are numbered from `first`.
template <class Table>
auto& Entry(Table& table, std::int32_t index, std::int32_t first) {
  const auto count = static_cast<std::int32_t>(std::size(table));
  if (index < first || index - first >= count) {
    throw std::out_of_range("Subscript out of range: entry " + std::to_string(index) +
                            (count == 0 ? std::string(" of a table not yet dimensioned")
                                        : " of a table numbered " + std::to_string(first) + ".." +
                                              std::to_string(first + count - 1)));
  }
  return table[static_cast<std::size_t>(index - first)];
}

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

}  // namespace qordtcon::runtime
