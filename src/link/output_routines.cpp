#include "qordtcon/link/output_routines.hpp"

#include <algorithm>
#include <thread>

#include "qordtcon/link/log.hpp"
#include "qordtcon/link/settings.hpp"
#include "qordtcon/payloads/fields.hpp"
#include "qordtcon/protocol/frame.hpp"

namespace qordtcon {

namespace {

// A received frame never grows beyond this: a sign that streams without end gives an
// incomplete frame, not unbounded memory.
constexpr std::size_t kMaxFrame = 1 << 20;

// With a message pump installed, waits wake at least this often to run it.
constexpr auto kPumpSlice = std::chrono::milliseconds(10);

Clock::time_point After(std::int32_t milliseconds) {
  return Clock::now() + std::chrono::milliseconds(milliseconds);
}

}  // namespace

classrOutPutRoutines::classrOutPutRoutines(classrTransVars& vars) : vars_(vars) {
  MessageResponseTime = GetSettingLong("MessageResponseTime", "5000");
  ResponseLongestWait = GetSettingLong("ResponseLongestWait", "15000");
}

bool classrOutPutRoutines::IsNetwork() const {
  return conn_.HowToConnect == NetworkConnect;
}

// Any kind but a network one is a serial line, as it was when the connection opened.
bool classrOutPutRoutines::IsSerial() const {
  return !IsNetwork();
}

bool classrOutPutRoutines::Canceled() {
  if (!vars_.Cancel) return StopFlag && *StopFlag;
  ErrorMessage = "User Canceled";
  return true;
}

void classrOutPutRoutines::Pump() {
  if (vars_.MessagePump) vars_.MessagePump();
}

void classrOutPutRoutines::WaitStep(Clock::time_point until) {
  // Tested before blocking, not after: the one wake-up that an abort posts may already
  // have been used by an earlier wait.
  if (vars_.Cancel) return;
  if (vars_.MessagePump) until = std::min(until, Clock::now() + kPumpSlice);
  if (IsSerial() && vars_.SerialPort) {
    vars_.SerialPort->Wait(until);
  } else if (vars_.NetSocket) {
    vars_.NetSocket->Wait(until);
  } else {
    std::this_thread::sleep_until(until);
  }
}

void classrOutPutRoutines::WaitSocket(Clock::time_point until) {
  if (vars_.Cancel) return;
  if (vars_.MessagePump) until = std::min(until, Clock::now() + kPumpSlice);
  vars_.NetSocket->Wait(until);
}

void classrOutPutRoutines::Interrupt() {
  if (vars_.SerialPort) vars_.SerialPort->Interrupt();
  if (vars_.NetSocket) vars_.NetSocket->Interrupt();
}

void classrOutPutRoutines::Sleep(std::int32_t milliseconds) {
  const auto deadline = After(milliseconds);
  while (Clock::now() < deadline && !Stopped())
    WaitStep(deadline);
}

void classrOutPutRoutines::delay(double Seconds) {
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(Seconds));
  do {
    Pump();
    if (Clock::now() >= deadline || Stopped()) break;
    WaitStep(deadline);
  } while (true);
}

void classrOutPutRoutines::TransmitOutStr(std::string& Data) {
  try {
    Data = vars_.PendingOut + Data;
    vars_.PendingOut.clear();
    bool written = false;
    if (Data.empty()) {
      // Nothing reaches the wire; a pending acknowledge has just been folded in above.
    } else if (IsNetwork()) {
      TcpSocket& socket = *vars_.NetSocket;
      if (socket.State() != TcpSocket::kConnected) return;
      sendInProgress_ = true;
      sendComplete_ = false;
      socket.SendData(Data);
      // A socket that fails or an abort ends the wait too: the send will not complete.
      const auto deadline = After(MessageResponseTime);
      while (!sendComplete_ && socket.State() == TcpSocket::kConnected && !vars_.Cancel) {
        if (Clock::now() >= deadline) {
          // A sign that reads nothing leaves nothing to talk to: the next attempt reconnects.
          SendTimedOut("the sign is not reading; connection closed");
          socket.Close();
          vars_.Connected = false;
          break;
        }
        Pump();
        WaitStep(deadline);
      }
      written = sendComplete_;
      sendInProgress_ = false;
      sendComplete_ = false;
    } else if (IsSerial()) {
      SerialChannel& port = *vars_.SerialPort;
      written = true;
      for (std::size_t pos = 0; pos < Data.size(); pos += 100) {
        if (!vars_.Connected) {
          written = false;  // the rest is dropped
          break;
        }
        const std::string_view piece = std::string_view(Data).substr(pos, 100);
        if (conn_.HowToConnect != ModemConnect) port.OutputLen(static_cast<int>(piece.size()));
        port.Output(piece);
      }
      written = written && Drain(port);
    }
    if (written && LinkTransferMode != 2 && LogLevelOn(1)) {
      Log("Data Out:" + DumpFrame(Data), 1);
    }
  } catch (const std::exception& e) {
    Log(std::string("Error in transmitoutstr:") + e.what(), 2);
  }
}

void classrOutPutRoutines::SendAfterAbort(std::string Data) {
  // The waits here are the channels' own: the link's end at once while the abort stands.
  const auto deadline = After(100);
  Data = vars_.PendingOut + Data;
  vars_.PendingOut.clear();
  if (IsNetwork()) {
    TcpSocket& socket = *vars_.NetSocket;
    if (socket.State() != TcpSocket::kConnected) return;
    sendComplete_ = false;
    socket.SendData(Data);
    while (!sendComplete_ && socket.State() == TcpSocket::kConnected && Clock::now() < deadline)
      socket.Wait(deadline);
    sendComplete_ = false;
  } else {
    SerialChannel& port = *vars_.SerialPort;
    if (!port.IsOpen()) return;
    for (std::size_t pos = 0; pos < Data.size(); pos += 100) {
      const std::string_view piece = std::string_view(Data).substr(pos, 100);
      if (conn_.HowToConnect != ModemConnect) port.OutputLen(static_cast<int>(piece.size()));
      port.Output(piece);
    }
    while (port.OutCount() > 0 && Clock::now() < deadline)
      port.Wait(deadline);
    if (port.OutCount() > 0) port.ClearOutput();
  }
  if (LogLevelOn(1)) Log("Data Out:" + DumpFrame(Data), 1);
}

void classrOutPutRoutines::AwaitInput(std::size_t count, std::chrono::milliseconds most) {
  const auto deadline = Clock::now() + most;
  while (vars_.Connected && Clock::now() < deadline && !Stopped()) {
    std::size_t waiting = 0;
    if (IsSerial()) {
      SerialChannel& port = *vars_.SerialPort;
      if (!port.IsOpen()) return;
      waiting = static_cast<std::size_t>(port.InCount());
    } else {
      TcpSocket& socket = *vars_.NetSocket;
      socket.Poll();
      if (socket.State() != TcpSocket::kConnected) return;
      waiting = socket.BytesReceived();
    }
    if (waiting >= count) return;
    Pump();
    WaitStep(deadline);
  }
}

bool classrOutPutRoutines::Drain(SerialChannel& port) {
  const auto deadline = After(MessageResponseTime);
  while (port.OutCount() > 0) {
    if (vars_.Cancel || Clock::now() >= deadline) {
      // A frame cut short is noise the sign skips; one held back would follow the next.
      if (!vars_.Cancel) SendTimedOut("the line takes no data; output dropped");
      port.ClearOutput();
      return false;
    }
    Pump();
    WaitStep(deadline);
  }
  return true;
}

void classrOutPutRoutines::SendTimedOut(const std::string& what) {
  ErrorMessage =
      "Send Timed Out after " + DecimalText(MessageResponseTime / 1000.0) + " sec. - " + what;
  Log(ErrorMessage, 2);
}

bool classrOutPutRoutines::TraceReads() const {
  return LinkTransferMode != 2 && LogLevelOn(2);
}

void classrOutPutRoutines::DropStaleInput() {
  if (!vars_.Connected) return;
  std::string stale;
  try {
    if (IsSerial()) {
      SerialChannel& port = *vars_.SerialPort;
      if (!port.IsOpen() || port.InCount() == 0) return;
      port.InputLen(0);
      stale = port.Input();
    } else {
      TcpSocket& socket = *vars_.NetSocket;
      socket.Poll();
      if (socket.State() != TcpSocket::kConnected) return;
      stale = socket.GetData();
    }
  } catch (const std::exception& e) {
    Log(std::string("Error in inputstr:") + e.what(), 2);
  }
  if (!stale.empty()) Log("Stale Input Dropped: " + DumpFrame(stale), 2);
}

std::string classrOutPutRoutines::InputStr(std::int16_t Count) {
  return Input(Count, TraceReads());
}

std::string classrOutPutRoutines::InputWithin(std::int16_t Count, std::chrono::milliseconds most) {
  return Input(Count, TraceReads(), Clock::now() + most);
}

std::string classrOutPutRoutines::Input(std::int16_t Count, bool trace, Clock::time_point limit) {
  if (!vars_.Connected) return {};
  std::string result;
  try {
    if (IsSerial()) {
      result = InputSerial(Count, limit);
    } else {
      result = InputNetwork(Count, trace, limit);
    }
    if (Count != 1 && LogLevelOn(1)) Log("Data In: " + DumpFrame(result), 1);
  } catch (const std::exception& e) {
    Log(std::string("Error in inputstr:") + e.what(), 2);
  }
  return result;
}

std::string classrOutPutRoutines::InputSerial(std::int16_t count, Clock::time_point limit) {
  SerialChannel& port = *vars_.SerialPort;
  if (count <= 0) {
    port.InputLen(0);
    Pump();
    return port.IsOpen() ? port.Input() : std::string();
  }
  port.InputLen(count);
  // Fixed: serial reads do not slide.
  const auto deadline = std::min(After(MessageResponseTime), limit);
  while (Clock::now() < deadline) {
    Pump();
    if (!port.IsOpen()) return {};
    // Before any bytes are handed out: a line that never stops must not outlast an abort.
    if (Canceled()) return {};
    if (port.InCount() >= count) break;
    WaitStep(deadline);
  }
  if (!port.IsOpen()) return {};
  const int waiting = port.InCount();
  if (waiting == 0) return {};
  if (waiting < count) port.InputLen(waiting);
  return port.Input();
}

std::string classrOutPutRoutines::InputNetwork(std::int16_t count, bool trace,
                                               Clock::time_point limit) {
  TcpSocket& socket = *vars_.NetSocket;
  if (count <= 0) {
    Pump();
    socket.Poll();
    return socket.State() == TcpSocket::kConnected ? socket.GetData() : std::string();
  }
  auto deadline = std::min(After(MessageResponseTime), limit);
  if (trace) Log("Waiting for Input Data...", 2);
  const auto wanted = static_cast<std::size_t>(count);
  std::size_t previous = 0;
  while (Clock::now() <= deadline) {
    Pump();
    // Bytes already buffered are served without asking the socket for more.
    if (socket.BytesReceived() < wanted) socket.Poll();
    if (socket.State() != TcpSocket::kConnected) return {};
    // A user abort ends a network read as it ends a serial one, also while bytes keep
    // coming.
    if (Canceled()) return {};
    const std::size_t have = std::min(socket.BytesReceived(), wanted);
    if (have == wanted) break;
    WaitStep(deadline);
    Pump();
    if (have > 0 && trace) Log("*********** BUFFER SIZE IS " + std::to_string(have), 2);
    // The time-out slides while data keeps arriving.
    if (have != previous) {
      deadline = std::min(After(MessageResponseTime), limit);
      previous = have;
    }
  }
  std::string taken;
  if (socket.State() == TcpSocket::kConnected) taken = socket.GetData(wanted);
  if (trace) {
    Log("#### Data Received Size [" + std::to_string(taken.size()) + "] Data [" + taken + "] ####",
        2);
  }
  return taken;
}

std::string classrOutPutRoutines::ReadOne(bool trace, Clock::time_point limit) {
  return Input(1, trace, limit);
}

std::string classrOutPutRoutines::GetAck() {
  const bool trace = TraceReads();
  // An answer must come within one read time-out, however many other bytes come first.
  const auto deadline = After(MessageResponseTime);
  std::string first;
  std::string second;
  while (vars_.Connected && Clock::now() < deadline) {
    if (first.empty()) {
      first = ReadOne(trace, deadline);
      if (first.empty()) break;
    }
    second = ReadOne(trace, deadline);
    if (second.empty()) break;
    if (first[0] == DLE && second[0] == DLE) {  // a stuffed data byte, not an answer
      first.clear();
      second.clear();
    } else if (first[0] == DLE) {
      break;
    } else {
      first = second[0] == DLE ? second : std::string();
      second.clear();
    }
  }
  return first + second;
}

std::string classrOutPutRoutines::GetPacket(const std::string& Initial) {
  const bool trace = TraceReads();
  // A frame must start within one read time-out (other bytes are no progress) and be
  // whole within the longest wait for an answer, so that neither a stream of noise nor a
  // frame that never ends holds the caller.
  const auto frameTime = std::max(ResponseLongestWait, MessageResponseTime);
  auto limit = After(MessageResponseTime);
  std::string acc;
  bool inFrame = false;
  bool complete = false;
  const auto startFrame = [&] {
    acc = std::string{DLE, STX};  // bytes before the frame's start are dropped
    inFrame = true;
    limit = After(frameTime);
  };
  if (Initial == std::string{DLE, STX}) startFrame();
  while (!complete && vars_.Connected && acc.size() < kMaxFrame && Clock::now() < limit) {
    const std::string c = ReadOne(trace, limit);
    if (c.empty()) break;
    if (inFrame) acc += c;
    if (c[0] != DLE) continue;
    const std::string d = ReadOne(trace, limit);
    if (d.empty()) break;
    if (inFrame) acc += d;
    if (d[0] == ETX && inFrame) {
      const std::string bcc = ReadOne(trace, limit);
      if (bcc.empty()) break;
      acc += bcc;
      complete = true;
    } else if (d[0] == STX && !inFrame) {
      startFrame();
    }
  }
  if (LinkTransferMode != 2 && LogLevelOn(1)) Log("Data In: " + DumpFrame(acc), 1);
  if (!complete) acc.clear();
  return UnstuffFrame(acc);
}

void classrOutPutRoutines::SendAck() {
  if (bufferedAck_) {
    vars_.PendingOut = std::string{DLE, ACK};  // goes out in front of the next write
    return;
  }
  std::string ack{DLE, ACK};
  TransmitOutStr(ack);
}

void classrOutPutRoutines::SendNak() {
  ClearInputBuffer();
  std::string nak{DLE, NAK};
  TransmitOutStr(nak);
}

void classrOutPutRoutines::ClearInputBuffer() {
  Pump();
  InputStr(0);
  std::string nothing;
  TransmitOutStr(nothing);  // sends a held-back acknowledge
  Pump();
  InputStr(0);
}

}  // namespace qordtcon
