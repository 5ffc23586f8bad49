// signsim's side of the line: a session of a fresh sign (either board) takes either raw
// bytes (frame assembly, inquiries, acknowledges, noise, the boot loader after a reset,
// its timer fired on cue, QX4 loader frames) or commands framed as a host frames them, so
// that the sign's command decoders are reached past the block check. A fault may be armed
// first. With none, every framed command for the sign but the reset and the download
// preparation must get DLE ACK and one reply frame that a host accepts, and a loader
// answer must be whole.
#include <qordtcon/qordtcon.hpp>

#include "fuzz.hpp"
#include "signsim/session.hpp"
#include "signsim/shared_sign.hpp"

namespace {

using namespace qordtcon;

struct CaptureLine : signsim::Line {
  void Send(std::string bytes, std::chrono::milliseconds) override { out += bytes; }
  void Drop() override {}
  void Schedule(std::chrono::milliseconds, std::function<void()> callback) override {
    timer = std::move(callback);
  }
  void Cancel() override { timer = nullptr; }
  std::string out;
  std::function<void()> timer;
};

// A loader answer: "~", its header, the data its length gives, and a check that holds.
void RequireLoaderAnswer(const std::string& out) {
  FirmwareDLQX4 answer;
  answer.SetStreamData(out);
  answer.Data =
      out.substr(std::min(out.size(), kQX4HeaderSize), static_cast<std::size_t>(answer.Length));
  FUZZ_REQUIRE(answer.GetStreamData() == out);
}

// DLE ACK, then a reply frame from node 1 to the command whose body is `command`.
void RequireAnswer(const std::string& out, std::string_view command, bool newBcc) {
  FUZZ_REQUIRE(out.size() >= 2 && out[0] == DLE && out[1] == ACK);
  const std::string reply = UnstuffFrame(std::string_view(out).substr(2));
  const std::size_t n = reply.size();
  FUZZ_REQUIRE(n >= 12 && reply[0] == DLE && reply[1] == STX && reply[n - 3] == DLE &&
               reply[n - 2] == ETX);
  const std::string_view body = std::string_view(reply).substr(2, n - 5);
  FUZZ_REQUIRE(ReceiverBcc(body, newBcc) == static_cast<std::uint8_t>(reply[n - 1]));
  const auto cmd = static_cast<std::uint8_t>(body[2]);
  FUZZ_REQUIRE(body[0] == 0 && body[1] == 1 && (cmd == kReplyOk || cmd == kReplyError));
  FUZZ_REQUIRE(body.substr(3, 3) == command.substr(3, 3));  // STS and transaction number
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  fuzz::Input in(bytes, size);
  const std::uint8_t mode = in.Byte();
  const std::uint8_t faultValue = in.Byte();
  signsim::Options options;
  options.board = mode & 0x40 ? signsim::Board::Qx4 : signsim::Board::Menu;
  options.loaderStartTime = {};
  signsim::SharedSign sign(options);
  CaptureLine line;
  signsim::Session session(sign, line);

  const int kind = mode >> 1 & 15;
  // The boot loader's faults (after Reorder) leave frames and loader frames alone.
  const bool faulty = kind <= static_cast<int>(signsim::FaultKind::Reorder);
  sign.AddFault(
      {static_cast<signsim::FaultKind>(kind), faultValue, mode & 0x20 ? signsim::kAlways : 1});

  if (!(mode & 1)) {
    if (mode & 0x80) session.Receive(BuildCommandFrame({1, 0, 0xAA, 1, false}, {}));
    // Raw batches; 255 fires the timer, 254 sends a loader frame.
    while (!in.Empty() && !session.Dropped()) {
      const std::uint8_t op = in.Byte();
      line.out.clear();
      if (op == 255) {
        if (auto callback = std::exchange(line.timer, nullptr)) callback();
      } else if (op == 254) {
        const std::uint8_t command = in.Byte() % 8;
        const double address = in.Word() & 0xFC00;
        const std::string data = in.Take(in.Word() % 1100);
        const auto length = static_cast<std::int32_t>(data.size());
        session.Receive(FirmwareDLQX4{kQX4Flag, command, 0, length, address, data}.GetStreamData());
        if (!faulty && !line.out.empty() && line.out[0] == '~') RequireLoaderAnswer(line.out);
      } else {
        session.Receive(in.Take(op));
      }
    }
    return 0;
  }
  std::uint16_t number = 0;
  while (!in.Empty() && !session.Dropped()) {
    const std::uint8_t flags = in.Byte();
    CommandHeader header;
    header.newBcc = flags & 1;
    header.dst = flags & 2 ? kBroadcastNode : flags & 4 ? 2 : 1;
    if (!(flags & 8)) ++number;  // else the host repeats its last transaction
    header.transNum = number;
    header.cmd = in.Byte();
    header.fnc = in.Byte();
    const std::string data = in.Take(in.Word());
    line.out.clear();
    session.Receive(BuildCommandFrame(header, data));
    if (faulty) continue;
    if (header.cmd == 0 && (header.fnc == 0xAA || header.fnc == 0xAB)) {
      FUZZ_REQUIRE(line.out.empty());
    } else if (header.dst == 1) {
      RequireAnswer(line.out, CommandBody(header, data), header.newBcc);
    } else {
      FUZZ_REQUIRE(line.out.empty());
    }
  }
  return 0;
}
