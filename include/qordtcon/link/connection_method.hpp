// How to reach a sign: the host fills one and hands it to OpenConnectionToDisplay.
#pragma once

#include <cstdint>
#include <string>

namespace qordtcon {

// Channel kinds; any value other than NetworkConnect and ModemConnect is a direct line.
enum ConnectionType : std::int32_t {
  DirectConnect = 1,
  NetworkConnect = 2,
  ModemConnect = 3,
};

class classCONNECTION_METHOD {
 public:
  // A direct line unless set otherwise (any kind but a network or modem one is direct).
  ConnectionType HowToConnect = DirectConnect;
  // Serial: the port (device path). Network: the TCP port as decimal text (below 10: 3001).
  std::string CommPort;
  // Modem: the number to dial.
  std::string PhoneNumber;
  // Network: the sign's host name or address.
  std::string IPAddress;
  // Direct serial: the line speed as decimal text; the line runs "<BaudRate>,N,8,1".
  std::string BaudRate;
  // The sign's node address: the destination of every packet (255 = all signs).
  std::int16_t dispID = 0;
};

}  // namespace qordtcon
