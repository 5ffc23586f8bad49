// Play-order tables for tests: `count` entries numbered n = first, first + 1, ..., each
// named "F<n>.BMP" with delay 100 n, prefix n and suffix -2, so that every field shows.
#pragma once

#include <qordtcon/payloads/play_order.hpp>

#include <cstdint>
#include <string>

template <class Order>
Order Entries(int first, int count) {
  Order o;
  o.num_entries(static_cast<std::int16_t>(count));
  for (std::int16_t i = 1; i <= count; ++i) {
    const int n = first + i - 1;
    o.FileName(i, "F" + std::to_string(n) + ".BMP");
    o.delay(i, 100 * n);
    o.prefix(i, static_cast<std::int16_t>(n));
    o.suffix(i, -2);
  }
  return o;
}
