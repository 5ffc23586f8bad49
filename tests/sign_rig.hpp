// A control's engine and link layer talking to an emulated sign in this process, with
// short time-outs set through the settings store.
#pragma once

#include <qordtcon/qordtcon.hpp>

#include <memory>
#include <string>
#include <vector>

#include "signsim/simulator.hpp"
#include "temp_dir.hpp"

struct SignRig {
  // Time-outs short enough for tests, long enough for a loaded machine.
  explicit SignRig(signsim::Options options = {}, int responseMs = 400) {
    Set("MessageResponseTime", std::to_string(responseMs));
    Set("ConnectTimeOut", "3000");
    Set("NetworkRetryInterval", "1500");
    dir.Write("LumarcoLite.ini", "[Settings]\nNoReplyPause=50\n");
    if (options.tcp == "127.0.0.1:3001") options.tcp = "127.0.0.1:0";
    sim = std::make_unique<signsim::Simulator>(options);
    sim->Start();
    vars.SerialPort = qordtcon::MakeSerialPort();
    vars.NetSocket = std::make_shared<qordtcon::TcpSocket>();
    link = std::make_unique<qordtcon::classrOutPutRoutines>(vars);
    engine = std::make_unique<qordtcon::classrTransRoutines>(vars, *link);
    engine->OnPacketSent = [this](std::int16_t tn, std::int16_t retry) {
      events.push_back("sent " + std::to_string(tn) + " " + std::to_string(retry));
    };
    engine->OnStatus = [this](const std::string& text) { events.push_back(text); };
    engine->OnDisconnect = [this](const std::string& text) {
      events.push_back("disconnect " + text);
    };
    link->OnStatus = [this](const std::string& text) { events.push_back(text); };
  }

  static void Set(const char* name, const std::string& value) {
    qordtcon::SaveSetting("Lumarco3", "Settings", name, value);
  }

  qordtcon::classCONNECTION_METHOD Tcp() const {
    qordtcon::classCONNECTION_METHOD cm;
    cm.HowToConnect = qordtcon::NetworkConnect;
    cm.IPAddress = "127.0.0.1";
    cm.CommPort = std::to_string(sim->TcpPort());
    cm.dispID = 1;
    return cm;
  }
  qordtcon::classCONNECTION_METHOD Serial() const {
    qordtcon::classCONNECTION_METHOD cm;
    cm.HowToConnect = qordtcon::DirectConnect;
    cm.CommPort = sim->PtyPath();
    cm.BaudRate = "9600";
    cm.dispID = 1;
    return cm;
  }
  qordtcon::classCONNECTION_METHOD Modem() const {
    qordtcon::classCONNECTION_METHOD cm;
    cm.HowToConnect = qordtcon::ModemConnect;
    cm.CommPort = sim->ModemPtyPath();
    cm.PhoneNumber = "5551234";
    cm.dispID = 1;
    return cm;
  }

  bool Open(qordtcon::classCONNECTION_METHOD cm) { return link->OpenConnection(cm); }

  // One transaction; the reply frame lands in `response`.
  bool Transact(std::int32_t cmd, std::uint8_t fnc, const std::string& data = {},
                const std::string& prefix = {}) {
    noReply = false;
    return engine->TransmitPacket(cmd, fnc, 0, data, response, noReply, prefix);
  }

  TempDir dir;
  std::unique_ptr<signsim::Simulator> sim;
  qordtcon::classrTransVars vars;
  std::unique_ptr<qordtcon::classrOutPutRoutines> link;
  std::unique_ptr<qordtcon::classrTransRoutines> engine;
  std::vector<std::string> events;
  std::string response;
  bool noReply = false;
};
