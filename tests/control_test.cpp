#include <gtest/gtest.h>

#include <qordtcon/qordtcon.hpp>

#include "bytes.hpp"
#include "signsim/simulator.hpp"
#include "temp_dir.hpp"

using namespace qordtcon;
using namespace std::chrono_literals;
using signsim::FaultKind;
using signsim::kAlways;

namespace {

// A control with short time-outs and an emulated sign on loopback TCP.
struct ControlRig {
  explicit ControlRig(signsim::Options options = {}) {
    Set("MessageResponseTime", "400");
    Set("ConnectTimeOut", "3000");
    dir.Write("LumarcoLite.ini", "[Settings]\nNoReplyPause=50\n");
    options.tcp = "127.0.0.1:0";
    sim = std::make_unique<signsim::Simulator>(options);
    sim->Start();
    control = std::make_unique<qorDispTrans>();
    control->OnStatus = [this](const std::string& s) { events.push_back("status " + s); };
    control->OnMessage = [this](const std::string& s) { events.push_back("message " + s); };
    control->OnPacketSent = [this](std::int16_t tn, std::int16_t retry) {
      events.push_back("sent " + std::to_string(tn) + " " + std::to_string(retry));
    };
  }
  static void Set(const char* name, const std::string& value) {
    SaveSetting("Lumarco3", "Settings", name, value);
  }
  classCONNECTION_METHOD Tcp(std::int16_t node = 1) const {
    classCONNECTION_METHOD cm;
    cm.HowToConnect = NetworkConnect;
    cm.IPAddress = "127.0.0.1";
    cm.CommPort = std::to_string(sim->TcpPort());
    cm.dispID = node;
    return cm;
  }
  bool Open(std::int16_t node = 1) {
    auto cm = Tcp(node);
    return control->OpenConnectionToDisplay(cm);
  }
  // The status bytes of the frames the sign received (0xAA: new block check).
  std::vector<int> StatusBytes() const {
    std::vector<int> out;
    for (const auto& f : sim->ReceivedFrames())
      out.push_back(static_cast<std::uint8_t>(f[5]));
    return out;
  }

  TempDir dir;
  std::unique_ptr<signsim::Simulator> sim;
  std::unique_ptr<qorDispTrans> control;
  std::vector<std::string> events;
};

}  // namespace

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
    ControlRig rig(options);
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
  ControlRig rig;
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

TEST(Control, FailedOpenSaysWhy) {
  TempDir dir;
  SaveSetting("Lumarco3", "Settings", "ConnectTimeOut", "300");
  qorDispTrans control;
  classCONNECTION_METHOD cm;
  cm.HowToConnect = DirectConnect;
  cm.CommPort = "/nonexistent/tty";
  cm.BaudRate = "9600";
  EXPECT_FALSE(control.OpenConnectionToDisplay(cm));
  EXPECT_EQ(control.LastErrorMessage(), "Could Not Connect \r\nCould not open Direct Connection ");
}

TEST(Control, BroadcastRulesAndRelayedEvents) {
  ControlRig rig;
  ASSERT_TRUE(rig.Open());
  rig.control->DestinationNode(255);
  rig.events.clear();
  EXPECT_TRUE(rig.control->ClearDisplay());
  EXPECT_TRUE(rig.control->ClearDisplayPlayOrder());
  classTEXT_MSG text;
  text.msg = "HELLO";
  EXPECT_FALSE(rig.control->SetDisplayTextMessage(text)) << "the reply rule wants a reply";
  EXPECT_EQ(rig.events, (std::vector<std::string>{"sent 2 0", "sent 3 0", "sent 4 0"}));
  EXPECT_TRUE(rig.sim->WaitFor([](const auto& c) { return c.broadcasts == 3; }, 2000ms));
}

TEST(Control, DisplayInfoBurst) {
  ControlRig rig;
  ASSERT_TRUE(rig.Open());
  rig.control->TransmitTimeOut(777);
  classDIAG_BRIGHTNESS level;
  level.dimlevel = 21;
  classDIAG_BRIGHTNESS_RANGE range;
  range.low_level = 1;
  range.hi_level = 9;
  classDIAG_BRIGHTNESS_SCHEDULE schedule;
  schedule.Num_Periods(2);
  classDIAG_TEMP_CALIBRATION temp;
  classTEXT_SCRSPEED speed;
  speed.speed = 3;
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
  level.dimlevel = 5;
  EXPECT_TRUE(rig.control->SetDisplayInfo(0, level, range, schedule, temp, false, speed));
  EXPECT_EQ(schedule.Num_Periods(), 0);

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
