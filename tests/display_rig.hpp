// A whole control with short time-outs and an emulated sign in this process, reached on
// loopback TCP, a direct line (pty) or a modem (pty); the control's events are recorded.
#pragma once

#include <qordtcon/qordtcon.hpp>

#include <memory>
#include <string>
#include <vector>

#include "control_rig.hpp"
#include "signsim/simulator.hpp"

enum class Channel { kTcp, kPty, kModem };

inline const char* Name(Channel channel) {
  return channel == Channel::kTcp ? "tcp" : channel == Channel::kPty ? "pty" : "modem";
}

struct DisplayRig {
  explicit DisplayRig(signsim::Options options = {}, ControlRig::Settings settings = {}) {
    ControlRig::Set("MessageResponseTime", "400");
    ControlRig::Set("ConnectTimeOut", "3000");
    dir.Write("LumarcoLite.ini", "[Settings]\nNoReplyPause=50\n");
    for (const auto& [name, value] : settings)
      ControlRig::Set(name, value);
    options.tcp = "127.0.0.1:0";
    options.ptyLink = (dir.path() / "sign.tty").string();
    options.modemPtyLink = (dir.path() / "modem.tty").string();
    sim = std::make_unique<signsim::Simulator>(options);
    sim->Start();
    control = std::make_unique<qordtcon::qorDispTrans>();
    control->OnStatus = [this](const std::string& s) { events.push_back("status " + s); };
    control->OnMessage = [this](const std::string& s) { events.push_back("message " + s); };
    control->OnPacketSent = [this](std::int16_t tn, std::int16_t retry) {
      events.push_back("sent " + std::to_string(tn) + " " + std::to_string(retry));
    };
  }
  qordtcon::classCONNECTION_METHOD Method(Channel channel = Channel::kTcp) const {
    switch (channel) {
      case Channel::kTcp:
        return ControlRig::Tcp(sim->TcpPort());
      case Channel::kPty:
        return ControlRig::Serial(sim->PtyPath());
      case Channel::kModem:
        return ControlRig::Modem(sim->ModemPtyPath());
    }
    return {};
  }
  bool Open(std::int16_t node = 1, Channel channel = Channel::kTcp) {
    auto cm = Method(channel);
    cm.dispID = node;
    return control->OpenConnectionToDisplay(cm);
  }
  // The status bytes of the frames the sign received (0xAA: new block check).
  std::vector<int> StatusBytes() const {
    std::vector<int> out;
    for (const auto& f : sim->ReceivedFrames())
      out.push_back(static_cast<std::uint8_t>(f[5]));
    return out;
  }

  TempDir dir;
  std::vector<std::string> events;  // outlives the control, whose closing may still pump
  std::unique_ptr<signsim::Simulator> sim;
  std::unique_ptr<qordtcon::qorDispTrans> control;
};
