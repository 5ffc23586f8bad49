#include "qordtcon/routines/command_routine.hpp"

#include "qordtcon/payloads/fields.hpp"
#include "qordtcon/protocol/frame.hpp"

namespace qordtcon {

bool IsOkReply(const std::string& Response) {
  return Response.size() >= 5 && static_cast<std::uint8_t>(Response[4]) == kReplyOk;
}

std::string ReplyPayload(const std::string& Response, std::size_t count) {
  // Position 10 of the reply, counted from 1, is the first payload character.
  constexpr std::size_t kPayloadStart = 9;
  if (Response.size() <= kPayloadStart) return {};
  return Response.substr(kPayloadStart, count);
}

bool CommandRoutine::TransmitPacket(std::int32_t Cmd, std::uint8_t Fnc, std::int32_t Reserved,
                                    const std::string& Data, std::string& Response, bool& NoReply) {
  return engine_.TransmitPacket(Cmd, Fnc, Reserved, Data, Response, NoReply, {});
}

bool CommandRoutine::TransmitPacket(std::int32_t Cmd, std::uint8_t Fnc, std::int32_t Reserved,
                                    const std::string& Data, std::string& Response) {
  bool NoReply = false;
  return TransmitPacket(Cmd, Fnc, Reserved, Data, Response, NoReply);
}

bool CommandRoutine::SendReplyRule(std::uint8_t Fnc, const std::string& Data) {
  std::string response;
  TransmitPacket(cmd_, Fnc, 0, Data, response);
  return IsOkReply(response);
}

bool CommandRoutine::SendBroadcastAware(std::uint8_t Fnc, const std::string& Data, bool NoReply) {
  std::string response;
  const bool ok = TransmitPacket(cmd_, Fnc, 0, Data, response, NoReply);
  return NoReply ? ok : IsOkReply(response);
}

bool CommandRoutine::SendEngineRule(std::uint8_t Fnc, const std::string& Data, bool NoReply) {
  std::string response;
  return TransmitPacket(cmd_, Fnc, 0, Data, response, NoReply);
}

void CommandRoutine::AnswerIncomplete(std::uint8_t Fnc, const std::invalid_argument& e) {
  std::string& error = engine_.Link().ErrorMessage;
  if (!error.empty()) return;  // the failed transaction has said why already
  std::string_view why = e.what();
  if (why.starts_with("Invalid argument: ")) why.remove_prefix(18);
  error = "Answer Incomplete for CMD:[" + HexText(cmd_) + "] FNC:[" + HexText(Fnc) + "] - " +
          std::string(why);
}

std::string CommandRoutine::Read(std::uint8_t Fnc, bool& ok, const std::string& Data) {
  std::string response;
  ok = TransmitPacket(cmd_, Fnc, 0, Data, response);
  return response;
}

}  // namespace qordtcon
