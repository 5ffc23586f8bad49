#include "boot_loader.hpp"

#include <algorithm>
#include <cctype>
#include <utility>

#include <qordtcon/firmware/xmodem.hpp>
#include <qordtcon/protocol/frame.hpp>

namespace signsim {

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

constexpr char kSoh = 0x01, kStx = 0x02, kEot = 0x04, kAck = 0x06, kNak = 0x15, kCan = 0x18;
constexpr char kSub = 0x1A;  // pads the last block

constexpr milliseconds kBootTime = 300ms;  // from the reset to the banner
constexpr milliseconds kPokeEvery = 1000ms;
constexpr int kCrcPokes = 5;                  // "C"s before the receiver asks for checksums (NAK)
constexpr int kMaxPokes = 60;                 // then it gives up on a sender that never starts
constexpr milliseconds kBlockWait = 10000ms;  // a block may take this long, then NAK
constexpr int kMaxQuietNaks = 10;             // then the receiver cancels
constexpr milliseconds kDrainQuiet = 1000ms;  // after a cancel: until the sender stops
constexpr int kFlashMs = 2000, kFlashStepMs = 250, kSlowFlashStepMs = 1000;
constexpr std::size_t kMaxCommand = 64;

std::uint8_t Checksum(std::string_view bytes) {
  std::uint8_t sum = 0;
  for (const char c : bytes)
    sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
  return sum;
}

}  // namespace

BootLoader::~BootLoader() {
  line_.Cancel();
}

void BootLoader::Start() {
  sign_.Count(&Counters::boots);
  mute_ = sign_.TakeFault(FaultKind::NoMenu).has_value();
  const auto slow = sign_.TakeFault(FaultKind::SlowBoot);
  state_ = State::Booting;
  dle_ = false;
  command_.clear();
  image_.clear();
  After(slow ? milliseconds(slow->value) : kBootTime);
}

void BootLoader::Say(std::string text) {
  if (!mute_) line_.Send(std::move(text), milliseconds(0));
}

void BootLoader::After(milliseconds delay) {
  line_.Schedule(delay, [this] { Timer(); });
}

void BootLoader::Leave() {
  state_ = State::Off;
  line_.Cancel();
}

std::string BootLoader::Title() const {
  return std::string(sign_.GetBoard() == Board::Qx4 ? "QX4" : "ORVANE") + " BOOT LOADER V2.10\r\n";
}

BootLoader::Taken BootLoader::Receive(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (state_ == State::Booting || state_ == State::Menu) {
      if (dle_ && c == qordtcon::STX) {
        Leave();
        return {i + 1, true};
      }
      dle_ = c == qordtcon::DLE;
      if (c == '~' && sign_.GetBoard() == Board::Qx4) {
        Leave();
        return {i, false};
      }
    }
    switch (state_) {
      case State::Off:
        return {i, false};
      case State::Booting:
      case State::Flashing:
        break;  // not listening
      case State::Menu:
        if (c == kCan) {
          command_.clear();
        } else if (c == '\r') {
          Command(std::exchange(command_, {}));
        } else if (c != '\n' && command_.size() < kMaxCommand) {
          command_ += c;
        }
        break;
      case State::XmodemWait:
      case State::Xmodem:
        XmodemByte(c);
        break;
      case State::Draining:
        After(kDrainQuiet);
        break;
    }
  }
  return {bytes.size(), false};
}

void BootLoader::Timer() {
  switch (state_) {
    case State::Booting:
      state_ = State::Menu;
      Say("\r\n" + Title() + ">");
      return;
    case State::XmodemWait:
      Poke();
      return;
    case State::Xmodem:
      if (++quietNaks_ > kMaxQuietNaks) return Abort("\r\nTIMED OUT\r\n", true);
      // On a line that lost the block the NAK would be lost too, and a block on its way is
      // left to arrive.
      if (!lost_) {
        block_.clear();
        Nak();
      }
      After(kBlockWait);
      return;
    case State::Draining:
      state_ = State::Menu;
      Say(abortText_ + ">");
      return;
    case State::Flashing:
      FlashStep();
      return;
    case State::Off:
    case State::Menu:
      return;
  }
}

void BootLoader::Command(std::string_view line) {
  const auto first = line.find_first_not_of(' ');
  const auto last = line.find_last_not_of(' ');
  if (first == std::string_view::npos) return Say("\r\n>");
  const char letter = first == last ? static_cast<char>(std::toupper(line[first])) : '?';
  switch (letter) {
    case 'M':
      return Say("\r\n" + Title() +
                 "  M  THIS MENU\r\n"
                 "  L  LOAD AN IMAGE BY XMODEM\r\n"
                 "  W  WRITE THE IMAGE TO FLASH\r\n"
                 "  G  GO TO THE FIRMWARE\r\n"
                 ">");
    case 'L':
      if (sign_.TakeFault(FaultKind::NoXmodem)) return;  // the board missed it
      return StartXmodem();
    case 'W':
      if (image_.empty()) return Say("\r\n? NO IMAGE LOADED\r\n>");
      return StartFlash();
    case 'G':
      return Leave();
    default:
      return Say("\r\n?\r\n>");
  }
}

void BootLoader::StartXmodem() {
  state_ = State::XmodemWait;
  crc_ = true;
  pokes_ = quietNaks_ = cans_ = taken_ = 0;
  lost_ = false;
  expected_ = 1;
  lastBlock_ = 0;
  block_.clear();
  image_.clear();
  Poke();
}

// Asks the sender to start: "C" for CRC-16 blocks, after a few of those NAK for
// checksummed ones, as a sender may know only those.
void BootLoader::Poke() {
  if (pokes_ == kMaxPokes) {
    state_ = State::Menu;
    return Say("\r\nTIMED OUT\r\n>");
  }
  if (pokes_++ == kCrcPokes) crc_ = false;
  if (crc_) {
    Say("C");
  } else {
    Nak();
  }
  After(kPokeEvery);
}

void BootLoader::XmodemByte(char c) {
  if (!block_.empty()) {
    block_ += c;
    if (block_.size() == BlockLength()) HandleBlock();
    return;
  }
  cans_ = c == kCan ? cans_ + 1 : 0;
  if (c == kSoh || c == kStx) {
    block_ = c;
    if (state_ == State::XmodemWait) {
      state_ = State::Xmodem;
      After(kBlockWait);
    }
  } else if (c == kEot) {
    EndOfTransfer();
  } else if (cans_ == 2) {
    Abort("\r\nTRANSFER ABORTED\r\n", false);
  }
  // Anything else between blocks is line noise.
}

// The whole block from its SOH or STX: number, its complement, data, check.
std::size_t BootLoader::BlockLength() const {
  return 3 + (block_[0] == kStx ? 1024 : 128) + (crc_ ? 2 : 1);
}

void BootLoader::HandleBlock() {
  const std::string block = std::exchange(block_, {});
  const auto number = static_cast<std::uint8_t>(block[1]);
  const auto inverse = static_cast<std::uint8_t>(block[2]);
  const std::size_t size = block[0] == kStx ? 1024 : 128;
  const std::string_view data = std::string_view(block).substr(3, size);
  const std::string_view check = std::string_view(block).substr(3 + size);
  const bool good =
      (number ^ inverse) == 0xFF &&
      (crc_ ? qordtcon::XModemCrc16(data) ==
                  (static_cast<std::uint8_t>(check[0]) << 8 | static_cast<std::uint8_t>(check[1]))
            : Checksum(data) == static_cast<std::uint8_t>(check[0]));
  const int sequence = taken_ + 1;
  // A block lost on the line is never heard: the wait for it goes on as before.
  if (good && number == expected_ && sign_.TakeFault(FaultKind::XmodemDrop, -1, -1, sequence)) {
    lost_ = true;
    return;
  }
  lost_ = false;
  After(kBlockWait);
  if (!good) return Nak();
  quietNaks_ = 0;
  if (taken_ > 0 && number == static_cast<std::uint8_t>(expected_ - 1)) {
    return Say(std::string(1, kAck));  // the sender missed our ACK
  }
  if (number != expected_) return Abort("\r\nIMAGE OUT OF ORDER\r\n", true);
  if (sign_.TakeFault(FaultKind::XmodemCancel, -1, -1, sequence)) {
    return Abort("\r\nTRANSFER ABORTED\r\n", true);
  }
  if (sign_.TakeFault(FaultKind::XmodemNak, -1, -1, sequence)) return Nak();
  if (image_.size() + data.size() > kMaxImage) return Abort("\r\nIMAGE TOO LARGE\r\n", true);
  lastBlock_ = image_.size();
  image_ += data;
  taken_ = sequence;
  ++expected_;
  sign_.Count(&Counters::xmodemBlocks);
  Say(std::string(1, kAck));
}

void BootLoader::Nak() {
  sign_.Count(&Counters::xmodemNaks);
  Say(std::string(1, kNak));
}

// The receiver stops (CAN CAN when it is the one that cancels) and waits for the sender to
// go quiet, so that the rest of a block in flight is not read as menu commands.
void BootLoader::Abort(std::string text, bool cancel) {
  if (cancel) Say(std::string(2, kCan));
  image_.clear();
  block_.clear();
  abortText_ = std::move(text);
  state_ = State::Draining;
  After(kDrainQuiet);
}

// The last block's padding goes: the image is what the sender had (one that ends in SUB
// bytes itself loses them, as XMODEM cannot tell them apart).
void BootLoader::EndOfTransfer() {
  Say(std::string(1, kAck));
  while (image_.size() > lastBlock_ && image_.back() == kSub)
    image_.pop_back();
  state_ = State::Menu;
  line_.Cancel();
  Say("\r\nLOADED " + std::to_string(image_.size()) + " BYTES\r\n>");
}

void BootLoader::StartFlash() {
  flash_ = Flash::Normal;
  flashLimitMs_ = kFlashMs;
  flashStepMs_ = kFlashStepMs;
  if (const auto stall = sign_.TakeFault(FaultKind::FlashStall)) {
    flash_ = Flash::Stall;
    flashLimitMs_ = stall->value;
  } else if (const auto slow = sign_.TakeFault(FaultKind::SlowFlash)) {
    flash_ = Flash::Slow;
    flashLimitMs_ = slow->value;
    flashStepMs_ = kSlowFlashStepMs;
  }
  flashMs_ = 0;
  state_ = State::Flashing;
  Say(":");
  After(milliseconds(std::min(flashStepMs_, flashLimitMs_)));
}

void BootLoader::FlashStep() {
  flashMs_ += std::min(flashStepMs_, flashLimitMs_ - flashMs_);
  if (flashMs_ < flashLimitMs_) {
    Say(".");
    return After(milliseconds(std::min(flashStepMs_, flashLimitMs_ - flashMs_)));
  }
  state_ = State::Menu;
  if (flash_ == Flash::Stall) return;  // hung: no prompt, nothing written
  sign_.WriteFlash(image_);
  Say("\r\nFLASH WRITTEN, " + std::to_string(image_.size()) + " BYTES\r\n>");
}

}  // namespace signsim
