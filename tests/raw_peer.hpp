// Plain loopback peers for link tests: a TCP listener and a pseudo-terminal whose
// master side the test drives byte by byte, from a thread of its own.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

// Reads and writes on one file descriptor with deadlines.
class RawIo {
 public:
  // Up to `count` bytes; fewer when `timeout` passes first.
  std::string Read(std::size_t count, std::chrono::milliseconds timeout) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      char buf[4096];
      const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - out.size()));
      if (n <= 0) break;
      out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
  }
  void Write(const std::string& bytes) {
    if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      throw std::runtime_error("peer write failed");
    }
  }

 protected:
  int fd_ = -1;
};

class RawTcpPeer : public RawIo {
 public:
  RawTcpPeer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      throw std::runtime_error("cannot listen on loopback");
    }
    port_ = ntohs(addr.sin_port);
  }
  ~RawTcpPeer() {
    Close();
    ::close(listener_);
  }
  std::uint16_t port() const { return port_; }
  bool Accept(std::chrono::milliseconds timeout) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    fd_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd_ >= 0;
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int listener_ = -1;
  std::uint16_t port_ = 0;
};

// A pseudo-terminal: the link opens path(), the test plays the sign on the master.
class RawPty : public RawIo {
 public:
  RawPty() {
    int slave = -1;
    char name[128];
    if (::openpty(&fd_, &slave, name, nullptr, nullptr) != 0) {
      throw std::runtime_error("openpty failed");
    }
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd_, TCSANOW, &t);
    path_ = name;
    // Keep one slave descriptor open so the master never sees a hang-up between opens.
    slave_ = slave;
  }
  ~RawPty() {
    ::close(slave_);
    ::close(fd_);
  }
  const std::string& path() const { return path_; }

 private:
  int slave_ = -1;
  std::string path_;
};
