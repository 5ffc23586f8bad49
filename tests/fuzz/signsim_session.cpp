// signsim's side of the line: a session of a fresh sign takes either raw bytes (frame
// assembly, inquiries, acknowledges, noise) or commands framed as a host frames them,
// so that the sign's command decoders are reached past the block check. A fault may be
// armed first. With none, every framed command for the sign must get DLE ACK and one
// reply frame that a host accepts.
#include <qordtcon/qordtcon.hpp>

#include "fuzz.hpp"
#include "signsim/session.hpp"
#include "signsim/shared_sign.hpp"

namespace {

using namespace qordtcon;

struct CaptureLine : signsim::Line {
  void Send(std::string bytes, std::chrono::milliseconds) override { out += bytes; }
  void Drop() override {}
  std::string out;
};

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
  signsim::SharedSign sign(options);
  CaptureLine line;
  signsim::Session session(sign, line);

  const int kind = mode >> 1 & 15;
  const bool faulty = kind <= static_cast<int>(signsim::FaultKind::Reorder);
  if (faulty) {
    const int count = mode & 0x20 ? signsim::kAlways : 1;
    sign.AddFault({static_cast<signsim::FaultKind>(kind), faultValue, count});
  }

  if (!(mode & 1)) {
    // Raw bytes, in two batches.
    session.Receive(in.Take(in.Byte()));
    session.Receive(in.Rest());
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
    if (header.dst == 1) {
      RequireAnswer(line.out, CommandBody(header, data), header.newBcc);
    } else {
      FUZZ_REQUIRE(line.out.empty());
    }
  }
  return 0;
}
