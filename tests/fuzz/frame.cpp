// The frame reader: the link assembles the sign's answer (GetAck, then GetPacket) from
// bytes that a serial port in memory hands it, and stuffing, unstuffing and both block
// checks must agree on any body.
#include <qordtcon/qordtcon.hpp>

#include <memory>

#include "../memory_port.hpp"
#include "fuzz.hpp"

namespace {

using namespace qordtcon;

struct Link {
  Link() {
    vars.SerialPort = port;
    vars.NetSocket = std::make_shared<TcpSocket>();
    classCONNECTION_METHOD how;
    how.HowToConnect = DirectConnect;
    how.CommPort = "memory";
    how.BaudRate = "9600";
    how.dispID = 1;
    if (!link.OpenConnection(how)) std::abort();
    // Every byte is already waiting, and the port closes once they are read: no read waits,
    // and the link's deadlines never cut an input short.
    port->endsWhenDrained = true;
  }
  std::shared_ptr<MemoryPort> port = std::make_shared<MemoryPort>();
  classrTransVars vars;
  classrOutPutRoutines link{vars};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static Link rig;
  const std::string data = fuzz::Input(bytes, size).Rest();

  rig.port->Feed(data);
  const std::string ack = rig.link.GetAck();
  FUZZ_REQUIRE(ack.size() < 2 || ack[0] == DLE);
  const std::string frame = rig.link.GetPacket(ack);
  const std::size_t n = frame.size();
  FUZZ_REQUIRE(n == 0 || (n >= 5 && frame[0] == DLE && frame[1] == STX && frame[n - 3] == DLE &&
                          frame[n - 2] == ETX));
  rig.port->Feed({});

  const std::string stuffed = StuffBody(data);
  FUZZ_REQUIRE(UnstuffFrame(stuffed) == data);
  for (const bool newBcc : {false, true})
    FUZZ_REQUIRE(SenderBcc(stuffed, newBcc) == ReceiverBcc(data, newBcc));
  return 0;
}
