// The connection manager part of the link layer: opening and closing the channel and
// keeping Connected true, with the socket's events.
#include <cctype>
#include <cmath>
#include <stdexcept>

#include "qordtcon/link/log.hpp"
#include "qordtcon/link/output_routines.hpp"
#include "qordtcon/link/settings.hpp"
#include "qordtcon/payloads/fields.hpp"

namespace qordtcon {

namespace {

constexpr std::int32_t kDefaultSignPort = 3001;

// The leading number of a text, as the port field has always been read ("23" → 23,
// "" → 0).
std::int32_t LeadingNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  std::int64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && value < 1000000;
       ++i) {
    value = value * 10 + (text[i] - '0');
  }
  return static_cast<std::int32_t>(value);
}

std::chrono::milliseconds Ms(std::int64_t value) {
  return std::chrono::milliseconds(value);
}

}  // namespace

void classrOutPutRoutines::AttachSocketEvents() {
  TcpSocket& socket = *vars_.NetSocket;
  socket.OnConnect = [this] {
    vars_.Connected = true;
    Log("Winsock Connected", 1);
  };
  socket.OnClose = [this] {
    // A sign that closes its side leaves nothing to talk to: mark the link down so the
    // next transaction reconnects instead of timing out forever.
    vars_.Connected = false;
    Log("Winsock Closed", 1);
  };
  socket.OnSendComplete = [this] { sendComplete_ = true; };
  socket.OnError = [this](std::int32_t number, const std::string& description,
                          const std::string& source) {
    const std::string text =
        "Winsock Error # " + std::to_string(number) + " Desc: " + description + " Source " + source;
    if (vars_.Connected) {
      if (OnDisconnect) OnDisconnect(text);
      vars_.Connected = false;
      vars_.NetSocket->Close();
    }
    Log(text, 1);
  };
}

void classrOutPutRoutines::DetachSocketEvents() {
  TcpSocket& socket = *vars_.NetSocket;
  socket.OnConnect = nullptr;
  socket.OnClose = nullptr;
  socket.OnSendComplete = nullptr;
  socket.OnError = nullptr;
}

bool classrOutPutRoutines::Dial(SerialChannel& port) {
  port.Open();
  while (port.Dialing()) {
    if (vars_.Cancel) {
      port.Close();  // hangs up
      return false;
    }
    Pump();
    WaitStep(Clock::time_point::max());  // the port's own dial deadline wakes it
  }
  return port.DialStatus() != "Canceled";
}

bool classrOutPutRoutines::OpenConnection(classCONNECTION_METHOD& ConnMethod) {
  // A cancelled open closes what it had begun, so that no late connect revives it.
  const auto canceled = [this] {
    CloseConnection();
    ErrorMessage = "User Canceled";
    return false;
  };
  try {
    ErrorMessage = "Setting for Ack";
    bufferedAck_ = GetSettingBool("SendBufferedAck", "False");
    ErrorMessage = "Couldn't Close Connection";
    CloseConnection();
    ErrorMessage = "Couldn't Add Message to Log";
    Log("Entering Open Connection with ID of" + std::to_string(ConnMethod.dispID), 2);
    Abort = false;
    ErrorMessage = "Couldn't Read ConnectTimeOut from Registry";
    std::int64_t connectTimeout = GetSettingLong("ConnectTimeOut", "15000");
    delay(1.0);
    SerialChannel& serial = *vars_.SerialPort;
    TcpSocket& socket = *vars_.NetSocket;
    serial.Timeout(100);
    ErrorMessage = "Couldn't Open Connection";
    if (ConnMethod.dispID < 0 || ConnMethod.dispID > 255) {
      throw std::overflow_error("dispID " + std::to_string(ConnMethod.dispID) +
                                " is not a node address (0 to 255)");
    }
    conn_ = ConnMethod;
    const auto start = Clock::now();
    while (!vars_.Connected && Clock::now() - start < Ms(connectTimeout)) {
      if (ConnMethod.HowToConnect == NetworkConnect) {
        AttachSocketEvents();
        socket.RemoteHost = ConnMethod.IPAddress;
        const std::int32_t port = LeadingNumber(ConnMethod.CommPort);
        socket.RemotePort = port >= 10 ? port : kDefaultSignPort;
        if (socket.State() != TcpSocket::kClosed) socket.Close();
        vars_.Connected = false;
        socket.Connect();
        const auto retryDeadline =
            Clock::now() + Ms(GetSettingLong("NetworkRetryInterval", "4000"));
        vars_.Connected = socket.State() == TcpSocket::kConnected;
        if (vars_.Cancel) return canceled();
        while (Clock::now() < retryDeadline) {
          Pump();
          WaitSocket(std::min(retryDeadline, Clock::now() + Ms(300)));
          const int state = socket.State();
          vars_.Connected = state == TcpSocket::kOpen || state == TcpSocket::kConnected;
          if (vars_.Connected || Abort || vars_.Cancel) break;
        }
        if (vars_.Cancel) return canceled();
        if (!vars_.Connected) {
          ErrorMessage = "Could not open Network Connection - " + ConnMethod.IPAddress;
          socket.Close();
          DetachSocketEvents();
        }
      } else if (ConnMethod.HowToConnect == ModemConnect) {
        serial.PortKind(SerialChannel::kModem);
        serial.CommPort(ConnMethod.CommPort);
        serial.PhoneNumber(ConnMethod.PhoneNumber);
        // Three dials, 2 s apart; an abort in a pause or a dial ends them.
        for (int attempt = 0; attempt < 3 && !vars_.Connected; ++attempt) {
          delay(2.0);
          if (vars_.Cancel || !Dial(serial)) return canceled();
          vars_.Connected = serial.IsOpen();
        }
        if (!vars_.Connected) {
          ErrorMessage = "Could not open Modem Connection - " + serial.DialStatus();
        }
      } else {
        serial.CommPort(ConnMethod.CommPort);
        serial.Settings(ConnMethod.BaudRate + ",N,8,1");
        serial.PhoneNumber("");
        serial.PortKind(SerialChannel::kDirect);
        serial.Open();
        vars_.Connected = serial.IsOpen();
        connectTimeout = 2000;  // a direct line gets about two seconds of tries in all
        ErrorMessage = "Could not open Direct Connection ";
        // A port that will not open is retried after the port's time-out, not in a tight loop.
        if (!vars_.Connected) Sleep(100);
      }
      vars_.DestNode = static_cast<std::uint8_t>(ConnMethod.dispID);
      if (vars_.Cancel) return canceled();
      if (Abort) break;
      vars_.NewBcc = false;  // every open starts with the old block check
    }
    if (Abort || !vars_.Connected) CloseConnection();
    Log(std::string("Connection opened?") + (vars_.Connected ? "True" : "False"), 2);
    opened_ = opened_ || vars_.Connected;
    return vars_.Connected;
  } catch (const std::exception& e) {
    // Nothing stays open behind a failed open; the text names the step and the cause.
    const std::string step = ErrorMessage;
    CloseConnection();
    ErrorMessage = step + " - " + e.what();
    return false;
  }
}

void classrOutPutRoutines::CloseConnection() {
  try {
    SerialChannel* serial = vars_.SerialPort.get();
    TcpSocket* socket = vars_.NetSocket.get();
    while ((serial != nullptr && serial->IsOpen()) ||
           (socket != nullptr && socket->State() != TcpSocket::kClosed)) {
      if (serial != nullptr && serial->IsOpen()) {
        serial->Close();
        const auto deadline = Clock::now() + Ms(15000);
        while ((serial->IsOpen() || serial->Busy()) && Clock::now() < deadline) {
          Pump();
          serial->Wait(std::min(deadline, Clock::now() + Ms(10)));
        }
      }
      if (socket != nullptr && socket->State() > TcpSocket::kClosed) {
        Pump();
        socket->Close();
        DetachSocketEvents();
        Pump();
      }
      delay(1.0);
      Pump();
    }
  } catch (const std::exception&) {
    // A close that fails leaves nothing more to do.
  }
  vars_.Connected = false;
  Abort = true;
  Log("Closing Connection", 2);
}

void classrOutPutRoutines::OpenWinConnection() {
  const double seconds = std::nearbyint(GetSettingLong("ConnectTimeOut", "15000") / 1000.0);
  const auto deadline = Clock::now() + Ms(static_cast<std::int64_t>(seconds * 1000));
  if (OnStatus) OnStatus("Trying to reconnect...");
  Log("Trying to reconnect", 1);
  TcpSocket& socket = *vars_.NetSocket;
  if (socket.State() != TcpSocket::kClosed) socket.Close();
  // A close detached the socket's events; without them the connect would go unnoticed
  // and the first send would wait for a completion never reported.
  AttachSocketEvents();
  socket.Connect();
  Pump();
  while (Clock::now() < deadline) {
    // Waits up to a second per pass, but notices the connect as soon as it happens.
    WaitSocket(std::min(deadline, Clock::now() + Ms(1000)));
    Pump();
    if (vars_.Connected || socket.State() == TcpSocket::kError || Abort || vars_.Cancel) break;
  }
  if (!vars_.Connected) {
    ErrorMessage =
        "Failed to reconnect after waiting " + DecimalText(MessageResponseTime / 1000.0) + " sec. ";
  }
}

}  // namespace qordtcon
