// Ctrl-C (SIGINT) and SIGTERM while signctl talks to a sign: the first one runs a cancel
// action, which asks the control to stop (it is safe from another thread), so that the
// connection still closes cleanly; a second one ends the process at once. This file is
// the only place that knows about signals.
#pragma once

#include <functional>

namespace signctl {

// The exit status of a run that an interrupt ended, as shells report a SIGINT.
inline constexpr int kInterrupted = 130;

class InterruptGuard {
 public:
  // `cancel` runs on a thread of its own when the first interrupt arrives.
  explicit InterruptGuard(std::function<void()> cancel);
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  bool Interrupted() const;
};

}  // namespace signctl
