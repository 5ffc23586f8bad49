#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include <qordtcon/payloads/fields.hpp>

#include "bytes.hpp"
#include "file_payloads.hpp"
#include "outcome.hpp"
#include "peer.hpp"
#include "signsim/simulator.hpp"
#include "temp_dir.hpp"

using namespace std::chrono_literals;
using namespace std::string_literals;
using signsim::Counters;
using signsim::FaultKind;

namespace {

const std::string kAck = Bytes("10 06");
const std::string kNak = Bytes("10 15");

// A sign started on an ephemeral loopback port, with the given fault specs armed.
struct TcpSign {
  explicit TcpSign(signsim::Options options = {}, const std::vector<std::string>& faults = {})
      : sim(Prepare(options, faults)) {
    sim.Start();
  }
  static signsim::Options Prepare(signsim::Options options,
                                  const std::vector<std::string>& faults) {
    options.tcp = "127.0.0.1:0";
    for (const std::string& spec : faults)
      options.faults.push_back(signsim::ParseFault(spec));
    return options;
  }
  Peer Connect() const { return Peer::Tcp(sim.TcpPort()); }

  // One transaction on a fresh connection: the acknowledge and the reply frame.
  std::string Ask(std::uint8_t node, std::uint8_t cmd, std::uint8_t fnc, std::string_view data) {
    Peer peer = Connect();
    peer.Write(Command(node, cmd, fnc, 1, data));
    const std::string ack = peer.Read(2);
    return ack + peer.ReadFrame();
  }
  // The reply's payload: the unstuffed frame from its tenth character to before DLE ETX.
  std::string Payload(std::uint8_t node, std::uint8_t cmd, std::uint8_t fnc,
                      std::string_view data = {}) {
    const std::string frame = qordtcon::UnstuffFrame(Ask(node, cmd, fnc, data).substr(2));
    return frame.size() < 12 ? "(no reply)" : frame.substr(9, frame.size() - 12);
  }

  signsim::Simulator sim;
};

}  // namespace

TEST(SignsimFaults, SpecsParseOrSayWhatIsAccepted) {
  struct Good {
    const char* spec;
    FaultKind kind;
    int value, count;
  };
  const Good good[] = {
      {"nak:3", FaultKind::Nak, 0, 3},
      {"bad-bcc:always", FaultKind::BadBcc, 0, -1},
      {"error=0x1A", FaultKind::ErrorReply, 0x1A, 1},
      {"foreign", FaultKind::Foreign, 2, 1},
      {"foreign=9", FaultKind::Foreign, 9, 1},
      {"drop-after=0", FaultKind::DropAfter, 0, 1},
      {"reorder:always", FaultKind::Reorder, 0, -1},
      {"no-xmodem:3", FaultKind::NoXmodem, 0, 3},
      {"flash-stall", FaultKind::FlashStall, 1000, 1},
      {"slow-flash=20000", FaultKind::SlowFlash, 20000, 1},
  };
  for (const Good& g : good) {
    const signsim::Fault f = signsim::ParseFault(g.spec);
    EXPECT_EQ(f.kind, g.kind) << g.spec;
    EXPECT_EQ(f.value, g.value) << g.spec;
    EXPECT_EQ(f.count, g.count) << g.spec;
  }
  const signsim::Fault only = signsim::ParseFault("error=5@0x0B/2:3");
  EXPECT_EQ(std::tuple(only.value, only.cmd, only.fnc, only.count), std::tuple(5, 11, 2, 3));
  const std::string accepted =
      "drop-ack, nak, bad-bcc, silent, error=CODE, echo, delay=MS, foreign[=NODE], "
      "drop-after=N, reorder, no-menu, slow-boot=MS, no-xmodem, xmodem-nak[=BLOCK], "
      "xmodem-drop[=BLOCK], xmodem-cancel[=BLOCK], flash-stall[=MS], slow-flash=MS, "
      "loader-silent, loader-bad-length, each optionally followed by @CMD/FNC (only that "
      "command's frames; @CMD, a loader command, for loader-silent and loader-bad-length) and "
      ":COUNT or :always";
  // clang-format off
  const std::pair<const char*, std::string> bad[] = {
      {"", "bad fault '': unknown kind ''; accepted: " + accepted},
      {"jam:2", "bad fault 'jam:2': unknown kind 'jam'; accepted: " + accepted},
      {"nak=1", "bad fault 'nak=1': 'nak' takes no value"},
      {"error", "bad fault 'error': 'error' needs a value: error=CODE, CODE 0..255 in decimal or 0x-hex"},
      {"error=256", "bad fault 'error=256': value '256' does not fit: error=CODE, CODE 0..255 in decimal or 0x-hex"},
      {"delay=-5", "bad fault 'delay=-5': value '-5' does not fit: delay=MS, MS 0..600000 milliseconds"},
      {"drop-after=", "bad fault 'drop-after=': value '' does not fit: drop-after=N, N bytes 0 or more"},
      {"nak:0", "bad fault 'nak:0': count '0' must be a number 1 or more, or 'always'"},
      {"nak@7", "bad fault 'nak@7': '@7' must be @CMD/FNC, each 0..255"},
      {"echo@1/0", "bad fault 'echo@1/0': 'echo' acts on bytes, not on one command's frames"},
      {"no-menu@0/170", "bad fault 'no-menu@0/170': 'no-menu' acts on the boot loader, not on one command"},
      {"loader-silent@1/2", "bad fault 'loader-silent@1/2': '@1/2' must be @CMD, a loader command 1..255"},
      {"xmodem-cancel=0", "bad fault 'xmodem-cancel=0': value '0' does not fit: xmodem-cancel[=BLOCK], BLOCK 1 or more, the first block being 1 (default 1)"},
  };
  // clang-format on
  for (const auto& [spec, text] : bad) {
    try {
      signsim::ParseFault(spec);
      ADD_FAILURE() << "accepted " << spec;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(e.what(), text);
    }
  }
}

// Every case runs on a fresh sign (node 1) and connection; the output is read to its
// exact length. Most cases end with an inquiry, whose answer comes last, so that a byte
// too many anywhere before it shows as a mismatch.
TEST(SignsimProtocol, FramesGetExactAnswersOverTcp) {
  const std::string clockNew = Command(1, 0, 0, 1, kClock, true);
  std::string badOld = kClockSet;
  badOld.back() = static_cast<char>(badOld.back() ^ 0x01);
  // STS announces the new method but the BCC is the old method's: the zeros count.
  std::string badNew = clockNew;
  badNew.back() = static_cast<char>(
      qordtcon::SenderBcc(qordtcon::StuffBody(Bytes("01 00 00 AA 01 00 00") + kClock), false));
  const std::string text = Command(1, 1, 0, 5, Bytes("00 00 00 48 49 00"));
  const std::string answer5 = Bytes("10 06 10 02 00 01 F0 00 05 00 00 10 03 0A");
  struct Case {
    const char* name;
    std::vector<std::string> faults;
    std::string input, output;
    int executed, repeats, naks;
    int oversized = 0;
    std::chrono::milliseconds late = 0ms;  // the output comes no sooner
  };
  // clang-format off
  const Case cases[] = {
      {"clock set, old BCC", {}, kClockSet + Inquiry(1), kClockSetAnswer + kAck, 1, 0, 0},
      {"clock set, new BCC", {}, clockNew + Inquiry(1), Bytes("10 06 10 02 00 01 F0 AA 01 00 00 10 03 61 10 06"), 1, 0, 0},
      {"bad BCC, old method", {}, badOld + Inquiry(1), kNak + kNak, 0, 0, 1},
      {"bad BCC, new method", {}, badNew + Inquiry(1), kNak + kNak, 0, 0, 1},
      {"bytes before DLE STX are dropped", {}, "xyz" + Bytes("10 41") + kClockSet, kClockSetAnswer, 1, 0, 0},
      {"unknown command", {}, Command(1, 0x42, 0, 3), Bytes("10 06 10 02 00 01 F1 00 03 00 00 10 03 0B"), 0, 0, 0},
      {"unknown function", {}, Command(1, 0, 0x77, 4), Bytes("10 06 10 02 00 01 F1 00 04 00 01 10 03 09"), 0, 0, 0},
      {"broadcast runs silently", {}, Command(255, 0, 0, 1, kClock) + Inquiry(1), kNak, 1, 0, 0},
      {"other node is ignored", {}, Command(2, 0, 0, 1, kClock) + Inquiry(2) + Inquiry(1), kNak, 0, 0, 0},
      {"repeat answered again, not run again", {}, Command(1, 0, 0, 5, kClock) + kAck + Command(1, 0, 0, 5, kClock) + kAck + text,
       answer5 + answer5 + answer5, 2, 1, 0},
      {"same command, next number runs again", {}, kClockSet + Command(1, 0, 0, 2, kClock),
       kClockSetAnswer + Bytes("10 06 10 02 00 01 F0 00 02 00 00 10 03 0D"), 2, 0, 0},
      {"stuffed header and data", {}, Command(1, 1, 0, 0x1010, Bytes("10 00 00 41 10 42 00")),
       Bytes("10 06 10 02 00 01 F0 00 10 10 10 10 00 10 03 EF"), 1, 0, 0},
      {"fault nak", {"nak"}, kClockSet + Inquiry(1), kNak + kNak, 0, 0, 1},
      {"fault drop-ack, then the resend", {"drop-ack"}, kClockSet + Inquiry(1) + kClockSet, kNak + kClockSetAnswer, 1, 0, 0},
      {"fault error", {"error=5"}, kClockSet, Bytes("10 06 10 02 00 01 F1 00 01 00 05 10 03 08"), 0, 0, 0},
      {"fault bad-bcc, the host refuses and resends", {"bad-bcc"}, kClockSet + kNak + kClockSet,
       Bytes("10 06 10 02 00 01 F0 00 01 00 00 10 03 F1") + kClockSetAnswer, 1, 1, 0},
      {"fault foreign", {"foreign=7"}, kClockSet, Bytes("10 06 10 02 07 01 F0 00 01 00 00 10 03 07 10 02 00 01 F0 00 01 00 00 10 03 0E"), 1, 0, 0},
      {"fault silent, inquiry included", {"silent"}, kClockSet + Inquiry(1) + Command(1, 0, 0, 2, kClock),
       Bytes("10 06 10 02 00 01 F0 00 02 00 00 10 03 0D"), 1, 0, 0},
      {"fault echo", {"echo"}, kClockSet + kAck + Inquiry(1), kClockSet + kClockSetAnswer + kAck + Inquiry(1) + kAck, 1, 0, 0},
      {"fault delay, the reply follows the acknowledge late", {"delay=400"}, kClockSet, kClockSetAnswer, 1, 0, 0, 0, 400ms},
      {"fault drop-after inside the frame", {"drop-after=5"}, kClockSet, "", 0, 0, 0},
      {"fault drop-after at the frame's end", {"drop-after=" + std::to_string(kClockSet.size())}, kClockSet, kClockSetAnswer, 1, 0, 0},
      {"oversized frame is dropped and the line recovers", {}, Bytes("10 02") + std::string((1 << 20) + 10, 'A') + kClockSet, kClockSetAnswer, 1, 0, 0, 1},
      {"file block with no file open", {}, Command(1, 2, 0, 1, Block(2, "x")), Bytes("10 06 10 02 00 01 F1 00 01 00 F0 10 03 1D"), 0, 0, 0},
      {"file block over 1000", {}, Command(1, 2, 0, 1, FirstRecord("A", 2000)) + Command(1, 2, 0, 2, Block(2, std::string(1001, 'x'))),
       kClockSetAnswer + Bytes("10 06 10 02 00 01 F1 00 02 00 02 10 03 0A"), 1, 0, 0},
      {"file block out of sequence", {}, Command(1, 2, 0, 1, FirstRecord("A", 9)) + Command(1, 2, 0, 2, Block(3, "x")),
       kClockSetAnswer + Bytes("10 06 10 02 00 01 F1 00 02 00 F6 10 03 16"), 1, 0, 0},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TcpSign sign({}, c.faults);
    Peer peer = sign.Connect();
    const auto sent = std::chrono::steady_clock::now();
    peer.Write(c.input);
    EXPECT_EQ(peer.Read(c.output.size()), c.output);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, c.late);
    // A sign that hangs up closes the connection; the fault is used up, so the next
    // connection is served.
    const bool hangsUp =
        !c.faults.empty() && signsim::ParseFault(c.faults[0]).kind == FaultKind::DropAfter;
    if (hangsUp) {
      EXPECT_TRUE(peer.WaitClosed());
      ASSERT_TRUE(
          sign.sim.WaitFor([](const Counters& n) { return n.disconnects == 1; }, Peer::kWait));
    }
    const Counters counters = sign.sim.GetCounters();
    EXPECT_EQ(counters.executed, c.executed);
    EXPECT_EQ(counters.repeats, c.repeats);
    EXPECT_EQ(counters.naks, c.naks);
    EXPECT_EQ(counters.oversized, c.oversized);
    for (const std::string& spec : c.faults)
      EXPECT_EQ(counters.faults.at(signsim::ParseFault(spec).kind), 1) << spec;
    if (hangsUp) {
      Peer again = sign.Connect();
      again.Write(kClockSet);
      EXPECT_EQ(again.Read(kClockSetAnswer.size()), kClockSetAnswer);
    }
  }
}

TEST(SignsimProtocol, CountsInquiriesHostAnswersAndOtherNodes) {
  TcpSign sign;
  Peer peer = sign.Connect();
  peer.Write(Command(3, 0, 1, 1) + Command(255, 0, 0, 1, kClock) + Command(1, 0, 1, 2) + kNak +
             kAck + Inquiry(1));
  ASSERT_TRUE(sign.sim.WaitFor([](const Counters& c) { return c.inquiries == 1; }, Peer::kWait));
  const Counters c = sign.sim.GetCounters();
  EXPECT_EQ(Show(c.otherNode, c.broadcasts, c.frames, c.hostNaks, c.hostAcks, c.replies),
            "1 1 2 1 1 1");
  EXPECT_EQ(c.connections, 1);
  EXPECT_EQ(sign.sim.ReceivedFrames(),
            (std::vector<std::string>{qordtcon::UnstuffFrame(Command(255, 0, 0, 1, kClock)),
                                      Command(1, 0, 1, 2)}));
}

TEST(SignsimProtocol, ClientsKeepTheirOwnTransactionNumbers) {
  TcpSign sign;
  Peer first = sign.Connect(), second = sign.Connect();
  for (Peer* peer : {&first, &second}) {
    peer->Write(kClockSet);
    EXPECT_EQ(peer->Read(kClockSetAnswer.size()), kClockSetAnswer);
  }
  EXPECT_EQ(sign.sim.GetCounters().executed, 2);
  EXPECT_EQ(sign.sim.GetCounters().repeats, 0);
}

TEST(SignsimSimulator, StartSaysWhatFailed) {
  TempDir dir;
  dir.Write("taken", "a file, not a link");
  const TcpSign first;
  const std::string busy = "127.0.0.1:" + std::to_string(first.sim.TcpPort());
  const std::string taken = (dir.path() / "taken").string();
  const std::string missing = (dir.path() / "no/such/dir").string();
  const std::string gone = (dir.path() / "gone.bmp").string();
  struct Case {
    std::string tcp, pty, modem, file, text;
  };
  // clang-format off
  const Case cases[] = {
      {busy, "", "", "", "cannot listen on " + busy + ": Address already in use"},
      {"127.0.0.1", "", "", "", "--tcp: '127.0.0.1' is not ADDR:PORT: give an IP address and a port 0..65535, e.g. 127.0.0.1:3001 or [::1]:3001"},
      {"", taken, "", "", "--pty: '" + taken + "' exists and is not a link; not replacing it"},
      {"", "", missing, "", "--modem-pty: cannot link '" + missing + "': No such file or directory"},
      {"127.0.0.1:0", "", "", gone, "--file: cannot read '" + gone + "': No such file or directory"},
  };
  // clang-format on
  for (const Case& c : cases) {
    signsim::Options options;
    options.tcp = c.tcp;
    options.ptyLink = c.pty;
    options.modemPtyLink = c.modem;
    if (!c.file.empty()) options.files = {c.file};
    try {
      signsim::Simulator sim(options);
      sim.Start();
      ADD_FAILURE() << "started: " << c.text;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), c.text);
    }
  }
}

TEST(SignsimSign, ClockRunsFromWhatWasSet) {
  TcpSign sign;
  // Within 3 s of the wanted time of day (hour, minute, second), and the date as wanted.
  const auto near = [](const std::string& got, const std::vector<int>& want) {
    ASSERT_EQ(got.size(), 7u);
    const int seconds = (got[0] * 60 + got[1]) * 60 + got[2];
    EXPECT_LE(std::abs(seconds - ((want[0] * 60 + want[1]) * 60 + want[2])), 3);
    EXPECT_EQ(std::vector<int>(got.begin() + 3, got.begin() + 6),
              std::vector<int>(want.begin() + 3, want.end()));
  };
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  ::localtime_r(&now, &t);
  // Unset, the sign shows the machine's time.
  near(sign.Payload(1, 0, 1),
       {t.tm_hour, t.tm_min, t.tm_sec, t.tm_mday, t.tm_mon + 1, t.tm_year % 100});
  ASSERT_EQ(sign.Payload(1, 0, 0, kClock), "");
  const std::string got = sign.Payload(1, 0, 1);
  near(got, {13, 5, 9, 24, 12, 26});
  EXPECT_EQ(got[6], 5);  // the host's weekday numbering is kept
  EXPECT_EQ(sign.sim.State()["clock"]["hour"], 13);
}

TEST(SignsimSign, WhatIsWrittenReadsBackAndIsDumped) {
  TempDir dir;
  signsim::Options options;
  options.node = 7;
  options.applName = "VHD-TEST";
  options.dumpState = (dir.path() / "state.json").string();
  TcpSign sign(options);
  // clang-format off
  EXPECT_EQ(sign.Ask(7, 0, 0x2A, "LOBBY SIGN\0"s), Bytes("10 06 10 02 00 07 F0 00 01 00 2A 10 03 DE"));
  EXPECT_EQ(sign.Ask(7, 0, 0xDB, "SN-42\0"s), Bytes("10 06 10 02 00 07 F0 00 01 00 DB 10 03 2D"));
  EXPECT_EQ(sign.Ask(7, 0, 0x2C, ""), Bytes("10 06 10 02 00 07 F0 00 01 00 2C 10 03 DC"));
  EXPECT_EQ(sign.Ask(7, 1, 0, Bytes("01 02 03") + "HELLO\0"s), Bytes("10 06 10 02 00 07 F0 00 01 00 00 10 03 08"));
  EXPECT_EQ(sign.Ask(7, 1, 0, Bytes("01 02")), Bytes("10 06 10 02 00 07 F1 00 01 00 02 10 03 05"));
  // clang-format on
  EXPECT_EQ(sign.Payload(7, 0, 0x2B), "LOBBY SIGN" + std::string(22, '\0'));
  EXPECT_EQ(sign.Payload(7, 0, 0x29), "SN-42" + std::string(27, '\0'));

  const std::string stats = sign.Payload(7, 0, 0x15);
  ASSERT_EQ(stats.size(), 444u);
  EXPECT_EQ(qordtcon::TrimAtNul(stats.substr(0, 16)), "VHD-TEST");  // appl_name
  EXPECT_EQ(static_cast<int>(stats[35]), 7);                        // node_address
  EXPECT_EQ(qordtcon::TrimAtNul(stats.substr(377, 32)), "SN-42");   // serial_num
  EXPECT_EQ(qordtcon::TrimAtNul(stats.substr(412, 32)), "LOBBY SIGN");
  // Frames for me (319) count this request; acknowledged ones (327) not yet.
  EXPECT_EQ(qordtcon::MakeUnsignedWord(stats[320], stats[319]), 8);
  EXPECT_EQ(qordtcon::MakeUnsignedWord(stats[328], stats[327]), 7);

  const std::string type = sign.Payload(7, 0, 0x02);
  ASSERT_EQ(type.size(), 72u);
  EXPECT_EQ(type.substr(10, 16), "VHD-TEST" + std::string(8, '\0'));
  EXPECT_EQ(static_cast<int>(type[27]), 7);

  const nlohmann::json state = sign.sim.State();
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

// DLE ACK and the sign's reply to transaction `tn`: CMD 0xF0, FNC 0 and `data`.
std::string Answer(std::uint16_t tn, std::string_view data = {}) {
  qordtcon::ByteWriter body;
  body.Byte(0).Byte(1).Byte(qordtcon::kReplyOk).Byte(0).Word(tn).Byte(0).Text(data);
  const std::string stuffed = qordtcon::StuffBody(body.str());
  return Bytes("10 06 10 02") + stuffed + Bytes("10 03") +
         static_cast<char>(qordtcon::SenderBcc(stuffed, false));
}

// A file of 2500 bytes goes to the sign as first record and blocks 2, 3 and 0, past a
// refused block and one lost three times, and comes back as blocks 1, 2 and 0 (the last).
TEST(SignsimFiles, AFileGoesToTheSignAndComesBackOverTcp) {
  std::string file;
  for (int i = 0; i < 2500; ++i)
    file += static_cast<char>(i * 7 + 3);  // DLE among them
  TcpSign sign;
  Peer peer = sign.Connect();
  const auto send = [&](std::uint16_t tn, const std::string& data, const std::string& answer) {
    peer.Write(Command(1, 2, 0, tn, data));
    EXPECT_EQ(peer.Read(answer.size()), answer) << tn;
  };
  send(1, Bytes("01 00") + "LOGO.BMP" + Bytes("00 00 00 00 00 C4 09 00 00 0D 05 09 0C 04 1A"),
       kClockSetAnswer);
  sign.sim.AddFault(signsim::ParseFault("error=0xF6@2/0"));
  send(2, Block(2, file.substr(0, 1000)), Bytes("10 06 10 02 00 01 F1 00 02 00 F6 10 03 16"));
  send(3, Block(2, file.substr(0, 1000)), Answer(3));
  sign.sim.AddFault(signsim::ParseFault("drop-ack@2/0:3"));
  // Lost three times, then taken, then repeated.
  const std::string block3 = Command(1, 2, 0, 4, Block(3, file.substr(1000, 1000)));
  peer.Write(block3 + block3 + block3 + block3 + block3);
  EXPECT_EQ(peer.Read(28), Answer(4) + Answer(4));
  send(5, Block(0, file.substr(2000)), Answer(5));

  EXPECT_EQ(sign.Payload(1, 8, 3, "LOGO.BMP"), Bytes("01 00 00 00 00 00") + Named("LOGO.BMP") +
                                                   Bytes("C4 09 00 00 0D 05 09 0C 04 1A 00"));
  EXPECT_EQ(sign.Ask(1, 2, 0, Block(1, Named("LOGO.BMP"))),
            Answer(1, Block(1, file.substr(0, 1000))));
  EXPECT_EQ(sign.Ask(1, 2, 0, Block(2, Named("LOGO.BMP"))),
            Answer(1, Block(2, file.substr(1000, 1000))));
  EXPECT_EQ(sign.Ask(1, 2, 0, Block(0, Named("LOGO.BMP"))), Answer(1, Block(0, file.substr(2000))));
  const Counters c = sign.sim.GetCounters();
  EXPECT_EQ(Show(c.executed, c.repeats, c.filesReceived, c.fileBlocks, c.fileRequests),
            "8 1 1 3 3");
  EXPECT_EQ(sign.sim.State()["directory"][0]["sha256"],
            "86eb524982bb05fe864dd3b50d22bd3d58dbed5b1b895b5602d82eb3ca7c52cf");
}
