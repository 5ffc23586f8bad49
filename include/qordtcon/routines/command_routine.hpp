// What every command routine class shares: the one engine of the control, the command
// code of its group, and the three ways a routine judges the sign's answer. A routine
// method asks its payload object for the bytes, sends them through here and returns a
// Boolean, a number, a text or a result object filled from the reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "qordtcon/protocol/trans_routines.hpp"

namespace qordtcon {

// The sign confirmed the command: a reply of at least 5 characters whose fifth (the
// reply's CMD) is 0xF0. Shared by the command and the file routines.
bool IsOkReply(const std::string& Response);

// The reply payload as the decoders take it: the reply from its tenth character on (the
// closing DLE ETX BCC included), at most `count` characters; empty for a shorter reply.
std::string ReplyPayload(const std::string& Response, std::size_t count = std::string::npos);

// The base of every routine class: holds the engine reference and the group's command
// code, and gives each command method its send-and-judge step in one call.
class CommandRoutine {
 protected:
  CommandRoutine(classrTransRoutines& engine, std::uint8_t cmd) : engine_(engine), cmd_(cmd) {}

  // One transaction through the shared engine, without a prefix. NoReply asks for a send
  // without waiting; it comes back set when the transaction awaited no reply (node 255).
  bool TransmitPacket(std::int32_t Cmd, std::uint8_t Fnc, std::int32_t Reserved,
                      const std::string& Data, std::string& Response, bool& NoReply);
  // For the groups whose commands never go without a reply on the host's asking.
  bool TransmitPacket(std::int32_t Cmd, std::uint8_t Fnc, std::int32_t Reserved,
                      const std::string& Data, std::string& Response);

  // Reply rule: only the sign's confirmation counts, so a broadcast reports False.
  bool SendReplyRule(std::uint8_t Fnc, const std::string& Data = {});
  // Broadcast-aware rule: a send that awaited no reply counts as done (the engine's
  // True); otherwise the reply rule.
  bool SendBroadcastAware(std::uint8_t Fnc, const std::string& Data = {}, bool NoReply = false);
  // Engine rule: the engine's own result.
  bool SendEngineRule(std::uint8_t Fnc, const std::string& Data = {}, bool NoReply = false);
  // A reading command: the reply frame, with the engine's result in `ok`.
  std::string Read(std::uint8_t Fnc, bool& ok, const std::string& Data = {});

  // A reading command whose result object takes the reply payload through its
  // GetDataFromString: always, or only when the transaction succeeded.
  enum class Decode { kAlways, kOnSuccess };
  // A failed transaction never raises: a decoder that meets the end of a short answer
  // leaves the fields decoded before it, and LastErrorMessage says what was missing.
  template <class Result>
  Result ReadResult(std::uint8_t Fnc, Decode when, const std::string& Data = {}) {
    bool ok = false;
    const std::string reply = Read(Fnc, ok, Data);
    Result result;
    if (ok || when == Decode::kAlways) {
      try {
        result.GetDataFromString(ReplyPayload(reply));
      } catch (const std::invalid_argument& e) {
        AnswerIncomplete(Fnc, e);
      }
    }
    return result;
  }
  void AnswerIncomplete(std::uint8_t Fnc, const std::invalid_argument& e);

  // The command code of this group.
  std::uint8_t Cmd() const { return cmd_; }

  classrTransRoutines& engine_;

 private:
  std::uint8_t cmd_;
};

}  // namespace qordtcon
