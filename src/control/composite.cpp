// The control methods that do more than forward: the clock from the PC, and the bursts
// that send several commands in one write and collect the confirmations themselves.
#include <ctime>

#include "qordtcon/control/disp_trans.hpp"
#include "qordtcon/payloads/fields.hpp"
#include "qordtcon/protocol/frame.hpp"
#include "qordtcon/routines/command_routine.hpp"

namespace qordtcon {

namespace {

// Engine arguments that make TransmitPacket send only the prepared frames.
constexpr std::int32_t kBurstCmd = 255;
constexpr std::uint8_t kBurstFnc = 255;

bool IsNak(const std::string& s) {
  return s.size() >= 2 && s[0] == DLE && s[1] == NAK;
}

}  // namespace

classDIAG_STIME ClockPayload(const DateTime& when, std::int16_t iTimeAdjust) {
  // Calendar arithmetic on the plain fields: the hours move the date, not a time zone.
  std::tm t{};
  t.tm_year = when.year - 1900;
  t.tm_mon = when.month - 1;
  t.tm_mday = when.day;
  t.tm_hour = when.hour + iTimeAdjust;
  t.tm_min = when.minute;
  t.tm_sec = when.second;
  const std::time_t seconds = timegm(&t);
  std::tm r{};
  gmtime_r(&seconds, &r);
  classDIAG_STIME clock;
  clock.hour = static_cast<std::int16_t>(r.tm_hour);
  clock.min = static_cast<std::int16_t>(r.tm_min);
  clock.sec = static_cast<std::int16_t>(r.tm_sec);
  clock.mday = static_cast<std::int16_t>(r.tm_mday);
  clock.mon = static_cast<std::int16_t>(r.tm_mon + 1);
  clock.wday = static_cast<std::int16_t>(r.tm_wday);
  clock.year = static_cast<std::int16_t>((r.tm_year + 1900) % 100);
  return clock;
}

bool qorDispTrans::SetDisplayToCurrentTime(std::int16_t iTimeAdjust) {
  return SetDisplayTime(ClockPayload(DateTime::now(), iTimeAdjust));
}

bool qorDispTrans::SendBurst(const std::string& frames, std::string& reply, bool& noReply) {
  noReply = false;
  return m_TransRoutines->TransmitPacket(kBurstCmd, kBurstFnc, 0, {}, reply, noReply, frames);
}

bool qorDispTrans::SetDisplayInfo(std::int16_t iTimeAdjust,
                                  const classDIAG_BRIGHTNESS& bBrightLevel,
                                  const classDIAG_BRIGHTNESS_RANGE& bBrightRange,
                                  classDIAG_BRIGHTNESS_SCHEDULE& bBrightSchedule,
                                  const classDIAG_TEMP_CALIBRATION& sTempProbeAdjust,
                                  bool bDSTEnabled, const classTEXT_SCRSPEED& sSpeed) {
  const classDIAG_STIME clock = ClockPayload(DateTime::now(), iTimeAdjust);
  classrOutPutRoutines& link = *m_OutPutRoutines;
  classrTransRoutines& engine = *m_TransRoutines;
  // The burst runs with a 3 s read time-out; the host's value comes back whatever happens.
  struct RestoreTimeOut {
    classrOutPutRoutines& link;
    std::int32_t saved;
    ~RestoreTimeOut() { link.MessageResponseTime = saved; }
  } restore{link, link.MessageResponseTime};
  link.MessageResponseTime = 3000;

  bool noReply = false;
  const auto packet = [&](std::int16_t cmd, std::uint8_t fnc, const std::string& data) {
    return engine.CreatePacket(cmd, fnc, 0, data, 0, noReply);
  };
  std::string frames = packet(0, 0, clock.ConvertDataIntoStr());
  frames += packet(0, 13, bBrightRange.GetStringFromData());
  frames += packet(0, 3, bBrightLevel.GetStringFromData());
  if (bBrightLevel.dimlevel != 21) bBrightSchedule.Num_Periods(0);
  frames += packet(0, 14, bBrightSchedule.GetStringFromData());
  frames += packet(0, 15, sTempProbeAdjust.GetStringFromData());
  frames += packet(0, bDSTEnabled ? 17 : 18, {});
  frames += packet(1, 5, sSpeed.GetStringFromData());

  link.ClearInputBuffer();
  std::string reply;
  bool r = SendBurst(frames, reply, noReply);
  if (!noReply) {
    r = IsOkReply(reply);
    if (!r) reply = link.GetPacket({});
  }
  // The acknowledgements and replies of packets 2 to 7.
  for (int packetNo = 2; packetNo <= 7; ++packetNo) {
    std::string ack;
    for (int tries = 0; tries < 3 && ack.size() < 2; ++tries)
      ack = link.GetAck();
    if (ack.empty()) return false;
    std::string text = ack;
    for (int tries = 0; tries < 3; ++tries) {
      text = link.GetPacket(text);
      if (text.size() >= 2) break;
    }
    if (text.empty()) return false;
    if (!noReply) r = IsOkReply(text);
  }
  return r;
}

bool qorDispTrans::ClearDisplayAndPlayOrder() {
  classrOutPutRoutines& link = *m_OutPutRoutines;
  bool noReply = false;
  std::string frames = m_TransRoutines->CreatePacket(1, 4, 0, {}, 0, noReply);
  frames += m_TransRoutines->CreatePacket(7, 1, 0, {}, 0, noReply);
  std::string reply;
  const bool r = SendBurst(frames, reply, noReply);
  if (noReply) return r;
  if (IsNak(reply)) link.ErrorMessage = classrTransRoutines::NakMessage(1, 4);
  const std::string answer = link.GetAck();
  if (IsNak(answer)) {
    link.ErrorMessage = classrTransRoutines::NakMessage(7, 1);
  } else {
    reply = link.GetPacket(answer);
  }
  return IsOkReply(reply);
}

}  // namespace qordtcon
