// The sign behind a Hayes modem, on a pseudo-terminal. In command mode the modem reads
// lines ending in CR (echoing them while echo is on) and answers AT commands; a dial
// either connects, after which the bytes belong to a sign session, or reports the
// configured dial result. The call ends with ATH after the "+++" escape, when the host
// closes the port (its DTR drops), or when the sign drops the line.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "pty_port.hpp"

namespace signsim {

class ModemPort final : public PtyPort, public Line {
 public:
  ModemPort(asio::io_context& io, SharedSign& sign, std::string link,
            std::chrono::milliseconds guardTime);

  void Send(std::string bytes, std::chrono::milliseconds delay) override;
  void Drop() override;
  void Schedule(std::chrono::milliseconds delay, std::function<void()> callback) override {
    ScheduleTimer(delay, std::move(callback));
  }
  void Cancel() override { CancelTimer(); }

 private:
  enum class Mode { Command, Data, OnlineCommand };
  using Clock = std::chrono::steady_clock;

  void OnHostOpened() override;
  void OnHostClosed() override;
  void OnBytes(std::string_view bytes) override;

  // Consumes command bytes up to the end of the batch or the switch to data mode.
  std::size_t CommandBytes(std::string_view bytes);
  void DataBytes(std::string_view bytes);
  std::string Execute(std::string line);
  std::string Dial();
  void HangUp();
  void EscapeGuardPassed();

  const std::chrono::milliseconds guardTime_;
  asio::steady_timer escapeTimer_;
  Mode mode_ = Mode::Command;
  bool echo_ = true;
  std::string line_;
  std::optional<Session> session_;
  Clock::time_point lastData_;
  int pluses_ = 0;  // escape characters held back after a quiet guard time
};

}  // namespace signsim
