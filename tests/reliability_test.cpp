// The control against signs that fail and signs that are hostile, on every channel: each
// fault the emulated sign can play, peers that flood, drip, never end a frame or stop
// reading, and a user abort wherever a call waits.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "display_rig.hpp"
#include "peer.hpp"
#include "sign_rig.hpp"
#include "signsim/sha256.hpp"

using namespace qordtcon;
using namespace std::chrono_literals;
using signsim::Fault;
using signsim::FaultKind;
using signsim::kAlways;

namespace {

const auto kChannels = testing::Values(Channel::kTcp, Channel::kPty, Channel::kModem);
std::string ChannelName(const testing::TestParamInfo<Channel>& info) {
  return Name(info.param);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

// What the process holds. Under a sanitizer freed memory stays resident (quarantine,
// shadow), so there it is what is still allocated.
std::size_t HeldBytes() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return __sanitizer_get_current_allocated_bytes();
#else
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
#endif
}

// The events of `attempts` sends of transaction 1, each followed by an inquiry or not.
std::vector<std::string> Attempts(int attempts, bool inquire) {
  std::vector<std::string> out;
  for (int i = 0; i < attempts; ++i) {
    if (i > 0) out.push_back("Retrying - Transaction: 1  " + std::to_string(i) + " time(s)");
    out.push_back("sent 1 " + std::to_string(i));
    if (inquire) out.push_back("Ack was not received - Inquiring Trans: 1  ");
  }
  return out;
}

// The sign's entry for `name`: "absent", "<size>" for a whole file with `bytes`, "<size>
// short", or a whole file with other bytes.
std::string OnSign(const signsim::Simulator& sim, const std::string& name,
                   const std::string& bytes) {
  const nlohmann::json state = sim.State();
  for (const auto& f : state["directory"]) {
    if (f["name"] != name) continue;
    const std::string size = std::to_string(f["size"].get<int>());
    if (f["short"].get<bool>()) return size + " short";
    return f["sha256"] == signsim::Sha256Hex(bytes) ? size : size + " whole with other bytes";
  }
  return "absent";
}

// Each fault the emulated sign plays, on each channel: the result, the text and the events
// exactly, and how often the sign carried the command out (never twice). Then a 2500-byte
// file in 1000-byte blocks under the same fault from its second data block on, sent block
// by block and with one block in flight: both give the same result and text, and the sign
// holds the whole file after True, nothing after False.
class FaultMatrix : public testing::TestWithParam<Channel> {};

TEST_P(FaultMatrix, EveryFaultOnEveryChannel) {
  const Channel channel = GetParam();
  struct Row {
    const char* name;
    Fault fault;
    bool result;
    std::string message;
    std::vector<std::string> events;
    int executed;
    bool fileResult;
    std::string fileMessage;
  };
  const std::string timedOut = "Timed Out 4 time(s) for 0.4 sec. for CMD:[0] FNC:[0]";
  const std::string fileTimedOut = "Timed Out 4 time(s) for 0.4 sec. for CMD:[2] FNC:[0]";
  const std::vector<std::string> once = Attempts(1, false);
  // A network sign that hangs up is called again. On a direct line it is gone for good:
  // every attempt goes unheard. A modem that lost the call echoes what comes in command
  // mode: the frames come back as if they were answers for another node.
  std::vector<std::string> dropped = Attempts(1, true);
  if (channel == Channel::kTcp) dropped.push_back("Trying to reconnect...");
  for (int i = 1; i < (channel == Channel::kTcp ? 2 : 4); ++i) {
    dropped.push_back("Retrying - Transaction: 1  " + std::to_string(i) + " time(s)");
    dropped.push_back("sent 1 " + std::to_string(i));
    if (channel == Channel::kPty) dropped.push_back("Ack was not received - Inquiring Trans: 1  ");
  }
  // A network sign called again after it hung up knows nothing of the file any more.
  const std::string fileDropped =
      channel == Channel::kTcp
          ? "Display Reported Error [F1]- [F0]-No Transfer in Progress for last CMD:[2] FNC:[0]"
          : fileTimedOut;
  // clang-format off
  const std::vector<Row> rows = {
      {"acknowledge lost", {FaultKind::DropAck, 0, 1}, true, "", [] { auto e = Attempts(2, false); e.insert(e.begin() + 1, "Ack was not received - Inquiring Trans: 1  "); return e; }(), 1,
       true, ""},
      {"refused", {FaultKind::Nak, 0, kAlways}, false, "Display has sent NAK for CMD:[0] FNC:[0]", Attempts(4, false), 0,
       false, "Display has sent NAK for CMD:[2] FNC:[0]"},
      {"corrupt reply", {FaultKind::BadBcc, 0, kAlways}, false, "Xmit Error - Checksum Failed for CMD:[0] - FNC:[0] ", Attempts(4, false), 1,
       false, "Xmit Error - Checksum Failed for CMD:[2] - FNC:[0] "},
      {"silent", {FaultKind::Silent, 0, kAlways}, false, timedOut, Attempts(4, true), 0,
       false, fileTimedOut},
      // An error report is acknowledged, handed back, and not retried.
      {"error report", {FaultKind::ErrorReply, 0xF9, kAlways}, false, "Display Reported Error [F1]- [F9]-File Not Found for last CMD:[0] FNC:[0]", once, 0,
       false, "Display Reported Error [F1]- [F9]-File Not Found for last CMD:[2] FNC:[0]"},
      {"two-wire line", {FaultKind::Echo, 0, kAlways}, true, "", once, 1,
       true, ""},
      {"slow reply", {FaultKind::Delay, 250, 1}, true, "", once, 1,
       true, ""},
      {"reply for another node first", {FaultKind::Foreign, 2, 1}, true, "", once, 1,
       true, ""},
      {"hangs up", {FaultKind::DropAfter, 3, 1}, channel == Channel::kTcp, channel == Channel::kTcp ? "" : timedOut, dropped, channel == Channel::kTcp,
       false, fileDropped},
  };
  // clang-format on
  const auto open = [channel](std::unique_ptr<SignRig>& rig) {
    rig.reset();  // its settings directory goes with it
    rig = std::make_unique<SignRig>(true);
    return rig->Open(channel == Channel::kTcp   ? rig->Tcp()
                     : channel == Channel::kPty ? rig->Serial()
                                                : rig->Modem());
  };
  std::string bytes(2500, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<char>(i * 7 + i / 1000);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::unique_ptr<SignRig> rig;
    ASSERT_TRUE(open(rig));
    rig->sim->AddFault(row.fault);
    rig->events.clear();
    EXPECT_EQ(rig->Transact(0, 0, kClock), row.result);
    EXPECT_EQ(rig->link->ErrorMessage, row.message);
    EXPECT_EQ(rig->events, row.events);
    EXPECT_EQ(rig->sim->GetCounters().executed, row.executed);
    if (row.result) {
      EXPECT_EQ(rig->response.substr(2, 3), Bytes("00 01 F0")) << "the sign's reply to the host";
    }
    for (const bool inFlight : {false, true}) {
      SCOPED_TRACE(inFlight ? "file with one block in flight" : "file block by block");
      // A direct line or a modem that hung up stays gone: the file needs a sign of its own.
      if (row.fault.kind == FaultKind::DropAfter && channel != Channel::kTcp) {
        ASSERT_TRUE(open(rig));
      }
      rig->sim->ClearFaults();
      rig->dir.Write("f.bin", bytes);
      const std::string name = inFlight ? "FLIGHT.BIN" : "BLOCKS.BIN";
      classrGraphicTransRoutines files(*rig->engine);
      const int taken = rig->sim->GetCounters().fileBlocks;
      // The fault comes once the sign has stored the first data block: it hits the second
      // (sent with one block in flight, the last one in flight) and, lasting, the rest.
      files.OnFileTransferStatus = [&](std::int32_t block, auto...) {
        if (block != 2) return;
        EXPECT_TRUE(rig->sim->WaitFor([&](const auto& c) { return c.fileBlocks > taken; }, 5s));
        rig->sim->AddFault(row.fault);
      };
      std::optional<DateTime> time;
      const std::string path = (rig->dir.path() / "f.bin").string();
      const bool sent = inFlight ? files.TransferFileAssync(path, name, time)
                                 : files.TransferGraphicFileToSignByFileName(path, name, time);
      EXPECT_EQ(sent, row.fileResult);
      EXPECT_EQ(rig->link->ErrorMessage, row.fileMessage);
      EXPECT_EQ(OnSign(*rig->sim, name, bytes), row.fileResult ? "2500" : "absent");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Channels, FaultMatrix, kChannels, ChannelName);

// A user abort ends a call within a tenth of a second wherever it waits: read time-outs
// here are 20 s, so a wait that missed the abort would show.
class Abort : public testing::TestWithParam<Channel> {};

TEST_P(Abort, EndsEveryWaitAtOnce) {
  const Channel channel = GetParam();
  using AbortNow = std::function<void()>;
  struct Row {
    const char* name;
    std::vector<Channel> channels;
    std::function<bool(DisplayRig&)> call;
    // Arranges for `abort` to come while the call waits; the future ends with it.
    std::function<std::future<void>(DisplayRig&, AbortNow)> arm;
    bool result = false;
    std::string message = "User Canceled";
    bool opens = false;  // the call is the open itself
  };
  const std::vector<Channel> all = {Channel::kTcp, Channel::kPty, Channel::kModem};
  const auto text = [](DisplayRig& r) { return r.control->SetDisplayTextMessage({1, 1, 0, "HI"}); };
  // Aborts 100 ms after the sign's counters show `when` (counted from the call's start).
  const auto after = [](int signsim::Counters::*counter) {
    return [counter](DisplayRig& r, AbortNow abort) {
      const int before = r.sim->GetCounters().*counter;
      return std::async(std::launch::async, [&r, counter, before, abort] {
        r.sim->WaitFor([&](const auto& c) { return c.*counter > before; }, 10s);
        std::this_thread::sleep_for(100ms);
        abort();
      });
    };
  };
  const auto broadcast = [](std::function<bool(qorDispTrans&)> call) {
    return [call](DisplayRig& r) {
      r.dir.Write("LumarcoLite.ini", "[Settings]\nNoReplyPause=30000\n");
      r.control->DestinationNode(255);
      return call(*r.control);
    };
  };
  auto mute = std::make_shared<PtyMaster>();  // a modem that never answers a dial
  // clang-format off
  const std::vector<Row> rows = {
      {"acknowledge wait", all, [&](DisplayRig& r) { r.sim->AddFault({FaultKind::Silent, 0, kAlways}); return text(r); }, after(&signsim::Counters::frames)},
      {"reply wait after the acknowledge", all, [&](DisplayRig& r) { r.sim->AddFault({FaultKind::Delay, 60000, 1}); return text(r); }, after(&signsim::Counters::acks)},
      {"pause after a broadcast", {Channel::kTcp}, broadcast([](qorDispTrans& c) { return c.SetDisplayTextMessage({1, 1, 0, "HI"}); }), after(&signsim::Counters::broadcasts)},
      {"pause between play-order chunks", {Channel::kTcp}, broadcast([](qorDispTrans& c) { classPLAY_ORDER o; o.num_entries(41); for (std::int16_t i = 1; i <= 41; ++i) o.FileName(i, "F"); return c.TransmitDisplayPlayOrder(o); }), after(&signsim::Counters::broadcasts)},
      // Aborted from the control's own event, as a host's Stop button handler would.
      {"reconnect", {Channel::kTcp}, [&](DisplayRig& r) { r.sim->AddFault({FaultKind::DropAfter, 0, 1}); return text(r); },
       [](DisplayRig& r, AbortNow abort) { r.control->OnStatus = [abort](const std::string& s) { if (s == "Trying to reconnect...") abort(); }; return std::future<void>(); }},
      // Aborted from the host's message pump, which runs while the modem dials.
      {"dial", {Channel::kModem}, [mute](DisplayRig& r) { auto cm = SignRig::Modem(mute->path()); return r.control->OpenConnectionToDisplay(cm); },
       [mute](DisplayRig& r, AbortNow abort) {
         auto dialled = std::make_shared<std::atomic<bool>>(false);
         r.control->MessagePump = [dialled, abort, done = false]() mutable { if (*dialled && !done) { done = true; abort(); } };
         return std::async(std::launch::async, [mute, dialled] { *dialled = mute->Read(4, 10s) == "ATDT"; });
       }, false, "Could Not Connect \r\nUser Canceled", true},
      // The pause before the first dial: no dial follows.
      {"pause before a dial", {Channel::kModem}, [](DisplayRig& r) { return r.Open(1, Channel::kModem); },
       [](DisplayRig&, AbortNow abort) { return std::async(std::launch::async, [abort] { std::this_thread::sleep_for(2s); abort(); }); },
       false, "Could Not Connect \r\nUser Canceled", true},
  };
  // clang-format on
  for (const Row& row : rows) {
    if (std::find(row.channels.begin(), row.channels.end(), channel) == row.channels.end())
      continue;
    SCOPED_TRACE(row.name);
    DisplayRig rig({}, {{"MessageResponseTime", "20000"}, {"ResponseLongestWait", "20000"}});
    if (!row.opens) {
      ASSERT_TRUE(rig.Open(1, channel)) << rig.control->LastErrorMessage();
    }
    std::atomic<Clock::rep> abortedAt{0};
    auto abort = [&] {
      abortedAt = Clock::now().time_since_epoch().count();
      rig.control->UserAbort();
    };
    auto armed = row.arm(rig, abort);
    EXPECT_EQ(row.call(rig), row.result);
    const auto returned = Clock::now();
    if (armed.valid()) armed.get();
    ASSERT_NE(abortedAt.load(), 0) << "the abort never came";
    const auto late = returned - Clock::time_point(Clock::duration(abortedAt.load()));
    EXPECT_LT(late, 300ms) << "a goal of 100 ms, with room for a loaded machine";
    EXPECT_EQ(rig.control->LastErrorMessage(), row.message);
    if (row.opens) {
      EXPECT_EQ(rig.sim->GetCounters().dials, 0);
    }
    std::cout << "[ abort    ] " << row.name << " on " << Name(channel) << ": returned after "
              << std::chrono::duration<double, std::milli>(late).count() << " ms\n";
  }
}

INSTANTIATE_TEST_SUITE_P(Channels, Abort, kChannels, ChannelName);

// Peers that misbehave on purpose: every call ends within its deadlines (a read time-out of
// 1.5 s, a longest wait for a frame of 2.5 s), what the control holds stays bounded however
// much comes, and a user abort ends the call at once.
class HostileSign : public testing::TestWithParam<Channel> {};

TEST_P(HostileSign, CallsEndInTimeInBoundedMemory) {
  const bool tcp = GetParam() == Channel::kTcp;
  using Play = std::function<void(Peer&, const std::atomic<bool>&)>;
  const auto flood = [](std::string first) -> Play {
    return [first](Peer& p, const std::atomic<bool>& stop) {
      // Bytes waiting before the command goes out are dropped: the frame starts after it.
      if (!first.empty()) p.Read(1, 10s);
      p.Write(first);
      const std::string noise(4096, 'x');
      while (!stop)
        p.WriteUnless(noise, stop);
    };
  };
  const auto drip = [](std::string first) -> Play {
    return [first](Peer& p, const std::atomic<bool>& stop) {
      if (!first.empty()) p.Read(1, 10s);
      p.Write(first);
      for (int tick = 1; !stop; ++tick) {
        std::this_thread::sleep_for(100ms);
        if (tick % 10 == 0) p.WriteUnless("x", stop);
      }
    };
  };
  struct Row {
    const char* name;
    Play play;
    std::string data;  // the command's payload
    std::string message;
  };
  const std::string timedOut = "Timed Out 1 time(s) for 1.5 sec. for CMD:[0] FNC:[1]";
  const std::string dleStx{DLE, STX};
  // clang-format off
  const std::vector<Row> rows = {
      {"floods noise", flood(""), "", timedOut},
      {"drips a frame, a byte a second", drip(dleStx), "", timedOut},
      // Bytes that are no acknowledge count as silence, and say so.
      {"drips noise, a byte a second", drip(""), "", timedOut},
      {"never ends a frame", flood(dleStx), "", timedOut},
      {"sends a frame over the bound", [&](Peer& p, const std::atomic<bool>& stop) { p.Read(1, 10s); p.WriteUnless(dleStx + std::string(2 << 20, 'x') + Bytes("10 03 00"), stop); }, "", timedOut},
      {"stops reading", [](Peer&, const std::atomic<bool>&) {}, std::string(8 << 20, 'd'),
       tcp ? "Send Timed Out after 1.5 sec. - the sign is not reading; connection closed"
           : "Send Timed Out after 1.5 sec. - the line takes no data; output dropped"},
  };
  // clang-format on
  for (const Row& row : rows) {
    for (const bool aborted : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (aborted ? ", aborted" : ""));
      ControlRig rig({{"MessageResponseTime", "1500"}, {"ResponseLongestWait", "2500"}});
      rig.engine->RetryCount = 1;
      TcpListener listener(row.data.empty() ? 0 : 4096);
      PtyMaster pty;
      Peer* peer = &pty;
      if (tcp) {
        auto accepted = std::async(std::launch::async, [&] { return listener.Accept(10s); });
        ASSERT_TRUE(rig.Open(ControlRig::Tcp(listener.port())));
        ASSERT_TRUE(accepted.get());
        peer = &listener;
      } else {
        ASSERT_TRUE(rig.Open(ControlRig::Serial(pty.path())));
      }
      std::atomic<bool> stop{false};
      std::thread sign([&] { row.play(*peer, stop); });
      std::future<Clock::time_point> abort;
      if (aborted) {
        // Once the command reaches the peer (building an 8 MiB frame takes a while under
        // the sanitizers), the call waits.
        abort = std::async(std::launch::async, [&] {
          peer->Read(1, 10s);
          std::this_thread::sleep_for(200ms);
          rig.vars.Cancel = true;  // what UserAbort does
          rig.link->Abort = true;
          rig.link->Interrupt();
          return Clock::now();
        });
      }
      const std::size_t memory = HeldBytes();
      const auto start = Clock::now();
      std::string response;
      bool noReply = false;
      EXPECT_FALSE(rig.engine->TransmitPacket(0, 1, 0, row.data, response, noReply));
      const auto end = Clock::now();
      if (row.data.empty()) {
        EXPECT_LT(HeldBytes(), memory + (32 << 20)) << "what came in was not all kept";
      }
      stop = true;
      sign.join();
      if (aborted) {
        EXPECT_LT(end - abort.get(), 300ms);
        EXPECT_EQ(rig.link->ErrorMessage, "User Canceled");
      } else {
        // The longest: a frame's whole wait, the last look for a reply and a read time-out.
        EXPECT_LT(end - start, 8s);
        EXPECT_EQ(rig.link->ErrorMessage, row.message);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Channels, HostileSign, testing::Values(Channel::kTcp, Channel::kPty),
                         ChannelName);

}  // namespace
