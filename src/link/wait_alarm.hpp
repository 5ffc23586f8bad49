// Wakes a channel's wait at its deadline to the microsecond (the reactor's own time-out
// counts whole milliseconds), arming the timer only when the deadline changes.
#pragma once

#include <asio.hpp>

#include "qordtcon/link/channels.hpp"

namespace qordtcon {

// Runs handlers that are ready, a bounded number: a peer that never stops sending would
// otherwise keep the caller here, one completed read after the next.
inline void PollSome(asio::io_context& io) {
  for (int i = 0; i < 16 && io.poll_one() > 0; ++i) {
  }
}

class WaitAlarm {
 public:
  explicit WaitAlarm(asio::io_context& io) : io_(io), timer_(io) {}

  // Runs the context until one handler other than a cancelled alarm ran, or `until`.
  void Wait(Clock::time_point until) {
    if (until <= Clock::now()) {
      PollSome(io_);
      return;
    }
    if (!pending_ || at_ != until) {
      timer_.expires_at(until);  // a wait still pending ends as cancelled
      at_ = until;
      pending_ = true;
      timer_.async_wait([this](const std::error_code& ec) {
        if (ec == asio::error::operation_aborted) {
          cancelled_ = true;
        } else {
          pending_ = false;
        }
      });
    }
    // The completion of a cancelled alarm is no news: wait on for real news.
    do {
      cancelled_ = false;
      io_.run_one();
    } while (cancelled_);
  }

 private:
  asio::io_context& io_;
  asio::steady_timer timer_;
  Clock::time_point at_{};
  bool pending_ = false;
  bool cancelled_ = false;
};

}  // namespace qordtcon
