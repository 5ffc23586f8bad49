// What the fuzz targets share: the input read field by field, a check that stops the
// run on a broken promise (libFuzzer keeps the input as a crash), and the one failure a
// reply decoder is allowed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

// An abort, not an exception: an exception could be caught by the code under test.
#define FUZZ_REQUIRE(condition)                                                    \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                \
    }                                                                              \
  } while (false)

namespace fuzz {

// The input, consumed from the front. A field past the end reads as 0, so every input
// is a valid one and the fuzzer spends no time on lengths.
class Input {
 public:
  Input(const std::uint8_t* bytes, std::size_t size)
      : data_(reinterpret_cast<const char*>(bytes), size) {}

  std::uint8_t Byte() {
    if (pos_ >= data_.size()) return 0;
    return static_cast<std::uint8_t>(data_[pos_++]);
  }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
  // Up to `count` bytes.
  std::string Take(std::size_t count) {
    count = std::min(count, data_.size() - pos_);
    pos_ += count;
    return data_.substr(pos_ - count, count);
  }
  std::string Rest() { return Take(data_.size()); }
  bool Empty() const { return pos_ >= data_.size(); }

 private:
  std::string data_;
  std::size_t pos_ = 0;
};

// A decoder without a length check of its own fails on a short answer with
// std::invalid_argument by design; any other exception escapes and is a finding.
template <class Decode>
void ShortAnswerAllowed(Decode decode) {
  try {
    decode();
  } catch (const std::invalid_argument&) {
  }
}

}  // namespace fuzz
