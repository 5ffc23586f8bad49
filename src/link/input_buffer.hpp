// What a channel has received and not yet handed to the link: appended at the back, read
// from a moving front (so reading a frame byte by byte costs no copying of the rest), and
// bounded. A sign that streams without end cannot make the control grow: beyond the bound
// the oldest bytes make room for the newest, since a reply that ends a flood is worth
// more than the flood.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "qordtcon/link/log.hpp"

namespace qordtcon {

class InputBuffer {
 public:
  // The largest frame the link accepts (1 MiB) with room for what follows it.
  static constexpr std::size_t kCapacity = (std::size_t{1} << 20) + (std::size_t{64} << 10);

  // Appends `bytes`; the oldest bytes dropped to stay in bounds are logged and counted.
  void Append(std::string_view bytes) {
    const std::size_t lost = Add(bytes);
    if (lost == 0) return;
    dropped_ += lost;
    WriteLog("Input buffer full - dropped " + std::to_string(lost) + " bytes (" +
                 std::to_string(dropped_) + " in all)",
             2);
  }

  std::size_t Size() const { return data_.size() - front_; }
  // Bytes dropped for want of room since the buffer was made.
  std::uint64_t Dropped() const { return dropped_; }

  std::string Peek(std::size_t count) const { return data_.substr(front_, count); }

  std::string Take(std::size_t count) {
    std::string out = Peek(count);
    front_ += out.size();
    if (front_ == data_.size()) Clear();
    return out;
  }

  void Clear() {
    data_.clear();
    front_ = 0;
  }

 private:
  std::size_t Add(std::string_view bytes) {
    std::size_t dropped = 0;
    if (bytes.size() >= kCapacity) {
      dropped = Size() + bytes.size() - kCapacity;
      Clear();
      bytes = bytes.substr(bytes.size() - kCapacity);
    } else if (Size() + bytes.size() > kCapacity) {
      dropped = Size() + bytes.size() - kCapacity;
      front_ += dropped;
    }
    // Compact once the consumed front is the larger part, so each byte moves O(1) times.
    if (front_ > 0 && front_ >= data_.size() / 2) {
      data_.erase(0, front_);
      front_ = 0;
    }
    data_.append(bytes);
    return dropped;
  }

  std::string data_;
  std::size_t front_ = 0;
  std::uint64_t dropped_ = 0;
};

}  // namespace qordtcon
