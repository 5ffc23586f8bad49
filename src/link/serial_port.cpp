#include <algorithm>
#include <asio.hpp>
#include <charconv>
#include <deque>
#include <utility>

#include "input_buffer.hpp"
#include "qordtcon/link/channels.hpp"
#include "wait_alarm.hpp"

namespace qordtcon {

namespace {

// Longest wait for the modem's answer to a dial command.
constexpr auto kDialTimeout = std::chrono::seconds(60);

// The answers a modem gives to a dial command; anything else on the line is echo or noise.
constexpr std::string_view kDialResults[] = {"CONNECT",     "BUSY",      "NO CARRIER",
                                             "NO DIALTONE", "NO ANSWER", "ERROR"};

// A serial port over Asio: reads and writes run in the background of the caller's waits,
// so that counting and reading waiting characters costs no system call and a line that
// takes nothing never blocks the caller. A modem port dials in the background too: the
// link waits for the answer with its own deadline and abort.
class AsioSerialPort final : public SerialChannel {
 public:
  void CommPort(const std::string& port) override { port_ = port; }
  void Settings(const std::string& settings) override { settings_ = settings; }
  void PhoneNumber(const std::string& number) override { phone_ = number; }
  void PortKind(int kind) override { kind_ = kind; }
  void Timeout(int milliseconds) override { timeout_ = milliseconds; }

  void Open() override {
    if (open_ || dialing_) return;
    dialStatus_.clear();  // a failure says why this open failed, not the last one
    std::error_code ec;
    serial_.open(port_, ec);
    if (!ec) ec = ApplySettings();
    if (ec) {
      dialStatus_ = "cannot open " + port_ + " (" + ec.message() + ")";
      Shut();
      return;
    }
    Read();
    if (kind_ != kModem) {
      open_ = true;
      return;
    }
    dialing_ = true;
    Write("ATDT" + phone_ + "\r");
    const unsigned gen = generation_;
    dialTimer_.expires_after(kDialTimeout);
    dialTimer_.async_wait([this, gen](const std::error_code& e) {
      if (!e && gen == generation_) EndDial("NO ANSWER", false);
    });
  }

  void Close() override {
    if (dialing_) dialStatus_ = "Canceled";
    Shut();
  }
  bool IsOpen() const override { return open_; }
  bool Busy() const override { return false; }
  bool Dialing() override {
    PollSome(io_);
    return dialing_;
  }
  std::string DialStatus() const override { return dialStatus_; }

  void InputLen(int count) override { inputLen_ = count; }

  // What has arrived is picked up only when too little waits: a line that floods must not
  // make every character read cost a read of the line.
  int InCount() override {
    if (received_.Size() == 0) PollSome(io_);
    return static_cast<int>(received_.Size());
  }

  std::string Input() override {
    const std::size_t wanted =
        inputLen_ <= 0 ? InputBuffer::kCapacity : static_cast<std::size_t>(inputLen_);
    if (received_.Size() < wanted) PollSome(io_);
    return received_.Take(wanted);
  }

  void OutputLen(int count) override { outputLen_ = count; }

  void Output(std::string_view data) override {
    if (open_ && !data.empty()) Write(data);
  }

  int OutCount() override {
    PollSome(io_);
    return static_cast<int>(outCount_);
  }

  void ClearOutput() override {
    if (sends_.empty()) return;
    // Cancelling the write cancels the read too: start a new generation of both.
    ++generation_;
    std::error_code ignored;
    serial_.cancel(ignored);
    sends_.clear();
    outCount_ = 0;
    if (serial_.is_open()) Read();
  }

  std::uint64_t DroppedBytes() const override { return received_.Dropped(); }

  void Wait(Clock::time_point until) override { alarm_.Wait(until); }

  void Interrupt() override {
    asio::post(io_, [] {});
  }

 private:
  // "9600,N,8,1": speed, parity (N, E, O), data bits, stop bits (1, 2).
  std::error_code ApplySettings() {
    unsigned fields[4] = {9600, 0, 8, 1};
    char parity = 'N';
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
      const std::size_t end = std::min(settings_.find(',', start), settings_.size());
      const std::string_view field(settings_.data() + start, end - start);
      if (i == 1) {
        if (field.size() == 1) parity = static_cast<char>(std::toupper(field[0]));
      } else if (!field.empty()) {
        std::from_chars(field.data(), field.data() + field.size(), fields[i]);
      }
      start = end + 1;
      if (end == settings_.size()) break;
    }
    using P = asio::serial_port_base::parity;
    using S = asio::serial_port_base::stop_bits;
    const P p(parity == 'E' ? P::even : parity == 'O' ? P::odd : P::none);
    std::error_code ec;
    serial_.set_option(asio::serial_port_base::baud_rate(fields[0]), ec);
    if (!ec) serial_.set_option(asio::serial_port_base::character_size(fields[2]), ec);
    if (!ec) serial_.set_option(p, ec);
    if (!ec) serial_.set_option(S(fields[3] == 2 ? S::two : S::one), ec);
    if (!ec) {
      serial_.set_option(
          asio::serial_port_base::flow_control(asio::serial_port_base::flow_control::none), ec);
    }
    return ec;
  }

  void Read() {
    const unsigned gen = generation_;
    serial_.async_read_some(asio::buffer(buffer_),
                            [this, gen](const std::error_code& ec, std::size_t n) {
                              if (gen != generation_) return;
                              Arrived(std::string_view(buffer_.data(), n));
                              if (gen != generation_) return;  // a failed dial shut the port
                              if (ec) return LineLost();
                              Read();
                            });
  }

  void Write(std::string_view data) {
    sends_.emplace_back(data);
    outCount_ += data.size();
    if (sends_.size() == 1) WriteNext();
  }

  void WriteNext() {
    const unsigned gen = generation_;
    asio::async_write(serial_, asio::buffer(sends_.front()),
                      [this, gen](const std::error_code& ec, std::size_t) {
                        if (gen != generation_) return;
                        if (ec) {
                          // Nothing queued behind a failed write can reach the sign.
                          sends_.clear();
                          outCount_ = 0;
                          return LineLost();
                        }
                        outCount_ -= sends_.front().size();
                        sends_.pop_front();
                        if (!sends_.empty()) WriteNext();
                      });
  }

  // While dialling, received lines are the modem's answers; after CONNECT the rest is
  // the sign's.
  void Arrived(std::string_view bytes) {
    while (dialing_ && !bytes.empty()) {
      const std::size_t eol = bytes.find_first_of("\r\n");
      dialLine_.append(bytes.substr(0, eol));
      if (eol == std::string_view::npos) return;
      bytes.remove_prefix(eol + 1);
      const std::string line = std::exchange(dialLine_, {});
      const auto answer = std::find_if(std::begin(kDialResults), std::end(kDialResults),
                                       [&](std::string_view r) { return line.rfind(r, 0) == 0; });
      if (answer != std::end(kDialResults)) EndDial(line, *answer == "CONNECT");
    }
    if (open_) received_.Append(bytes);
  }

  void EndDial(const std::string& status, bool connected) {
    dialing_ = false;
    dialStatus_ = status;
    dialTimer_.cancel();
    if (connected) {
      open_ = true;
    } else {
      Shut();
    }
  }

  // The line is gone (device removed, peer hung up).
  void LineLost() {
    if (dialing_) return EndDial("NO CARRIER", false);
    open_ = false;
  }

  void Shut() {
    ++generation_;
    std::error_code ignored;
    serial_.close(ignored);
    dialTimer_.cancel();
    open_ = false;
    dialing_ = false;
    dialLine_.clear();
    received_.Clear();
    sends_.clear();
    outCount_ = 0;
  }

  asio::io_context io_;
  asio::executor_work_guard<asio::io_context::executor_type> guard_{io_.get_executor()};
  asio::serial_port serial_{io_};
  asio::steady_timer dialTimer_{io_};
  WaitAlarm alarm_{io_};
  std::string port_, settings_ = "9600,N,8,1", phone_, dialStatus_, dialLine_;
  int kind_ = kDirect, timeout_ = 0, inputLen_ = 0, outputLen_ = 0;
  bool open_ = false;     // as the link sees it: a modem only once connected
  bool dialing_ = false;  // a dial waits for the modem's answer
  // Bumped by every close or cancel: completions of earlier operations are ignored.
  unsigned generation_ = 0;
  InputBuffer received_;
  std::deque<std::string> sends_;
  std::size_t outCount_ = 0;
  std::array<char, 4096> buffer_{};
};

}  // namespace

std::shared_ptr<SerialChannel> MakeSerialPort() {
  return std::make_shared<AsioSerialPort>();
}

}  // namespace qordtcon
