// Everything the connections of one emulated sign share: the sign's state and command
// table, its counters, the armed faults, the frames received and the dial result.
// Sessions run on the simulator's I/O thread, tests read from theirs: every member
// locks, and every change wakes WaitFor.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "face.hpp"
#include "faults.hpp"
#include "firmware.hpp"
#include "sign.hpp"
#include "signsim/simulator.hpp"

namespace signsim {

class SharedSign {
 public:
  explicit SharedSign(const Options& options);

  std::uint8_t Node() const { return node_; }
  Board GetBoard() const { return firmware_.board(); }

  void AddFault(const Fault& fault);
  void ClearFaults();
  bool FaultArmed(FaultKind kind) const;
  // Uses up one application of the oldest armed fault of this kind and counts it.
  std::optional<Fault> TakeFault(FaultKind kind, int cmd = -1, int fnc = -1, int value = -1);

  void Count(int Counters::*counter);
  Counters GetCounters() const;
  bool WaitFor(const std::function<bool(const Counters&)>& pred,
               std::chrono::milliseconds timeout) const;

  void RecordFrame(std::string frame);
  std::vector<std::string> ReceivedFrames() const;
  // A frame for this sign as it crossed the line, either way; the last 50 are kept.
  void RecordTraffic(bool fromHost, std::string bytes);
  std::vector<TrafficLine> RecentTraffic() const;

  // Every change counts one revision. Waits until the revision differs from `seen`, or the
  // timeout passes; returns the revision then.
  std::uint64_t WaitForChange(std::uint64_t seen, std::chrono::milliseconds timeout) const;
  // What the panel shows at `now`.
  Face GetFace(std::chrono::steady_clock::time_point now) const;

  // A connection's session begins and ends: what it was receiving is abandoned then.
  SessionId OpenSession();
  void CloseSession(SessionId session);

  // Runs a command from `session`; a success counts as executed and rewrites the state
  // dump.
  Reply Execute(std::uint8_t cmd, std::uint8_t fnc, std::string_view data, SessionId session);

  // The boot loader wrote `image` to flash: it becomes the firmware.
  void WriteFlash(std::string image);
  // A whole QX4 loader frame: the board's answer frame, or nothing.
  std::optional<std::string> LoaderFrame(std::string_view frame);

  void SetDialResult(std::string result);  // std::invalid_argument for an unknown result
  std::string DialResult() const;

  nlohmann::json State() const;

 private:
  nlohmann::json StateLocked() const;
  void DumpLocked() const;
  void Changed() {
    ++revision_;
    changed_.notify_all();
  }

  const std::uint8_t node_;
  const std::string dumpPath_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Counters counters_;
  Sign sign_;  // after counters_: it reads them for the statistics record
  Firmware firmware_;
  FaultSet faults_;
  std::deque<std::string> frames_;
  std::deque<TrafficLine> traffic_;
  std::uint64_t revision_ = 0;
  std::string dialResult_;
  SessionId lastSession_ = 0;
};

}  // namespace signsim
