#include <asio.hpp>
#include <deque>

#include "input_buffer.hpp"
#include "qordtcon/link/channels.hpp"
#include "wait_alarm.hpp"

namespace qordtcon {

namespace {

struct SocketError {
  std::int32_t number;
  std::string description;
};

// The socket error numbers and texts that hosts have always seen in the log and in
// Disconnect texts.
SocketError Describe(const std::error_code& ec) {
  namespace e = asio::error;
  if (ec == e::connection_refused) return {10061, "Connection is forcefully rejected"};
  if (ec == e::connection_reset || ec == e::broken_pipe) {
    return {10054, "Connection is reset by remote side"};
  }
  if (ec == e::connection_aborted)
    return {10053, "Connection is aborted due to timeout or other failure"};
  if (ec == e::timed_out) {
    return {10060, "Attempt to connect timed out without establishing a connection"};
  }
  if (ec == e::network_unreachable) return {10051, "Network is unreachable"};
  if (ec == e::host_unreachable) return {10065, "Host is unreachable"};
  if (ec == e::host_not_found) return {11001, "Authoritative answer: Host not found"};
  if (ec == e::host_not_found_try_again) return {11002, "Non-Authoritative answer: Host not found"};
  return {10000 + ec.value(), ec.message()};
}

}  // namespace

struct TcpSocket::Impl {
  explicit Impl(TcpSocket& o) : owner(o) {}

  TcpSocket& owner;
  asio::io_context io;
  asio::executor_work_guard<asio::io_context::executor_type> guard{io.get_executor()};
  asio::ip::tcp::resolver resolver{io};
  asio::ip::tcp::socket sock{io};
  int state = kClosed;
  // Bumped by every Close(): completions of an earlier connection are ignored.
  unsigned generation = 0;
  InputBuffer received;
  std::array<char, 16384> buffer{};
  std::deque<std::string> sends;
  WaitAlarm alarm{io};

  static void Raise(const std::function<void()>& event) {
    if (event) event();
  }

  void Fail(const std::error_code& ec) {
    state = kError;
    const SocketError err = Describe(ec);
    if (owner.OnError) owner.OnError(err.number, err.description, "Winsock");
  }

  void Connect() {
    const unsigned gen = generation;
    state = kConnecting;
    resolver.async_resolve(
        owner.RemoteHost, std::to_string(owner.RemotePort),
        [this, gen](const std::error_code& ec, asio::ip::tcp::resolver::results_type results) {
          if (gen != generation) return;
          if (ec) return Fail(ec);
          asio::async_connect(sock, results, [this, gen](const std::error_code& ec2, auto&&) {
            if (gen != generation) return;
            if (ec2) return Fail(ec2);
            std::error_code ignored;
            sock.set_option(asio::ip::tcp::no_delay(true), ignored);
            state = kConnected;
            Read();
            Raise(owner.OnConnect);
          });
        });
  }

  void Read() {
    const unsigned gen = generation;
    sock.async_read_some(asio::buffer(buffer),
                         [this, gen](const std::error_code& ec, std::size_t n) {
                           if (gen != generation) return;
                           received.Append(std::string_view(buffer.data(), n));
                           if (ec == asio::error::eof) {
                             state = kClosing;
                             return Raise(owner.OnClose);
                           }
                           if (ec) return Fail(ec);
                           Read();
                         });
  }

  void Send(std::string_view data) {
    sends.emplace_back(data);
    if (sends.size() == 1) WriteNext();
  }

  void WriteNext() {
    const unsigned gen = generation;
    asio::async_write(sock, asio::buffer(sends.front()),
                      [this, gen](const std::error_code& ec, std::size_t) {
                        if (gen != generation) return;
                        sends.pop_front();
                        if (ec) return Fail(ec);
                        if (!sends.empty()) WriteNext();
                        Raise(owner.OnSendComplete);
                      });
  }

  void Close() {
    ++generation;
    std::error_code ignored;
    resolver.cancel();
    sock.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    sock.close(ignored);
    received.Clear();
    sends.clear();
    state = kClosed;
  }
};

TcpSocket::TcpSocket() : impl_(std::make_unique<Impl>(*this)) {}

TcpSocket::~TcpSocket() {
  impl_->Close();
  impl_->io.stop();
}

int TcpSocket::State() const {
  return impl_->state;
}

void TcpSocket::Connect() {
  if (impl_->state != kClosed) impl_->Close();
  impl_->Connect();
}

void TcpSocket::Close() {
  impl_->Close();
}

void TcpSocket::SendData(std::string_view data) {
  if (impl_->state == kConnected && !data.empty()) impl_->Send(data);
}

std::string TcpSocket::PeekData(std::size_t count) const {
  return impl_->received.Peek(count);
}

std::string TcpSocket::GetData(std::size_t count) {
  return impl_->received.Take(count);
}

std::size_t TcpSocket::BytesReceived() const {
  return impl_->received.Size();
}

std::uint64_t TcpSocket::DroppedBytes() const {
  return impl_->received.Dropped();
}

void TcpSocket::Wait(Clock::time_point until) {
  impl_->alarm.Wait(until);
}

void TcpSocket::Poll() {
  PollSome(impl_->io);
}

void TcpSocket::Interrupt() {
  asio::post(impl_->io, [] {});
}

}  // namespace qordtcon
