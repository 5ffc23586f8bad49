#include "qordtcon/routines/diag_routines.hpp"

#include <algorithm>
#include <cctype>

#include "qordtcon/protocol/frame.hpp"

namespace qordtcon {

namespace {

constexpr std::size_t kNameLength = 32;

// Names and serial numbers go to the sign as at most 32 upper-case characters and a
// byte 0; the caller's text becomes what was sent.
std::string NameText(std::string& text) {
  text.resize(std::min(text.size(), kNameLength));
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text + '\0';
}

}  // namespace

bool classrDiagTransRoutines::SetSignTime(const classDIAG_STIME& tTime) {
  return SendReplyRule(0, tTime.ConvertDataIntoStr());
}

classDIAG_GTIME classrDiagTransRoutines::GetSignTime() {
  bool ok = false;
  const std::string reply = Read(1, ok);
  classDIAG_GTIME result;
  if (ok) result.SetDataByStr(ReplyPayload(reply, 7));
  return result;
}

classDIAG_SIGNTYPE classrDiagTransRoutines::GetSignType() {
  bool ok = false;
  const std::string reply = Read(2, ok);
  classDIAG_SIGNTYPE result;
  result.SetDataByStr(ReplyPayload(reply, 72));
  return result;
}

bool classrDiagTransRoutines::SetSignBrightness(const classDIAG_BRIGHTNESS& tBrightness) {
  return SendReplyRule(3, tBrightness.GetStringFromData());
}

bool classrDiagTransRoutines::SetSignGroups(const classDIAG_GROUPS& tGroups) {
  return SendReplyRule(4, tGroups.GetStringFromData());
}

classDIAG_VERSION classrDiagTransRoutines::GetSignVersion() {
  bool ok = false;
  std::string reply = Read(5, ok);
  classDIAG_VERSION result;
  result.SetDataByStr(reply);
  return result;
}

bool classrDiagTransRoutines::SetSignTest(const classDIAG_TEST& tTest) {
  return SendReplyRule(6, tTest.GetStringFromData());
}

bool classrDiagTransRoutines::SetSignScan(bool ScanOn) {
  return SendReplyRule(ScanOn ? 8 : 7);
}

bool classrDiagTransRoutines::SetSignBrightnessRange(const classDIAG_BRIGHTNESS_RANGE& tRange) {
  return SendReplyRule(0x0D, tRange.GetStringFromData());
}

bool classrDiagTransRoutines::SetSignBrightnessSchedule(
    const classDIAG_BRIGHTNESS_SCHEDULE& tSchedule) {
  return SendReplyRule(0x0E, tSchedule.GetStringFromData());
}

bool classrDiagTransRoutines::SetSignTempAdjust(const classDIAG_TEMP_CALIBRATION& tCalibration) {
  return SendReplyRule(0x0F, tCalibration.GetStringFromData());
}

bool classrDiagTransRoutines::SetSignSoftSwitches(const classDIAG_SOFT_SWITCHES& tSwitches) {
  return SendReplyRule(0x10, tSwitches.GetStringFromData());
}

bool classrDiagTransRoutines::SetSignDST(bool DSTEnabled) {
  return SendBroadcastAware(DSTEnabled ? 0x11 : 0x12);
}

bool classrDiagTransRoutines::SetSignHWTemp(const classDIAG_HWTEMP& tHWTemp) {
  return SendReplyRule(0x13, tHWTemp.GetStringFromData());
}

bool classrDiagTransRoutines::SetSignGroupMaster(classDIAG_GROUP_MASTERS& tMasters) {
  return SendReplyRule(0x14, tMasters.GetStringFromData());
}

classDIAG_STATS classrDiagTransRoutines::GetSignStats() {
  bool ok = false;
  std::string payload = ReplyPayload(Read(0x15, ok));
  // The record ends where the frame's DLE ETX BCC begins.
  if (payload.size() > 3) payload.resize(payload.size() - 3);
  classDIAG_STATS result;
  result.SetDataByStr(payload);
  return result;
}

bool classrDiagTransRoutines::ClearSign_RXTX_Counts() {
  return SendReplyRule(0x16);
}

bool classrDiagTransRoutines::SetSignScrollOptions(const classDIAG_SCROLL_OPTIONS& tOptions) {
  return SendReplyRule(0x17, tOptions.GetStringFromData());
}

bool classrDiagTransRoutines::SetSignPixel_Control(const classDIAG_PIXEL_CONTROL& tPixels) {
  return SendReplyRule(0x18, tPixels.GetStringFromData());
}

bool classrDiagTransRoutines::SetSignDefault(bool EnableDefault) {
  return SendReplyRule(EnableDefault ? 0x1E : 0x1F);
}

std::string classrDiagTransRoutines::GetSerialNumber() {
  bool ok = false;
  return ReplyPayload(Read(0x29, ok), kNameLength);
}

bool classrDiagTransRoutines::SetDisplayName(std::string& strDisplayName) {
  return SendEngineRule(0x2A, NameText(strDisplayName));
}

std::string classrDiagTransRoutines::GetDisplayName() {
  bool ok = false;
  return ReplyPayload(Read(0x2B, ok), kNameLength);
}

std::int16_t classrDiagTransRoutines::SetBCCMode() {
  bool ok = false;
  const std::string reply = Read(0x2C, ok);
  if (ok) return 2;
  return reply.size() > 5 && static_cast<std::uint8_t>(reply[4]) == kReplyError ? 1 : 0;
}

bool classrDiagTransRoutines::ResetSign() {
  return SendEngineRule(0xAA, {}, true);
}

bool classrDiagTransRoutines::PrepareForDownload() {
  return SendEngineRule(0xAB, {}, true);
}

bool classrDiagTransRoutines::SetSerialNumber(std::string& strSerialNum) {
  return SendEngineRule(0xDB, NameText(strSerialNum));
}

}  // namespace qordtcon
