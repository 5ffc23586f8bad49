#include "qordtcon/routines/play_routines.hpp"

#include <algorithm>

#include "entry_walk.hpp"

namespace qordtcon {

namespace {

void CopyEntry(const PlayEntryTable& from, std::int16_t i, PlayEntryTable& to, std::int16_t j) {
  to.FileName(j, from.FileName(i));
  to.delay(j, from.delay(i));
  to.prefix(j, from.prefix(i));
  to.suffix(j, from.suffix(i));
}

// Restores the engine's attempts however the call ends.
class RetryCountKept {
 public:
  explicit RetryCountKept(classrTransRoutines& engine)
      : engine_(engine), saved_(engine.RetryCount) {}
  ~RetryCountKept() { engine_.RetryCount = saved_; }
  RetryCountKept(const RetryCountKept&) = delete;
  RetryCountKept& operator=(const RetryCountKept&) = delete;

 private:
  classrTransRoutines& engine_;
  std::int32_t saved_;
};

}  // namespace

classrPlayCmdTransRoutines::classrPlayCmdTransRoutines(classrTransRoutines& engine)
    : CommandRoutine(engine, 7) {
  settings_.FileName = "LumarcoLite.ini";
}

bool classrPlayCmdTransRoutines::SendChunk(std::uint8_t Fnc, const classPLAY_ORDER& pOrder) {
  std::string response;
  bool NoReply = false;
  const bool ok = TransmitPacket(Cmd(), Fnc, 0, pOrder.GetStringFromData(), response, NoReply);
  if (!NoReply) return IsOkReply(response);
  // Signs that get no reply request still need time to store a chunk before the next;
  // the host's pump runs and an abort ends the pause.
  engine_.Link().Sleep(settings_.NoReplyPause());
  return ok;
}

bool classrPlayCmdTransRoutines::TransmitSignPlayOrder(classPLAY_ORDER& pOrder) {
  const std::int16_t n = pOrder.num_entries();
  classPLAY_ORDER rest;
  if (n > kEntriesPerPacket) {
    rest.num_entries(static_cast<std::int16_t>(n - kEntriesPerPacket));
    for (std::int16_t i = 1; i <= rest.num_entries(); ++i) {
      CopyEntry(pOrder, static_cast<std::int16_t>(i + kEntriesPerPacket), rest, i);
    }
    pOrder.num_entries(kEntriesPerPacket);
  }
  bool ok = SendChunk(0, pOrder);
  while (ok && rest.num_entries() > 0) {
    const std::int16_t left = rest.num_entries();
    const std::int16_t chunk = std::min(left, kEntriesPerPacket);
    pOrder.num_entries(chunk);
    for (std::int16_t i = 1; i <= chunk; ++i)
      CopyEntry(rest, i, pOrder, i);
    for (std::int16_t i = 1; i + chunk <= left; ++i) {
      CopyEntry(rest, static_cast<std::int16_t>(i + chunk), rest, i);
    }
    rest.num_entries(static_cast<std::int16_t>(left - chunk));
    ok = SendChunk(2, pOrder);
  }
  return ok;
}

bool classrPlayCmdTransRoutines::SetSignPlayOrder(const classPLAY_ORDER& pOrder) {
  return SendReplyRule(0, pOrder.GetStringFromData());
}

bool classrPlayCmdTransRoutines::AppendSignPlayOrder(const classPLAY_ORDER_APP& pOrder) {
  return SendReplyRule(2, pOrder.GetStringFromData());
}

bool classrPlayCmdTransRoutines::ClearSignPlayOrder() {
  return SendBroadcastAware(1);
}

classPLAY_GET_NEXT classrPlayCmdTransRoutines::GetSignPlayOrder() {
  return detail::ReadEntries<classPLAY_GET_NEXT>(
      [this](std::uint8_t Fnc, bool& ok) { return Read(Fnc, ok); }, 3, 4, "PlayOrder", OnMessage,
      [](const classPLAY_GET_NEXT& order, std::int16_t i) { return order.FileName(i).empty(); });
}

bool classrPlayCmdTransRoutines::RestartPlayOnSign(const classPLAY_RESTART& tRestart) {
  return SendReplyRule(5, tRestart.GetStringFromData());
}

bool classrPlayCmdTransRoutines::ResumePlayOnSign() {
  return SendBroadcastAware(6);
}

bool classrPlayCmdTransRoutines::StopPlayOnSign() {
  return SendBroadcastAware(7);
}

bool classrPlayCmdTransRoutines::PausePlayOnSign() {
  return SendBroadcastAware(8);
}

classPLAY_POLL classrPlayCmdTransRoutines::PollPlayOnSign() {
  return ReadResult<classPLAY_POLL>(0x0A, Decode::kAlways);
}

bool classrPlayCmdTransRoutines::StopPlayOnSignImmediately() {
  return SendBroadcastAware(0x0B);
}

bool classrPlayCmdTransRoutines::PausePlayOnSignImmediately() {
  return SendBroadcastAware(0x0C);
}

bool classrPlayCmdTransRoutines::WritePlayOrderDescriptionOnSign(
    const classPLAY_DESC_WRITE& tDescription) {
  return SendReplyRule(0x0D, tDescription.GetStringFromData());
}

classPLAY_DESC_READ classrPlayCmdTransRoutines::GetPlayOrderDescriptionOnSign() {
  return ReadResult<classPLAY_DESC_READ>(0x0E, Decode::kAlways);
}

bool classrPlayCmdTransRoutines::SetSignSubPlayOrder(std::int16_t nPlayOrder) {
  return SendBroadcastAware(0x0F, std::to_string(nPlayOrder));
}

std::int32_t classrPlayCmdTransRoutines::PlayCountRead() {
  // The counter is polled often; a sign that does not answer is not worth a resend.
  RetryCountKept kept(engine_);
  engine_.RetryCount = 1;
  bool ok = false;
  const std::string reply = Read(0x11, ok);
  if (reply.size() < 11 || !ok) return -1;
  classPLAY_COUNT_READ count;
  count.GetDataFromString(ReplyPayload(reply, 2));
  return count.PlayCounter;
}

bool classrPlayCmdTransRoutines::PlayCountClear() {
  return SendBroadcastAware(0x12);
}

bool classrPlayCmdTransRoutines::SetAutoPlayOnSign(bool Enabled) {
  return SendBroadcastAware(Enabled ? 0x40 : 0x41);
}

}  // namespace qordtcon
