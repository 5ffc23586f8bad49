// Every command group through the control against the emulated sign: what a method
// writes is read back, through the sign's own read commands or its state.
#include <gtest/gtest.h>

#include <qordtcon/qordtcon.hpp>

#include <fstream>
#include <functional>

#include "signsim/simulator.hpp"
#include "temp_dir.hpp"

using namespace qordtcon;
using namespace std::chrono_literals;
using Json = nlohmann::json;

namespace {

struct Rig {
  explicit Rig(signsim::Options options = {}) {
    SaveSetting("Lumarco3", "Settings", "MessageResponseTime", "400");
    dir.Write("LumarcoLite.ini", "[Settings]\nNoReplyPause=20\n");
    options.tcp = "127.0.0.1:0";
    sim = std::make_unique<signsim::Simulator>(options);
    sim->Start();
    classCONNECTION_METHOD cm;
    cm.HowToConnect = NetworkConnect;
    cm.IPAddress = "127.0.0.1";
    cm.CommPort = std::to_string(sim->TcpPort());
    cm.dispID = 1;
    opened = control.OpenConnectionToDisplay(cm);
  }
  Json State(const char* pointer) const { return sim->State().at(Json::json_pointer(pointer)); }

  TempDir dir;
  std::unique_ptr<signsim::Simulator> sim;
  qorDispTrans control;
  bool opened = false;
};

template <class T>
T With(std::function<void(T&)> fill) {
  T object;
  fill(object);
  return object;
}

}  // namespace

TEST(ControlGroups, SettingsLandInTheSignsState) {
  Rig rig;
  ASSERT_TRUE(rig.opened) << rig.control.LastErrorMessage();
  qorDispTrans& c = rig.control;
  struct Case {
    const char* name;
    std::function<bool()> call;
    const char* pointer;
    Json expected;
  };
  const std::vector<Case> cases = {
      {"text",
       [&] {
         return c.SetDisplayTextMessage(With<classTEXT_MSG>([](auto& t) {
           t.row = 2;
           t.msg = "HELLO";
         }));
       },
       "/text/msg", "HELLO"},
      {"scroll text",
       [&] {
         return c.SetDisplayScrollMessage(With<classTEXT_SCRMSG>([](auto& t) {
           t.Length = 5;
           t.msg = "WORLD";
         }));
       },
       "/scrollText/msg", "WORLD"},
      {"scroll speed",
       [&] {
         return c.SetDisplayScrollSpeed(With<classTEXT_SCRSPEED>([](auto& t) { t.speed = 3; }));
       },
       "/textSettings/scrollSpeed", 3},
      {"pause rate",
       [&] {
         return c.SetDisplayPauseRate(With<classTEXT_PAUSE_RATE>([](auto& t) { t.Value = 9; }));
       },
       "/textSettings/pauseRate", 9},
      {"blink rate",
       [&] {
         return c.SetDisplayBlinkRate(With<classTEXT_BLINK_RATE>([](auto& t) { t.Value = 4; }));
       },
       "/textSettings/blinkRate", 4},
      {"fonts", [&] { return c.ClearDisplayFonts(); }, "/textSettings/fontClears", 1},
      {"default message",
       [&] {
         return c.SetDefaultMessageOnDisplay(With<classDEFMSG_MSG>([](auto& d) {
           d.msg_num = 1;
           d.msg = "WELCOME";
         }));
       },
       "/defaultMessage/msg", "WELCOME"},
      {"default horz/vert",
       [&] {
         return c.SetDefaultMsgHorzVertOnDisplay(
             With<classDEFMSG_HORZVERT>([](auto& d) { d.horz = 1; }));
       },
       "/defaultMessage/horzVert", 1},
      {"schedule auto", [&] { return c.SetScheduledMessageAutoManualOnDisplay(true); },
       "/scheduled/auto", true},
      {"schedule delay",
       [&] {
         return c.SetScheduledMsgDelayOnDisplay(
             With<classSCHMSG_DELAY>([](auto& d) { d.delay = 12; }));
       },
       "/scheduled/delay", 12},
      {"paged start", [&] { return c.StartStopPagedTextMessageOnDisplay(true); }, "/paged/running",
       true},
      {"brightness",
       [&] {
         return c.SetDisplayBrightness(With<classDIAG_BRIGHTNESS>([](auto& b) { b.dimlevel = 7; }));
       },
       "/config/brightness/level", 7},
      {"brightness range",
       [&] {
         return c.SetDisplayBrightnessRange(With<classDIAG_BRIGHTNESS_RANGE>([](auto& b) {
           b.low_level = 2;
           b.hi_level = 12;
         }));
       },
       "/config/brightness/high", 12},
      {"groups",
       [&] { return c.SetDisplayGroups(With<classDIAG_GROUPS>([](auto& g) { g.groups = "AB"; })); },
       "/config/groups", "AB"},
      {"daylight saving", [&] { return c.SetDisplayDST(true); }, "/config/dst", true},
      {"scan off", [&] { return c.SetDisplayScan(false); }, "/config/scan", false},
      {"temperature",
       [&] {
         return c.SetDisplayTempAdjust(
             With<classDIAG_TEMP_CALIBRATION>([](auto& t) { t.calibration = -3; }));
       },
       "/config/tempAdjust", -3},
      {"hardware temperature",
       [&] {
         return c.SetDisplayHWTemp(With<classDIAG_HWTEMP>([](auto& h) { h.hwfrequency = 500; }));
       },
       "/config/hwFrequency", 500},
      {"default on", [&] { return c.SetDisplayDefault(true); }, "/config/defaultEnabled", true},
      {"autoplay", [&] { return c.SetAutoPlayOnDisplay(true); }, "/play/autoplay", true},
      {"description",
       [&] {
         return c.WritePlayOrderDescriptionOnDisplay(
             With<classPLAY_DESC_WRITE>([](auto& d) { d.descriptor = "LOBBY"; }));
       },
       "/play/description", "LOBBY"},
  };
  for (const Case& k : cases) {
    EXPECT_TRUE(k.call()) << k.name << ": " << c.LastErrorMessage();
    EXPECT_EQ(rig.State(k.pointer), k.expected) << k.name;
  }
}

TEST(ControlGroups, WritesReadBackThroughTheSign) {
  Rig rig;
  ASSERT_TRUE(rig.opened);
  qorDispTrans& c = rig.control;

  std::string name = "Lobby Sign North Entrance And Hall Ways";
  ASSERT_TRUE(c.SetDisplayName(name));
  EXPECT_EQ(name, "LOBBY SIGN NORTH ENTRANCE AND HA") << "the caller's text, cut and upper-cased";
  EXPECT_EQ(TrimAtNul(c.GetDisplayName()), name);
  std::string serial = "sn-42";
  ASSERT_TRUE(c.SetSerialNumber(serial));
  EXPECT_EQ(TrimAtNul(c.GetSerialNumber()), "SN-42");
  EXPECT_EQ(TrimAtNul(c.GetDisplayStats().serial_num), "SN-42");

  ASSERT_TRUE(c.SetDisplayVariable(With<classVARIABLE_WRITE>([](auto& v) {
    v.variable_num = 3;
    v.text_variable = "72F";
  })));
  EXPECT_EQ(c.GetDisplayVariable(With<classVARIABLE_READ_Req>([](auto& r) {
               r.variable_num = 3;
             })).text_variable,
            "72F");
  ASSERT_TRUE(c.SetDisplayCell(With<classCELL_WRITE>([](auto& v) {
    v.cell_num = 2;
    v.cell_variable = "OPEN";
  })));
  EXPECT_EQ(
      c.GetDisplayCell(With<classCELL_READ_Req>([](auto& r) { r.cell_num = 2; })).cell_variable,
      "OPEN");
  ASSERT_TRUE(c.DefineDisplayCounter(With<classCOUNTER_DEFINE>([](auto& d) {
    d.counter_num = 1;
    d.start_value = 100;
    d.stop_value = -5;
    d.incdec_value = -1;
  })));
  const classCOUNTER_READ_Res counter =
      c.GetDisplayCounter(With<classCOUNTER_READ_Req>([](auto& r) { r.counter_num = 1; }));
  EXPECT_EQ(std::tuple(counter.start_value, counter.stop_value, counter.incdec_value),
            std::tuple(100, -5, -1));

  classPLAY_ORDER order;
  order.num_entries(41);
  for (std::int16_t i = 1; i <= 41; ++i)
    order.FileName(i, "F" + std::to_string(i) + ".TXT");
  ASSERT_TRUE(c.TransmitDisplayPlayOrder(order));
  EXPECT_EQ(order.num_entries(), 1) << "the host's object holds the last chunk";
  std::vector<std::string> progress;
  c.OnMessage = [&](const std::string& text) { progress.push_back(text); };
  const classPLAY_GET_NEXT back = c.GetDisplayPlayOrder();
  ASSERT_EQ(back.num_entries(), 41);
  EXPECT_EQ(back.FileName(41), "F41.TXT");
  EXPECT_EQ(progress.size(), 42u);
  EXPECT_EQ(progress.back(), "Receiving Entry 42 of the PlayOrder");
  EXPECT_TRUE(c.ClearDisplayAndPlayOrder());
  EXPECT_EQ(c.GetDisplayPlayOrder().num_entries(), 0);
  EXPECT_EQ(rig.State("/text"), nullptr);
}

TEST(ControlGroups, DirectoryWalkAndPlayCounter) {
  TempDir files;
  files.Write("logo.bmp", std::string(1234, 'x'));
  files.Write("welcome.txt", "hi");
  signsim::Options options;
  options.files = {(files.path() / "logo.bmp").string(), (files.path() / "welcome.txt").string()};
  Rig rig(options);
  ASSERT_TRUE(rig.opened);
  std::vector<std::string> progress;
  int pumps = 0;
  rig.control.OnMessage = [&](const std::string& text) { progress.push_back(text); };
  rig.control.MessagePump = [&] { ++pumps; };
  const classDIR_ALL all = rig.control.GetAllDisplayDirInfo();
  ASSERT_EQ(all.num_entries(), 2);
  EXPECT_EQ(std::tuple(all.fname(1), all.size(1)), std::tuple(std::string("LOGO.BMP"), 1234));
  EXPECT_EQ(all.fname(2), "WELCOME.TXT");
  EXPECT_EQ(progress.back(), "Receiving Entry 3 of the Directory");
  EXPECT_GE(pumps, 3) << "the host may repaint after each progress text";
  EXPECT_TRUE(rig.control.GetDisplayDirInfo("logo.bmp").fname == "LOGO.BMP");

  classPLAY_ORDER order;
  order.num_entries(1);
  order.FileName(1, "LOGO.BMP");
  ASSERT_TRUE(rig.control.SetDisplayPlayOrder(order));
  EXPECT_TRUE(rig.control.RestartPlayOnDisplay({}));
  EXPECT_EQ(rig.control.PlayCountRead(), 1);
  rig.sim->AddFault({signsim::FaultKind::Silent, 0, signsim::kAlways});
  const std::int32_t retries = rig.control.RetryCount();
  EXPECT_EQ(rig.control.PlayCountRead(), -1);
  EXPECT_EQ(rig.control.RetryCount(), retries);
}
