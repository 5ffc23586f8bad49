// File-command payloads (CMD 2) as a host lays them out, for the file store's tests.
#pragma once

#include <cstdint>
#include <string>

// A block number, low byte first, then the block's data.
inline std::string Block(int n, const std::string& data) {
  return std::string{static_cast<char>(n & 0xFF), static_cast<char>(n >> 8 & 0xFF)} + data;
}

// A name padded with bytes 0 to its 13-byte field (a longer one is not cut).
inline std::string Named(std::string name) {
  if (name.size() < 13) name.resize(13, '\0');
  return name;
}

// A first record: block 1, the name, the size, and 13:05:09 on 4 December 2026.
inline std::string FirstRecord(const std::string& name, std::uint32_t size) {
  const char bytes[] = {static_cast<char>(size), static_cast<char>(size >> 8),
                        static_cast<char>(size >> 16), static_cast<char>(size >> 24)};
  return Block(1, Named(name)) + std::string(bytes, 4) + "\x0D\x05\x09\x0C\x04\x1A";
}
