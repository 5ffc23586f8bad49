// The two channels through which the link layer reaches a sign: a serial port (direct
// lines and dial-up modems) and a TCP socket. The link layer only calls the operations
// below, so any serial facility offering them can stand in for the serial port (a host
// hands its own object to the control through DebugSax).
//
// Waiting: instead of polling, the link blocks in Wait() until the channel has news
// (bytes, a connect, a completed send, an error), the deadline passes, or another
// thread calls Interrupt() (a user abort).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qordtcon {

using Clock = std::chrono::steady_clock;

class SerialChannel {
 public:
  // Port kinds.
  static constexpr int kDirect = 0;
  static constexpr int kModem = 4;

  virtual ~SerialChannel() = default;

  // Settings used by the next Open().
  virtual void CommPort(const std::string& port) = 0;       // device path, e.g. /dev/ttyS0
  virtual void Settings(const std::string& settings) = 0;   // "9600,N,8,1"
  virtual void PhoneNumber(const std::string& number) = 0;  // dialled when a modem port opens
  virtual void PortKind(int kind) = 0;                      // kDirect or kModem
  virtual void Timeout(int milliseconds) = 0;

  // Opens the port; a modem port dials and is open only once the call is connected.
  virtual void Open() = 0;
  // Closes the port; a modem hangs up (a dial in progress ends as "Canceled").
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // A close is still in progress.
  virtual bool Busy() const = 0;
  // True while a dial that Open() started waits for the modem's answer. The link waits
  // until it is false (running the message pump, heeding a user abort), then asks IsOpen()
  // and DialStatus(). A port whose Open() dials to the end keeps the default.
  virtual bool Dialing() { return false; }
  // Result of the last Open(): the modem's answer ("CONNECT 9600", "BUSY", ...),
  // "Canceled" when a close ended the dial, why the port would not open, or empty.
  virtual std::string DialStatus() const = 0;

  // How many characters the next Input() returns at most (0 = all waiting).
  virtual void InputLen(int count) = 0;
  // Characters received and waiting.
  virtual int InCount() = 0;
  virtual std::string Input() = 0;
  // Length of the next Output() (direct lines set it before every piece).
  virtual void OutputLen(int count) = 0;
  virtual void Output(std::string_view data) = 0;
  // Characters handed to Output() that have not gone out yet. The link waits for them
  // with the read time-out as deadline, and drops them (ClearOutput) when the line takes
  // nothing. A port whose Output() returns once written keeps the defaults.
  virtual int OutCount() { return 0; }
  virtual void ClearOutput() {}
  // Received characters dropped because the input was full: what waits is bounded (a
  // little over 1 MiB) and beyond it the oldest characters go.
  virtual std::uint64_t DroppedBytes() const { return 0; }

  // A property set by its dispatch number: the control's modem preset sets 6, 11, 124
  // and 80 to 0 (False), 117 to 1, 126 to 0 and 65 to the read time-out in ms. The
  // built-in port never drives the handshake lines these switch off and keeps its own
  // dial time-out, so it accepts them without change; a port of the host's may use them.
  virtual void Preset(int /*dispatchId*/, std::int32_t /*value*/) {}

  // Blocks until news arrives, `until` passes, or Interrupt() is called.
  virtual void Wait(Clock::time_point until) = 0;
  // Ends a Wait() in progress; callable from any thread.
  virtual void Interrupt() = 0;
};

// The serial port of this machine, over the operating system's serial driver.
std::shared_ptr<SerialChannel> MakeSerialPort();

// A TCP connection with the socket states and events the link layer expects. Events
// are raised on the thread that runs Wait() or Poll(), never from a thread of its own.
class TcpSocket {
 public:
  // Socket states.
  static constexpr int kClosed = 0;
  static constexpr int kOpen = 1;
  static constexpr int kConnecting = 6;
  static constexpr int kConnected = 7;
  static constexpr int kClosing = 8;  // the peer closed its side
  static constexpr int kError = 9;

  TcpSocket();
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  std::string RemoteHost;
  std::int32_t RemotePort = 0;

  int State() const;
  // Starts connecting to RemoteHost:RemotePort (a name or an address).
  void Connect();
  void Close();
  // Queues the whole text; SendComplete follows once it has gone out.
  void SendData(std::string_view data);
  // Up to `count` received characters, left in the socket.
  std::string PeekData(std::size_t count) const;
  // Up to `count` received characters, removed.
  std::string GetData(std::size_t count = static_cast<std::size_t>(-1));
  // How many received characters are waiting. What waits is bounded (a little over
  // 1 MiB); beyond it the oldest characters are dropped, logged and counted here.
  std::size_t BytesReceived() const;
  std::uint64_t DroppedBytes() const;

  std::function<void()> OnConnect;
  std::function<void()> OnClose;
  std::function<void()> OnSendComplete;
  std::function<void(std::int32_t number, const std::string& description,
                     const std::string& source)>
      OnError;

  // Runs the socket until something happened, `until` passed, or Interrupt().
  void Wait(Clock::time_point until);
  // Runs what is ready without blocking.
  void Poll();
  // Ends a Wait() in progress; callable from any thread.
  void Interrupt();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qordtcon
