// Play-order commands (CMD 7): sending, appending and reading back the list of files the
// sign plays, the play controls (restart, resume, stop, pause, auto play), the play-order
// description and the play counter.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "qordtcon/link/settings_object.hpp"
#include "qordtcon/payloads/play_order.hpp"
#include "qordtcon/routines/command_routine.hpp"

namespace qordtcon {

class classrPlayCmdTransRoutines : private CommandRoutine {
 public:
  // One packet carries at most this many play-order entries.
  static constexpr std::int16_t kEntriesPerPacket = 40;

  explicit classrPlayCmdTransRoutines(classrTransRoutines& engine);

  // Progress of GetSignPlayOrder: "Receiving Entry N of the PlayOrder".
  std::function<void(const std::string&)> OnMessage;

  // Sends a play order of any length: the first 40 entries replace the sign's play order,
  // each further 40 are appended. pOrder is left holding the last chunk sent. False from
  // the first chunk the sign did not confirm (later chunks are not sent).
  bool TransmitSignPlayOrder(classPLAY_ORDER& pOrder);
  bool SetSignPlayOrder(const classPLAY_ORDER& pOrder);
  bool AppendSignPlayOrder(const classPLAY_ORDER_APP& pOrder);
  bool ClearSignPlayOrder();
  // Reads the play order entry by entry, up to the entry with an empty FileName.
  classPLAY_GET_NEXT GetSignPlayOrder();
  bool RestartPlayOnSign(const classPLAY_RESTART& tRestart);
  bool ResumePlayOnSign();
  bool StopPlayOnSign();
  bool PausePlayOnSign();
  classPLAY_POLL PollPlayOnSign();
  bool StopPlayOnSignImmediately();
  bool PausePlayOnSignImmediately();
  bool WritePlayOrderDescriptionOnSign(const classPLAY_DESC_WRITE& tDescription);
  classPLAY_DESC_READ GetPlayOrderDescriptionOnSign();
  bool SetSignSubPlayOrder(std::int16_t nPlayOrder);
  // The sign's play counter, or -1; asks once, whatever the engine's RetryCount.
  std::int32_t PlayCountRead();
  bool PlayCountClear();
  bool SetAutoPlayOnSign(bool Enabled);

 private:
  // One chunk of TransmitSignPlayOrder, judged as a broadcast-aware send that also waits
  // the settings file's pause after a send without reply.
  bool SendChunk(std::uint8_t Fnc, const classPLAY_ORDER& pOrder);

  SettingsObject settings_;
};

}  // namespace qordtcon
