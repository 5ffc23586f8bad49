// The host end of a link to the emulated sign, as raw bytes: a loopback TCP socket or
// a pty opened through its link, with reads that wait for an exact count of bytes up to
// a deadline.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include <qordtcon/protocol/frame.hpp>

class SignPeer {
 public:
  static SignPeer Tcp(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd);
      throw std::runtime_error("cannot connect to the sign");
    }
    return SignPeer(fd);
  }

  // Opens a pty's slave as the host does: raw, no controlling terminal.
  static SignPeer Pty(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    return SignPeer(fd);
  }

  // Takes over an open descriptor (one a serial port object opened, for instance).
  static SignPeer Adopt(int fd) { return SignPeer(fd); }

  SignPeer(SignPeer&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  SignPeer& operator=(SignPeer&&) = delete;
  ~SignPeer() { Close(); }

  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  void Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n <= 0) throw std::runtime_error("write to the sign failed");
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  // Reads until `count` bytes came, the line closed, or the deadline passed.
  std::string Read(std::size_t count,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count) {
      if (!WaitReadable(deadline)) break;
      char buf[4096];
      const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, count - got.size()));
      if (n <= 0) break;
      got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
  }

  // One whole frame as it came (stuffed), from DLE STX to its BCC.
  std::string ReadFrame(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    std::string frame = Read(2, timeout);
    while (true) {
      const std::string c = Read(1, timeout);
      if (c.empty()) return frame;
      frame += c;
      if (c[0] != qordtcon::DLE) continue;
      const std::string d = Read(1, timeout);
      frame += d;
      if (d.empty()) return frame;
      if (d[0] == qordtcon::ETX) return frame + Read(1, timeout);
    }
  }

  // True when the sign ends the link (end of file or an error such as EIO) in time.
  bool WaitClosed(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (WaitReadable(deadline)) {
      char buf[256];
      if (::read(fd_, buf, sizeof buf) <= 0) return true;
    }
    return false;
  }

 private:
  explicit SignPeer(int fd) : fd_(fd) {}

  bool WaitReadable(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(left.count())) > 0;
  }

  int fd_;
};

// A command frame as the control sends it.
inline std::string Command(std::uint8_t dst, std::uint8_t cmd, std::uint8_t fnc, std::uint16_t tn,
                           std::string_view data = {}, bool newBcc = false) {
  return qordtcon::BuildCommandFrame({dst, cmd, fnc, tn, newBcc}, data);
}

inline std::string Inquiry(std::uint8_t node) {
  return qordtcon::BuildInquiryFrame(node, false);
}
