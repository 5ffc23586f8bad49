// The transaction engine of one control: builds command frames, checks the sign's
// replies and turns its result codes into texts. Every routine class sends through it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "qordtcon/link/output_routines.hpp"
#include "qordtcon/link/settings_object.hpp"
#include "qordtcon/protocol/trans_vars.hpp"

namespace qordtcon {

class classrTransRoutines {
 public:
  classrTransRoutines(classrTransVars& vars, classrOutPutRoutines& link);

  // Attempts per transaction: the setting TransmitRetry (default 3) plus 1.
  std::int32_t RetryCount = 4;

  // Raised before every send of a command packet (and by CreatePacket with retry 0).
  std::function<void(std::int16_t transNum, std::int16_t retry)> OnPacketSent;
  // "Ack was not received - Inquiring Trans: ..." and "Retrying - Transaction: ...".
  std::function<void(const std::string&)> OnStatus;
  // The link reported a socket failure while connected.
  std::function<void(const std::string&)> OnDisconnect;

  // Runs one transaction: sends the command (Cmd 255 sends only Prefix), waits for the
  // acknowledge (inquiring once per attempt when nothing comes), collects and checks the
  // reply and answers it, resending up to RetryCount times. True when an acknowledged
  // reply passed CheckPacket, or always with NoReply (forced for node 255). Response is
  // the last reply frame read; the reason of a failure stays in the link's ErrorMessage.
  bool TransmitPacket(std::int32_t Cmd, std::uint8_t Fnc, std::int32_t Reserved,
                      const std::string& Data, std::string& Response, bool& NoReply,
                      const std::string& Prefix = {});
  // Waits (at most 8 s) for a transaction that the host's message pump interrupted.
  void WaitUntiTransmittionIsDone();

  // Builds the next command frame followed by DLE ACK, for callers that drive the link
  // themselves. Empty when the link is aborted. Forces NoReply for node 255.
  std::string CreatePacket(std::int16_t Cmd, std::uint8_t Fnc, std::int32_t Reserved,
                           const std::string& Data, std::int32_t Reserved2, bool& NoReply);

  // Whether Response is a whole, intact answer to Cmd/Fnc; records the reply's codes
  // and writes the link's ErrorMessage when it is not.
  bool CheckPacket(std::uint8_t Cmd, std::uint8_t Fnc, const std::string& Response);
  // The last reply was an "OK command".
  bool LastCommandGood() const;
  void GetLastResponseCodes(std::uint8_t& Cmd, std::uint8_t& Fnc) const;
  static std::string LookUpCommandErrorCode(std::uint8_t code);
  // "Display has sent NAK for CMD:[..] FNC:[..]": the sign refused the command.
  static std::string NakMessage(std::int32_t Cmd, std::uint8_t Fnc);
  // "Display Reported Error [F1]- [F9]-File Not Found for last CMD:[..] FNC:[..]": the text
  // of a reply frame that is the sign's error report.
  static std::string ReportedErrorMessage(const std::string& reply, std::int32_t Cmd,
                                          std::uint8_t Fnc);
  static std::string LookUpFunctionErrorCode(std::uint8_t code);

  // After a user abort, sends one more command without waiting for any answer (nothing
  // else goes out then): a file transfer told to stop closes the file on the sign so.
  void SendAfterAbort(std::int32_t Cmd, std::uint8_t Fnc, const std::string& Data);

  // The link this engine sends through (routines pause and flush through it).
  classrOutPutRoutines& Link() { return link_; }

 private:
  // The command frame with the current transaction number; empty for Cmd 255.
  std::string BuildFrame(std::int32_t Cmd, std::uint8_t Fnc, const std::string& Data) const;
  // Why a transaction cannot start (a pending abort, no connection), or empty.
  std::string Refusal() const;
  // Asks the sign whether it received the frame (DLE ENQ), with the status text.
  void Inquire();
  // After the acknowledge `s`: the reply frame for the host, skipping frames for other
  // nodes (and, with MatchTransactionNumber, late answers to earlier transactions).
  std::string CollectReply(std::string s, bool matchTransNum);
  bool Awaited(const std::string& frame, bool matchTransNum) const;

  classrTransVars& vars_;
  classrOutPutRoutines& link_;
  // Gives the pause after a send that expects no reply.
  SettingsObject settings_;
};

}  // namespace qordtcon
