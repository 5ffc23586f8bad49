// Text commands (CMD 1): text at a place, scrolling text, clearing the sign, and the
// scroll speed, tab stops, pause and blink rates that text is shown with.
#pragma once

#include "qordtcon/payloads/messages.hpp"
#include "qordtcon/routines/command_routine.hpp"

namespace qordtcon {

class classrTextTransRoutines : private CommandRoutine {
 public:
  explicit classrTextTransRoutines(classrTransRoutines& engine) : CommandRoutine(engine, 1) {}

  bool SetSignTextMessage(const classTEXT_MSG& tMessage);
  bool SetSignScrollMessage(const classTEXT_SCRMSG& tMessage);
  // True also when sent to every sign at once (no reply comes then).
  bool ClearSign();
  bool SetSignScrollSpeed(const classTEXT_SCRSPEED& tSpeed);
  bool SetSignTextTabs(const classTEXT_SETTABS& tTabs);
  bool SetSignPauseRate(const classTEXT_PAUSE_RATE& tRate);
  bool SetSignBlinkRate(const classTEXT_BLINK_RATE& tRate);
};

}  // namespace qordtcon
