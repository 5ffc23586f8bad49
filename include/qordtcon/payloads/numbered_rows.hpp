// The tables behind the indexed properties of the payload classes: rows numbered from a
// fixed first number, as the control's arrays were, where any other number is a subscript
// out of range.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>

namespace qordtcon::detail {

template <class Rows, std::int32_t First>
struct NumberedRows {
  Rows rows{};

  auto& at(std::int32_t number) { return rows[Index(number)]; }
  const auto& at(std::int32_t number) const { return rows[Index(number)]; }

 private:
  std::size_t Index(std::int32_t number) const {
    const auto count = static_cast<std::int32_t>(std::size(rows));
    if (number < First || number - First >= count) {
      throw std::out_of_range("Subscript out of range: entry " + std::to_string(number) +
                              (count == 0 ? std::string(" of a table not yet dimensioned")
                                          : " of a table numbered " + std::to_string(First) + ".." +
                                                std::to_string(First + count - 1)));
    }
    return static_cast<std::size_t>(number - First);
  }
};

}  // namespace qordtcon::detail
