// Stored-message commands: clearing fonts (CMD 3), the default message (CMD 4),
// scheduled messages (CMD 5) and paged text (CMD 6).
#pragma once

#include "qordtcon/payloads/messages.hpp"
#include "qordtcon/routines/command_routine.hpp"

namespace qordtcon {

// Font commands (CMD 3).
class classrFontTransRoutines : private CommandRoutine {
 public:
  explicit classrFontTransRoutines(classrTransRoutines& engine) : CommandRoutine(engine, 3) {}

  bool ClearSignFonts();
};

// The message a sign shows when nothing else plays (CMD 4).
class classrDefaultMsgTransRoutines : private CommandRoutine {
 public:
  explicit classrDefaultMsgTransRoutines(classrTransRoutines& engine) : CommandRoutine(engine, 4) {}

  bool SetDefaultMessageOnSign(const classDEFMSG_MSG& tMessage);
  bool SetDefaultMsgHorzVertOnSign(const classDEFMSG_HORZVERT& tHorzVert);
};

// Messages the sign shows at set times (CMD 5), and how it frames them.
class classrSchedMsgTransRoutines : private CommandRoutine {
 public:
  explicit classrSchedMsgTransRoutines(classrTransRoutines& engine) : CommandRoutine(engine, 5) {}

  bool SetSignScheduledMessageOnSign(const classSCHMSG_MSG& tMessage);
  bool SetScheduledMessageAutoManualOnSign(bool Auto);
  bool SetScheduledMsgPrefixOnSign(const classSCHMSG_PREFIX& tPrefix);
  bool SetScheduledMsgSuffixOnSign(const classSCHMSG_SUFFIX& tSuffix);
  bool SetScheduleMsgFormatOnSign(const classSCHMSG_FORMAT& tFormat);
  bool ClearSignScheduledMessages();
  bool SetScheduledMsgDelayOnSign(const classSCHMSG_DELAY& tDelay);
};

// Paged text (CMD 6). The sign protocol has no command that sends a whole page or reads
// one back: those two routines send nothing.
class classrPagedTextTransRoutines : private CommandRoutine {
 public:
  explicit classrPagedTextTransRoutines(classrTransRoutines& engine) : CommandRoutine(engine, 6) {}

  // Sends nothing and returns False.
  bool SetSignPagedTextMessage(const classPAGE_MSG& tPage);
  bool StartStopPagedTextMessageOnSign(bool Start);
  bool ShowPagedTextOnSign(const classPAGE_DSP& tPage);
  // Sends nothing and throws std::logic_error: there is no answer object to return.
  classPAGE_GET_Resp GetSignPagedMessage(const classPAGE_GET_Req& tRequest);
};

}  // namespace qordtcon
