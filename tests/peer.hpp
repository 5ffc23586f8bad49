// Loopback peers for tests: one end of a TCP connection or of a pseudo-terminal, read and
// written with deadlines, playing the sign against the link or the host against signsim.
#pragma once

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include <qordtcon/protocol/frame.hpp>

#include "bytes.hpp"

// One open descriptor with reads that wait for an exact count of bytes up to a deadline.
class Peer {
 public:
  static constexpr std::chrono::milliseconds kWait{3000};

  explicit Peer(int fd = -1) : fd_(fd) {}
  Peer(Peer&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  ~Peer() { Close(); }

  // A connection to a port on 127.0.0.1.
  static Peer Tcp(std::uint16_t port) {
    Peer peer(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr = Loopback(port);
    if (::connect(peer.fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      throw std::runtime_error("cannot connect to port " + std::to_string(port));
    }
    return peer;
  }
  // A pty's slave opened as the host opens it: raw, no controlling terminal.
  static Peer Pty(const std::string& path) {
    Peer peer(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (peer.fd_ < 0) throw std::runtime_error("cannot open " + path);
    MakeRaw(peer.fd_);
    return peer;
  }

  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  void Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n <= 0) throw std::runtime_error("peer write failed");
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  // Writes what the line takes within `timeout`, for peers that flood: how many bytes
  // went (0 when the line took nothing or is closed).
  std::size_t WriteSome(std::string_view bytes, std::chrono::milliseconds timeout) {
    pollfd p{fd_, POLLOUT, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0 || !(p.revents & POLLOUT)) {
      return 0;
    }
    // Never blocks, and a line the other end has closed fails the call, not the process.
    const int flags = ::fcntl(fd_, F_GETFL);
    ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == ENOTSOCK) n = ::write(fd_, bytes.data(), bytes.size());
    ::fcntl(fd_, F_SETFL, flags);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  // Writes all of `bytes` unless `stop` comes first.
  void WriteUnless(std::string_view bytes, const std::atomic<bool>& stop) {
    while (!bytes.empty() && !stop)
      bytes.remove_prefix(WriteSome(bytes.substr(0, 4096), std::chrono::milliseconds(50)));
  }

  // Up to `count` bytes: fewer when the line closes or the deadline passes first.
  std::string Read(std::size_t count, std::chrono::milliseconds timeout = kWait) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count && WaitReadable(deadline)) {
      char buf[4096];
      const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - got.size()));
      if (n <= 0) break;
      got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
  }

  // One whole frame as it came (stuffed), from DLE STX to its BCC.
  std::string ReadFrame(std::chrono::milliseconds timeout = kWait) {
    const std::string start = Read(2, timeout);
    return start.size() == 2 ? start + ReadToEnd(timeout) : start;
  }
  // The rest of a frame after its DLE STX, up to and with DLE ETX and the BCC; each byte
  // may take `timeout`.
  std::string ReadToEnd(std::chrono::milliseconds timeout = kWait) {
    std::string got;
    for (std::string c; !(c = Read(1, timeout)).empty();) {
      got += c;
      if (c[0] != qordtcon::DLE) continue;
      const std::string d = Read(1, timeout);
      got += d;
      if (d.empty()) break;
      if (d[0] == qordtcon::ETX) return got + Read(1, timeout);
    }
    return got;
  }

  // True when the other end closes the line (end of file, or EIO on a pty) in time.
  bool WaitClosed(std::chrono::milliseconds timeout = kWait) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (WaitReadable(deadline)) {
      char buf[256];
      if (::read(fd_, buf, sizeof buf) <= 0) return true;
    }
    return false;
  }

 protected:
  static sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
  }
  static void MakeRaw(int fd) {
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
  }

  int fd_;

 private:
  bool WaitReadable(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    return left.count() > 0 && ::poll(&p, 1, static_cast<int>(left.count())) > 0;
  }
};

// A listener on an ephemeral loopback port; once Accept succeeds, this peer is the
// connection that came in.
class TcpListener : public Peer {
 public:
  // `receiveBuffer` > 0 makes the accepted connection's receive buffer that small, for a
  // peer that stops reading.
  explicit TcpListener(int receiveBuffer = 0)
      : listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    if (receiveBuffer > 0) {
      ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    sockaddr_in addr = Loopback(0);
    socklen_t len = sizeof addr;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      throw std::runtime_error("cannot listen on loopback");
    }
    port_ = ntohs(addr.sin_port);
  }
  ~TcpListener() { ::close(listener_); }

  std::uint16_t port() const { return port_; }
  bool Accept(std::chrono::milliseconds timeout) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    Close();
    fd_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd_ >= 0;
  }

 private:
  int listener_;
  std::uint16_t port_ = 0;
};

// A pseudo-terminal: the link under test opens path(), this peer is the master side.
class PtyMaster : public Peer {
 public:
  PtyMaster() {
    char name[128];
    if (::openpty(&fd_, &slave_, name, nullptr, nullptr) != 0) {
      throw std::runtime_error("openpty failed");
    }
    MakeRaw(fd_);
    path_ = name;
  }
  // The slave stays open here so that the master never sees a hang-up between opens.
  ~PtyMaster() { ::close(slave_); }

  const std::string& path() const { return path_; }

 private:
  int slave_ = -1;
  std::string path_;
};

// A command frame as the control sends it.
inline std::string Command(std::uint8_t dst, std::uint8_t cmd, std::uint8_t fnc, std::uint16_t tn,
                           std::string_view data = {}, bool newBcc = false) {
  return qordtcon::BuildCommandFrame({dst, cmd, fnc, tn, newBcc}, data);
}

inline std::string Inquiry(std::uint8_t node) {
  return qordtcon::BuildInquiryFrame(node, false);
}

// The sign's clock set to 13:05:09 24.12.26, weekday 5, as transaction 1 to node 1, and
// the sign's acknowledge and confirmation of it.
inline const std::string kClock = Bytes("0D 05 09 18 0C 1A 05");
inline const std::string kClockSet = Command(1, 0, 0, 1, kClock);
inline const std::string kClockSetAnswer = Bytes("10 06 10 02 00 01 F0 00 01 00 00 10 03 0E");
