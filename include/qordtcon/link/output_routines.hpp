// The link layer of one control: opens and closes the channel to the sign (direct
// serial line, modem or TCP) and offers the engine a byte stream with time-outs:
// write, read a count, read the sign's two-byte answer, read one whole frame,
// acknowledge, refuse, flush. Waits block on the channel itself (no polling) and run
// the host's message pump at least every 10 ms when one is set.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "qordtcon/link/connection_method.hpp"
#include "qordtcon/link/log.hpp"
#include "qordtcon/protocol/trans_vars.hpp"

namespace qordtcon {

class classrOutPutRoutines {
 public:
  explicit classrOutPutRoutines(classrTransVars& vars);

  // True after a close or a user abort: no packet goes out while it stays set.
  std::atomic<bool> Abort{false};
  // Time-out of one read in ms (setting MessageResponseTime, default 5000).
  std::int32_t MessageResponseTime = 5000;
  // Last error text of the link or the transaction; cleared at the start of each one.
  std::string ErrorMessage;
  // Longest wait for a file-transfer answer in ms (setting ResponseLongestWait).
  std::int32_t ResponseLongestWait = 15000;
  // While set (by a firmware upload, to its cancel flag), reads, pauses and input waits
  // also end when it turns true. Unlike a user abort it refuses nothing afterwards.
  const std::atomic<bool>* StopFlag = nullptr;
  // Set by a file transfer when it starts: 2 keeps data lines out of the log, 1 not.
  std::int16_t LinkTransferMode = 0;
  // MessageResponseTime as the file transfer read it when it started; the engine uses it
  // instead of the setting while LinkTransferMode is not 0.
  std::int32_t CachedResponseTime = 5000;

  // "Trying to reconnect..." while re-opening a dropped network link.
  std::function<void(const std::string&)> OnStatus;
  // The socket failed while connected; the text names the error.
  std::function<void(const std::string&)> OnDisconnect;

  // --- Connection manager.
  bool OpenConnection(classCONNECTION_METHOD& ConnMethod);
  void CloseConnection();
  // Re-opens the network link after a drop; Connected tells the outcome.
  void OpenWinConnection();
  // A connection was opened at least once: there is a sign to reconnect to.
  bool Opened() const { return opened_; }
  // A dropped or closed link is re-opened by the next transaction: a network one.
  bool Reconnects() const { return IsNetwork(); }

  // --- Byte stream.
  // Sends PendingOut followed by Data (Data becomes that whole text).
  void TransmitOutStr(std::string& Data);
  // Up to Count characters within MessageResponseTime (Count 0: whatever is waiting).
  std::string InputStr(std::int16_t Count);
  // As InputStr, but waits at most `most` (when shorter than the read time-out) and then
  // hands over what has come: for callers that poll the line on their own deadlines.
  std::string InputWithin(std::int16_t Count, std::chrono::milliseconds most);
  // The sign's two-byte answer (DLE and a code); fewer characters after a time-out.
  std::string GetAck();
  // One whole unstuffed frame DLE STX ... DLE ETX BCC, or empty. An Initial of DLE STX
  // (from GetAck) is the frame's start.
  std::string GetPacket(const std::string& Initial);
  void SendAck();
  void SendNak();
  void ClearInputBuffer();
  // Throws away what waits to be read (an answer that came after its transaction gave up
  // on it, a frame for another node), without the pump and without sending anything.
  void DropStaleInput();
  // Sends Data although a user abort is pending, giving it at most 100 ms to leave.
  void SendAfterAbort(std::string Data);
  // Waits until `count` characters wait to be read (leaving them), at most `most`.
  void AwaitInput(std::size_t count, std::chrono::milliseconds most);
  // Waits the given seconds, running the message pump and the channel's events.
  void delay(double Seconds);

  // Sleeps `milliseconds` while channel events and the pump keep running; ends early on
  // a user abort.
  void Sleep(std::int32_t milliseconds);
  // Lets the host's message pump run once (when it set one).
  void Pump();
  // A line of this control's communication log: to the log file and to the host's
  // OnLog, as DebugMode allows.
  void Log(std::string_view text, int level) const { WriteLog(text, level, vars_.LogSink); }
  // Wakes any wait in progress; callable from any thread (a user abort).
  void Interrupt();

  classrTransVars& Vars() { return vars_; }

 private:
  bool IsNetwork() const;
  bool IsSerial() const;
  // Blocks on the channel in use (or on the socket) until news, `until`, or the next
  // pump slice.
  void WaitStep(Clock::time_point until);
  void WaitSocket(Clock::time_point until);
  void AttachSocketEvents();
  // Dials with a modem port, waiting for the answer; false when an abort or a close
  // ended the dial.
  bool Dial(SerialChannel& port);
  void DetachSocketEvents();
  // The level-2 trace of network reads is on (never while a file transfer runs quietly);
  // decided once per read operation, not once per byte.
  bool TraceReads() const;
  // Reads end at their own time-out or at `limit`, whichever comes first.
  std::string Input(std::int16_t count, bool trace,
                    Clock::time_point limit = Clock::time_point::max());
  std::string InputSerial(std::int16_t count, Clock::time_point limit);
  std::string InputNetwork(std::int16_t count, bool trace, Clock::time_point limit);
  std::string ReadOne(bool trace, Clock::time_point limit);
  // True (with "User Canceled") when the user aborted; true without a text when the
  // StopFlag turned true.
  bool Canceled();
  bool Stopped() const { return vars_.Cancel || (StopFlag && *StopFlag); }
  // Waits until the serial port has sent what it was given, with the read time-out as
  // deadline; false when it could not.
  bool Drain(SerialChannel& port);
  void SendTimedOut(const std::string& what);

  classrTransVars& vars_;
  classCONNECTION_METHOD conn_;
  bool bufferedAck_ = false;
  bool opened_ = false;
  bool sendInProgress_ = false;
  bool sendComplete_ = false;
};

}  // namespace qordtcon
