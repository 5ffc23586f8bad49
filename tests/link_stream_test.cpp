#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "bytes.hpp"
#include "control_rig.hpp"
#include "memory_port.hpp"
#include "peer.hpp"

using namespace qordtcon;
using namespace std::chrono_literals;

namespace {

// Opens the rig's link on a loopback listener, which takes the connection.
void OpenOn(ControlRig& rig, TcpListener& peer) {
  auto accepted = std::async(std::launch::async, [&] { return peer.Accept(10s); });
  ASSERT_TRUE(rig.Open(ControlRig::Tcp(peer.port()))) << rig.link->ErrorMessage;
  ASSERT_TRUE(accepted.get());
}

}  // namespace

TEST(ByteStream, AnswersAndFramesReadFromTheWire) {
  ControlRig rig;
  TcpListener peer;
  OpenOn(rig, peer);
  struct Case {
    const char* name;
    const char* input;
    bool packet;          // GetPacket (else GetAck)
    const char* initial;  // GetPacket's Initial
    const char* result;
    bool flush = false;  // ClearInputBuffer first
  };
  // clang-format off
  const Case cases[] = {
      {"stuffed data before the answer", "78 10 10 10 06", false, "", "10 06"},
      {"refusal", "10 15", false, "", "10 15"},
      {"reply starting at once", "41 10 02", false, "", "10 02"},
      {"lone DLE then silence", "10", false, "", "10"},
      {"silence", "", false, "", ""},
      {"frame continuing DLE STX", "00 00 F0 00 01 00 00 10 03 0F", true, "10 02", "10 02 00 00 F0 00 01 00 00 10 03 0F"},
      {"junk before the frame", "55 10 06 10 02 00 00 F0 00 01 00 00 10 03 0F", true, "10 06", "10 02 00 00 F0 00 01 00 00 10 03 0F"},
      {"stuffed DLE removed", "10 02 00 00 F0 00 01 00 00 10 10 10 03 FF", true, "", "10 02 00 00 F0 00 01 00 00 10 10 03 FF"},
      {"BCC never arrives", "10 02 00 00 F0 00 01 00 00 10 03", true, "", ""},
      // A late answer flushed before a resend is never taken for the resend's answer.
      {"flushed answer", "10 06 10 02 00 00 F0 00 01 00 00 10 03 0F", true, "", "", true},
  };
  // clang-format on
  for (const Case& c : cases) {
    peer.Write(Bytes(c.input));
    if (c.flush) {
      rig.link->AwaitInput(Bytes(c.input).size(), 2000ms);
      rig.link->ClearInputBuffer();
    }
    const std::string got = c.packet ? rig.link->GetPacket(Bytes(c.initial)) : rig.link->GetAck();
    EXPECT_EQ(got, Bytes(c.result)) << c.name;
  }
}

TEST(ByteStream, NetworkReadDeadlineSlidesWhileDataArrivesSerialDoesNot) {
  ControlRig rig({{"MessageResponseTime", "1500"}});
  TcpListener tcpPeer;
  PtyMaster pty;
  struct Case {
    const char* name;
    bool network;
    std::size_t expected;
  };
  for (const Case& c : {Case{"network", true, 10}, Case{"serial", false, 4}}) {
    Peer* peer = c.network ? static_cast<Peer*>(&tcpPeer) : &pty;
    if (c.network) {
      OpenOn(rig, tcpPeer);
    } else {
      ASSERT_TRUE(rig.Open(ControlRig::Serial(pty.path()))) << rig.link->ErrorMessage;
    }
    // 4 bytes after 0.8 s, 6 more 1.2 s later: past a fixed 1.5 s deadline, within a
    // deadline that moved when the first bytes came.
    auto script = std::async(std::launch::async, [peer] {
      std::this_thread::sleep_for(800ms);
      peer->Write("ABCD");
      std::this_thread::sleep_for(1200ms);
      peer->Write("EFGHIJ");
    });
    const std::string got = rig.link->InputStr(10);
    script.get();
    EXPECT_EQ(got.size(), c.expected) << c.name << ": " << got;
    rig.link->InputStr(0);
  }
}

TEST(ByteStream, BufferedAckGoesOutInFrontOfTheNextWrite) {
  ControlRig rig({{"SendBufferedAck", "True"}});
  TcpListener peer;
  OpenOn(rig, peer);
  rig.link->SendAck();
  EXPECT_EQ(peer.Read(2, 300ms), "") << "a buffered acknowledge waits";
  std::string data = "ABC";
  rig.link->TransmitOutStr(data);
  EXPECT_EQ(data, Bytes("10 06 41 42 43")) << "the caller's text now holds what went out";
  EXPECT_EQ(peer.Read(5, 2000ms), Bytes("10 06 41 42 43"));
  EXPECT_TRUE(rig.vars.PendingOut.empty());
}

TEST(ByteStream, SerialWritesGoOutInPiecesOfAHundred) {
  ControlRig rig;
  auto port = std::make_shared<MemoryPort>();
  rig.vars.SerialPort = port;
  struct Case {
    ConnectionType how;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {DirectConnect, {"len 100", "out 100", "len 100", "out 100", "len 50", "out 50"}},
      {ModemConnect, {"out 100", "out 100", "out 50"}},
  };
  for (const Case& c : cases) {
    classCONNECTION_METHOD cm;
    cm.HowToConnect = c.how;
    cm.CommPort = "host";
    cm.BaudRate = "19200";
    ASSERT_TRUE(rig.link->OpenConnection(cm));
    EXPECT_EQ(port->kind, c.how == DirectConnect ? SerialChannel::kDirect : SerialChannel::kModem);
    port->calls.clear();
    std::string data(250, 'x');
    rig.link->TransmitOutStr(data);
    EXPECT_EQ(port->calls, c.calls);
  }
  EXPECT_EQ(port->settings, "19200,N,8,1");
}

// A sign that goes away while a frame waits in pieces: the first piece fails, and nothing
// behind it may stay counted as waiting, or every later send would wait for it in vain.
TEST(ByteStream, SerialLineLostLeavesNothingWaitingToGoOut) {
  PtyMaster sign;
  const auto port = MakeSerialPort();
  port->CommPort(sign.path());
  port->Open();
  ASSERT_TRUE(port->IsOpen()) << port->DialStatus();
  sign.Close();  // gone before the port has looked at the line again
  for (int i = 0; i < 3; ++i)
    port->Output(std::string(100, 'x'));
  const auto deadline = Clock::now() + 5s;
  while (port->OutCount() > 0 && Clock::now() < deadline)
    port->Wait(deadline);
  EXPECT_EQ(port->OutCount(), 0);
  EXPECT_FALSE(port->IsOpen());
}

TEST(ConnectionManager, ClosingWhileNothingIsOpen) {
  ControlRig rig({{"DebugMode", "ON2"}});
  rig.vars.Connected = true;
  const auto start = Clock::now();
  rig.link->CloseConnection();
  EXPECT_LT(Clock::now() - start, 500ms) << "nothing to close, no pause";
  EXPECT_FALSE(rig.vars.Connected);
  EXPECT_TRUE(rig.link->Abort);
  EXPECT_EQ(rig.dir.Read("iocomm.log"), "Closing Connection\r\n");
}
