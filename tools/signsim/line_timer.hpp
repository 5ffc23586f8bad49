// The one timer of a link to the host, for output the sign makes as time passes (a boot
// loader's prompts and progress marks). A callback runs on the I/O thread unless a newer
// Schedule or a Cancel came first; a pending one keeps the link's owner alive.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <utility>

#include <asio.hpp>

namespace signsim {

class LineTimer {
 public:
  explicit LineTimer(const asio::any_io_executor& executor) : timer_(executor) {}

  void Bind(std::weak_ptr<void> owner) { owner_ = std::move(owner); }

  void Schedule(std::chrono::milliseconds delay, std::function<void()> callback) {
    timer_.expires_after(delay);
    // A handler already queued when the timer was reset runs without an error: the
    // generation tells it apart.
    timer_.async_wait([this, keep = owner_.lock(), gen = ++generation_,
                       callback = std::move(callback)](const asio::error_code& ec) {
      if (!ec && gen == generation_) callback();
    });
  }

  void Cancel() {
    ++generation_;
    timer_.cancel();
  }

 private:
  asio::steady_timer timer_;
  std::weak_ptr<void> owner_;
  unsigned generation_ = 0;
};

}  // namespace signsim
