// A control's link layer and transaction engine for tests: a private settings directory
// with time-outs short enough for tests (and long enough for a loaded machine), and the
// connection methods for loopback TCP, a direct line and a modem on a pty.
#pragma once

#include <qordtcon/qordtcon.hpp>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "temp_dir.hpp"

struct ControlRig {
  // Settings written over the defaults below, before the link is made.
  using Settings = std::initializer_list<std::pair<const char*, const char*>>;

  explicit ControlRig(Settings settings = {}) {
    Set("MessageResponseTime", "400");
    Set("ConnectTimeOut", "3000");
    Set("NetworkRetryInterval", "1500");
    dir.Write("LumarcoLite.ini", "[Settings]\nNoReplyPause=20\n");
    for (const auto& [name, value] : settings)
      Set(name, value);
    vars.SerialPort = qordtcon::MakeSerialPort();
    vars.NetSocket = std::make_shared<qordtcon::TcpSocket>();
    link = std::make_unique<qordtcon::classrOutPutRoutines>(vars);
    engine = std::make_unique<qordtcon::classrTransRoutines>(vars, *link);
  }

  static void Set(const std::string& name, const std::string& value) {
    qordtcon::SaveSetting("Lumarco3", "Settings", name, value);
  }

  static qordtcon::classCONNECTION_METHOD Tcp(std::uint16_t port) {
    qordtcon::classCONNECTION_METHOD cm;
    cm.HowToConnect = qordtcon::NetworkConnect;
    cm.IPAddress = "127.0.0.1";
    cm.CommPort = std::to_string(port);
    cm.dispID = 1;
    return cm;
  }
  static qordtcon::classCONNECTION_METHOD Serial(const std::string& path) {
    qordtcon::classCONNECTION_METHOD cm;
    cm.HowToConnect = qordtcon::DirectConnect;
    cm.CommPort = path;
    cm.BaudRate = "9600";
    cm.dispID = 1;
    return cm;
  }
  static qordtcon::classCONNECTION_METHOD Modem(const std::string& path) {
    qordtcon::classCONNECTION_METHOD cm = Serial(path);
    cm.HowToConnect = qordtcon::ModemConnect;
    cm.PhoneNumber = "5551234";
    return cm;
  }

  bool Open(qordtcon::classCONNECTION_METHOD cm) { return link->OpenConnection(cm); }

  TempDir dir;
  qordtcon::classrTransVars vars;
  std::unique_ptr<qordtcon::classrOutPutRoutines> link;
  std::unique_ptr<qordtcon::classrTransRoutines> engine;
};
