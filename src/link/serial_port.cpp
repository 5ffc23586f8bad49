#include <asio.hpp>
#include <atomic>
#include <charconv>

#include "qordtcon/link/channels.hpp"
#include "wait_alarm.hpp"

namespace qordtcon {

namespace {

// Longest wait for the modem's answer to a dial command.
constexpr auto kDialTimeout = std::chrono::seconds(60);

// The answers a modem gives to a dial command; anything else on the line is echo or noise.
constexpr std::string_view kDialResults[] = {"CONNECT",     "BUSY",      "NO CARRIER",
                                             "NO DIALTONE", "NO ANSWER", "ERROR"};

// A serial port over Asio: reads run in the background of the caller's waits and land
// in a buffer, so that counting and reading waiting characters costs no system call.
class AsioSerialPort final : public SerialChannel {
 public:
  void CommPort(const std::string& port) override { port_ = port; }
  void Settings(const std::string& settings) override { settings_ = settings; }
  void PhoneNumber(const std::string& number) override { phone_ = number; }
  void PortKind(int kind) override { kind_ = kind; }
  void Timeout(int milliseconds) override { timeout_ = milliseconds; }

  void Open() override {
    if (open_) return;
    interrupted_ = false;
    std::error_code ec;
    serial_.open(port_, ec);
    if (ec || !ApplySettings()) {
      Shut();
      return;
    }
    open_ = true;
    Read();
    if (kind_ == kModem && !Dial()) Shut();
  }

  void Close() override { Shut(); }
  bool IsOpen() const override { return open_; }
  bool Busy() const override { return false; }
  std::string DialStatus() const override { return dialStatus_; }

  void InputLen(int count) override { inputLen_ = count; }

  int InCount() override {
    io_.poll();
    return static_cast<int>(received_.size());
  }

  std::string Input() override {
    io_.poll();
    const std::size_t n =
        inputLen_ <= 0 ? received_.size() : std::min<std::size_t>(inputLen_, received_.size());
    std::string out = received_.substr(0, n);
    received_.erase(0, n);
    return out;
  }

  void OutputLen(int count) override { outputLen_ = count; }

  void Output(std::string_view data) override {
    if (!open_ || data.empty()) return;
    std::error_code ec;
    asio::write(serial_, asio::buffer(data.data(), data.size()), ec);
    if (ec) Shut();
  }

  void Wait(Clock::time_point until) override { alarm_.Wait(until); }

  void Interrupt() override {
    interrupted_ = true;
    asio::post(io_, [] {});
  }

 private:
  // "9600,N,8,1": speed, parity (N, E, O), data bits, stop bits (1, 2).
  bool ApplySettings() {
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
    return !ec;
  }

  void Read() {
    const unsigned gen = generation_;
    serial_.async_read_some(asio::buffer(buffer_),
                            [this, gen](const std::error_code& ec, std::size_t n) {
                              if (gen != generation_) return;
                              received_.append(buffer_.data(), n);
                              if (ec) {
                                open_ = false;  // the line is gone (device removed, peer hung up)
                                return;
                              }
                              Read();
                            });
  }

  // Sends the dial command and waits for the modem's answer line.
  bool Dial() {
    received_.clear();
    Output("ATDT" + phone_ + "\r");
    const auto deadline = Clock::now() + kDialTimeout;
    while (open_) {
      if (interrupted_) {
        dialStatus_ = "Canceled";
        return false;
      }
      const std::size_t eol = received_.find_first_of("\r\n");
      if (eol != std::string::npos) {
        const std::string line = received_.substr(0, eol);
        received_.erase(0, eol + 1);
        for (std::string_view result : kDialResults) {
          if (line.rfind(result, 0) == 0) {
            dialStatus_ = line;
            return result == "CONNECT";
          }
        }
        continue;
      }
      if (Clock::now() >= deadline) {
        dialStatus_ = "NO ANSWER";
        return false;
      }
      Wait(deadline);
    }
    dialStatus_ = "NO CARRIER";
    return false;
  }

  void Shut() {
    ++generation_;
    std::error_code ignored;
    serial_.close(ignored);
    open_ = false;
    received_.clear();
  }

  asio::io_context io_;
  asio::executor_work_guard<asio::io_context::executor_type> guard_{io_.get_executor()};
  asio::serial_port serial_{io_};
  WaitAlarm alarm_{io_};
  std::string port_, settings_ = "9600,N,8,1", phone_, dialStatus_;
  int kind_ = kDirect, timeout_ = 0, inputLen_ = 0, outputLen_ = 0;
  bool open_ = false;
  std::atomic<bool> interrupted_{false};
  unsigned generation_ = 0;
  std::string received_;
  std::array<char, 4096> buffer_{};
};

}  // namespace

std::shared_ptr<SerialChannel> MakeSerialPort() {
  return std::make_shared<AsioSerialPort>();
}

}  // namespace qordtcon
