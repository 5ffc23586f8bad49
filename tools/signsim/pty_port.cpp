#include "pty_port.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace signsim {

namespace {

std::runtime_error SystemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

PtyPort::PtyPort(asio::io_context& io, SharedSign& sign, std::string link, std::string option)
    : sign_(sign),
      link_(std::move(link)),
      option_(std::move(option)),
      master_(io),
      inotify_(io),
      out_(master_),
      timer_(io.get_executor()) {
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(link_, ec);
  if (std::filesystem::exists(status) && !std::filesystem::is_symlink(status)) {
    throw std::runtime_error(option_ + ": '" + link_ +
                             "' exists and is not a link; not replacing it");
  }
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) throw SystemError(option_ + ": cannot watch the pty");
  inotify_.assign(fd);
  CreatePty();
}

PtyPort::~PtyPort() = default;

void PtyPort::CreatePty() {
  int master = -1;
  int slave = -1;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
    throw SystemError(option_ + ": cannot create a pty");
  }
  ::fcntl(master, F_SETFD, FD_CLOEXEC);
  termios raw{};
  ::tcgetattr(slave, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(slave, TCSANOW, &raw);
  std::array<char, 128> name{};
  ::ptsname_r(master, name.data(), name.size());
  // Closed before the watch starts, so that every open and close the watch reports is
  // the host's.
  ::close(slave);
  master_.assign(master);
  watch_ = ::inotify_add_watch(inotify_.native_handle(), name.data(), IN_OPEN | IN_CLOSE);
  if (watch_ < 0) throw SystemError(option_ + ": cannot watch " + std::string(name.data()));
  // Replaced in one step, so that the host never finds the link missing.
  const std::string temp = link_ + ".new";
  ::unlink(temp.c_str());
  if (::symlink(name.data(), temp.c_str()) != 0 || ::rename(temp.c_str(), link_.c_str()) != 0) {
    throw SystemError(option_ + ": cannot link '" + link_ + "'");
  }
}

void PtyPort::Start() {
  out_.Bind(weak_from_this());
  timer_.Bind(weak_from_this());
  WatchEvents();
}

void PtyPort::WatchEvents() {
  inotify_.async_wait(asio::posix::stream_descriptor::wait_read,
                      [this, self = shared_from_this()](const asio::error_code& ec) {
                        if (ec || closed_) return;
                        DrainEvents();
                        Resume();
                        WatchEvents();
                      });
}

// Handles the opens and closes reported so far. A close of the slave may be one of
// several opens (reports of the same kind can merge), so the master decides whether the
// host is gone.
void PtyPort::DrainEvents() {
  alignas(inotify_event) std::array<char, 4096> events;
  for (;;) {
    const ssize_t n = ::read(inotify_.native_handle(), events.data(), events.size());
    if (n <= 0) return;
    for (ssize_t pos = 0; pos < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events.data() + pos);
      pos += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->wd != watch_) continue;  // a pty replaced since
      if ((event->mask & IN_OPEN) && !present_) {
        present_ = true;
        OnHostOpened();
      }
      if ((event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) && !SlaveOpen()) HostGone();
    }
  }
}

bool PtyPort::SlaveOpen() {
  pollfd p{master_.native_handle(), POLLIN, 0};
  return ::poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) == 0;
}

void PtyPort::HostGone() {
  if (!present_) return;
  present_ = false;
  OnHostClosed();
}

void PtyPort::Resume() {
  if (present_ && !reading_ && !closed_) ReadMaster();
}

void PtyPort::ReadMaster() {
  reading_ = true;
  master_.async_read_some(asio::buffer(buffer_),
                          [this, self = shared_from_this(), gen = generation_](
                              const asio::error_code& ec, std::size_t n) {
                            if (gen == generation_ && !closed_) OnRead(ec, n);
                          });
}

void PtyPort::OnRead(const asio::error_code& ec, std::size_t n) {
  reading_ = false;
  // Opens and closes reported by now happened before these bytes were read.
  DrainEvents();
  if (!ec) {
    if (present_) OnBytes({buffer_.data(), n});
    Resume();
  } else if (SlaveOpen()) {
    Resume();  // the read failed while no slave was open, and the host has reopened since
  } else {
    HostGone();  // EIO: wait for the host to open the port again; never spin on it
  }
}

// The new device is made before the old one goes, so it never takes the old name, and
// it is linked before the host is declared gone, so a host that reopens at once finds it.
void PtyPort::Recreate() {
  ++generation_;
  reading_ = false;
  out_.Clear();
  const int oldWatch = watch_;
  asio::posix::stream_descriptor old(std::move(master_));
  CreatePty();
  ::inotify_rm_watch(inotify_.native_handle(), oldWatch);
  asio::error_code ignored;
  old.close(ignored);
  HostGone();
}

void PtyPort::Close() {
  if (closed_) return;
  closed_ = true;
  out_.Clear();
  timer_.Cancel();
  asio::error_code ignored;
  master_.close(ignored);
  inotify_.close(ignored);
  std::error_code ec;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(link_, ec))) {
    std::filesystem::remove(link_, ec);
  }
}

SerialPort::SerialPort(asio::io_context& io, SharedSign& sign, std::string link)
    : PtyPort(io, sign, std::move(link), "--pty") {}

void SerialPort::OnHostOpened() {
  sign_.Count(&Counters::connections);
  session_.emplace(sign_, *this);
}

void SerialPort::OnHostClosed() {
  session_.reset();
  ClearOutput();
  sign_.Count(&Counters::disconnects);
}

void SerialPort::OnBytes(std::string_view bytes) {
  if (session_) session_->Receive(bytes);
}

void SerialPort::Send(std::string bytes, std::chrono::milliseconds delay) {
  Write(std::move(bytes), delay);
}

// A serial line has no connection to close: the sign goes away and comes back as a new
// device behind the link, as when the cable is pulled and plugged in again.
void SerialPort::Drop() {
  WriteThen([this] { Recreate(); });
}

}  // namespace signsim
