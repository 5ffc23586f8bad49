// The sign on the network: listens on one address and runs a session per client, each
// with its own transaction memory.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include <asio.hpp>

#include "line_timer.hpp"
#include "out_queue.hpp"
#include "session.hpp"

namespace signsim {

// "ADDR:PORT" ("[v6]:PORT" for IPv6) as an endpoint; std::invalid_argument otherwise.
asio::ip::tcp::endpoint ParseTcpEndpoint(const std::string& text);

// One client: its socket, its session, and its output in order.
class TcpConnection : public Line, public std::enable_shared_from_this<TcpConnection> {
 public:
  TcpConnection(asio::ip::tcp::socket socket, SharedSign& sign);
  void Start();
  void Close();

  void Send(std::string bytes, std::chrono::milliseconds delay) override;
  void Drop() override;
  void Schedule(std::chrono::milliseconds delay, std::function<void()> callback) override;
  void Cancel() override;

 private:
  void Read();

  SharedSign& sign_;
  asio::ip::tcp::socket socket_;
  OutQueue<asio::ip::tcp::socket> out_;
  LineTimer timer_;
  Session session_;
  std::array<char, 32768> buffer_;
  bool closed_ = false;
};

// The listening socket; it starts a connection per client and closes them all at the end.
class TcpServer : public std::enable_shared_from_this<TcpServer> {
 public:
  // Binds and listens at once; std::runtime_error naming the address when that fails.
  TcpServer(asio::io_context& io, SharedSign& sign, const std::string& address);
  void Start();
  void Close();
  std::uint16_t Port() const { return port_; }

 private:
  void Accept();

  SharedSign& sign_;
  asio::ip::tcp::acceptor acceptor_;
  std::uint16_t port_ = 0;
  std::vector<std::weak_ptr<TcpConnection>> connections_;
};

}  // namespace signsim
