#include "qordtcon/protocol/frame.hpp"

namespace qordtcon {

namespace {
std::uint8_t Negate(std::uint32_t sum) {
  return static_cast<std::uint8_t>((256 - sum % 256) % 256);
}
}  // namespace

std::string StuffBody(std::string_view body) {
  std::string out;
  out.reserve(body.size() + 8);
  for (char c : body) {
    out += c;
    if (c == DLE) out += DLE;
  }
  return out;
}

std::string UnstuffFrame(std::string_view frame) {
  std::string out;
  out.reserve(frame.size());
  for (std::size_t i = 0; i < frame.size(); ++i) {
    out += frame[i];
    if (frame[i] == DLE && i + 1 < frame.size() && frame[i + 1] == DLE) ++i;
  }
  return out;
}

std::uint8_t SenderBcc(std::string_view stuffedBody, bool newBcc) {
  std::uint32_t sum = 0;
  int dleCount = 0;
  for (char c : stuffedBody) {
    std::uint32_t v = static_cast<std::uint8_t>(c);
    if (c == DLE) {
      ++dleCount;
    } else if (newBcc && v == 0) {
      v = 1;
    }
    // The second DLE of a stuffed pair is the one left out.
    if (dleCount == 2) {
      dleCount = 0;
    } else {
      sum += v;
    }
  }
  return Negate(sum);
}

std::uint8_t ReceiverBcc(std::string_view body, bool newBcc) {
  std::uint32_t sum = 0;
  for (char c : body) {
    const std::uint32_t v = static_cast<std::uint8_t>(c);
    sum += (newBcc && v == 0) ? 1 : v;
  }
  return Negate(sum);
}

std::string CommandBody(const CommandHeader& header, std::string_view data) {
  std::string body;
  body.reserve(7 + data.size());
  body += static_cast<char>(header.dst);
  body += '\0';
  body += static_cast<char>(header.cmd);
  body += static_cast<char>(header.newBcc ? kStsNewBcc : kStsOldBcc);
  body += static_cast<char>(header.transNum & 0xFF);
  body += static_cast<char>(header.transNum / 256);
  body += static_cast<char>(header.fnc);
  body += data;
  return body;
}

std::string BuildCommandFrame(const CommandHeader& header, std::string_view data) {
  const std::string stuffed = StuffBody(CommandBody(header, data));
  std::string frame{DLE, STX};
  frame += stuffed;
  frame += DLE;
  frame += ETX;
  frame += static_cast<char>(SenderBcc(stuffed, header.newBcc));
  return frame;
}

std::string BuildInquiryFrame(std::uint8_t dst, bool newBcc) {
  const char node = static_cast<char>(dst);
  return std::string{DLE, ENQ, node, static_cast<char>(ReceiverBcc({&node, 1}, newBcc))};
}

}  // namespace qordtcon
