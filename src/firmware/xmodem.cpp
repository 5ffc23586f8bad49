#include "qordtcon/firmware/xmodem.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>

namespace qordtcon {

namespace {

constexpr char kSoh = 0x01;
constexpr char kStx = 0x02;
constexpr char kEot = 0x04;
constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kCan = 0x18;
constexpr char kPad = 0x1A;
constexpr std::size_t kShortBlock = 128;
constexpr std::size_t kLongBlock = 1024;
// A receiver stops on two CAN in a row; the third covers one lost on the line.
constexpr std::size_t kCanCount = 3;

constexpr std::string_view kStartRequests = "C\x15";
constexpr std::string_view kAnswers = "\x06\x15";

using Clock = std::chrono::steady_clock;

// One block as it goes on the line: header, number, its complement, `size` bytes of data
// padded with 0x1A, then the CRC (high byte first) or the 8-bit sum.
std::string Block(std::uint8_t number, std::string_view data, std::size_t size, bool crc) {
  std::string block;
  block.reserve(size + 5);
  block += size == kLongBlock ? kStx : kSoh;
  block += static_cast<char>(number);
  block += static_cast<char>(0xFF - number);
  block += data;
  block.append(size - data.size(), kPad);
  const std::string_view payload = std::string_view(block).substr(3);
  if (crc) {
    const std::uint16_t value = XModemCrc16(payload);
    block += static_cast<char>(value >> 8);
    block += static_cast<char>(value & 0xFF);
  } else {
    unsigned sum = 0;
    for (unsigned char byte : payload)
      sum += byte;
    block += static_cast<char>(sum & 0xFF);
  }
  return block;
}

// "60 s", "0.3 s", "2.25 s".
std::string Seconds(std::chrono::milliseconds wait) {
  const auto ms = std::max<std::chrono::milliseconds::rep>(wait.count(), 0);
  std::string text = std::to_string(ms / 1000);
  if (ms % 1000 != 0) {
    std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
    while (fraction.back() == '0')
      fraction.pop_back();
    text += "." + fraction;
  }
  return text + " s";
}

std::string Times(int count) {
  return count == 1 ? "once" : std::to_string(count) + " times";
}

// The whole file, or false with the system's reason in `reason`.
bool ReadWholeFile(const std::string& path, std::string& data, std::string& reason) {
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  errno = 0;
  const std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
  if (file) {
    char buffer[16384];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) {
      data.append(buffer, n);
    }
    if (!std::ferror(file.get())) return true;
  }
  reason = errno != 0 ? std::generic_category().message(errno) : "unknown error";
  return false;
}

// What a wait for the receiver ended with.
enum class Answer { kAck, kNak, kCrcStart, kReceiverCancel, kSilence, kCanceled };

// One run of SendFile: the receiver's bytes not yet looked at and the steps of the transfer.
class Transfer {
 public:
  explicit Transfer(XModemSender& sender) : sender_(sender) {}

  bool Run(bool long_blocks, const std::string& data) {
    bool crc = false;
    switch (Await(sender_.StartWait, kStartRequests)) {
      case Answer::kCrcStart:
        crc = true;
        break;
      case Answer::kNak:
        break;
      case Answer::kCanceled:
        return Fail(
            "the transfer was cancelled before the receiver asked for the file; "
            "nothing was sent");
      case Answer::kReceiverCancel:
        return ReceiverCancelled("before the first block");
      default:
        return Fail("the receiver never asked for the file: no \"C\" or NAK within " +
                    Seconds(sender_.StartWait) +
                    "; is it in its receive mode, and do speed and parity match?");
    }
    // Receivers repeat their "C" or NAK until the first block arrives; one still waiting
    // would pass for the answer to that block.
    if (Drain()) return ReceiverCancelled("before the first block");

    long_blocks = long_blocks && crc;
    std::uint8_t number = 1;
    std::size_t index = 1;
    for (std::size_t offset = 0; offset < data.size(); ++number, ++index) {
      const std::size_t size =
          long_blocks && data.size() - offset >= kLongBlock ? kLongBlock : kShortBlock;
      const std::string_view chunk = std::string_view(data).substr(offset, size);
      if (!Deliver(Block(number, chunk, size, crc), "block " + std::to_string(index))) {
        return false;
      }
      offset += chunk.size();
    }
    return Deliver(std::string(1, kEot), "the end of transmission (EOT)");
  }

 private:
  // Sends a block or the EOT until the receiver acknowledges it, at most MaxRetries times.
  bool Deliver(const std::string& bytes, const std::string& what) {
    const int tries = std::max(sender_.MaxRetries, 1);
    int refused = 0;
    int unanswered = 0;
    while (refused + unanswered < tries) {
      if (Canceled()) return CancelledHere(what);
      // Whatever followed a NAK or came late is not the answer to the copy sent next.
      if (refused + unanswered > 0 && Drain()) return ReceiverCancelled("at " + what);
      sender_.OnSendData(bytes);
      switch (Await(sender_.AnswerWait, kAnswers)) {
        case Answer::kAck:
          return true;
        case Answer::kNak:
          ++refused;
          break;
        case Answer::kReceiverCancel:
          return ReceiverCancelled("at " + what);
        case Answer::kCanceled:
          return CancelledHere(what);
        default:
          ++unanswered;
          break;
      }
    }
    SendCan();
    std::string text = what;
    if (refused > 0) text += " was refused " + Times(refused);
    if (refused > 0 && unanswered > 0) text += " and";
    if (unanswered > 0) {
      text +=
          " went unanswered " + Times(unanswered) + " (" + Seconds(sender_.AnswerWait) + " each)";
    }
    return Fail(text +
                "; the transfer was abandoned and CAN sent to the receiver. Check the line "
                "(speed, parity, noise) and that the receiver is still in its receive mode, "
                "then start again");
  }

  // Reads the receiver's bytes until one of `wanted`, CAN CAN, our own cancel or the end of
  // `wait`. Anything else (noise, a late "C", a lone CAN) is passed over.
  Answer Await(std::chrono::milliseconds wait, std::string_view wanted) {
    const auto deadline = Clock::now() + wait;
    while (true) {
      if (const std::optional<char> byte = Take(wanted)) {
        if (*byte == kCan) return Answer::kReceiverCancel;
        if (*byte == kAck) return Answer::kAck;
        return *byte == kNak ? Answer::kNak : Answer::kCrcStart;
      }
      if (Canceled()) return Answer::kCanceled;
      if (Clock::now() >= deadline) return Answer::kSilence;
      pending_ += sender_.OnGetData(1);
    }
  }

  // Throws away what the receiver has sent so far; true when that held CAN CAN.
  bool Drain() {
    pending_ += sender_.OnGetData(0);
    return Take("").has_value();
  }

  // Consumes the bytes read so far up to and including the first of `wanted` or a second
  // CAN in a row, and returns that byte.
  std::optional<char> Take(std::string_view wanted) {
    std::optional<char> found;
    std::size_t used = 0;
    while (used < pending_.size() && !found) {
      const char byte = pending_[used++];
      const bool second_can = byte == kCan && last_was_can_;
      last_was_can_ = byte == kCan;
      if (second_can || wanted.find(byte) != std::string_view::npos) found = byte;
    }
    pending_.erase(0, used);
    return found;
  }

  bool Canceled() const { return sender_.Canceled && sender_.Canceled(); }

  void SendCan() { sender_.OnSendData(std::string(kCanCount, kCan)); }

  bool CancelledHere(const std::string& what) {
    SendCan();
    return Fail("the transfer was cancelled at " + what +
                "; the receiver was sent CAN, so the upload has to start again from the "
                "beginning");
  }

  bool ReceiverCancelled(const std::string& when) {
    return Fail("the receiver cancelled the transfer (CAN CAN) " + when +
                "; see its display or log for the reason, then start again");
  }

  bool Fail(std::string text) {
    sender_.ErrorMessage = std::move(text);
    return false;
  }

  XModemSender& sender_;
  std::string pending_;
  bool last_was_can_ = false;
};

}  // namespace

std::uint16_t XModemCrc16(std::string_view data) {
  unsigned crc = 0;
  for (unsigned char byte : data) {
    crc ^= static_cast<unsigned>(byte) << 8;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
  }
  return static_cast<std::uint16_t>(crc);
}

bool XModemSender::SendFile(std::int32_t mode, const std::string& path) {
  if (mode != kXModem && mode != kXModem1K) {
    throw std::invalid_argument("XModemSender::SendFile: mode " + std::to_string(mode) +
                                " is neither 1 (XMODEM, 128-byte blocks) nor 3 (XMODEM with "
                                "1024-byte blocks)");
  }
  if (!OnGetData || !OnSendData) {
    throw std::invalid_argument("XModemSender::SendFile: OnGetData and OnSendData must be set");
  }
  ErrorMessage.clear();
  std::string data;
  std::string reason;
  if (!ReadWholeFile(path, data, reason)) {
    ErrorMessage =
        "cannot read the file \"" + path + "\": " + reason + "; check the path and its permissions";
    return false;
  }
  return Transfer(*this).Run(mode == kXModem1K, data);
}

}  // namespace qordtcon
