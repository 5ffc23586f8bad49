// Loading new firmware into a sign. Boards with a boot menu are reset into it, asked to
// receive the image with XMODEM ("L"), to write it to flash ("W") and to start it ("G");
// QX4 boards take a RAM loader and then the image through their own frame protocol.
// Everything but the reset command goes over the link's raw byte stream; progress goes
// out as Status texts (the control's FirmwareStatus).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "qordtcon/link/output_routines.hpp"
#include "qordtcon/routines/diag_routines.hpp"

namespace qordtcon {

class FirmwareDLQX4;

class classrFirmWareUL {
 public:
  classrFirmWareUL(classrOutPutRoutines& link, classrDiagTransRoutines& commands)
      : link_(link), commands_(commands) {}

  std::function<void(const std::string& sStatus)> OnStatus;

  // Resets the sign and starts it again from its boot menu; true when the menu was found.
  bool ResetAndClearSign();
  // True when the file was sent and the flash write confirmed.
  bool LoadFirmwareToDisplay(const std::string& sFileName);
  bool LoadQX4FirmwareToDisplay(const std::string& sFileName, const std::string& sLoaderFile);
  // Ends the running upload at its next check; callable from any thread, an event
  // handler or the message pump.
  void CancelCommand();

 private:
  // Lends the cancel flag to the link for the length of one operation.
  class Running;

  bool Cancelled() const { return cancel_; }
  void Status(const std::string& text);
  void SendText(std::string text);
  // Up to n characters (n = 0: whatever has arrived) within the read time-out.
  std::string ReadText(std::int16_t n);
  // One character, or empty once `until` passed or the upload was cancelled.
  std::string ReadChar(Clock::time_point until);
  void Delay(int seconds);
  void SendCancelSequence();
  bool WaitForMenu(bool first);
  bool WaitForTransferStart();
  bool WaitForPrompt();
  bool WaitForFlashWrite();
  bool ReadFrame(FirmwareDLQX4& answer);
  // Sends file `path` to a QX4 board in blocks of `command`; false (with the status said)
  // when the file gave fewer bytes than its length or a block went unanswered.
  bool SendQX4Blocks(std::uint8_t command, const std::string& path, const std::string& what);

  classrOutPutRoutines& link_;
  classrDiagTransRoutines& commands_;
  std::atomic<bool> cancel_{false};
  std::string menuText_;
};

}  // namespace qordtcon
