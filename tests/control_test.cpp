#include <gtest/gtest.h>

#include <qordtcon/qordtcon.hpp>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "bytes.hpp"
#include "display_rig.hpp"
#include "outcome.hpp"
#include "play_entries.hpp"
#include "signsim/simulator.hpp"

using namespace qordtcon;
using namespace std::chrono_literals;

TEST(Control, FreshControlAndItsProperties) {
  TempDir dir;
  SaveSetting("Lumarco3", "Settings", "TransmitRetry", "0");
  qorDispTrans control;
  EXPECT_EQ(control.DestinationNode(), 1);
  EXPECT_FALSE(control.UseNewBccMethod());
  EXPECT_FALSE(control.ShowTransmission());
  EXPECT_EQ(control.RetryCount(), 1) << "TransmitRetry 0 gives one attempt";
  EXPECT_EQ(control.TransmitTimeOut(), 5000);
  // The four keys exist after the first start; the others stay absent.
  const std::string ini = dir.Read("Lumarco3.ini");
  for (const char* key : {"MessageResponseTime = 5000", "NetworkRetryInterval = 4000",
                          "ConnectTimeOut = 5000", "TransmitRetry = 0"}) {
    EXPECT_NE(ini.find(key), std::string::npos) << key << " in\n" << ini;
  }
  EXPECT_EQ(ini.find("DebugMode"), std::string::npos);
  EXPECT_EQ(dir.Read("iocomm.log").rfind("Log flushed at ", 0), 0u);

  control.UseNewBccMethod(true);
  EXPECT_FALSE(control.UseNewBccMethod()) << "ignored while closed";
  EXPECT_THROW(control.DestinationNode(256), std::overflow_error);
  EXPECT_EQ(control.DestinationNode(), 1);
  control.DestinationNode(255);
  EXPECT_EQ(control.DestinationNode(), 255);
  EXPECT_THROW(control.LookupDispCommandCode(300), std::overflow_error);
  EXPECT_EQ(control.LookupDispCommandCode(0xF0), "MESSAGE OK");
  EXPECT_EQ(control.LookupDispFunctionCode(0xF9), "File Not Found");
  control.TransmitTimeOut(1234);
  EXPECT_EQ(control.TransmitTimeOut(), 1234);
}

TEST(Control, OpeningNegotiatesTheBlockCheckAndTheFileBlockSize) {
  struct Case {
    const char* name;
    const char* applName;
    std::int16_t node;
    bool wantNewBcc;
    int blockSize;
    int status;  // STS of the frames after the negotiation
  };
  const Case cases[] = {
      {"plain sign", "SIGNSIM", 1, false, 1000, 0x00},
      {"large sign, new block check", "VHD-2000", 1, true, 16000, 0xAA},
      {"node 0 never negotiates", "SIGNSIM", 0, true, 1000, 0x00},
  };
  for (const Case& c : cases) {
    signsim::Options options;
    options.applName = c.applName;
    options.node = static_cast<std::uint8_t>(c.node);
    DisplayRig rig(options);
    ASSERT_TRUE(rig.Open(c.node)) << c.name << ": " << rig.control->LastErrorMessage();
    if (c.wantNewBcc) {
      rig.control->UseNewBccMethod(true);
      ASSERT_TRUE(rig.control->UseNewBccMethod());
      ASSERT_TRUE(rig.Open(c.node)) << c.name;
    }
    EXPECT_EQ(rig.control->FileBlockSize(), c.blockSize) << c.name;
    EXPECT_TRUE(rig.control->SetDisplayToCurrentTime(0)) << c.name;
    EXPECT_EQ(rig.StatusBytes().back(), c.status) << c.name;
  }
}

TEST(Control, NodeChangeRenegotiatesWithTheOldNode) {
  DisplayRig rig;
  ASSERT_TRUE(rig.Open());
  rig.control->UseNewBccMethod(true);
  const std::size_t before = rig.sim->ReceivedFrames().size();
  rig.control->DestinationNode(7);
  const auto frames = rig.sim->ReceivedFrames();
  ASSERT_EQ(frames.size(), before + 1) << "one block check request, to node 1";
  EXPECT_EQ(static_cast<std::uint8_t>(frames.back()[8]), 0x2C);
  EXPECT_EQ(rig.control->DestinationNode(), 7);
  rig.control->UseNewBccMethod(false);
  EXPECT_FALSE(rig.control->UseNewBccMethod());
}

// What a call does in each state of the control: refused at once, nothing sent, with a
// text that says why, until there is a connection to use or to open again.
TEST(Control, StateRulesAndWhatARefusedCallSays) {
  DisplayRig rig;
  qorDispTrans& c = *rig.control;
  classCONNECTION_METHOD missing = ControlRig::Serial("/nonexistent/tty");
  struct Step {
    const char* name;
    std::function<void()> before;
    bool result;
    std::string message;
  };
  // clang-format off
  const Step steps[] = {
      {"never opened", [] {}, false, "Not Connected - call OpenConnectionToDisplay first"},
      {"after a failed open", [&] {
         EXPECT_FALSE(c.OpenConnectionToDisplay(missing));
         EXPECT_EQ(c.LastErrorMessage(), "Could Not Connect \r\nCould not open Direct Connection ");
       }, false, "Not Connected - the connection could not be opened; call OpenConnectionToDisplay again"},
      {"after an abort, until the next open", [&] { ASSERT_TRUE(rig.Open()); c.UserAbort(); }, false, "User Canceled"},
      {"after closing a direct line", [&] { ASSERT_TRUE(rig.Open(1, Channel::kPty)); c.CloseConnectionToDisplay(); }, false,
       "Not Connected - the line was closed; call OpenConnectionToDisplay again"},
      // A network sign is called again, and the call goes through.
      {"after a close", [&] { ASSERT_TRUE(rig.Open()); c.CloseConnectionToDisplay(); rig.events.clear(); }, true, ""},
  };
  // clang-format on
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.before();
    const std::size_t frames = rig.sim->ReceivedFrames().size();
    const auto start = Clock::now();
    EXPECT_EQ(c.SetDisplayTextMessage({1, 1, 0, "HI"}), step.result);
    EXPECT_EQ(c.LastErrorMessage(), step.message);
    if (!step.result) {
      EXPECT_LT(Clock::now() - start, 100ms);
      EXPECT_EQ(rig.sim->ReceivedFrames().size(), frames);
    }
  }
  EXPECT_EQ(rig.events, (std::vector<std::string>{"status Trying to reconnect...", "sent 4 0"}));
  EXPECT_EQ(rig.sim->State()["text"]["msg"], "HI");
}

TEST(Control, DisplayInfoBurst) {
  DisplayRig rig;
  ASSERT_TRUE(rig.Open());
  rig.control->TransmitTimeOut(777);
  classDIAG_BRIGHTNESS level{21};
  const classDIAG_BRIGHTNESS_RANGE range{1, 9};
  classDIAG_BRIGHTNESS_SCHEDULE schedule;
  schedule.Num_Periods(2);
  const classDIAG_TEMP_CALIBRATION temp;
  const classTEXT_SCRSPEED speed{3};
  EXPECT_TRUE(rig.control->SetDisplayInfo(0, level, range, schedule, temp, true, speed))
      << rig.control->LastErrorMessage();
  EXPECT_EQ(rig.control->TransmitTimeOut(), 777);
  EXPECT_EQ(schedule.Num_Periods(), 2) << "dimlevel 21 keeps the host's schedule";
  // Seven packets in one write, in order.
  std::vector<std::pair<int, int>> codes;
  for (const auto& f : rig.sim->ReceivedFrames()) {
    codes.emplace_back(static_cast<std::uint8_t>(f[4]), static_cast<std::uint8_t>(f[8]));
  }
  codes.erase(codes.begin(), codes.end() - 7);
  EXPECT_EQ(codes, (std::vector<std::pair<int, int>>{
                       {0, 0}, {0, 13}, {0, 3}, {0, 14}, {0, 15}, {0, 17}, {1, 5}}));
  // Any other level, above or below, hands no schedule over.
  for (const std::int16_t other : {22, 5}) {
    level.dimlevel = other;
    schedule.Num_Periods(2);
    EXPECT_TRUE(rig.control->SetDisplayInfo(0, level, range, schedule, temp, false, speed));
    EXPECT_EQ(schedule.Num_Periods(), 0) << other;
  }

  // The sixth packet (daylight saving on) is lost: its acknowledgement never comes.
  rig.sim->AddFault(signsim::ParseFault("drop-ack@0/17"));
  EXPECT_FALSE(rig.control->SetDisplayInfo(0, level, range, schedule, temp, true, speed));
  EXPECT_EQ(rig.control->TransmitTimeOut(), 777);
}

TEST(Control, ClockFromThePc) {
  struct Case {
    DateTime when;
    std::int16_t adjust;
    const char* payload;  // hour min sec mday mon year wday
  };
  const Case cases[] = {
      {{2009, 12, 31, 23, 30, 0}, 1, "00 1E 00 01 01 0A 05"},
      {{2026, 12, 6, 12, 0, 5}, 0, "0C 00 05 06 0C 1A 00"},
      {{2024, 3, 1, 1, 0, 0}, -2, "17 00 00 1D 02 18 04"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClockPayload(c.when, c.adjust).ConvertDataIntoStr(), Bytes(c.payload)) << c.payload;
  }
}

// Each command method hands the host's object to its own routine: what it writes lands in
// the sign or reads back through its read method, and every call is one packet, relayed
// as the control's own event. (signctl's command lines reach the other methods.)
TEST(Control, CommandMethodsReachTheSign) {
  DisplayRig rig;
  ASSERT_TRUE(rig.Open());
  qorDispTrans& c = *rig.control;
  rig.events.clear();
  const auto landed = [&](bool ok, const char* at) {
    return Show(ok) + " " + rig.sim->State().at(nlohmann::json::json_pointer(at)).dump();
  };
  std::string name = "lobby";
  std::string serial = "sn-42";
  // Rows run in order: a read comes after its write.
  // clang-format off
  ExpectCases({
      {"scroll speed", landed(c.SetDisplayScrollSpeed({3}), "/textSettings/scrollSpeed"), "1 3"},
      {"pause rate", landed(c.SetDisplayPauseRate({9}), "/textSettings/pauseRate"), "1 9"},
      {"blink rate", landed(c.SetDisplayBlinkRate({4}), "/textSettings/blinkRate"), "1 4"},
      {"fonts", landed(c.ClearDisplayFonts(), "/textSettings/fontClears"), "1 1"},
      {"default message", landed(c.SetDefaultMessageOnDisplay({1, "WELCOME"}), "/defaultMessage/msg"), "1 \"WELCOME\""},
      {"default placement", landed(c.SetDefaultMsgHorzVertOnDisplay({1}), "/defaultMessage/horzVert"), "1 1"},
      {"scheduled delay", landed(c.SetScheduledMsgDelayOnDisplay({12}), "/scheduled/delay"), "1 12"},
      {"paged text started", landed(c.StartStopPagedTextMessageOnDisplay(true), "/paged/running"), "1 true"},
      {"brightness", landed(c.SetDisplayBrightness({7}), "/config/brightness/level"), "1 7"},
      {"brightness range", landed(c.SetDisplayBrightnessRange({2, 12}), "/config/brightness/high"), "1 12"},
      {"groups", landed(c.SetDisplayGroups({"AB"}), "/config/groups"), "1 \"AB\""},
      {"hardware temperature", landed(c.SetDisplayHWTemp({500}), "/config/hwFrequency"), "1 500"},
      {"default on", landed(c.SetDisplayDefault(true), "/config/defaultEnabled"), "1 true"},
      {"autoplay", landed(c.SetAutoPlayOnDisplay(true), "/play/autoplay"), "1 true"},
      {"description", landed(c.WritePlayOrderDescriptionOnDisplay({"LOBBY"}), "/play/description"), "1 \"LOBBY\""},
      {"name written", Show(c.SetDisplayName(name)) + " " + name, "1 LOBBY"},
      {"name read", TrimAtNul(c.GetDisplayName()), "LOBBY"},
      {"serial number written", Show(c.SetSerialNumber(serial)) + " " + serial, "1 SN-42"},
      {"serial number read", TrimAtNul(c.GetSerialNumber()), "SN-42"},
      {"variable written", Show(c.SetDisplayVariable({3, "72F"})), "1"},
      {"variable read", c.GetDisplayVariable({3}).text_variable, "72F"},
      {"cell written", Show(c.SetDisplayCell({2, "OPEN"})), "1"},
      {"cell read", c.GetDisplayCell({2}).cell_variable, "OPEN"},
      {"counter defined", Show(c.DefineDisplayCounter({.counter_num = 1, .incdec_value = -1, .start_value = 100, .stop_value = -5})), "1"},
      {"counter read", Outcome([&] { const auto r = c.GetDisplayCounter({1}); return Show(r.start_value, r.stop_value, r.incdec_value); }), "100 -5 -1"},
  });
  // clang-format on
  std::vector<std::string> sent;
  for (int tn = 2; tn <= 26; ++tn)
    sent.push_back("sent " + std::to_string(tn) + " 0");
  EXPECT_EQ(rig.events, sent);
}

// The play order and the directory are read entry by entry up to the entries that end
// them; each entry read is reported, and the host's pump runs right after each report.
TEST(Control, WalksPlayOrderAndDirectory) {
  TempDir files;
  const auto seed = [&](const std::string& name, std::size_t size, int hour) {
    files.Write(name, std::string(size, 'x'));
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 4, t.tm_hour = hour, t.tm_min = 5, t.tm_sec = 9;
    t.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&t));
    std::filesystem::last_write_time(files.path() / name, std::chrono::file_clock::from_sys(when));
    return (files.path() / name).string();
  };
  signsim::Options options;
  options.files = {seed("logo.bmp", 70000, 13), seed("Long File Name.text", 10, 14),
                   seed("long file name2.text", 0, 15)};
  DisplayRig rig(options);
  ASSERT_TRUE(rig.Open());
  qorDispTrans& c = *rig.control;
  c.MessagePump = [&] { rig.events.push_back("pump"); };
  const auto listed = [](const classPLAY_GET_NEXT& t) {
    std::string out;
    for (std::int16_t i = 1; i <= t.num_entries(); ++i)
      out += Show(t.FileName(i), t.delay(i), t.prefix(i), t.suffix(i)) + "; ";
    return out;
  };
  classPLAY_ORDER order = Entries<classPLAY_ORDER>(1, 41);
  ASSERT_TRUE(c.TransmitDisplayPlayOrder(order)) << c.LastErrorMessage();
  EXPECT_EQ(order.num_entries(), 1) << "the host's object holds the last chunk";
  rig.events.clear();
  EXPECT_EQ(listed(c.GetDisplayPlayOrder()), listed(Entries<classPLAY_GET_NEXT>(1, 41)));
  const classDIR_ALL all = c.GetAllDisplayDirInfo();
  std::string dir;
  for (std::int16_t i = 1; i <= all.num_entries(); ++i) {
    dir += Show(all.fname(i), all.size(i), all.hour(i), all.min(i), all.sec(i), all.mon(i),
                all.mday(i), all.year(i)) +
           "; ";
  }
  EXPECT_EQ(dir,
            "LOGO.BMP 70000 13 5 9 12 4 26; LONGFI~1.TEX 10 14 5 9 12 4 26; "
            "LONGFI~2.TEX 0 15 5 9 12 4 26; ");
  std::vector<std::string> reports, want;  // each report, and what came right after it
  for (std::size_t i = 0; i + 1 < rig.events.size(); ++i) {
    if (rig.events[i].rfind("message ", 0) == 0)
      reports.push_back(rig.events[i].substr(8) + ", " + rig.events[i + 1]);
  }
  for (int i = 1; i <= 46; ++i) {
    want.push_back("Receiving Entry " + std::to_string(i <= 42 ? i : i - 42) + " of the " +
                   (i <= 42 ? "PlayOrder" : "Directory") + ", pump");
  }
  EXPECT_EQ(reports, want);
  EXPECT_EQ(c.PlayCountRead(), 0);
  const classDIR_FILE logo = c.GetDisplayDirInfo("logo.bmp");
  EXPECT_EQ(Show(logo.fname, logo.size, logo.CMDFailed), "LOGO.BMP 70000 0");
  EXPECT_TRUE(c.GetDisplayDirInfo("NONE.BMP").CMDFailed);
  EXPECT_NE(c.LastErrorMessage().find("[F9]-File Not Found"), std::string::npos);
  EXPECT_EQ(c.GetFirstDisplayDirInfo().fname, "LOGO.BMP" + std::string(5, '\0'));
  EXPECT_EQ(c.GetNextDisplayDirInfo().fname, "LONGFI~1.TEX" + std::string(1, '\0'));
  EXPECT_TRUE(c.ClearDisplayDirInfo());
  const classDIR_FIRST end = c.GetFirstDisplayDirInfo();
  EXPECT_EQ(end.fname + std::to_string(end.size), std::string(13, '\0') + "0");
  EXPECT_EQ(c.GetAllDisplayDirInfo().num_entries(), 0);
  // Text and play order cleared in one write.
  ASSERT_TRUE(c.SetDisplayTextMessage({1, 1, 0, "HI"}));
  EXPECT_TRUE(c.ClearDisplayAndPlayOrder()) << c.LastErrorMessage();
  EXPECT_EQ(rig.sim->State()["text"], nullptr);
  EXPECT_EQ(listed(c.GetDisplayPlayOrder()), "");
}

// Controls on threads of their own share one sign and the process's settings and log.
TEST(Control, ControlsOnTheirOwnThreads) {
  DisplayRig rig;
  ControlRig::Set("DebugMode", "ON");
  constexpr int kControls = 4, kReads = 5;
  std::vector<int> good(kControls);
  std::vector<std::thread> threads;
  for (int i = 0; i < kControls; ++i) {
    threads.emplace_back([&, i] {
      qorDispTrans control;
      auto cm = ControlRig::Tcp(rig.sim->TcpPort());
      if (!control.OpenConnectionToDisplay(cm)) return;
      for (int r = 0; r < kReads; ++r) {
        control.GetDisplayTime();
        good[i] += control.WasLastTransmitionGood();
      }
      control.CloseConnectionToDisplay();
    });
  }
  for (std::thread& t : threads)
    t.join();
  EXPECT_EQ(good, std::vector<int>(kControls, kReads));
}

// OnLog gets the lines the log file gets, with their levels, as DebugMode chooses them,
// and only those of its own control.
TEST(Control, OnLogGetsTheFilesLines) {
  const std::pair<const char*, std::set<int>> modes[] = {
      {"ON", {1, 2}}, {"ON1", {1}}, {"ON2", {2}}, {"Off", {}}};
  for (const auto& [mode, want] : modes) {
    SCOPED_TRACE(mode);
    DisplayRig rig({}, {{"DebugMode", mode}});
    std::string got;
    std::set<int> levels;
    rig.control->OnLog = [&](std::int16_t level, const std::string& line) {
      got += line + "\r\n";
      levels.insert(level);
    };
    qordtcon::qorDispTrans idle;
    std::string idleGot;
    idle.OnLog = [&](std::int16_t, const std::string& line) { idleGot += line; };
    auto how = rig.Method();
    ASSERT_TRUE(rig.control->OpenConnectionToDisplay(how));
    qordtcon::classTEXT_MSG text;
    text.row = 1;
    text.msg = "LOG";
    EXPECT_TRUE(rig.control->SetDisplayTextMessage(text));
    rig.control->CloseConnectionToDisplay();
    // The file also begins with the line of its creation, which no control wrote.
    std::string file = rig.dir.Read("iocomm.log");
    if (file.rfind("Log flushed at ", 0) == 0) file.erase(0, file.find('\n') + 1);
    EXPECT_EQ(got, file);
    EXPECT_EQ(levels, want);
    EXPECT_EQ(idleGot, "") << "another control's lines";
  }
}
