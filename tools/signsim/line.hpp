// The output side of one link to the host, as a session sees it.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace signsim {

// Where a session's output goes. Output leaves in the order given; an entry with a
// delay waits that long first (and holds back what follows it).
class Line {
 public:
  virtual ~Line() = default;
  virtual void Send(std::string bytes, std::chrono::milliseconds delay) = 0;
  // The sign drops the connection once what was sent before has gone out.
  virtual void Drop() = 0;
  // Runs `callback` on the I/O thread after `delay`, in the place of the one scheduled
  // before; Cancel drops it unrun. The session cancels before it goes.
  virtual void Schedule(std::chrono::milliseconds delay, std::function<void()> callback) = 0;
  virtual void Cancel() = 0;
};

}  // namespace signsim
