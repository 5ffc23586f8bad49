// A control's engine and link layer talking to an emulated sign in this process: on
// loopback TCP, and with `ptys` on a direct line and a modem too.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "control_rig.hpp"
#include "signsim/simulator.hpp"

struct SignRig : ControlRig {
  explicit SignRig(bool ptys = false, Settings settings = {})
      : SignRig(signsim::Options{}, settings, ptys) {}
  explicit SignRig(signsim::Options options, Settings settings = {}, bool ptys = false)
      : ControlRig(settings) {
    options.tcp = "127.0.0.1:0";
    if (ptys) {
      options.ptyLink = (dir.path() / "sign.tty").string();
      options.modemPtyLink = (dir.path() / "modem.tty").string();
    }
    sim = std::make_unique<signsim::Simulator>(options);
    sim->Start();
    engine->OnPacketSent = [this](std::int16_t tn, std::int16_t retry) {
      events.push_back("sent " + std::to_string(tn) + " " + std::to_string(retry));
    };
    engine->OnStatus = [this](const std::string& text) { events.push_back(text); };
    engine->OnDisconnect = [this](const std::string& text) {
      events.push_back("disconnect " + text);
    };
    link->OnStatus = [this](const std::string& text) { events.push_back(text); };
  }

  using ControlRig::Modem;
  using ControlRig::Serial;
  using ControlRig::Tcp;
  qordtcon::classCONNECTION_METHOD Tcp() const { return ControlRig::Tcp(sim->TcpPort()); }
  qordtcon::classCONNECTION_METHOD Serial() const { return ControlRig::Serial(sim->PtyPath()); }
  qordtcon::classCONNECTION_METHOD Modem() const { return ControlRig::Modem(sim->ModemPtyPath()); }

  // One transaction; the reply frame lands in `response`.
  bool Transact(std::int32_t cmd, std::uint8_t fnc, const std::string& data = {},
                const std::string& prefix = {}) {
    noReply = false;
    return engine->TransmitPacket(cmd, fnc, 0, data, response, noReply, prefix);
  }

  // The events that start with `prefix`, in order.
  std::vector<std::string> Events(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : events) {
      if (e.rfind(prefix, 0) == 0) out.push_back(e);
    }
    return out;
  }

  std::unique_ptr<signsim::Simulator> sim;
  std::vector<std::string> events;
  std::string response;
  bool noReply = false;
};
