// The frame reader: the link assembles the sign's answer (GetAck, then GetPacket) from
// bytes that a serial port in memory hands it, and stuffing, unstuffing and both block
// checks must agree on any body.
#include <qordtcon/qordtcon.hpp>

#include <memory>
#include <thread>

#include "fuzz.hpp"

namespace {

using namespace qordtcon;

// A direct line whose received bytes are the fuzz input; what the link sends is dropped.
class MemoryPort : public SerialChannel {
 public:
  void Feed(std::string bytes) {
    in_ = std::move(bytes);
    pos_ = 0;
  }

  void CommPort(const std::string&) override {}
  void Settings(const std::string&) override {}
  void PhoneNumber(const std::string&) override {}
  void PortKind(int) override {}
  void Timeout(int) override {}
  void Open() override { open_ = true; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  bool Busy() const override { return false; }
  std::string DialStatus() const override { return {}; }
  void InputLen(int count) override { inputLen_ = count; }
  int InCount() override { return static_cast<int>(in_.size() - pos_); }
  std::string Input() override {
    const std::string out = in_.substr(pos_, inputLen_ > 0 ? inputLen_ : std::string::npos);
    pos_ += out.size();
    return out;
  }
  void OutputLen(int) override {}
  void Output(std::string_view) override {}
  // Nothing more ever arrives: a wait lasts until its deadline.
  void Wait(Clock::time_point until) override {
    if (pos_ == in_.size()) std::this_thread::sleep_until(until);
  }
  void Interrupt() override {}

 private:
  std::string in_;
  std::size_t pos_ = 0;
  int inputLen_ = 0;
  bool open_ = false;
};

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
    // Every byte is already waiting: a read that finds none has reached the end.
    link.MessageResponseTime = 0;
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
