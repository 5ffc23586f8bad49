// Loopback TCP for the benchmarks: a raw peer for their floors, which answers every request
// of a fixed size at once with a fixed answer and none of the protocol's work in between,
// and the engine alone on a TCP link.
#pragma once

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <qordtcon/qordtcon.hpp>

// A loopback peer that answers every `request` bytes with `answer` bytes at once.
class PingPong {
 public:
  PingPong(std::size_t request, std::string answer) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(listener_, reinterpret_cast<sockaddr*>(&addr), len);
    listen(listener_, 1);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    server_ = std::thread([this, request, answer] {
      const int fd = accept(listener_, nullptr, nullptr);
      int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      std::vector<char> buf(request);
      for (;;) {
        std::size_t got = 0;
        while (got < request) {
          const ssize_t n = read(fd, buf.data() + got, request - got);
          if (n <= 0) return close(fd), void();
          got += static_cast<std::size_t>(n);
        }
        if (write(fd, answer.data(), answer.size()) < 0) return close(fd), void();
      }
    });
    client_ = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    connect(client_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  }
  ~PingPong() {
    close(client_);
    server_.join();
    close(listener_);
  }
  // One round trip: the request out, the whole answer back.
  double RoundTrip(const std::string& request, std::size_t answer) {
    const auto start = std::chrono::steady_clock::now();
    if (write(client_, request.data(), request.size()) < 0) return 0;
    std::vector<char> buf(answer);
    std::size_t got = 0;
    while (got < answer) {
      const ssize_t n = read(client_, buf.data() + got, answer - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
  }

 private:
  int listener_ = -1, client_ = -1;
  std::uint16_t port_ = 0;
  std::thread server_;
};

// The engine alone, without the control around it.
struct EngineOnTcp {
  qordtcon::classrTransVars vars;
  std::unique_ptr<qordtcon::classrOutPutRoutines> link;
  std::unique_ptr<qordtcon::classrTransRoutines> engine;
  EngineOnTcp() {
    vars.SerialPort = qordtcon::MakeSerialPort();
    vars.NetSocket = std::make_shared<qordtcon::TcpSocket>();
    link = std::make_unique<qordtcon::classrOutPutRoutines>(vars);
    engine = std::make_unique<qordtcon::classrTransRoutines>(vars, *link);
  }
  bool Open(std::uint16_t port) {
    qordtcon::classCONNECTION_METHOD cm;
    cm.HowToConnect = qordtcon::NetworkConnect;
    cm.IPAddress = "127.0.0.1";
    cm.CommPort = std::to_string(port);
    cm.dispID = 1;
    return link->OpenConnection(cm);
  }
  bool Transact(std::int32_t cmd, std::uint8_t fnc, std::string* reply = nullptr,
                const std::string& data = "", std::int32_t reserved = 0) {
    std::string response;
    bool noReply = false;
    const bool ok = engine->TransmitPacket(cmd, fnc, reserved, data, response, noReply);
    if (reply) *reply = response;
    return ok;
  }
};
