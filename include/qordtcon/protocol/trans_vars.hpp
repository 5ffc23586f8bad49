// The link state that one control shares among its engine, link layer and routines:
// where packets go, which transaction is current, and the flags that stop a running one.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "qordtcon/link/channels.hpp"

namespace qordtcon {

class classrTransVars {
 public:
  // Destination node written into DST (255 = all signs).
  std::uint8_t DestNode = 0;
  // Current transaction number: 0 at creation, then 1..10000, wrapping to 1.
  std::int16_t TransNum = 0;
  // A transaction is running.
  bool Transmitting = false;
  // The link to the sign is open.
  bool Connected = false;
  // The new block check (and STS 0xAA) is in force.
  bool NewBcc = false;
  // The user asked to abort; may be set from another thread or an event handler.
  std::atomic<bool> Cancel{false};
  // Bytes that must go out in front of the next write (a held-back acknowledge).
  std::string PendingOut;
  // Codes of the last reply: 0xF0 / 0 after an accepted one.
  std::uint8_t LastRespCmd = 0;
  std::uint8_t LastRespFnc = 0;
  // The channels to the sign: the serial port (direct and modem) and the TCP socket.
  std::shared_ptr<SerialChannel> SerialPort;
  std::shared_ptr<TcpSocket> NetSocket;
  // The host's message pump, run inside every wait when set (at most 10 ms apart).
  std::function<void()> MessagePump;
  // The host's receiver of this control's log lines (level, line), when set.
  std::function<void(std::int16_t level, const std::string& line)> LogSink;

  // Advances TransNum: 1..10000, then 1 again.
  void IncTransNum() {
    ++TransNum;
    if (TransNum > 10000) TransNum = 1;
  }
};

}  // namespace qordtcon
