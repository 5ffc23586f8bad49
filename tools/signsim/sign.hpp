// The emulated sign's own state (clock, last text, names, block check mode) and the
// commands that read and change it, dispatched through one table keyed by (CMD, FNC):
// a further command is one more entry and a handler, the frame protocol is untouched.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

#include "signsim/simulator.hpp"

namespace signsim {

// Error codes the sign reports in the FNC of a 0xF1 reply.
inline constexpr std::uint8_t kCommandNotSupported = 0;
inline constexpr std::uint8_t kFunctionNotSupported = 1;
inline constexpr std::uint8_t kDataFormatError = 2;

// A command's outcome: success with the data a read returns, or an error code.
struct Reply {
  bool ok = true;
  std::uint8_t code = 0;
  std::string data;

  static Reply Ok(std::string data = {}) { return {true, 0, std::move(data)}; }
  static Reply Error(std::uint8_t code) { return {false, code, {}}; }
};

// The seven clock bytes: hour, min, sec, mday, mon, year (within the century), wday.
struct ClockFields {
  int hour = 0, min = 0, sec = 0, mday = 1, mon = 1, year = 0, wday = 0;
};

// The sign's wall clock. It runs: it keeps the distance to the machine's local time,
// and the weekday numbering the host used (modulo 7).
class SignClock {
 public:
  bool Set(const ClockFields& fields);  // false for a date or time that does not exist
  ClockFields Now() const;
  long long OffsetSeconds() const { return offset_; }

 private:
  long long offset_ = 0;
  int wdayShift_ = 0;
};

class Sign {
 public:
  // `counters` feeds the communication counters of the statistics record.
  Sign(const Options& options, const Counters& counters);

  Reply Execute(std::uint8_t cmd, std::uint8_t fnc, std::string_view data);
  nlohmann::json State() const;

 private:
  using Handler = Reply (Sign::*)(std::string_view data);
  static const std::map<std::pair<std::uint8_t, std::uint8_t>, Handler>& Commands();

  Reply SetClock(std::string_view data);
  Reply GetClock(std::string_view data);
  Reply GetSignType(std::string_view data);
  Reply GetVersion(std::string_view data);
  Reply GetStats(std::string_view data);
  Reply GetSerialNumber(std::string_view data);
  Reply SetSerialNumber(std::string_view data);
  Reply SetDisplayName(std::string_view data);
  Reply GetDisplayName(std::string_view data);
  Reply SetBccMode(std::string_view data);
  Reply SetTextMessage(std::string_view data);

  struct TextMessage {
    int row = 0, col = 0, mode = 0;
    std::string msg;
    std::string payload;
  };

  const Counters& counters_;
  std::uint8_t node_;
  std::string applName_;
  std::string serialNumber_;
  std::string displayName_;
  bool newBcc_ = false;
  SignClock clock_;
  bool textSet_ = false;
  TextMessage text_;
};

}  // namespace signsim
