#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include <asio.hpp>

#include "bytes.hpp"
#include "peer.hpp"
#include "signsim/simulator.hpp"
#include "temp_dir.hpp"

using namespace std::chrono_literals;
using signsim::Counters;

namespace {

bool WaitCount(const signsim::Simulator& sim, int Counters::*counter, int value) {
  return sim.WaitFor([&](const Counters& c) { return c.*counter == value; }, Peer::kWait);
}

// One line of a dialogue: what the host writes and the exact answer it reads.
struct Step {
  std::string write;
  std::string read;
};

void Talk(Peer& host, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    host.Write(step.write);
    EXPECT_EQ(host.Read(step.read.size()), step.read) << "after writing " << step.write;
  }
}

// A sign on a pty only: the direct line or the modem, linked in `dir`.
signsim::Options PtyOnly(const TempDir& dir, bool modem) {
  signsim::Options options;
  options.tcp.clear();
  (modem ? options.modemPtyLink : options.ptyLink) = (dir.path() / "sign.tty").string();
  return options;
}

}  // namespace

TEST(SignsimSerial, AnswersEachOpeningAndComesBackAfterADrop) {
  TempDir dir;
  signsim::Simulator sim(PtyOnly(dir, false));
  sim.Start();
  const std::filesystem::path first = std::filesystem::read_symlink(sim.PtyPath());

  {
    // Opened as the control opens it, with its line settings.
    asio::io_context io;
    asio::serial_port port(io, sim.PtyPath());
    port.set_option(asio::serial_port::baud_rate(9600));
    port.set_option(asio::serial_port::character_size(8));
    port.set_option(asio::serial_port::parity(asio::serial_port::parity::none));
    port.set_option(asio::serial_port::stop_bits(asio::serial_port::stop_bits::one));
    port.set_option(asio::serial_port::flow_control(asio::serial_port::flow_control::none));
    // The port's own descriptor closes at once; the copy keeps the line open.
    Peer host = Peer(::dup(port.native_handle()));
    port.close();
    Talk(host, {{kClockSet, kClockSetAnswer}, {kClockSet, kClockSetAnswer}});
  }
  ASSERT_TRUE(WaitCount(sim, &Counters::disconnects, 1));
  EXPECT_EQ(sim.GetCounters().repeats, 1);

  // Opened again: a new session, which has no memory of transaction 1.
  Peer host = Peer::Pty(sim.PtyPath());
  Talk(host, {{kClockSet, kClockSetAnswer}});
  EXPECT_EQ(sim.GetCounters().executed, 2);
  EXPECT_EQ(sim.GetCounters().connections, 2);

  // Dropping the line pulls the device: the open port goes dead, the link moves on.
  sim.AddFault({signsim::FaultKind::DropAfter, 3, 1});
  host.Write(kClockSet);
  EXPECT_TRUE(host.WaitClosed());
  ASSERT_TRUE(WaitCount(sim, &Counters::disconnects, 2));
  EXPECT_NE(std::filesystem::read_symlink(sim.PtyPath()), first);
  Peer again = Peer::Pty(sim.PtyPath());
  Talk(again, {{kClockSet, kClockSetAnswer}});
  EXPECT_EQ(sim.GetCounters().executed, 3);

  sim.Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(sim.PtyPath())));
}

TEST(SignsimModem, DialsConnectsAndHangsUpWhenThePortCloses) {
  TempDir dir;
  signsim::Simulator sim(PtyOnly(dir, true));
  sim.Start();
  {
    Peer host = Peer::Pty(sim.ModemPtyPath());
    Talk(host, {
                   {"AT\r", "AT\r\r\nOK\r\n"},
                   {"ATE0\r", "ATE0\r\r\nOK\r\n"},
                   {"AT&F S0=0\r", "\r\nOK\r\n"},
                   {"ATDT5551234\r", "\r\nCONNECT 9600\r\n"},
                   {kClockSet, kClockSetAnswer},
                   // Three escape characters inside a frame are data.
                   {Command(1, 1, 0, 2, Bytes("00 00 00 2B 2B 2B 00")),
                    Bytes("10 06 10 02 00 01 F0 00 02 00 00 10 03 0D")},
               });
  }
  ASSERT_TRUE(WaitCount(sim, &Counters::hangups, 1));
  {
    Peer host = Peer::Pty(sim.ModemPtyPath());
    Talk(host, {
                   {"ATDT5551234\r", "\r\nCONNECT 9600\r\n"},
                   {kClockSet, kClockSetAnswer},
               });
  }
  ASSERT_TRUE(WaitCount(sim, &Counters::hangups, 2));
  EXPECT_EQ(sim.GetCounters().executed, 3);

  Peer host = Peer::Pty(sim.ModemPtyPath());
  for (const char* result : {"BUSY", "NO CARRIER", "NO DIALTONE", "NO ANSWER"}) {
    sim.SetDialResult(result);
    // Still in command mode after each: a frame's bytes are noise, AT is answered.
    Talk(host,
         {{"ATDP1\r", "\r\n" + std::string(result) + "\r\n"}, {kClockSet + "AT\r", "\r\nOK\r\n"}});
  }
  const Counters c = sim.GetCounters();
  EXPECT_EQ(c.dials, 6);
  EXPECT_EQ(c.connects, 2);
  EXPECT_EQ(c.executed, 3);
  EXPECT_EQ(c.connections, 3);
  EXPECT_THROW(sim.SetDialResult("RING"), std::invalid_argument);
}

TEST(SignsimModem, EscapeAfterTheGuardTimeThenHangUp) {
  TempDir dir;
  signsim::Options options = PtyOnly(dir, true);
  options.guardTime = 500ms;
  signsim::Simulator sim(options);
  sim.Start();
  Peer host = Peer::Pty(sim.ModemPtyPath());
  Talk(host, {{"ATE0\r", "ATE0\r\r\nOK\r\n"},
              {"ATD1\r", "\r\nCONNECT 9600\r\n"},
              {kClockSet, kClockSetAnswer}});
  // "+++" right behind other data is data: once the guard time has passed, the sign
  // (not the modem) answers the inquiry.
  host.Write("+++");
  std::this_thread::sleep_for(700ms);
  Talk(host, {{Inquiry(1), Bytes("10 06")}});
  // The escape needs a quiet line for the guard time before "+++"; the modem answers
  // once the guard time after it has passed too.
  std::this_thread::sleep_for(700ms);
  Talk(host,
       {{"+++", "\r\nOK\r\n"}, {"ATO\r", "\r\nCONNECT 9600\r\n"}, {kClockSet, kClockSetAnswer}});
  std::this_thread::sleep_for(700ms);
  Talk(host, {{"+++", "\r\nOK\r\n"}, {"ATH\r", "\r\nOK\r\n"}, {"ATO\r", "\r\nNO CARRIER\r\n"}});
  EXPECT_EQ(sim.GetCounters().hangups, 1);
  EXPECT_EQ(sim.GetCounters().repeats, 1);

  // A line the sign drops is a lost carrier.
  sim.AddFault({signsim::FaultKind::DropAfter, 2, 1});
  Talk(host, {{"ATD1\r", "\r\nCONNECT 9600\r\n"}, {kClockSet, "\r\nNO CARRIER\r\n"}});
  EXPECT_EQ(sim.GetCounters().hangups, 2);
  EXPECT_EQ(sim.GetCounters().executed, 1);
}
