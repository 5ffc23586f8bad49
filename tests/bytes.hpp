// Byte strings from hex text, for tests that pin exact wire bytes.
#pragma once

#include <string>
#include <string_view>

inline std::string Bytes(std::string_view hex) {
  std::string out;
  int nibbles = 0;
  int value = 0;
  for (char c : hex) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else
      continue;
    value = value * 16 + d;
    if (++nibbles == 2) {
      out += static_cast<char>(value);
      nibbles = value = 0;
    }
  }
  return out;
}
