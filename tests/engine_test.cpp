#include <gtest/gtest.h>

#include <sys/resource.h>

#include <future>
#include <thread>

#include "bytes.hpp"
#include "peer.hpp"
#include "sign_rig.hpp"

using namespace qordtcon;
using namespace std::chrono_literals;
using signsim::Fault;
using signsim::FaultKind;
using signsim::kAlways;

TEST(Transaction, FailurePathsWithTheirTexts) {
  struct Case {
    const char* name;
    std::vector<Fault> faults;
    bool result;
    std::string message;
    int sends;
    int inquiries;
    int hostAcks;  // replies the host acknowledged
  };
  const std::string timedOut = "Timed Out 4 time(s) for 0.4 sec. for CMD:[0] FNC:[0]";
  // clang-format off
  const std::vector<Case> cases = {
      {"accepted", {}, true, "", 1, 0, 1},
      {"silent sign", {{FaultKind::Silent, 0, kAlways}}, false, timedOut, 4, 4, 0},
      {"refused every time", {{FaultKind::Nak, 0, kAlways}}, false, "Display has sent NAK for CMD:[0] FNC:[0]", 4, 0, 0},
      {"refused once", {{FaultKind::Nak, 0, 1}}, true, "Display has sent NAK for CMD:[0] FNC:[0]", 2, 0, 1},
      {"corrupt reply", {{FaultKind::BadBcc, 0, kAlways}}, false, "Xmit Error - Checksum Failed for CMD:[0] - FNC:[0] ", 4, 0, 0},
      // An error report is acknowledged, handed back, and not retried.
      {"error report", {{FaultKind::ErrorReply, 0xF9, kAlways}}, false,
       "Display Reported Error [F1]- [F9]-File Not Found for last CMD:[0] FNC:[0]", 1, 0, 1},
      // A sign that stays silent once (an inquiry answered late would race the flush).
      {"acknowledge lost once", {{FaultKind::Silent, 0, 1}}, true, "", 2, 1, 1},
      {"reply for another node first", {{FaultKind::Foreign, 2, 1}}, true, "", 1, 0, 1},
      {"slow reply", {{FaultKind::Delay, 250, 1}}, true, "", 1, 0, 1},
  };
  // clang-format on
  for (const Case& c : cases) {
    SignRig rig;
    ASSERT_TRUE(rig.Open(rig.Tcp())) << rig.link->ErrorMessage;
    for (const Fault& f : c.faults)
      rig.sim->AddFault(f);
    rig.events.clear();
    EXPECT_EQ(rig.Transact(0, 0, kClock), c.result) << c.name;
    EXPECT_EQ(rig.link->ErrorMessage, c.message) << c.name;
    // A fresh sign and control: the transaction is number 1.
    std::vector<std::string> sends, retries;
    for (int i = 0; i < c.sends; ++i) {
      sends.push_back("sent 1 " + std::to_string(i));
      if (i > 0) retries.push_back("Retrying - Transaction: 1  " + std::to_string(i) + " time(s)");
    }
    EXPECT_EQ(rig.Events("sent "), sends) << c.name;
    EXPECT_EQ(rig.Events("Retrying"), retries) << c.name;
    EXPECT_EQ(rig.Events("Ack was not"),
              std::vector<std::string>(c.inquiries, "Ack was not received - Inquiring Trans: 1  "))
        << c.name;
    EXPECT_TRUE(rig.sim->WaitFor([&](const auto& n) { return n.inquiries == c.inquiries; }, 2000ms))
        << c.name << ": the inquiries reach the sign";
    EXPECT_TRUE(rig.sim->WaitFor([&](const auto& n) { return n.hostAcks == c.hostAcks; }, 2000ms))
        << c.name << ": " << rig.sim->GetCounters().hostAcks << " acknowledged";
    if (c.hostAcks > 0) {
      ASSERT_GE(rig.response.size(), 12u) << c.name;
      EXPECT_EQ(static_cast<std::uint8_t>(rig.response[4]), c.result ? 0xF0 : 0xF1) << c.name;
      EXPECT_EQ(rig.response[2], 0) << c.name << ": the reply for the host";
      EXPECT_EQ(rig.engine->LastCommandGood(), c.result) << c.name;
      // The sign executed the command once, however often it was sent.
      EXPECT_EQ(rig.sim->GetCounters().executed, c.result ? 1 : 0) << c.name;
    }
  }
}

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

TEST(Transaction, UserAbortFromAnotherThreadEndsTheWait) {
  for (const bool serial : {false, true}) {
    SignRig rig(true, {{"MessageResponseTime", "20000"}});
    ASSERT_TRUE(rig.Open(serial ? rig.Serial() : rig.Tcp()));
    rig.sim->AddFault({FaultKind::Silent, 0, kAlways});
    auto abort = std::async(std::launch::async, [&] {
      rig.sim->WaitFor([](const auto& c) { return c.frames >= 1; }, 5000ms);
      std::this_thread::sleep_for(100ms);
      rig.vars.Cancel = true;
      rig.link->Abort = true;
      rig.link->Interrupt();
    });
    const auto start = Clock::now();
    EXPECT_FALSE(rig.Transact(0, 0, kClock));
    EXPECT_LT(Clock::now() - start, 5000ms) << "a 20 s read must end at the abort";
    EXPECT_EQ(rig.link->ErrorMessage, "User Canceled");
    abort.get();
  }
}

TEST(Transaction, DroppedConnectionIsReopenedByTheNextTransaction) {
  SignRig rig;
  ASSERT_TRUE(rig.Open(rig.Tcp()));
  ASSERT_TRUE(rig.Transact(0, 0, kClock));
  // The sign hangs up right after our acknowledge of the next reply (a 12-byte clock
  // read and DLE ACK): that transaction succeeds; the link is mended as soon as the
  // hang-up is seen, at the latest by the next transaction.
  rig.events.clear();
  rig.sim->AddFault({FaultKind::DropAfter, 14, 1});
  ASSERT_TRUE(rig.Transact(0, 1)) << rig.link->ErrorMessage;
  ASSERT_TRUE(rig.sim->WaitFor([](const auto& c) { return c.disconnects == 1; }, 2000ms));
  EXPECT_TRUE(rig.Transact(0, 1)) << rig.link->ErrorMessage;
  EXPECT_EQ(rig.sim->GetCounters().connections, 2);
  EXPECT_EQ(rig.Events("Trying to reconnect..."),
            std::vector<std::string>{"Trying to reconnect..."});
  // A drop in the middle of a transaction is mended between its attempts.
  rig.sim->AddFault({FaultKind::DropAfter, 3, 1});
  EXPECT_TRUE(rig.Transact(0, 1)) << rig.link->ErrorMessage;
  EXPECT_EQ(rig.sim->GetCounters().connections, 3);
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
      {"network refused", SignRig::Tcp(refused), [] { SignRig::Set("ConnectTimeOut", "1000"); }, false,
       "Could not open Network Connection - 127.0.0.1"},
      {"network canceled", rig.Tcp(), [&] { rig.vars.Cancel = true; }, false, "User Canceled"},
      {"direct", rig.Serial(), [] {}, true, "Could not open Direct Connection "},
      {"direct missing port", SignRig::Serial("/nonexistent/tty"), [] {}, false, "Could not open Direct Connection "},
      {"modem", rig.Modem(), [] {}, true, "Couldn't Open Connection"},
      {"modem busy", rig.Modem(), [&] { rig.sim->SetDialResult("BUSY"); }, false, "Could not open Modem Connection - BUSY"},
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
      // A transaction on the line, and one on a two-wire line that echoes every byte.
      EXPECT_TRUE(rig.Transact(0, 1)) << c.name << ": " << rig.link->ErrorMessage;
      rig.sim->AddFault({FaultKind::Echo, 0, kAlways});
      EXPECT_TRUE(rig.Transact(0, 1)) << c.name << " with echo: " << rig.link->ErrorMessage;
      rig.sim->ClearFaults();
    }
  }
  EXPECT_EQ(rig.sim->GetCounters().dials, 4) << "one dial that connected, three busy ones";
}

TEST(ConnectionManager, NetworkPortFieldAndNodeAddress) {
  SignRig rig;
  SignRig::Set("ConnectTimeOut", "300");
  SignRig::Set("NetworkRetryInterval", "300");
  for (const auto& [field, port] :
       std::vector<std::pair<std::string, int>>{{"23", 23}, {"5", 3001}, {"", 3001}}) {
    auto cm = rig.Tcp();
    cm.CommPort = field;
    cm.dispID = 255;
    rig.Open(cm);
    EXPECT_EQ(rig.vars.NetSocket->RemotePort, port) << "'" << field << "'";
    EXPECT_EQ(rig.vars.DestNode, 255);
  }
}

TEST(ConnectionManager, ModemDialCanceledByTheUser) {
  SignRig rig;
  PtyMaster mute;  // a modem that never answers the dial
  const auto cm = SignRig::Modem(mute.path());
  auto abort = std::async(std::launch::async, [&] {
    mute.Read(4, 10000ms);  // "ATDT"
    rig.vars.Cancel = true;
    rig.link->Abort = true;
    rig.link->Interrupt();
  });
  EXPECT_FALSE(rig.Open(cm));
  EXPECT_EQ(rig.link->ErrorMessage, "User Canceled");
  abort.get();
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

TEST(Transaction, NothingGoesOutOnAClosedLinkAndUnexpectedFailuresAreLogged) {
  SignRig rig;
  SignRig::Set("DebugMode", "ON2");
  ASSERT_TRUE(rig.Open(rig.Tcp()));
  rig.link->Abort = true;
  rig.response = "kept";
  EXPECT_FALSE(rig.engine->TransmitPacket(0, 1, 0, "", rig.response, rig.noReply));
  EXPECT_EQ(rig.response, "kept");
  EXPECT_EQ(rig.vars.TransNum, 0) << "no transaction started";
  rig.link->Abort = false;

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
