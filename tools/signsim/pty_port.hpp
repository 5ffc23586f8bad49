// The sign on a serial line, as a pseudo-terminal: the host opens the slave side
// through a symbolic link and sets its line options; the master side is ours.
// inotify reports when the host opens and closes the slave, so the master is read only
// while the host is there (a master without a slave reports hang-up without end).
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <asio.hpp>

#include "line_timer.hpp"
#include "out_queue.hpp"
#include "session.hpp"

namespace signsim {

class PtyPort : public std::enable_shared_from_this<PtyPort> {
 public:
  // Creates the pty and the link; std::runtime_error naming the link when that fails.
  PtyPort(asio::io_context& io, SharedSign& sign, std::string link, std::string option);
  virtual ~PtyPort();
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;

  void Start();
  void Close();
  const std::string& LinkPath() const { return link_; }

 protected:
  virtual void OnHostOpened() = 0;
  virtual void OnHostClosed() = 0;
  virtual void OnBytes(std::string_view bytes) = 0;

  void Write(std::string bytes, std::chrono::milliseconds delay = {}) {
    out_.Send(std::move(bytes), delay);
  }
  void WriteThen(std::function<void()> action) { out_.Then(std::move(action)); }
  void ClearOutput() { out_.Clear(); }
  void ScheduleTimer(std::chrono::milliseconds delay, std::function<void()> callback) {
    if (!closed_) timer_.Schedule(delay, std::move(callback));
  }
  void CancelTimer() { timer_.Cancel(); }
  // A new pty behind the same link: the port the host holds open goes dead.
  void Recreate();

  SharedSign& sign_;

 private:
  void CreatePty();
  void WatchEvents();
  void DrainEvents();
  void Resume();
  void ReadMaster();
  void OnRead(const asio::error_code& ec, std::size_t n);
  bool SlaveOpen();
  void HostGone();

  const std::string link_;
  const std::string option_;  // the command-line option that named the link, for errors
  asio::posix::stream_descriptor master_;
  asio::posix::stream_descriptor inotify_;
  OutQueue<asio::posix::stream_descriptor> out_;
  LineTimer timer_;
  int watch_ = -1;
  unsigned generation_ = 0;  // advances with every new pty
  bool present_ = false;     // the host holds the slave open
  bool reading_ = false;
  bool closed_ = false;
  std::array<char, 4096> buffer_;
};

// A direct serial line: one sign session per opening of the port.
class SerialPort final : public PtyPort, public Line {
 public:
  SerialPort(asio::io_context& io, SharedSign& sign, std::string link);

  void Send(std::string bytes, std::chrono::milliseconds delay) override;
  void Drop() override;
  void Schedule(std::chrono::milliseconds delay, std::function<void()> callback) override {
    ScheduleTimer(delay, std::move(callback));
  }
  void Cancel() override { CancelTimer(); }

 private:
  void OnHostOpened() override;
  void OnHostClosed() override;
  void OnBytes(std::string_view bytes) override;

  std::optional<Session> session_;
};

}  // namespace signsim
