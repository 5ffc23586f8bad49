#include "qordtcon/routines/text_routines.hpp"

namespace qordtcon {

bool classrTextTransRoutines::SetSignTextMessage(const classTEXT_MSG& tMessage) {
  return SendReplyRule(0, tMessage.GetStringFromData());
}

bool classrTextTransRoutines::SetSignScrollMessage(const classTEXT_SCRMSG& tMessage) {
  return SendReplyRule(1, tMessage.GetStringFromData());
}

bool classrTextTransRoutines::ClearSign() {
  return SendBroadcastAware(4);
}

bool classrTextTransRoutines::SetSignScrollSpeed(const classTEXT_SCRSPEED& tSpeed) {
  return SendReplyRule(5, tSpeed.GetStringFromData());
}

bool classrTextTransRoutines::SetSignTextTabs(const classTEXT_SETTABS& tTabs) {
  return SendReplyRule(6, tTabs.GetStringFromData());
}

bool classrTextTransRoutines::SetSignPauseRate(const classTEXT_PAUSE_RATE& tRate) {
  return SendReplyRule(7, tRate.GetStringFromData());
}

bool classrTextTransRoutines::SetSignBlinkRate(const classTEXT_BLINK_RATE& tRate) {
  return SendReplyRule(0x0E, tRate.GetStringFromData());
}

}  // namespace qordtcon
