#include "qordtcon/link/output_routines.hpp"

#include <thread>

#include "qordtcon/link/log.hpp"
#include "qordtcon/link/settings.hpp"
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

bool classrOutPutRoutines::IsSerial() const {
  return conn_.HowToConnect == DirectConnect || conn_.HowToConnect == ModemConnect;
}

void classrOutPutRoutines::Pump() {
  if (vars_.MessagePump) vars_.MessagePump();
}

void classrOutPutRoutines::WaitStep(Clock::time_point until) {
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
  if (vars_.MessagePump) until = std::min(until, Clock::now() + kPumpSlice);
  vars_.NetSocket->Wait(until);
}

void classrOutPutRoutines::Interrupt() {
  if (vars_.SerialPort) vars_.SerialPort->Interrupt();
  if (vars_.NetSocket) vars_.NetSocket->Interrupt();
}

void classrOutPutRoutines::Sleep(std::int32_t milliseconds) {
  const auto deadline = After(milliseconds);
  while (Clock::now() < deadline && !vars_.Cancel)
    WaitStep(deadline);
}

void classrOutPutRoutines::delay(double Seconds) {
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(Seconds));
  do {
    Pump();
    if (Clock::now() >= deadline) break;
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
      while (!sendComplete_ && socket.State() == TcpSocket::kConnected && !vars_.Cancel) {
        Pump();
        WaitStep(Clock::time_point::max());
      }
      sendInProgress_ = false;
      sendComplete_ = false;
      written = true;
    } else if (IsSerial()) {
      SerialChannel& port = *vars_.SerialPort;
      written = true;
      for (std::size_t pos = 0; pos < Data.size(); pos += 100) {
        if (!vars_.Connected) {
          written = false;  // the rest is dropped
          break;
        }
        const std::string_view piece = std::string_view(Data).substr(pos, 100);
        if (conn_.HowToConnect == DirectConnect) port.OutputLen(static_cast<int>(piece.size()));
        port.Output(piece);
      }
    }
    if (written && LinkTransferMode != 2 && LogLevelOn(1)) {
      WriteLog("Data Out:" + DumpFrame(Data), 1);
    }
  } catch (const std::exception& e) {
    WriteLog(std::string("Error in transmitoutstr:") + e.what(), 2);
  }
}

bool classrOutPutRoutines::TraceReads() const {
  return LinkTransferMode != 2 && LogLevelOn(2);
}

std::string classrOutPutRoutines::InputStr(std::int16_t Count) {
  return Input(Count, TraceReads());
}

std::string classrOutPutRoutines::Input(std::int16_t Count, bool trace) {
  if (!vars_.Connected) return {};
  std::string result;
  try {
    if (IsSerial()) {
      result = InputSerial(Count);
    } else if (IsNetwork()) {
      result = InputNetwork(Count, trace);
    }
    if (Count != 1 && LogLevelOn(1)) WriteLog("Data In: " + DumpFrame(result), 1);
  } catch (const std::exception& e) {
    WriteLog(std::string("Error in inputstr:") + e.what(), 2);
  }
  return result;
}

std::string classrOutPutRoutines::InputSerial(std::int16_t count) {
  SerialChannel& port = *vars_.SerialPort;
  if (count <= 0) {
    port.InputLen(0);
    Pump();
    return port.IsOpen() ? port.Input() : std::string();
  }
  port.InputLen(count);
  const auto deadline = After(MessageResponseTime);  // fixed: serial reads do not slide
  while (Clock::now() < deadline) {
    Pump();
    if (!port.IsOpen()) return {};
    if (port.InCount() >= count) break;
    WaitStep(deadline);
    if (vars_.Cancel) {
      ErrorMessage = "User Canceled";
      break;
    }
  }
  if (!port.IsOpen()) return {};
  const int waiting = port.InCount();
  if (waiting == 0) return {};
  if (waiting < count) port.InputLen(waiting);
  return port.Input();
}

std::string classrOutPutRoutines::InputNetwork(std::int16_t count, bool trace) {
  TcpSocket& socket = *vars_.NetSocket;
  if (count <= 0) {
    Pump();
    socket.Poll();
    return socket.State() == TcpSocket::kConnected ? socket.GetData() : std::string();
  }
  auto deadline = After(MessageResponseTime);
  if (trace) WriteLog("Waiting for Input Data...", 2);
  const auto wanted = static_cast<std::size_t>(count);
  std::size_t previous = 0;
  while (Clock::now() <= deadline) {
    Pump();
    // Bytes already buffered are served without asking the socket for more.
    if (socket.PeekData(wanted).size() < wanted) socket.Poll();
    if (socket.State() != TcpSocket::kConnected) return {};
    const std::size_t have = socket.PeekData(wanted).size();
    if (have == wanted) break;
    WaitStep(deadline);
    Pump();
    if (have > 0 && trace) WriteLog("*********** BUFFER SIZE IS " + std::to_string(have), 2);
    // A user abort ends a network read as it ends a serial one.
    if (vars_.Cancel) {
      ErrorMessage = "User Canceled";
      break;
    }
    // The time-out slides while data keeps arriving.
    if (have != previous) {
      deadline = After(MessageResponseTime);
      previous = have;
    }
  }
  std::string taken;
  if (socket.State() == TcpSocket::kConnected) taken = socket.GetData(wanted);
  if (trace) {
    WriteLog(
        "#### Data Received Size [" + std::to_string(taken.size()) + "] Data [" + taken + "] ####",
        2);
  }
  return taken;
}

std::string classrOutPutRoutines::ReadOne(bool trace) {
  return Input(1, trace);
}

std::string classrOutPutRoutines::GetAck() {
  const bool trace = TraceReads();
  std::string first;
  std::string second;
  while (vars_.Connected) {
    if (first.empty()) {
      first = ReadOne(trace);
      if (first.empty()) break;
    }
    second = ReadOne(trace);
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
  std::string acc;
  bool inFrame = false;
  bool complete = false;
  if (Initial == std::string{DLE, STX}) {
    acc = Initial;
    inFrame = true;
  }
  while (!complete && vars_.Connected && acc.size() < kMaxFrame) {
    const std::string c = ReadOne(trace);
    if (c.empty()) break;
    if (inFrame) acc += c;
    if (c[0] != DLE) continue;
    const std::string d = ReadOne(trace);
    if (d.empty()) break;
    if (inFrame) acc += d;
    if (d[0] == ETX && inFrame) {
      const std::string bcc = ReadOne(trace);
      if (bcc.empty()) break;
      acc += bcc;
      complete = true;
    } else if (d[0] == STX && !inFrame) {
      acc = std::string{DLE, STX};  // bytes before the frame's start are dropped
      inFrame = true;
    }
  }
  if (LinkTransferMode != 2 && LogLevelOn(1)) WriteLog("Data In: " + DumpFrame(acc), 1);
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
