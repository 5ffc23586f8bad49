// The output of one link to the host, in order. An entry may wait before it goes out
// (a sign that answers late holds back what follows) or be an action that runs once
// everything before it is out (a sign that drops the line).
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include <asio.hpp>

namespace signsim {

template <class Stream>
class OutQueue {
 public:
  explicit OutQueue(Stream& stream) : stream_(stream), timer_(stream.get_executor()) {}

  // Pending handlers keep the owner (which holds the stream and this queue) alive.
  void Bind(std::weak_ptr<void> owner) { owner_ = std::move(owner); }

  void Send(std::string bytes, std::chrono::milliseconds delay) {
    entries_.push_back({std::move(bytes), delay, {}});
    Pump();
  }

  void Then(std::function<void()> action) {
    entries_.push_back({{}, {}, std::move(action)});
    Pump();
  }

  // Forgets everything not yet written: the line is gone.
  void Clear() {
    entries_.clear();
    ++generation_;
    busy_ = false;
    timer_.cancel();
  }

 private:
  struct Entry {
    std::string bytes;
    std::chrono::milliseconds delay{0};
    std::function<void()> action;
  };

  // Runs a step of the queue once `busy_` is cleared, unless Clear came in between.
  template <class F>
  auto Resume(F step) {
    return [this, step = std::move(step), keep = owner_.lock(), gen = generation_](auto&&... args) {
      if (gen != generation_) return;
      busy_ = false;
      step(args...);
    };
  }

  void Pump() {
    if (busy_ || entries_.empty()) return;
    busy_ = true;
    Entry& entry = entries_.front();
    if (entry.delay.count() > 0) {
      timer_.expires_after(entry.delay);
      entry.delay = {};
      timer_.async_wait(Resume([this](const asio::error_code&) { Pump(); }));
      return;
    }
    if (entry.action) {
      // Posted, so that an action never runs inside the code that queued it.
      asio::post(timer_.get_executor(), Resume([this, action = std::move(entry.action)] {
                   action();
                   Pump();
                 }));
      entries_.pop_front();
      return;
    }
    auto bytes = std::make_shared<std::string>(std::move(entry.bytes));
    entries_.pop_front();
    asio::async_write(stream_, asio::buffer(*bytes),
                      Resume([this, bytes](const asio::error_code& ec, std::size_t) {
                        if (ec) {
                          entries_.clear();
                        } else {
                          Pump();
                        }
                      }));
  }

  Stream& stream_;
  asio::steady_timer timer_;
  std::weak_ptr<void> owner_;
  std::deque<Entry> entries_;
  bool busy_ = false;
  unsigned generation_ = 0;
};

}  // namespace signsim
