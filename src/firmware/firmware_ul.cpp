#include "qordtcon/firmware/firmware_ul.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string_view>

#include "qordtcon/firmware/qx4.hpp"
#include "qordtcon/firmware/xmodem.hpp"
#include "qordtcon/link/log.hpp"
#include "qordtcon/protocol/frame.hpp"

namespace qordtcon {

namespace {

constexpr char CR = 13;
constexpr char CAN = 24;
constexpr auto kMenuWindow = std::chrono::seconds(10);
constexpr auto kFlashWindow = std::chrono::seconds(15);
// How long one ask of the XMODEM sender waits for the receiver's bytes.
constexpr auto kXModemPoll = std::chrono::milliseconds(50);
// The transfer call's mode: 1024-byte blocks where the receiver takes CRC.
constexpr std::int32_t kTransferMode = XModemSender::kXModem1K;

std::size_t Occurrences(const std::string& text, std::string_view word) {
  std::size_t n = 0;
  for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
    ++n;
  return n;
}

void EraseAll(std::string& text, std::string_view word) {
  for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at))
    text.erase(at, word.size());
}

std::string Upper(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A file the QX4 download may open: it exists under the name after the path's last
// separator, compared in upper case. Both "\" and "/" separate, so that a path written
// the way this system writes paths is found too.
bool FileFound(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  const auto cut = path.find_last_of("\\/");
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  return Upper(std::filesystem::path(path).filename().string()) == Upper(name);
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!text.empty()) text += ' ';
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

}  // namespace

// The link's reads and pauses end on this upload's cancel while it runs.
class classrFirmWareUL::Running {
 public:
  explicit Running(classrFirmWareUL& owner) : link_(owner.link_) {
    link_.StopFlag = &owner.cancel_;
  }
  ~Running() { link_.StopFlag = nullptr; }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  classrOutPutRoutines& link_;
};

void classrFirmWareUL::CancelCommand() {
  // The text goes out before the flag is set: from another thread, the upload's own
  // reaction to the cancel then always follows it.
  Status("Cancelling commands");
  cancel_ = true;
  link_.Interrupt();
}

void classrFirmWareUL::Status(const std::string& text) {
  if (OnStatus) OnStatus(text);
}

void classrFirmWareUL::SendText(std::string text) {
  link_.TransmitOutStr(text);
  link_.Pump();
}

std::string classrFirmWareUL::ReadText(std::int16_t n) {
  return link_.InputStr(n);
}

std::string classrFirmWareUL::ReadChar(Clock::time_point until) {
  const auto remaining = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
  };
  if (Cancelled() || remaining().count() <= 0) return {};
  link_.AwaitInput(1, remaining() + std::chrono::milliseconds(1));
  std::string c;
  if (!Cancelled() && Clock::now() < until) c = ReadText(1);
  // A line that gives nothing back at once (closed, or the time-out reached) is waited
  // out, not asked again in a loop.
  if (c.empty() && !Cancelled() && remaining().count() > 0)
    link_.Sleep(static_cast<std::int32_t>(remaining().count()));
  return c;
}

void classrFirmWareUL::Delay(int seconds) {
  link_.delay(seconds);
}

void classrFirmWareUL::SendCancelSequence() {
  for (int i = 0; i < 3; ++i)
    SendText(std::string(3, CAN));
  SendText(std::string(1, CR));
}

bool classrFirmWareUL::WaitForMenu(bool first) {
  if (first) menuText_.clear();
  auto window = Clock::now() + kMenuWindow;
  bool banner = false;
  bool found = false;
  // A board word restarts the window when it arrives, not for as long as it stays in the
  // text: "QX4" is never removed, and a board that prints no prompt must not hold us.
  std::size_t boards = Occurrences(menuText_, "QX4");
  while (!Cancelled()) {
    menuText_ += Upper(ReadText(0));
    const std::size_t nowBoards = Occurrences(menuText_, "QX4");
    if (nowBoards > boards || menuText_.find("ORVANE") != std::string::npos) {
      window = Clock::now() + kMenuWindow;
      EraseAll(menuText_, "ORVANE");
      banner = true;
    }
    boards = nowBoards;
    if (banner && menuText_.find('>') != std::string::npos) {
      found = true;
      break;
    }
    const auto now = Clock::now();
    if (now > window) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(window - now);
    link_.AwaitInput(1, left + std::chrono::milliseconds(1));
    if (!link_.Vars().Connected && !Cancelled())
      link_.Sleep(static_cast<std::int32_t>(left.count()) + 1);
  }
  if (menuText_.find(static_cast<char>(NAK)) != std::string::npos && !banner && !found)
    SendCancelSequence();
  if (found) menuText_.clear();
  return found;
}

bool classrFirmWareUL::WaitForTransferStart() {
  const auto until = Clock::now() + kMenuWindow;
  for (std::string c = ReadChar(until); !c.empty(); c = ReadChar(until)) {
    if (c[0] == 'C' || c[0] == NAK) return true;
  }
  return false;
}

bool classrFirmWareUL::WaitForPrompt() {
  const auto until = Clock::now() + kMenuWindow;
  bool prompt = false;
  while (!Cancelled() && Clock::now() < until) {
    if (ReadChar(until) == ">") prompt = true;
  }
  return prompt;
}

bool classrFirmWareUL::WaitForFlashWrite() {
  auto window = Clock::now() + kFlashWindow;
  for (std::string c = ReadChar(window); !c.empty(); c = ReadChar(window)) {
    if (c[0] == '>') return true;
    if (c[0] == ':' || c[0] == '.') window = Clock::now() + kFlashWindow;
  }
  return false;
}

bool classrFirmWareUL::ResetAndClearSign() {
  Status("Sending reset command to sign!");
  cancel_ = false;
  const Running running(*this);
  commands_.ResetSign();
  ReadText(0);
  SendText(std::string(6, CAN) + std::string(2, CR));
  bool found = false;
  for (int t = 1; t <= 4 && !found; ++t) {
    Status("Waiting for menu! Try #" + std::to_string(t));
    found = WaitForMenu(t == 1);
    if (Cancelled()) return found;
    if (!found) SendText({'M', CR});
  }
  if (!found) {
    Status("Menu Not Loaded! Cancelling!");
    return false;
  }
  Status("Menu Found!");
  Status("Sending Go Command1!");
  SendText({'G', CR});
  if (Cancelled()) return true;
  Delay(4);
  Status("Sending Go Command2!");
  SendText({'G', CR});
  if (Cancelled()) return true;
  Delay(4);
  Status("Sending Go Command3!");
  SendText({'G', CR});
  Status("Sign should be reset!");
  return true;
}

bool classrFirmWareUL::LoadFirmwareToDisplay(const std::string& sFileName) {
  XModemSender ctX;
  ctX.OnGetData = [this](std::int16_t count) {
    // The sender asks again and again until its own deadline, so each ask waits only
    // briefly: a read that waited out the read time-out would stretch the sender's waits
    // by as much. A line that is gone is waited on all the same.
    const auto until = Clock::now() + kXModemPoll;
    std::string got;
    if (count <= 0) {
      link_.AwaitInput(1, kXModemPoll);
      got = ReadText(0);
    } else {
      got = link_.InputWithin(count, kXModemPoll);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (got.empty() && left.count() > 0) link_.Sleep(static_cast<std::int32_t>(left.count()));
    return got;
  };
  ctX.OnSendData = [this](const std::string& data) { SendText(data); };
  ctX.Canceled = [this] { return Cancelled(); };
  cancel_ = false;
  const Running running(*this);
  Status("Sending reset");
  commands_.ResetSign();
  ReadText(0);
  SendCancelSequence();
  Delay(1);

  bool found = false;
  for (int t = 1; t <= 9 && !found; ++t) {
    SendText("M");
    SendText({CR});
    Status("Waiting for menu! Try #" + std::to_string(t));
    if (Cancelled()) return false;
    found = WaitForMenu(t == 1);
  }
  if (!found) {
    Status("Menu Not Loaded! Cancelling!");
    return false;
  }
  Status("Menu Found!");
  Delay(1);
  Status("Prep for d/l");
  if (Cancelled()) return false;

  bool started = false;
  int t = 0;
  while (!started && ++t <= 5) {
    ReadText(0);
    SendText("L");
    SendText({CR});
    if (Cancelled()) return false;
    started = WaitForTransferStart();
  }
  // A receiver this slow to start is not trusted with the flash.
  if (t >= 4) started = false;
  if (Cancelled()) return false;

  bool result = false;
  if (started) {
    result = ctX.SendFile(kTransferMode, sFileName);
    if (!result) {
      link_.ErrorMessage = ctX.ErrorMessage;
      link_.Log("Firmware transfer failed: " + ctX.ErrorMessage, 2);
    }
  } else {
    Status("Unable to start transmition! Display not sending start commands!");
  }
  if (!result) {
    Status("Transmition Error! Cancelling!");
    return false;
  }
  Status("The file is now loaded on the sign. Please wait for Firmware Burn!");

  if (Cancelled()) return result;
  WaitForPrompt();
  Status("Prep for writing firmware");
  SendText("W");
  SendText({CR});
  if (Cancelled()) return result;
  Delay(3);
  Status("Waiting for flash write");
  if (Cancelled()) return result;
  if (!WaitForFlashWrite()) {
    Status("Sign Flashwrite not Confirmed!");
    return false;
  }

  Status("Sending Go Command1!");
  if (Cancelled()) return result;
  SendText("G");
  SendText({CR});
  Delay(4);
  Status("Sending Go Command2!");
  if (!Cancelled()) {
    SendText({'G', CR});
    Delay(4);
    Status("Sending Go Command3!");
    if (!Cancelled()) {
      SendText({'G', CR});
      Status("Sign should be reset!");
    }
  }
  return true;
}

bool classrFirmWareUL::ReadFrame(FirmwareDLQX4& answer) {
  auto until = Clock::now() + kMenuWindow;
  std::string c;
  do {
    c = ReadChar(until);
  } while (!c.empty() && c[0] != static_cast<char>(kQX4Flag));
  if (c.empty()) return false;
  answer.ClearCMD();
  const std::string header = c + ReadText(kQX4HeaderSize - 1);
  try {
    answer.SetStreamData(header);
  } catch (const std::overflow_error& e) {
    // No answer can be judged from a header like this one: going on would take noise for
    // the board's word, so the download ends here, with a reason a person can act on.
    const std::string text = "QX4 download stopped: the board's answer header (" + Hex(header) +
                             ") cannot be read: " + e.what() +
                             ". The line garbles the board's answers, or no QX4 board is "
                             "answering: check the line settings (speed, parity) and that a "
                             "QX4 board is on the line, then start the download again";
    link_.Log(text, 2);
    throw std::overflow_error(text);
  }
  if (answer.Command == FDL_QUERY) {
    until = Clock::now() + kMenuWindow;
    for (c = ReadChar(until); !c.empty() && c[0] != 0; c = ReadChar(until))
      answer.Data += c;
  }
  ReadText(2);  // the check value, not verified
  return true;
}

bool classrFirmWareUL::SendQX4Blocks(std::uint8_t command, const std::string& path,
                                     const std::string& what) {
  // The length is the file system's: a file that gives fewer bytes than that is caught at
  // its first short block, before that block goes out.
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    Status("Error Reading File ");
    return false;
  }
  if (size > static_cast<std::uintmax_t>(std::numeric_limits<std::int32_t>::max())) {
    throw std::overflow_error("QX4 download: " + path + " has " + std::to_string(size) +
                              " bytes; a file sent to a QX4 board must be smaller than 2 GiB");
  }
  const auto length = static_cast<std::int32_t>(size);
  std::ifstream file(path, std::ios::binary);
  std::int32_t sent = 0;
  FirmwareDLQX4 request;
  FirmwareDLQX4 answer;
  request.NewCMD();
  request.Command = command;
  for (std::int64_t p = 1024; p <= std::int64_t{length} + 1024; p += 1024) {
    if (Cancelled()) return false;
    const auto n = static_cast<std::int32_t>(p < length ? 1024 : length - (p - 1024));
    Status("Sending " + what + ": Sent " + std::to_string(sent + n) + " out of " +
           std::to_string(length));
    request.Length = n;
    request.Data.assign(static_cast<std::size_t>(n), '\0');
    file.read(request.Data.data(), n);
    request.Data.resize(static_cast<std::size_t>(file.gcount()));
    request.Address = sent;
    if (static_cast<std::int32_t>(request.Data.size()) != request.Length) {
      Status("Error Reading File ");
      return false;
    }
    sent += n;
    SendText(request.GetStreamData());
    answer.ClearCMD();
    if (!ReadFrame(answer)) {
      Status("No Answer");
      return false;
    }
    if (answer.Flag != kQX4Flag) {
      Status("Failed To Download packet ");
      return false;
    }
  }
  return true;
}

bool classrFirmWareUL::LoadQX4FirmwareToDisplay(const std::string& sFileName,
                                                const std::string& sLoaderFile) {
  if (!FileFound(sFileName)) {
    Status("Firmware File Not Found");
    return false;
  }
  if (!FileFound(sLoaderFile)) {
    Status("Firmware Loader File Not Found");
    return false;
  }
  cancel_ = false;
  const Running running(*this);
  FirmwareDLQX4 answer;
  const auto send = [&](std::uint8_t command) {
    FirmwareDLQX4 request;
    request.NewCMD();
    request.Command = command;
    SendText(request.GetStreamData());
    answer.ClearCMD();
  };

  Status("Sending reset");
  ReadText(0);
  Delay(5);
  if (Cancelled()) return false;
  Status("Query Display");
  send(FDL_QUERY);
  ReadFrame(answer);
  if (answer.Flag != kQX4Flag) {
    Status("No Answer from Display");
    return false;
  }
  const std::string board = answer.Data;
  Status("Found: " + board);
  send(FDL_RAM_SIZE);
  ReadFrame(answer);

  Status("Downloading Loader to :" + board);
  if (!SendQX4Blocks(FDL_RAM_LOADER, sLoaderFile, "Loader")) return false;
  Delay(3);
  if (Cancelled()) return false;
  Status("Starting Loader (1)");
  send(FDL_RUN_RAM);
  for (int k = 1; k <= 10 && answer.Flag != kQX4Flag && !Cancelled(); ++k) {
    Delay(3);
    if (Cancelled()) break;
    Status("Query Display for Loader (" + std::to_string(k) + ")");
    send(FDL_QUERY);
    ReadFrame(answer);
  }
  if (answer.Flag != kQX4Flag) {
    if (!Cancelled()) Status("Board Running Loader not found");
    return false;
  }

  Status("Downloading Firmware Flash Code");
  if (!SendQX4Blocks(FDL_FLASH_CODE, sFileName, "Flash")) return false;
  // At least one reboot request goes out: the last block's answer says nothing about it.
  answer.ClearCMD();
  for (int k = 1; k <= 3 && answer.Flag != kQX4Flag && !Cancelled(); ++k) {
    Status("Display Reboot " + std::to_string(k));
    send(FDL_REBOOT);
    ReadFrame(answer);
  }
  if (answer.Flag != kQX4Flag && !Cancelled()) {
    Status("Display did not answer Reboot CMD");
    Delay(1);
  }
  // The image is in the board's flash by now, answered or not.
  return true;
}

}  // namespace qordtcon
