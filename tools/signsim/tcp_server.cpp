#include "tcp_server.hpp"

#include <charconv>
#include <stdexcept>

namespace signsim {

asio::ip::tcp::endpoint ParseTcpEndpoint(const std::string& text) {
  const auto colon = text.rfind(':');
  const auto invalid = [&] {
    return std::invalid_argument("'" + text +
                                 "' is not ADDR:PORT: give an IP address and a port 0..65535, "
                                 "e.g. 127.0.0.1:3001 or [::1]:3001");
  };
  if (colon == std::string::npos) throw invalid();
  std::string host = text.substr(0, colon);
  const std::string port = text.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value > 65535) {
    throw invalid();
  }
  asio::error_code error;
  const auto address = asio::ip::make_address(host, error);
  if (error) throw invalid();
  return {address, static_cast<std::uint16_t>(value)};
}

TcpConnection::TcpConnection(asio::ip::tcp::socket socket, SharedSign& sign)
    : sign_(sign),
      socket_(std::move(socket)),
      out_(socket_),
      timer_(socket_.get_executor()),
      session_(sign, *this) {}

void TcpConnection::Start() {
  out_.Bind(weak_from_this());
  timer_.Bind(weak_from_this());
  asio::error_code ignored;
  socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
  sign_.Count(&Counters::connections);
  Read();
}

void TcpConnection::Read() {
  socket_.async_read_some(asio::buffer(buffer_), [this, self = shared_from_this()](
                                                     const asio::error_code& ec, std::size_t n) {
    if (ec) {
      Close();
      return;
    }
    session_.Receive({buffer_.data(), n});
    if (!session_.Dropped()) Read();
  });
}

void TcpConnection::Close() {
  if (closed_) return;
  closed_ = true;
  out_.Clear();
  timer_.Cancel();
  asio::error_code ignored;
  socket_.close(ignored);
  sign_.Count(&Counters::disconnects);
}

void TcpConnection::Send(std::string bytes, std::chrono::milliseconds delay) {
  out_.Send(std::move(bytes), delay);
}

void TcpConnection::Drop() {
  out_.Then([this] { Close(); });
}

void TcpConnection::Schedule(std::chrono::milliseconds delay, std::function<void()> callback) {
  if (!closed_) timer_.Schedule(delay, std::move(callback));
}

void TcpConnection::Cancel() {
  timer_.Cancel();
}

TcpServer::TcpServer(asio::io_context& io, SharedSign& sign, const std::string& address)
    : sign_(sign), acceptor_(io) {
  const asio::ip::tcp::endpoint endpoint = ParseTcpEndpoint(address);
  asio::error_code ec;
  acceptor_.open(endpoint.protocol(), ec);
  if (!ec) acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true), ec);
  if (!ec) acceptor_.bind(endpoint, ec);
  if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) throw std::runtime_error("cannot listen on " + address + ": " + ec.message());
  port_ = acceptor_.local_endpoint().port();
}

void TcpServer::Start() {
  Accept();
}

void TcpServer::Accept() {
  acceptor_.async_accept(
      [this, self = shared_from_this()](const asio::error_code& ec, asio::ip::tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor_.is_open()) return;
        if (!ec) {
          auto connection = std::make_shared<TcpConnection>(std::move(socket), sign_);
          connection->Start();
          std::erase_if(connections_, [](const auto& c) { return c.expired(); });
          connections_.push_back(connection);
        }
        Accept();
      });
}

void TcpServer::Close() {
  asio::error_code ignored;
  acceptor_.close(ignored);
  for (const auto& weak : connections_) {
    if (const auto connection = weak.lock()) connection->Close();
  }
  connections_.clear();
}

}  // namespace signsim
