// Firmware upload: the QX4 frame codec, and the uploader against boards scripted here
// over loopback TCP, where the exact bytes on the line and the exact status texts count.
#include <gtest/gtest.h>

#include <qordtcon/qordtcon.hpp>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "bytes.hpp"
#include "control_rig.hpp"
#include "display_rig.hpp"
#include "peer.hpp"
#include "signsim/sha256.hpp"

namespace {

using namespace qordtcon;
using namespace std::chrono_literals;

TEST(QX4Frame, CheckValueFramesAndHeaders) {
  EXPECT_EQ(QX4FrameCheck(""), 0);
  EXPECT_EQ(QX4FrameCheck("abc"), 0xF76D);

  FirmwareDLQX4 f;
  f.NewCMD();
  f.Command = FDL_QUERY;
  EXPECT_EQ(f.GetStreamData(), Bytes("7E 01 00 00 00 00 00 00 00 34 A7"));
  f.Command = FDL_FLASH_CODE;
  f.Length = 0x10002;  // only the low 16 bits travel
  f.Address = 0x01020304;
  f.Data = "hi";
  const std::string frame = f.GetStreamData();
  EXPECT_EQ(frame.substr(0, 11), Bytes("7E 04 00 02 00 04 03 02 01") + "hi");
  EXPECT_EQ(frame.substr(11),
            std::string({static_cast<char>(QX4FrameCheck(frame.substr(0, 11))),
                         static_cast<char>(QX4FrameCheck(frame.substr(0, 11)) >> 8)}));
  f.Address = 4294967296.0;
  EXPECT_THROW(f.GetStreamData(), std::overflow_error);

  struct Row {
    const char* header;
    bool overflows;
    int flag, command, status, length;
    double address;
  };
  for (const Row& r : {
           Row{"7E 01 06 05 00 00 04 00 00", false, 126, 1, 6, 5, 1024},
           Row{"7E 01 06 FF 7F FF FF FF 7F", false, 126, 1, 6, 32767, 2147483647.0},
           Row{"7E 03 06 00 80 00 00 00 00", true, 126, 3, 6, 77, 9},  // length high byte >= 128
           Row{"7E 03 06 01 00 00 00 00 80", true, 126, 3, 6, 1, 9},   // address top byte >= 128
           Row{"7E 03 06", false, 126, 0, 0, 77, 9},                   // short: the flag only
       }) {
    SCOPED_TRACE(r.header);
    FirmwareDLQX4 a;
    a.Length = 77;
    a.Address = 9;
    a.Data = "kept";
    a.ClearCMD();  // keeps Length, clears the rest
    ASSERT_EQ(a.Length, 77);
    a.Address = 9;
    if (r.overflows) {
      EXPECT_THROW(a.SetStreamData(Bytes(r.header)), std::overflow_error);
    } else {
      a.SetStreamData(Bytes(r.header));
    }
    EXPECT_EQ(a.Flag, r.flag);
    EXPECT_EQ(a.Command, r.command);
    EXPECT_EQ(a.Status, r.status);
    EXPECT_EQ(a.Length, r.length);
    EXPECT_EQ(a.Address, r.address);
    EXPECT_EQ(a.Data, "");
  }
}

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s)
    c = static_cast<char>(gen());
  return s;
}

// The uploader on its own link, talking to a board this test plays on loopback TCP.
struct Uploader {
  Uploader() : diag(*rig.engine), firmware(*rig.link, diag) {
    firmware.OnStatus = [this](const std::string& s) {
      std::lock_guard lock(mutex);
      statuses.push_back(s);
    };
  }
  bool Open() { return rig.Open(ControlRig::Tcp(board.port())) && board.Accept(3s); }
  std::vector<std::string> Statuses() {
    std::lock_guard lock(mutex);
    return statuses;
  }

  ControlRig rig;
  classrDiagTransRoutines diag{*rig.engine};
  classrFirmWareUL firmware;
  TcpListener board;
  std::mutex mutex;
  std::vector<std::string> statuses;
};

// A QX4 board: answers every loader frame but RUN_RAM with status ACK (a query with its
// name), recording each frame and when it came.
struct QX4Board {
  struct Frame {
    FirmwareDLQX4 header;
    std::string whole;
    std::chrono::steady_clock::time_point at;
  };

  explicit QX4Board(Peer& line) : line(line), thread([this] { Serve(); }) {}
  ~QX4Board() {
    stop = true;
    thread.join();
  }

  void Serve() {
    while (!stop) {
      std::string c = line.Read(1, 50ms);
      if (c != "~") continue;
      Frame f;
      f.at = std::chrono::steady_clock::now();
      f.whole = c + line.Read(kQX4HeaderSize - 1);
      f.header.SetStreamData(f.whole);
      f.whole += line.Read(static_cast<std::size_t>(f.header.Length) + 2);
      const std::uint8_t command = f.header.Command;
      {
        std::lock_guard lock(mutex);
        frames.push_back(f);
      }
      if (command == FDL_RUN_RAM) continue;
      FirmwareDLQX4 answer;
      answer.NewCMD();
      answer.Command = command;
      answer.Status = FST_ACK;
      std::string bytes = answer.GetStreamData();
      if (command == FDL_QUERY) {
        bytes.resize(kQX4HeaderSize);
        bytes += std::string("QX4-BOARD") + '\0';
        const std::uint16_t check = QX4FrameCheck(bytes);
        bytes += {static_cast<char>(check), static_cast<char>(check >> 8)};
      }
      line.Write(bytes);
    }
  }

  Peer& line;
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::vector<Frame> frames;
  std::thread thread;
};

TEST(QX4Download, LoaderAndFlashGoInBlocksWithExactTexts) {
  Uploader u;
  const std::string loader = RandomBytes(2048, 1);
  const std::string image = RandomBytes(1500, 2);
  u.rig.dir.Write("loader.bin", loader);
  u.rig.dir.Write("image.bin", image);
  const std::string loaderPath = (u.rig.dir.path() / "loader.bin").string();
  const std::string imagePath = (u.rig.dir.path() / "image.bin").string();

  // Missing files: nothing goes out, the text says which.
  EXPECT_FALSE(u.firmware.LoadQX4FirmwareToDisplay(imagePath + ".none", loaderPath));
  EXPECT_FALSE(u.firmware.LoadQX4FirmwareToDisplay(imagePath, loaderPath + ".none"));
  EXPECT_FALSE(u.firmware.LoadQX4FirmwareToDisplay("", loaderPath));
  ASSERT_TRUE(u.Open());
  EXPECT_EQ(u.board.Read(1, 200ms), "");
  EXPECT_EQ(u.Statuses(),
            (std::vector<std::string>{"Firmware File Not Found", "Firmware Loader File Not Found",
                                      "Firmware File Not Found"}));
  u.statuses.clear();

  QX4Board board(u.board);
  ASSERT_TRUE(u.firmware.LoadQX4FirmwareToDisplay(imagePath, loaderPath));
  EXPECT_EQ(u.Statuses(), (std::vector<std::string>{
                              "Sending reset",
                              "Query Display",
                              "Found: QX4-BOARD",
                              "Downloading Loader to :QX4-BOARD",
                              "Sending Loader: Sent 1024 out of 2048",
                              "Sending Loader: Sent 2048 out of 2048",
                              "Sending Loader: Sent 2048 out of 2048",
                              "Starting Loader (1)",
                              "Query Display for Loader (1)",
                              "Downloading Firmware Flash Code",
                              "Sending Flash: Sent 1024 out of 1500",
                              "Sending Flash: Sent 1500 out of 1500",
                              "Display Reboot 1",
                          }));

  board.stop = true;
  std::lock_guard lock(board.mutex);
  struct Want {
    int command, length;
    double address;
  };
  const std::vector<Want> want = {{FDL_QUERY, 0, 0},           {FDL_RAM_SIZE, 0, 0},
                                  {FDL_RAM_LOADER, 1024, 0},   {FDL_RAM_LOADER, 1024, 1024},
                                  {FDL_RAM_LOADER, 0, 2048},   {FDL_RUN_RAM, 0, 0},
                                  {FDL_QUERY, 0, 0},           {FDL_FLASH_CODE, 1024, 0},
                                  {FDL_FLASH_CODE, 476, 1024}, {FDL_REBOOT, 0, 0}};
  ASSERT_EQ(board.frames.size(), want.size());
  std::string loaded, flashed;
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& f = board.frames[i];
    EXPECT_EQ(f.header.Command, want[i].command);
    EXPECT_EQ(f.header.Length, want[i].length);
    EXPECT_EQ(f.header.Address, want[i].address);
    EXPECT_EQ(f.header.Status, 0);
    const std::size_t body = f.whole.size() - 2;
    const std::uint16_t check = QX4FrameCheck(f.whole.substr(0, body));
    EXPECT_EQ(f.whole.substr(body),
              std::string({static_cast<char>(check), static_cast<char>(check >> 8)}));
    const std::string data = f.whole.substr(kQX4HeaderSize, body - kQX4HeaderSize);
    if (f.header.Command == FDL_RAM_LOADER) loaded += data;
    if (f.header.Command == FDL_FLASH_CODE) flashed += data;
  }
  EXPECT_EQ(board.frames[0].whole, Bytes("7E 01 00 00 00 00 00 00 00 34 A7"));
  EXPECT_EQ(loaded, loader);
  EXPECT_EQ(flashed, image);
  // The loader gets three seconds to start before the first query.
  EXPECT_GE(board.frames[6].at - board.frames[5].at, 2900ms);
}

// A menu board that prints a prompt but no banner, and a NAK: not a menu, and the NAK
// brings the cancel sequence; the banner then finds the menu.
TEST(MenuUpload, PromptWithoutBannerIsNoMenuAndNakBringsCancelSequence) {
  Uploader u;
  ASSERT_TRUE(u.Open());
  u.firmware.OnStatus = [&](const std::string& s) {
    {
      std::lock_guard lock(u.mutex);
      u.statuses.push_back(s);
    }
    if (s == "Sending Go Command1!") u.firmware.CancelCommand();
  };
  std::thread board([&] {
    const std::string reset = u.board.ReadFrame();
    EXPECT_EQ(reset.substr(0, 2), std::string({DLE, STX}));
    EXPECT_EQ(u.board.Read(8), std::string(6, '\x18') + "\r\r");
    u.board.Write("BOOT MENU\r\n>\x15");
    // After the ten-second window: nine CAN and a CR, then a menu request.
    EXPECT_EQ(u.board.Read(12, 15s), std::string(9, '\x18') + "\r" + "M\r");
    u.board.Write("\r\nOrvane boot\r\n>");
    EXPECT_EQ(u.board.Read(2, 5s), "G\r");
  });
  EXPECT_TRUE(u.firmware.ResetAndClearSign());
  board.join();
  EXPECT_EQ(u.Statuses(),
            (std::vector<std::string>{"Sending reset command to sign!", "Waiting for menu! Try #1",
                                      "Waiting for menu! Try #2", "Menu Found!",
                                      "Sending Go Command1!", "Cancelling commands"}));
}

// --- Against signsim's boot loader and QX4 board.

using signsim::Fault;
using signsim::FaultKind;

// An image whose last byte is no XMODEM pad, so that a receiver that drops the padding
// keeps it whole.
std::string Image(std::size_t n, unsigned seed) {
  std::string image = RandomBytes(n, seed);
  if (!image.empty()) image.back() = 'X';
  return image;
}

struct FirmwareRig : DisplayRig {
  explicit FirmwareRig(signsim::Options options = {}, const char* responseTime = "400")
      : DisplayRig(std::move(options), {{"MessageResponseTime", responseTime}}) {
    // A cancel from another thread raises its status there.
    control->OnFirmwareStatus = [this](const std::string& s) {
      std::lock_guard lock(mutex);
      statuses.push_back(s);
      if (s == cancelAt) cancelSeen = true;
      for (const char* name : {"fw.bin", "loader.bin"})  // the files change under the call
        if (s == shrinkAt) std::filesystem::resize_file(dir.path() / name, 0);
    };
    // The pump cancels once the status it waits for was raised: a cancel from inside a wait.
    control->MessagePump = [this] {
      if (cancelSeen && pumpCancels) {
        pumpCancels = false;
        control->CancelFirmwareTransmit();
      }
    };
  }
  std::string File(const std::string& name, const std::string& bytes) {
    dir.Write(name, bytes);
    return (dir.path() / name).string();
  }
  nlohmann::json Firmware() const { return sim->State()["firmware"]; }

  std::mutex mutex;
  std::vector<std::string> statuses;
  std::string cancelAt, shrinkAt;
  std::atomic<bool> cancelSeen = false;
  bool pumpCancels = false;
};

// Menu upload over TCP and a direct line: ResetDisplay leaves the next command its own
// answer, the image arrives whole, and the sign answers its protocol again afterwards.
class MenuUploadOn : public testing::TestWithParam<Channel> {};

TEST_P(MenuUploadOn, ImageArrivesAndTheSignComesBack) {
  FirmwareRig rig;
  ASSERT_TRUE(rig.Open(1, GetParam()));
  ASSERT_TRUE(rig.control->ResetDisplay());
  rig.control->GetDisplayTime();
  EXPECT_TRUE(rig.control->WasLastTransmitionGood()) << rig.control->LastErrorMessage();

  const std::string image = Image(5000, 3);
  ASSERT_TRUE(rig.control->TransmitFirmware(rig.File("fw.bin", image)));
  EXPECT_EQ(rig.statuses,
            (std::vector<std::string>{
                "Sending reset", "Waiting for menu! Try #1", "Menu Found!", "Prep for d/l",
                "The file is now loaded on the sign. Please wait for Firmware Burn!",
                "Prep for writing firmware", "Waiting for flash write", "Sending Go Command1!",
                "Sending Go Command2!", "Sending Go Command3!", "Sign should be reset!"}));
  const auto fw = rig.Firmware();
  EXPECT_EQ(fw["size"], 5000);
  EXPECT_EQ(fw["sha256"], signsim::Sha256Hex(image));
  rig.control->GetDisplayTime();
  EXPECT_TRUE(rig.control->WasLastTransmitionGood()) << rig.control->LastErrorMessage();
}

INSTANTIATE_TEST_SUITE_P(Channels, MenuUploadOn, testing::Values(Channel::kTcp, Channel::kPty),
                         [](const auto& info) { return std::string(Name(info.param)); });

// Each firmware call against a misbehaving sign, cancelled, or with its files shrinking,
// with its exact outcome and what the board's flash holds then.
enum class Op { kMenu, kQX4, kReset };
enum class Cancel { kNone, kPump, kThread };
struct FaultRow {
  const char* name;
  Op op;
  std::vector<Fault> faults = {};
  Cancel cancel = Cancel::kNone;
  const char* cancelAt = "";  // the status after which the cancel comes
  bool result = false;
  std::vector<std::string> lastStatuses = {};  // how the statuses end
  std::size_t imageSize = 3000;
  const char* responseTime = "400";  // MessageResponseTime
  const char* shrinkAt = "";         // the status after which both files are emptied
  const char* thrown = "";           // how the std::overflow_error the call ends with begins
};

void PrintTo(const FaultRow& row, std::ostream* os) {
  *os << row.name;
}

class FirmwareFault : public testing::TestWithParam<FaultRow> {};

TEST_P(FirmwareFault, EndsAsTheStatusSays) {
  const FaultRow& row = GetParam();
  signsim::Options options;
  if (row.op == Op::kQX4) options.board = signsim::Board::Qx4;
  FirmwareRig rig(options, row.responseTime);
  ASSERT_TRUE(rig.Open());
  for (const Fault& f : row.faults)
    rig.sim->AddFault(f);
  rig.cancelAt = row.cancelAt;
  rig.shrinkAt = row.shrinkAt;
  rig.pumpCancels = row.cancel == Cancel::kPump;
  std::thread watcher;
  if (row.cancel == Cancel::kThread) {
    // From another thread, while the XMODEM transfer runs.
    watcher = std::thread([&rig] {
      rig.sim->WaitFor([](const signsim::Counters& c) { return c.xmodemBlocks >= 3; }, 60s);
      rig.control->CancelFirmwareTransmit();
    });
  }
  // A block lost on the line comes again once the sender's 10-s answer wait is over,
  // however long a read may wait.
  const bool drop = !row.faults.empty() && row.faults[0].kind == FaultKind::XmodemDrop;
  std::chrono::steady_clock::duration lostFor{};
  if (drop) {
    watcher = std::thread([&rig, &lostFor, block = row.faults[0].value] {
      rig.sim->WaitFor([](const auto& c) { return c.faults.count(FaultKind::XmodemDrop); }, 60s);
      const auto at = std::chrono::steady_clock::now();
      rig.sim->WaitFor([&](const auto& c) { return c.xmodemBlocks >= block; }, 60s);
      lostFor = std::chrono::steady_clock::now() - at;
    });
  }
  const std::string image = Image(row.imageSize, 4);
  const std::string file = rig.File("fw.bin", image);
  bool result = false;
  switch (row.op) {
    case Op::kMenu:
      result = rig.control->TransmitFirmware(file);
      break;
    case Op::kQX4:
      try {
        result =
            rig.control->TransmitQX4Firmware(file, rig.File("loader.bin", RandomBytes(1500, 5)));
      } catch (const std::overflow_error& e) {
        EXPECT_TRUE(*row.thrown && std::string(e.what()).rfind(row.thrown, 0) == 0) << e.what();
        rig.control->GetDisplayTime();  // the link is left fit for the sign's own protocol
        EXPECT_TRUE(rig.control->WasLastTransmitionGood()) << rig.control->LastErrorMessage();
      }
      break;
    case Op::kReset:
      result = rig.control->ResetAndClearSign();
      break;
  }
  if (watcher.joinable()) watcher.join();
  if (drop) {
    EXPECT_GT(lostFor, 9s);
    EXPECT_LT(lostFor, 15s);
  }
  EXPECT_EQ(result, row.result);
  ASSERT_GE(rig.statuses.size(), row.lastStatuses.size());
  EXPECT_EQ(
      std::vector<std::string>(rig.statuses.end() - static_cast<long>(row.lastStatuses.size()),
                               rig.statuses.end()),
      row.lastStatuses);
  // An upload that succeeded left exactly the image sent in flash; one that failed, none.
  const auto fw = rig.Firmware();
  const bool written = row.op != Op::kReset && row.result;
  EXPECT_EQ(fw["flashWrites"], written ? 1 : 0);
  EXPECT_EQ(fw["size"], written ? row.imageSize : 0);
  EXPECT_EQ(fw["sha256"], signsim::Sha256Hex(written ? image : ""));
}

const Fault kAlwaysNoMenu{FaultKind::NoMenu, 0, signsim::kAlways};
const std::string kTransmitionError = "Transmition Error! Cancelling!";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, FirmwareFault, testing::Values(
    // The receiver starts only on the fourth "L": too late to be trusted.
    FaultRow{"StartOnFourthTry", Op::kMenu, {{FaultKind::NoXmodem, 0, 3}}, Cancel::kNone, "", false,
             {"Prep for d/l", "Unable to start transmition! Display not sending start commands!", kTransmitionError}},
    FaultRow{"NakStorm", Op::kMenu, {{FaultKind::XmodemNak, 2, signsim::kAlways}}, Cancel::kNone, "", false,
             {"Prep for d/l", kTransmitionError}},
    FaultRow{"ReceiverCancels", Op::kMenu, {{FaultKind::XmodemCancel, 2}}, Cancel::kNone, "", false,
             {"Prep for d/l", kTransmitionError}},
    // Marks for a second, then silence: fails after the 15-s window.
    FaultRow{"FlashStalls", Op::kMenu, {{FaultKind::FlashStall, 1000}}, Cancel::kNone, "", false,
             {"Waiting for flash write", "Sign Flashwrite not Confirmed!"}},
    // A read time-out longer than the sender's answer wait (the watch above times the resend).
    FaultRow{.name = "XmodemBlockLost", .op = Op::kMenu, .faults = {{FaultKind::XmodemDrop, 2}}, .result = true,
             .lastStatuses = {"Sign should be reset!"}, .responseTime = "20000"},
    // Twenty seconds of marks keep the 15-s window open.
    FaultRow{"SlowFlashKeptAlive", Op::kMenu, {{FaultKind::SlowFlash, 20000}}, Cancel::kNone, "", true,
             {"Sending Go Command3!", "Sign should be reset!"}},
    // The next try reports itself before it finds the cancel.
    FaultRow{"CancelInMenuTries", Op::kMenu, {kAlwaysNoMenu}, Cancel::kPump, "Waiting for menu! Try #2", false,
             {"Waiting for menu! Try #2", "Cancelling commands", "Waiting for menu! Try #3"}},
    FaultRow{"CancelInTransfer", Op::kMenu, {}, Cancel::kThread, "", false,
             {"Prep for d/l", "Cancelling commands", kTransmitionError}, 200000},
    FaultRow{"CancelInFlashWait", Op::kMenu, {{FaultKind::FlashStall, 0}}, Cancel::kPump, "Waiting for flash write", false,
             {"Waiting for flash write", "Cancelling commands", "Sign Flashwrite not Confirmed!"}},
    // A board that boots for 5 s is found within the first 10-s window.
    FaultRow{"ResetAndClearSlowBoot", Op::kReset, {{FaultKind::SlowBoot, 5000}}, Cancel::kNone, "", true,
             {"Sending reset command to sign!", "Waiting for menu! Try #1", "Menu Found!", "Sending Go Command1!",
              "Sending Go Command2!", "Sending Go Command3!", "Sign should be reset!"}},
    FaultRow{"ResetAndClearNoMenu", Op::kReset, {kAlwaysNoMenu}, Cancel::kNone, "", false,
             {"Waiting for menu! Try #4", "Menu Not Loaded! Cancelling!"}},
    FaultRow{"QX4", Op::kQX4, {}, Cancel::kNone, "", true, {"Sending Flash: Sent 3000 out of 3000", "Display Reboot 1"}},
    FaultRow{"QX4SilentQuery", Op::kQX4, {{FaultKind::LoaderSilent, 0, 1, FDL_QUERY}}, Cancel::kNone, "", false,
             {"Query Display", "No Answer from Display"}},
    FaultRow{.name = "QX4AnswerUnreadable", .op = Op::kQX4, .faults = {{FaultKind::LoaderBadLength, 0, 1, FDL_QUERY}},
             .lastStatuses = {"Sending reset", "Query Display"},
             .thrown = "QX4 download stopped: the board's answer header (7E 01 01 08 80 00 00 00 00) cannot be read"},
    FaultRow{.name = "QX4LoaderShrinks", .op = Op::kQX4, .lastStatuses = {"Sending Loader: Sent 1024 out of 1500",
             "Error Reading File "}, .shrinkAt = "Sending Loader: Sent 1024 out of 1500"},
    FaultRow{.name = "QX4ImageShrinks", .op = Op::kQX4, .lastStatuses = {"Sending Flash: Sent 1024 out of 3000",
             "Error Reading File "}, .shrinkAt = "Sending Flash: Sent 1024 out of 3000"},
    FaultRow{"QX4SilentLoaderBlock", Op::kQX4, {{FaultKind::LoaderSilent, 0, 1, FDL_RAM_LOADER}}, Cancel::kNone, "", false,
             {"Sending Loader: Sent 1024 out of 1500", "No Answer"}},
    FaultRow{"QX4SilentFlashBlock", Op::kQX4, {{FaultKind::LoaderSilent, 0, 1, FDL_FLASH_CODE}}, Cancel::kNone, "", false,
             {"Sending Flash: Sent 1024 out of 3000", "No Answer"}},
    // The image is in flash although the board never confirms the reboot.
    FaultRow{"QX4SilentReboot", Op::kQX4, {{FaultKind::LoaderSilent, 0, signsim::kAlways, FDL_REBOOT}}, Cancel::kNone, "",
             true, {"Display Reboot 1", "Display Reboot 2", "Display Reboot 3", "Display did not answer Reboot CMD"}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
