#include "interrupt.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace signctl {

namespace {

// The handler only counts and writes one byte: the cancel itself runs on the watcher
// thread, where anything may be called.
std::atomic<int> interrupts{0};
int wakeFds[2] = {-1, -1};
std::thread watcher;
struct sigaction previousInt {};
struct sigaction previousTerm {};

void OnSignal(int) {
  if (interrupts.fetch_add(1) >= 1) _exit(kInterrupted);
  const char interrupt = 1;
  [[maybe_unused]] const auto n = ::write(wakeFds[1], &interrupt, 1);
}

}  // namespace

InterruptGuard::InterruptGuard(std::function<void()> cancel) {
  interrupts = 0;
  if (::pipe2(wakeFds, O_CLOEXEC) != 0) throw std::runtime_error("signctl: cannot make a pipe");
  watcher = std::thread([cancel = std::move(cancel)] {
    char what = 0;
    while (::read(wakeFds[0], &what, 1) == 1 && what == 1)
      cancel();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &previousInt);
  ::sigaction(SIGTERM, &action, &previousTerm);
}

InterruptGuard::~InterruptGuard() {
  ::sigaction(SIGINT, &previousInt, nullptr);
  ::sigaction(SIGTERM, &previousTerm, nullptr);
  const char stop = 0;
  [[maybe_unused]] const auto n = ::write(wakeFds[1], &stop, 1);
  watcher.join();
  ::close(wakeFds[0]);
  ::close(wakeFds[1]);
}

bool InterruptGuard::Interrupted() const {
  return interrupts > 0;
}

}  // namespace signctl
