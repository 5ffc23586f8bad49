#include "signsim/simulator.hpp"

#include <iostream>
#include <optional>
#include <stdexcept>
#include <thread>

#include <asio.hpp>

#include "modem_port.hpp"
#include "pty_port.hpp"
#include "shared_sign.hpp"
#include "tcp_server.hpp"
#include "web_face.hpp"

namespace signsim {

// The transports and the one thread that serves them all.
struct Simulator::Impl {
  explicit Impl(Options opts) : options(std::move(opts)), sign(options) {}

  void CloseTransports() {
    if (tcp) tcp->Close();
    if (serial) serial->Close();
    if (modem) modem->Close();
  }

  Options options;
  SharedSign sign;
  asio::io_context io;  // after `sign`: handlers it still holds refer to the sign
  std::shared_ptr<TcpServer> tcp;
  std::shared_ptr<SerialPort> serial;
  std::shared_ptr<ModemPort> modem;
  std::uint16_t tcpPort = 0;
  std::unique_ptr<WebFace> web;
  std::thread thread;
};

Simulator::Simulator(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Simulator::~Simulator() {
  Stop();
}

void Simulator::Start() {
  Impl& s = *impl_;
  if (s.thread.joinable()) return;
  try {
    if (!s.options.tcp.empty()) {
      s.tcp = std::make_shared<TcpServer>(s.io, s.sign, s.options.tcp);
      s.tcpPort = s.tcp->Port();
      s.tcp->Start();
    }
    if (!s.options.ptyLink.empty()) {
      s.serial = std::make_shared<SerialPort>(s.io, s.sign, s.options.ptyLink);
      s.serial->Start();
    }
    if (!s.options.modemPtyLink.empty()) {
      s.modem =
          std::make_shared<ModemPort>(s.io, s.sign, s.options.modemPtyLink, s.options.guardTime);
      s.modem->Start();
    }
    // Last: it serves from its own threads at once.
    if (!s.options.http.empty()) s.web = std::make_unique<WebFace>(s.sign, s.options.http);
  } catch (const std::invalid_argument& e) {
    s.CloseTransports();
    throw std::runtime_error(std::string("--tcp: ") + e.what());
  } catch (...) {
    s.CloseTransports();
    throw;
  }
  s.thread = std::thread([&s] {
    const auto work = asio::make_work_guard(s.io);
    for (;;) {
      try {
        s.io.run();
        return;
      } catch (const std::exception& e) {
        // One failing connection must not take the sign down.
        std::cerr << "signsim: " << e.what() << std::endl;
      }
    }
  });
}

void Simulator::Stop() {
  Impl& s = *impl_;
  if (!s.thread.joinable()) return;
  if (s.web) s.web->Stop();
  asio::post(s.io, [&s] {
    s.CloseTransports();
    s.io.stop();
  });
  s.thread.join();
}

std::uint16_t Simulator::TcpPort() const {
  return impl_->tcpPort;
}
std::uint16_t Simulator::HttpPort() const {
  return impl_->web ? impl_->web->Port() : 0;
}
std::string Simulator::PtyPath() const {
  return impl_->options.ptyLink;
}
std::string Simulator::ModemPtyPath() const {
  return impl_->options.modemPtyLink;
}

void Simulator::AddFault(Fault fault) {
  impl_->sign.AddFault(fault);
}
void Simulator::ClearFaults() {
  impl_->sign.ClearFaults();
}
void Simulator::SetDialResult(std::string result) {
  impl_->sign.SetDialResult(std::move(result));
}

Counters Simulator::GetCounters() const {
  return impl_->sign.GetCounters();
}

bool Simulator::WaitFor(const std::function<bool(const Counters&)>& pred,
                        std::chrono::milliseconds timeout) const {
  return impl_->sign.WaitFor(pred, timeout);
}

nlohmann::json Simulator::State() const {
  return impl_->sign.State();
}

std::vector<std::string> Simulator::ReceivedFrames() const {
  return impl_->sign.ReceivedFrames();
}

}  // namespace signsim
