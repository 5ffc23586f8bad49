#include "modem_port.hpp"

#include <algorithm>
#include <cctype>

namespace signsim {

namespace {

constexpr std::size_t kMaxCommandLine = 256;
constexpr std::string_view kOk = "\r\nOK\r\n";
constexpr std::string_view kConnect = "\r\nCONNECT 9600\r\n";
constexpr std::string_view kError = "\r\nERROR\r\n";

std::string Result(std::string_view text) {
  return "\r\n" + std::string(text) + "\r\n";
}

}  // namespace

ModemPort::ModemPort(asio::io_context& io, SharedSign& sign, std::string link,
                     std::chrono::milliseconds guardTime)
    : PtyPort(io, sign, std::move(link), "--modem-pty"), guardTime_(guardTime), escapeTimer_(io) {}

void ModemPort::OnHostOpened() {
  sign_.Count(&Counters::connections);
}

// The host closing the port drops DTR: the modem hangs up.
void ModemPort::OnHostClosed() {
  if (mode_ != Mode::Command) HangUp();
  line_.clear();
  sign_.Count(&Counters::disconnects);
}

void ModemPort::OnBytes(std::string_view bytes) {
  while (!bytes.empty()) {
    if (mode_ == Mode::Data) {
      DataBytes(bytes);
      return;
    }
    bytes.remove_prefix(CommandBytes(bytes));
  }
}

std::size_t ModemPort::CommandBytes(std::string_view bytes) {
  std::string out;
  std::size_t used = 0;
  while (used < bytes.size() && mode_ != Mode::Data) {
    const char c = bytes[used++];
    if (echo_) out += c;
    if (c == '\r') {
      std::string line = std::move(line_);
      line_.clear();
      out += Execute(std::move(line));
    } else if (c != '\n' && line_.size() < kMaxCommandLine) {
      line_ += c;
    }
  }
  if (!out.empty()) Write(std::move(out));
  return used;
}

// Bytes for the sign, except a "+++" that a quiet guard time comes before and after:
// that escapes to command mode with the call still up.
void ModemPort::DataBytes(std::string_view bytes) {
  const Clock::time_point now = Clock::now();
  bool quiet = now - lastData_ >= guardTime_;
  std::string forSign;
  for (const char c : bytes) {
    if (c == '+' && pluses_ < 3 && (pluses_ > 0 || quiet)) {
      if (++pluses_ == 3) {
        escapeTimer_.expires_after(guardTime_);
        escapeTimer_.async_wait([this, self = shared_from_this()](const asio::error_code& ec) {
          if (!ec) EscapeGuardPassed();
        });
      }
      continue;
    }
    if (pluses_ > 0) {
      forSign.append(static_cast<std::size_t>(pluses_), '+');
      pluses_ = 0;
      escapeTimer_.cancel();
    }
    forSign += c;
    quiet = false;
  }
  lastData_ = now;
  if (!forSign.empty() && session_) session_->Receive(forSign);
}

void ModemPort::EscapeGuardPassed() {
  if (mode_ != Mode::Data || pluses_ != 3) return;
  pluses_ = 0;
  mode_ = Mode::OnlineCommand;
  Write(std::string(kOk));
}

std::string ModemPort::Execute(std::string line) {
  std::transform(line.begin(), line.end(), line.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  line.erase(std::remove(line.begin(), line.end(), ' '), line.end());
  // A command starts at "AT"; what comes before it (line noise, a frame's bytes sent
  // while the call was down) is skipped, and a line without one is ignored.
  const auto at = line.find("AT");
  if (at == std::string::npos) return {};
  for (std::size_t i = at + 2; i < line.size();) {
    const char command = line[i++];
    std::string digits;
    while (i < line.size() &&
           (std::isdigit(static_cast<unsigned char>(line[i])) || line[i] == '=')) {
      digits += line[i++];
    }
    switch (command) {
      case 'D':
        return Dial();
      case 'E':
        echo_ = digits != "0";
        break;
      case 'H':
        if (mode_ != Mode::Command) HangUp();
        break;
      case 'Z':
        if (mode_ != Mode::Command) HangUp();
        echo_ = true;
        break;
      case 'O':
        if (mode_ != Mode::OnlineCommand) return Result("NO CARRIER");
        mode_ = Mode::Data;
        lastData_ = Clock::now();
        return std::string(kConnect);
      default:
        break;  // settings this modem has no use for
    }
  }
  return std::string(kOk);
}

std::string ModemPort::Dial() {
  if (mode_ != Mode::Command) return std::string(kError);
  sign_.Count(&Counters::dials);
  const std::string result = sign_.DialResult();
  if (result != "CONNECT") return Result(result);
  sign_.Count(&Counters::connects);
  mode_ = Mode::Data;
  session_.emplace(sign_, *this);
  lastData_ = Clock::now();
  pluses_ = 0;
  return std::string(kConnect);
}

void ModemPort::HangUp() {
  session_.reset();
  ClearOutput();
  escapeTimer_.cancel();
  pluses_ = 0;
  mode_ = Mode::Command;
  sign_.Count(&Counters::hangups);
}

void ModemPort::Send(std::string bytes, std::chrono::milliseconds delay) {
  Write(std::move(bytes), delay);
}

// The sign drops the line: carrier lost.
void ModemPort::Drop() {
  WriteThen([this] {
    if (mode_ == Mode::Command) return;
    HangUp();
    Write(Result("NO CARRIER"));
  });
}

}  // namespace signsim
