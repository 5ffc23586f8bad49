#include "qordtcon/routines/message_routines.hpp"

#include <stdexcept>

namespace qordtcon {

bool classrFontTransRoutines::ClearSignFonts() {
  return SendReplyRule(0);
}

bool classrDefaultMsgTransRoutines::SetDefaultMessageOnSign(const classDEFMSG_MSG& tMessage) {
  return SendReplyRule(0, tMessage.GetStringFromData());
}

bool classrDefaultMsgTransRoutines::SetDefaultMsgHorzVertOnSign(
    const classDEFMSG_HORZVERT& tHorzVert) {
  return SendReplyRule(1, tHorzVert.GetStringFromData());
}

bool classrSchedMsgTransRoutines::SetSignScheduledMessageOnSign(const classSCHMSG_MSG& tMessage) {
  return SendReplyRule(0, tMessage.GetStringFromData());
}

bool classrSchedMsgTransRoutines::SetScheduledMessageAutoManualOnSign(bool Auto) {
  return SendReplyRule(Auto ? 1 : 2);
}

bool classrSchedMsgTransRoutines::SetScheduledMsgPrefixOnSign(const classSCHMSG_PREFIX& tPrefix) {
  return SendReplyRule(3, tPrefix.GetStringFromData());
}

bool classrSchedMsgTransRoutines::SetScheduledMsgSuffixOnSign(const classSCHMSG_SUFFIX& tSuffix) {
  return SendReplyRule(4, tSuffix.GetStringFromData());
}

bool classrSchedMsgTransRoutines::SetScheduleMsgFormatOnSign(const classSCHMSG_FORMAT& tFormat) {
  return SendReplyRule(5, tFormat.GetStringFromData());
}

bool classrSchedMsgTransRoutines::ClearSignScheduledMessages() {
  return SendReplyRule(6);
}

bool classrSchedMsgTransRoutines::SetScheduledMsgDelayOnSign(const classSCHMSG_DELAY& tDelay) {
  return SendReplyRule(7, tDelay.GetStringFromData());
}

bool classrPagedTextTransRoutines::SetSignPagedTextMessage(const classPAGE_MSG& /*tPage*/) {
  return false;
}

bool classrPagedTextTransRoutines::StartStopPagedTextMessageOnSign(bool Start) {
  return SendReplyRule(Start ? 1 : 2);
}

bool classrPagedTextTransRoutines::ShowPagedTextOnSign(const classPAGE_DSP& tPage) {
  return SendReplyRule(3, tPage.GetStringFromData());
}

classPAGE_GET_Resp classrPagedTextTransRoutines::GetSignPagedMessage(
    const classPAGE_GET_Req& /*tRequest*/) {
  throw std::logic_error(
      "Object variable not set: GetSignPagedMessage has no answer to return, because reading a "
      "paged message back is not supported by the sign protocol");
}

}  // namespace qordtcon
