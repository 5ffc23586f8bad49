#include <gtest/gtest.h>

#include <sys/resource.h>

#include <future>
#include <thread>
#include <utility>

#include "bytes.hpp"
#include "outcome.hpp"
#include "peer.hpp"
#include "sign_rig.hpp"

using namespace qordtcon;
using namespace std::chrono_literals;
using signsim::Fault;
using signsim::FaultKind;
using signsim::kAlways;

TEST(Transaction, BroadcastSendsOnceAndWaitsOnlyThePause) {
  SignRig rig;
  ASSERT_TRUE(rig.Open(rig.Tcp()));
  rig.vars.DestNode = 255;
  const auto start = Clock::now();
  EXPECT_TRUE(rig.Transact(1, 4));
  EXPECT_LT(Clock::now() - start, 2000ms);
  EXPECT_TRUE(rig.noReply);
  EXPECT_EQ(rig.response, "");
  EXPECT_EQ(rig.Events("sent "), std::vector<std::string>{"sent 1 0"});
  EXPECT_EQ(rig.link->ErrorMessage, "Timed Out 4 time(s) for 0.4 sec. for CMD:[1] FNC:[4]");
  EXPECT_TRUE(rig.sim->WaitFor([](const auto& c) { return c.broadcasts == 1; }, 2000ms));
  EXPECT_EQ(rig.sim->GetCounters().acks, 0);
}

// A transaction that the host's message pump runs in between moves the number on: every
// attempt carries the number it reports.
TEST(Transaction, EachAttemptCarriesTheNumberItReports) {
  SignRig rig;
  ASSERT_TRUE(rig.Open(rig.Tcp()));
  rig.sim->AddFault({FaultKind::Silent, 0, 1});
  bool ran = false;
  rig.vars.MessagePump = [&] {
    bool noReply = false;
    if (!std::exchange(ran, true)) rig.engine->CreatePacket(0, 1, 0, {}, 0, noReply);
  };
  EXPECT_TRUE(rig.Transact(0, 0, kClock)) << rig.link->ErrorMessage;
  EXPECT_EQ(rig.Events("sent "), (std::vector<std::string>{"sent 1 0", "sent 2 0", "sent 2 1"}));
  std::vector<int> numbers;
  for (const auto& f : rig.sim->ReceivedFrames())
    numbers.push_back(static_cast<std::uint8_t>(f[6]));
  EXPECT_EQ(numbers, (std::vector<int>{1, 2}));
}

// The answer to a transaction that timed out: dropped when it waits before the next frame
// goes out; arriving in front of the next one's, taken for its answer as it always was, or
// skipped when transaction numbers must match.
TEST(Transaction, LateAnswersAndMatchTransactionNumber) {
  for (const bool match : {false, true}) {
    for (const bool waiting : {false, true}) {
      SCOPED_TRACE(Show(match, waiting));
      ControlRig rig({{"MatchTransactionNumber", match ? "True" : "False"}});
      rig.engine->RetryCount = 1;
      TcpListener sign;
      auto accepted = std::async(std::launch::async, [&] { return sign.Accept(10s); });
      ASSERT_TRUE(rig.Open(ControlRig::Tcp(sign.port())));
      ASSERT_TRUE(accepted.get());
      std::string response;
      bool noReply = false;
      EXPECT_FALSE(rig.engine->TransmitPacket(0, 1, 0, {}, response, noReply));
      const std::string late = Bytes("10 06") + Command(0, 0xF0, 1, 1, "A");
      if (waiting) {
        sign.Write(late);
        rig.link->AwaitInput(late.size(), 5s);
      }
      auto answer = std::async(std::launch::async, [&] {
        // The first frame and its inquiry, then the next frame.
        sign.Read(2 * Command(1, 0, 1, 1).size() + Inquiry(1).size());
        sign.Write((waiting ? "" : late) + Bytes("10 06") + Command(0, 0xF0, 1, 2, "B"));
      });
      ASSERT_TRUE(rig.engine->TransmitPacket(0, 1, 0, {}, response, noReply));
      answer.get();
      EXPECT_EQ(response.substr(9, 1), match || waiting ? "B" : "A");
    }
  }
}

TEST(ConnectionManager, EachBranchOfOpening) {
  SignRig rig(true);
  // A port that nothing listens on any more: connecting to it is refused.
  const std::uint16_t refused = TcpListener().port();
  struct Case {
    const char* name;
    classCONNECTION_METHOD method;
    std::function<void()> before;
    bool opened;
    std::string message;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"network", rig.Tcp(), [] {}, true, "Couldn't Open Connection"},
      // The open connection is closed, and no other is made.
      {"node out of range", [&] { auto cm = rig.Tcp(); cm.dispID = 300; return cm; }(), [] {}, false,
       "Couldn't Open Connection - dispID 300 is not a node address (0 to 255)"},
      {"network refused", SignRig::Tcp(refused), [] { SignRig::Set("ConnectTimeOut", "1000"); }, false,
       "Could not open Network Connection - 127.0.0.1"},
      {"network canceled", rig.Tcp(), [&] { rig.vars.Cancel = true; }, false, "User Canceled"},
      {"direct", rig.Serial(), [] {}, true, "Could not open Direct Connection "},
      {"direct missing port", SignRig::Serial("/nonexistent/tty"), [] {}, false, "Could not open Direct Connection "},
      {"any other kind is a direct line", [&] { auto cm = rig.Serial(); cm.HowToConnect = ConnectionType{0}; return cm; }(), [] {}, true,
       "Could not open Direct Connection "},
      {"modem", rig.Modem(), [] {}, true, "Couldn't Open Connection"},
      {"modem busy", rig.Modem(), [&] { rig.sim->SetDialResult("BUSY"); }, false, "Could not open Modem Connection - BUSY"},
      // Says why this open failed, not what the last dial answered.
      {"modem missing port", SignRig::Modem("/nonexistent/tty"), [] {}, false,
       "Could not open Modem Connection - cannot open /nonexistent/tty (No such file or directory)"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SignRig::Set("ConnectTimeOut", "3000");
    rig.vars.Cancel = false;
    rig.sim->SetDialResult("CONNECT");
    c.before();
    EXPECT_EQ(rig.Open(c.method), c.opened) << c.name;
    EXPECT_EQ(rig.vars.Connected, c.opened) << c.name;
    EXPECT_EQ(rig.link->ErrorMessage, c.message) << c.name;
    if (c.opened) {
      EXPECT_TRUE(rig.Transact(0, 1)) << c.name << ": " << rig.link->ErrorMessage;
    }
  }
  EXPECT_EQ(rig.sim->GetCounters().dials, 4) << "one dial that connected, three busy ones";
}

TEST(ConnectionManager, NetworkPortFieldAndNodeAddress) {
  SignRig rig;
  SignRig::Set("ConnectTimeOut", "300");
  SignRig::Set("NetworkRetryInterval", "300");
  for (const auto& [field, port] :
       std::vector<std::pair<std::string, int>>{{"23", 23}, {"10", 10}, {"9", 3001}, {"", 3001}}) {
    auto cm = rig.Tcp();
    cm.CommPort = field;
    cm.dispID = 255;
    rig.Open(cm);
    EXPECT_EQ(rig.vars.NetSocket->RemotePort, port) << "'" << field << "'";
    EXPECT_EQ(rig.vars.DestNode, 255);
  }
}

TEST(Transaction, TheLogTracesTheExchange) {
  SignRig rig;
  SignRig::Set("DebugMode", "ON");
  ASSERT_TRUE(rig.Open(rig.Tcp()));
  ASSERT_TRUE(rig.Transact(0, 1));
  const std::string log = rig.dir.Read("iocomm.log");
  const auto tn = static_cast<std::uint16_t>(rig.vars.TransNum);
  for (const std::string& line : std::vector<std::string>{
           "Entering Open Connection with ID of1\r\n",
           "Winsock Connected\r\n",
           "Connection opened?True\r\n",
           "Data Out:" + DumpFrame(BuildCommandFrame({1, 0, 1, tn, false}, "")) + "\r\n",
           "Waiting for Input Data...\r\n",
           "#### Data Received Size [1] Data [\x10] ####\r\n",
           "Data In: DLE=[10] STX=[2] DST=[0] SRC=[1] CMD=[F0] ",
           "Data Out:DLE=[10] ACK=[6] \r\n",
       }) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\nnot in\n" << log;
  }
}

TEST(Transaction, UnexpectedFailuresAreLogged) {
  SignRig rig;
  SignRig::Set("DebugMode", "ON2");
  ASSERT_TRUE(rig.Open(rig.Tcp()));
  // A setting that is not a number fails the transaction, never the host's call.
  SignRig::Set("MessageResponseTime", "soon");
  EXPECT_FALSE(rig.Transact(0, 1));
  EXPECT_FALSE(rig.vars.Transmitting);
  EXPECT_NE(rig.dir.Read("iocomm.log")
                .find("DTCon:Transmit Packet - Unexpected Error Occurred Type mismatch: setting "
                      "MessageResponseTime is \"soon\", not a number; correct it in the settings "
                      "file\r\n"),
            std::string::npos);
  EXPECT_EQ(rig.sim->ReceivedFrames().size(), 1u);
}

TEST(Transaction, WaitingForASilentSignBurnsNoCpu) {
  SignRig rig;
  ASSERT_TRUE(rig.Open(rig.Tcp()));
  rig.sim->AddFault({FaultKind::Silent, 0, kAlways});
  rig.engine->RetryCount = 1;
  rig.link->MessageResponseTime = 1500;
  const auto cpu = [] {
    rusage ru{};
    getrusage(RUSAGE_THREAD, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  };
  const double before = cpu();
  const auto start = Clock::now();
  EXPECT_FALSE(rig.Transact(0, 1));
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  // A wait that polled would use the whole second and a half.
  EXPECT_LT(cpu() - before, 0.2 * wall);
}
