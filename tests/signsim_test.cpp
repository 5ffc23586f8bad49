#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include <qordtcon/payloads/fields.hpp>

#include "bytes.hpp"
#include "peer.hpp"
#include "signsim/simulator.hpp"
#include "temp_dir.hpp"

using namespace std::chrono_literals;
using namespace std::string_literals;
using signsim::Counters;
using signsim::Fault;
using signsim::FaultKind;

namespace {

constexpr auto kWait = 3000ms;
const std::string kClock = Bytes("0D 05 09 18 0C 1A 05");  // 13:05:09 24.12.26, weekday 5
const std::string kAck = Bytes("10 06");
const std::string kNak = Bytes("10 15");

signsim::Options TcpOnly() {
  signsim::Options options;
  options.tcp = "127.0.0.1:0";
  return options;
}

// The reply payload: the unstuffed frame from its tenth character to before DLE ETX.
std::string Payload(const std::string& replyFrame) {
  const std::string frame = qordtcon::UnstuffFrame(replyFrame);
  return frame.substr(9, frame.size() - 12);
}

// Runs one transaction on a fresh connection and returns the reply's payload.
std::string Ask(signsim::Simulator& sim, std::uint8_t node, std::uint8_t cmd, std::uint8_t fnc,
                std::string_view data = {}) {
  Peer peer = Peer::Tcp(sim.TcpPort());
  peer.Write(Command(node, cmd, fnc, 1, data));
  if (peer.Read(2) != kAck) return "(not acknowledged)";
  return Payload(peer.ReadFrame());
}

}  // namespace

TEST(SignsimFaults, SpecsParseOrSayWhatIsAccepted) {
  struct Good {
    const char* spec;
    FaultKind kind;
    int value, count;
  };
  const Good good[] = {
      {"nak:3", FaultKind::Nak, 0, 3},
      {"bad-bcc:always", FaultKind::BadBcc, 0, signsim::kAlways},
      {"error=0x1A", FaultKind::ErrorReply, 0x1A, 1},
      {"echo:always", FaultKind::Echo, 0, signsim::kAlways},
      {"foreign", FaultKind::Foreign, 2, 1},
      {"foreign=9", FaultKind::Foreign, 9, 1},
      {"drop-after=0", FaultKind::DropAfter, 0, 1},
  };
  for (const Good& g : good) {
    const Fault f = signsim::ParseFault(g.spec);
    EXPECT_EQ(f.kind, g.kind) << g.spec;
    EXPECT_EQ(f.value, g.value) << g.spec;
    EXPECT_EQ(f.count, g.count) << g.spec;
  }
  const std::string accepted =
      "drop-ack, nak, bad-bcc, silent, error=CODE, echo, delay=MS, foreign[=NODE], "
      "drop-after=N, each optionally followed by :COUNT or :always";
  struct Bad {
    const char* spec;
    std::string text;
  };
  const Bad bad[] = {
      {"", "bad fault '': unknown kind ''; accepted: " + accepted},
      {"jam:2", "bad fault 'jam:2': unknown kind 'jam'; accepted: " + accepted},
      {"nak=1", "bad fault 'nak=1': 'nak' takes no value"},
      {"error",
       "bad fault 'error': 'error' needs a value: error=CODE, CODE 0..255 in decimal or "
       "0x-hex"},
      {"error=256",
       "bad fault 'error=256': value '256' does not fit: error=CODE, CODE 0..255 in "
       "decimal or 0x-hex"},
      {"delay=-5",
       "bad fault 'delay=-5': value '-5' does not fit: delay=MS, MS 0..600000 "
       "milliseconds"},
      {"drop-after=",
       "bad fault 'drop-after=': value '' does not fit: drop-after=N, N bytes 0 or "
       "more"},
      {"nak:0", "bad fault 'nak:0': count '0' must be a number 1 or more, or 'always'"},
  };
  for (const Bad& b : bad) {
    try {
      signsim::ParseFault(b.spec);
      ADD_FAILURE() << "accepted " << b.spec;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(e.what(), b.text);
    }
  }
}

// Every case runs on a fresh sign (node 1) and connection; the output is read to its
// exact length. Most cases end with an inquiry, whose answer comes last, so that a byte
// too many anywhere before it shows as a mismatch.
TEST(SignsimProtocol, FramesGetExactAnswersOverTcp) {
  const std::string clockNew = Command(1, 0, 0, 1, kClock, true);
  std::string badOld = Command(1, 0, 0, 1, kClock);
  badOld.back() = static_cast<char>(badOld.back() ^ 0x01);
  // STS announces the new method but the BCC is the old method's: the zeros count.
  std::string badNew = clockNew;
  badNew.back() = static_cast<char>(
      qordtcon::SenderBcc(qordtcon::StuffBody(Bytes("01 00 00 AA 01 00 00") + kClock), false));
  const std::string text = Command(1, 1, 0, 5, Bytes("00 00 00 48 49 00"));
  struct Case {
    const char* name;
    std::vector<const char*> faults;
    std::string input;
    std::string output;
    int executed, repeats, naks;
  };
  const Case cases[] = {
      {"clock set, old BCC",
       {},
       Command(1, 0, 0, 1, kClock) + Inquiry(1),
       Bytes("10 06 10 02 00 01 F0 00 01 00 00 10 03 0E 10 06"),
       1,
       0,
       0},
      {"clock set, new BCC",
       {},
       clockNew + Inquiry(1),
       Bytes("10 06 10 02 00 01 F0 AA 01 00 00 10 03 61 10 06"),
       1,
       0,
       0},
      {"bad BCC, old method", {}, badOld + Inquiry(1), kNak + kNak, 0, 0, 1},
      {"bad BCC, new method", {}, badNew + Inquiry(1), kNak + kNak, 0, 0, 1},
      {"bytes before DLE STX are dropped",
       {},
       "xyz" + Bytes("10 41") + Command(1, 0, 0, 1, kClock),
       Bytes("10 06 10 02 00 01 F0 00 01 00 00 10 03 0E"),
       1,
       0,
       0},
      {"unknown command",
       {},
       Command(1, 0x42, 0, 3),
       Bytes("10 06 10 02 00 01 F1 00 03 00 00 10 03 0B"),
       0,
       0,
       0},
      {"unknown function",
       {},
       Command(1, 0, 0x77, 4),
       Bytes("10 06 10 02 00 01 F1 00 04 00 01 10 03 09"),
       0,
       0,
       0},
      {"broadcast runs silently", {}, Command(255, 0, 0, 1, kClock) + Inquiry(1), kNak, 1, 0, 0},
      {"other node is ignored",
       {},
       Command(2, 0, 0, 1, kClock) + Inquiry(2) + Inquiry(1),
       kNak,
       0,
       0,
       0},
      {"repeat answered again, not run again",
       {},
       Command(1, 0, 0, 5, kClock) + kAck + Command(1, 0, 0, 5, kClock) + kAck + text,
       Bytes("10 06 10 02 00 01 F0 00 05 00 00 10 03 0A 10 06 10 02 00 01 F0 00 05 00 00 10 03 0A"
             "10 06 10 02 00 01 F0 00 05 00 00 10 03 0A"),
       2,
       1,
       0},
      {"same command, next number runs again",
       {},
       Command(1, 0, 0, 1, kClock) + Command(1, 0, 0, 2, kClock),
       Bytes("10 06 10 02 00 01 F0 00 01 00 00 10 03 0E 10 06 10 02 00 01 F0 00 02 00 00 10 03 0D"),
       2,
       0,
       0},
      {"stuffed header and data",
       {},
       Command(1, 1, 0, 0x1010, Bytes("10 00 00 41 10 42 00")),
       Bytes("10 06 10 02 00 01 F0 00 10 10 10 10 00 10 03 EF"),
       1,
       0,
       0},
      {"fault nak", {"nak"}, Command(1, 0, 0, 1, kClock) + Inquiry(1), kNak + kNak, 0, 0, 1},
      {"fault drop-ack, then the resend",
       {"drop-ack"},
       Command(1, 0, 0, 1, kClock) + Inquiry(1) + Command(1, 0, 0, 1, kClock),
       kNak + Bytes("10 06 10 02 00 01 F0 00 01 00 00 10 03 0E"),
       1,
       0,
       0},
      {"fault error",
       {"error=5"},
       Command(1, 0, 0, 1, kClock),
       Bytes("10 06 10 02 00 01 F1 00 01 00 05 10 03 08"),
       0,
       0,
       0},
      {"fault bad-bcc, the host refuses and resends",
       {"bad-bcc"},
       Command(1, 0, 0, 1, kClock) + kNak + Command(1, 0, 0, 1, kClock),
       Bytes("10 06 10 02 00 01 F0 00 01 00 00 10 03 F1 10 06 10 02 00 01 F0 00 01 00 00 10 03 0E"),
       1,
       1,
       0},
      {"fault foreign",
       {"foreign=7"},
       Command(1, 0, 0, 1, kClock),
       Bytes("10 06 10 02 07 01 F0 00 01 00 00 10 03 07 10 02 00 01 F0 00 01 00 00 10 03 0E"),
       1,
       0,
       0},
      {"fault silent, inquiry included",
       {"silent"},
       Command(1, 0, 0, 1, kClock) + Inquiry(1) + Command(1, 0, 0, 2, kClock),
       Bytes("10 06 10 02 00 01 F0 00 02 00 00 10 03 0D"),
       1,
       0,
       0},
      {"fault echo",
       {"echo"},
       Command(1, 0, 0, 1, kClock) + kAck + Inquiry(1),
       Command(1, 0, 0, 1, kClock) + Bytes("10 06 10 02 00 01 F0 00 01 00 00 10 03 0E") + kAck +
           Inquiry(1) + kAck,
       1,
       0,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    signsim::Options options = TcpOnly();
    for (const char* spec : c.faults)
      options.faults.push_back(signsim::ParseFault(spec));
    signsim::Simulator sim(options);
    sim.Start();
    Peer peer = Peer::Tcp(sim.TcpPort());
    peer.Write(c.input);
    EXPECT_EQ(peer.Read(c.output.size()), c.output);
    const Counters counters = sim.GetCounters();
    EXPECT_EQ(counters.executed, c.executed);
    EXPECT_EQ(counters.repeats, c.repeats);
    EXPECT_EQ(counters.naks, c.naks);
    for (const char* spec : c.faults) {
      EXPECT_EQ(counters.faults.at(signsim::ParseFault(spec).kind), 1) << spec;
    }
  }
}

TEST(SignsimProtocol, CountsInquiriesHostAnswersAndOtherNodes) {
  signsim::Simulator sim(TcpOnly());
  sim.Start();
  Peer peer = Peer::Tcp(sim.TcpPort());
  peer.Write(Command(3, 0, 1, 1) + Command(255, 0, 0, 1, kClock) + Command(1, 0, 1, 2) + kNak +
             kAck + Inquiry(1));
  ASSERT_TRUE(sim.WaitFor([](const Counters& c) { return c.inquiries == 1; }, kWait));
  const Counters c = sim.GetCounters();
  EXPECT_EQ(c.otherNode, 1);
  EXPECT_EQ(c.broadcasts, 1);
  EXPECT_EQ(c.frames, 2);
  EXPECT_EQ(c.hostNaks, 1);
  EXPECT_EQ(c.hostAcks, 1);
  EXPECT_EQ(c.replies, 1);
  EXPECT_EQ(c.connections, 1);
  const std::vector<std::string> frames = sim.ReceivedFrames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], qordtcon::UnstuffFrame(Command(255, 0, 0, 1, kClock)));
  EXPECT_EQ(frames[1], Command(1, 0, 1, 2));
}

TEST(SignsimProtocol, DelayedReplyFollowsTheAcknowledgeLate) {
  signsim::Options options = TcpOnly();
  options.faults.push_back(signsim::ParseFault("delay=400"));
  signsim::Simulator sim(options);
  sim.Start();
  Peer peer = Peer::Tcp(sim.TcpPort());
  const auto sent = std::chrono::steady_clock::now();
  peer.Write(Command(1, 0, 0, 1, kClock));
  EXPECT_EQ(peer.Read(2), kAck);
  EXPECT_EQ(peer.Read(12), Bytes("10 02 00 01 F0 00 01 00 00 10 03 0E"));
  EXPECT_GE(std::chrono::steady_clock::now() - sent, 400ms);
}

TEST(SignsimProtocol, DropAfterClosesTheConnectionAfterItsBytes) {
  const std::string frame = Command(1, 0, 0, 1, kClock);
  struct Case {
    int budget;
    std::string output;
    int executed;
  };
  const Case cases[] = {
      {5, "", 0},
      {static_cast<int>(frame.size()), Bytes("10 06 10 02 00 01 F0 00 01 00 00 10 03 0E"), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.budget);
    signsim::Simulator sim(TcpOnly());
    sim.Start();
    sim.AddFault({FaultKind::DropAfter, c.budget, 1});
    Peer peer = Peer::Tcp(sim.TcpPort());
    peer.Write(frame);
    EXPECT_EQ(peer.Read(c.output.size()), c.output);
    EXPECT_TRUE(peer.WaitClosed());
    ASSERT_TRUE(sim.WaitFor([](const Counters& n) { return n.disconnects == 1; }, kWait));
    EXPECT_EQ(sim.GetCounters().executed, c.executed);
    EXPECT_EQ(sim.GetCounters().faults.at(FaultKind::DropAfter), 1);
    // The fault is used up: the next connection is served.
    Peer again = Peer::Tcp(sim.TcpPort());
    again.Write(Command(1, 0, 0, 1, kClock));
    EXPECT_EQ(again.Read(14), Bytes("10 06 10 02 00 01 F0 00 01 00 00 10 03 0E"));
  }
}

TEST(SignsimProtocol, ClientsKeepTheirOwnTransactionNumbers) {
  signsim::Simulator sim(TcpOnly());
  sim.Start();
  Peer first = Peer::Tcp(sim.TcpPort());
  Peer second = Peer::Tcp(sim.TcpPort());
  const std::string answer = Bytes("10 06 10 02 00 01 F0 00 01 00 00 10 03 0E");
  first.Write(Command(1, 0, 0, 1, kClock));
  EXPECT_EQ(first.Read(answer.size()), answer);
  second.Write(Command(1, 0, 0, 1, kClock));
  EXPECT_EQ(second.Read(answer.size()), answer);
  EXPECT_EQ(sim.GetCounters().executed, 2);
  EXPECT_EQ(sim.GetCounters().repeats, 0);
}

TEST(SignsimProtocol, OversizedFrameIsDroppedAndTheLineRecovers) {
  signsim::Simulator sim(TcpOnly());
  sim.Start();
  Peer peer = Peer::Tcp(sim.TcpPort());
  peer.Write(Bytes("10 02") + std::string((1 << 20) + 10, 'A'));
  peer.Write(Command(1, 0, 0, 1, kClock));
  EXPECT_EQ(peer.Read(14), Bytes("10 06 10 02 00 01 F0 00 01 00 00 10 03 0E"));
  EXPECT_EQ(sim.GetCounters().oversized, 1);
}

TEST(SignsimSimulator, StartSaysWhatFailed) {
  TempDir dir;
  dir.Write("taken", "a file, not a link");
  signsim::Simulator first(TcpOnly());
  first.Start();
  const std::string busy = "127.0.0.1:" + std::to_string(first.TcpPort());
  struct Case {
    std::string tcp, pty, modem, text;
  };
  const Case cases[] = {
      {busy, "", "", "cannot listen on " + busy + ": Address already in use"},
      {"127.0.0.1", "", "",
       "--tcp: '127.0.0.1' is not ADDR:PORT: give an IP address and a port "
       "0..65535, e.g. 127.0.0.1:3001 or [::1]:3001"},
      {"", (dir.path() / "taken").string(), "",
       "--pty: '" + (dir.path() / "taken").string() +
           "' exists and is not a link; not replacing it"},
      {"", "", (dir.path() / "no/such/dir").string(),
       "--modem-pty: cannot link '" + (dir.path() / "no/such/dir").string() +
           "': No such file or directory"},
  };
  for (const Case& c : cases) {
    signsim::Options options;
    options.tcp = c.tcp;
    options.ptyLink = c.pty;
    options.modemPtyLink = c.modem;
    signsim::Simulator sim(options);
    try {
      sim.Start();
      ADD_FAILURE() << "started: " << c.text;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), c.text);
    }
  }
}

TEST(SignsimSign, ClockRunsFromWhatWasSet) {
  signsim::Simulator sim(TcpOnly());
  sim.Start();
  const auto near = [](const std::string& got, const std::tm& want) {
    ASSERT_EQ(got.size(), 7u);
    const int seconds = (got[0] * 60 + got[1]) * 60 + got[2];
    const int wanted = (want.tm_hour * 60 + want.tm_min) * 60 + want.tm_sec;
    EXPECT_LE(std::abs(seconds - wanted), 3);
    EXPECT_EQ(got[3], want.tm_mday);
    EXPECT_EQ(got[4], want.tm_mon + 1);
    EXPECT_EQ(got[5], want.tm_year % 100);
  };
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  near(Ask(sim, 1, 0, 1), local);  // unset, the sign shows the machine's time

  ASSERT_EQ(Ask(sim, 1, 0, 0, kClock), "");
  const std::string got = Ask(sim, 1, 0, 1);
  std::tm set{};
  set.tm_hour = 13, set.tm_min = 5, set.tm_sec = 9, set.tm_mday = 24, set.tm_mon = 11;
  set.tm_year = 126;
  near(got, set);
  EXPECT_EQ(got[6], 5);  // the host's weekday numbering is kept
  EXPECT_EQ(sim.State()["clock"]["hour"], 13);
}

TEST(SignsimSign, WhatIsWrittenReadsBackAndIsDumped) {
  TempDir dir;
  signsim::Options options = TcpOnly();
  options.node = 7;
  options.applName = "VHD-TEST";
  options.dumpState = (dir.path() / "state.json").string();
  signsim::Simulator sim(options);
  sim.Start();
  const auto ask = [&](std::uint8_t cmd, std::uint8_t fnc, std::string_view data) {
    Peer peer = Peer::Tcp(sim.TcpPort());
    peer.Write(Command(7, cmd, fnc, 1, data));
    const std::string ack = peer.Read(2);
    return ack + peer.ReadFrame();
  };
  EXPECT_EQ(ask(0, 0x2A, "LOBBY SIGN\0"s), Bytes("10 06 10 02 00 07 F0 00 01 00 2A 10 03 DE"));
  EXPECT_EQ(ask(0, 0xDB, "SN-42\0"s), Bytes("10 06 10 02 00 07 F0 00 01 00 DB 10 03 2D"));
  EXPECT_EQ(ask(0, 0x2C, ""), Bytes("10 06 10 02 00 07 F0 00 01 00 2C 10 03 DC"));
  EXPECT_EQ(ask(1, 0, Bytes("01 02 03") + "HELLO\0"s),
            Bytes("10 06 10 02 00 07 F0 00 01 00 00 10 03 08"));
  EXPECT_EQ(ask(1, 0, Bytes("01 02")), Bytes("10 06 10 02 00 07 F1 00 01 00 02 10 03 05"));

  const auto payload = [&](std::uint8_t fnc) { return Ask(sim, 7, 0, fnc); };
  const std::string name = payload(0x2B);
  EXPECT_EQ(name, "LOBBY SIGN" + std::string(22, '\0'));
  EXPECT_EQ(payload(0x29), "SN-42" + std::string(27, '\0'));

  const std::string stats = payload(0x15);
  ASSERT_EQ(stats.size(), 444u + 3u);
  qordtcon::ByteReader r(stats);
  EXPECT_EQ(qordtcon::TrimAtNul(r.Text(16)), "VHD-TEST");
  EXPECT_EQ(static_cast<int>(stats[35]), 7);                       // node_address
  EXPECT_EQ(qordtcon::TrimAtNul(stats.substr(377, 32)), "SN-42");  // serial_num
  EXPECT_EQ(qordtcon::TrimAtNul(stats.substr(412, 32)), "LOBBY SIGN");
  // Frames for me (319) count this request; acknowledged ones (327) not yet.
  EXPECT_EQ(qordtcon::MakeUnsignedWord(stats[320], stats[319]), 8);
  EXPECT_EQ(qordtcon::MakeUnsignedWord(stats[328], stats[327]), 7);

  const std::string type = payload(0x02);
  ASSERT_EQ(type.size(), 72u);
  EXPECT_EQ(type.substr(10, 16), "VHD-TEST" + std::string(8, '\0'));
  EXPECT_EQ(static_cast<int>(type[27]), 7);

  nlohmann::json state = sim.State();
  EXPECT_EQ(state["displayName"], "LOBBY SIGN");
  EXPECT_EQ(state["serialNumber"], "SN-42");
  EXPECT_EQ(state["newBcc"], true);
  EXPECT_EQ(state["text"]["msg"], "HELLO");
  EXPECT_EQ(state["text"]["row"], 1);
  EXPECT_EQ(state["text"]["payload"], "01020348454C4C4F00");
  const nlohmann::json dumped = nlohmann::json::parse(dir.Read("state.json"));
  EXPECT_EQ(dumped["text"], state["text"]);
  EXPECT_EQ(dumped["counters"]["executed"], 8);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "state.json.tmp"));
}
