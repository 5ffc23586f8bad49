#include "qordtcon/protocol/trans_routines.hpp"

#include "qordtcon/link/settings.hpp"
#include "qordtcon/payloads/fields.hpp"
#include "qordtcon/protocol/frame.hpp"

namespace qordtcon {

namespace {
std::string Codes(std::uint8_t cmd, std::uint8_t fnc) {
  return "CMD:[" + HexText(cmd) + "] - FNC:[" + HexText(fnc) + "] ";
}
}  // namespace

classrTransRoutines::classrTransRoutines(classrTransVars& vars, classrOutPutRoutines& link)
    : vars_(vars), link_(link) {
  RetryCount = GetSettingLong("TransmitRetry", "3") + 1;
  settings_.FileName = "LumarcoLite.ini";
  link_.OnDisconnect = [this](const std::string& text) {
    if (OnDisconnect) OnDisconnect(text);
  };
}

std::string classrTransRoutines::CreatePacket(std::int16_t Cmd, std::uint8_t Fnc,
                                              std::int32_t /*Reserved*/, const std::string& Data,
                                              std::int32_t /*Reserved2*/, bool& NoReply) {
  link_.ErrorMessage.clear();
  if (link_.Abort) return {};
  NoReply = NoReply || vars_.DestNode == kBroadcastNode;
  vars_.IncTransNum();
  if (OnPacketSent) OnPacketSent(vars_.TransNum, 0);
  const CommandHeader header{vars_.DestNode, static_cast<std::uint8_t>(Cmd & 0xFF), Fnc,
                             static_cast<std::uint16_t>(vars_.TransNum), vars_.NewBcc};
  return BuildCommandFrame(header, Data) + DLE + ACK;
}

bool classrTransRoutines::CheckPacket(std::uint8_t Cmd, std::uint8_t Fnc,
                                      const std::string& Response) {
  vars_.LastRespCmd = Cmd;
  vars_.LastRespFnc = Fnc;
  // The shortest frame: DLE STX, seven header bytes, DLE ETX, BCC.
  if (Response.size() < 12) return false;
  const std::size_t n = Response.size();
  if (Response[0] != DLE || Response[1] != STX || Response[n - 3] != DLE ||
      Response[n - 2] != ETX) {
    link_.ErrorMessage = "Xmit Error - Response Incomplete for " + Codes(Cmd, Fnc);
    return false;
  }
  const std::string_view body = std::string_view(Response).substr(2, n - 5);
  if (static_cast<std::uint8_t>(Response[n - 1]) != ReceiverBcc(body, vars_.NewBcc)) {
    link_.ErrorMessage = "Xmit Error - Checksum Failed for " + Codes(Cmd, Fnc);
    return false;
  }
  vars_.LastRespCmd = static_cast<std::uint8_t>(Response[4]);
  vars_.LastRespFnc = static_cast<std::uint8_t>(Response[8]);
  if (vars_.LastRespCmd == Cmd || vars_.LastRespCmd == kReplyOk) {
    vars_.LastRespCmd = kReplyOk;
    vars_.LastRespFnc = 0;
    return true;
  }
  const std::uint8_t rc = vars_.LastRespCmd;
  const std::uint8_t rf = vars_.LastRespFnc;
  link_.ErrorMessage = "Xmit Error - CMD:[" + HexText(rc) + "] " + LookUpCommandErrorCode(rc) +
                       " - FNC:[" + HexText(rf) + "] " + LookUpFunctionErrorCode(rf) + " for " +
                       Codes(Cmd, Fnc);
  return false;
}

std::string classrTransRoutines::NakMessage(std::int32_t Cmd, std::uint8_t Fnc) {
  return "Display has sent NAK for CMD:[" + HexText(static_cast<std::uint32_t>(Cmd)) + "] FNC:[" +
         HexText(Fnc) + "]";
}

bool classrTransRoutines::LastCommandGood() const {
  return vars_.LastRespCmd == kReplyOk;
}

void classrTransRoutines::GetLastResponseCodes(std::uint8_t& Cmd, std::uint8_t& Fnc) const {
  Cmd = vars_.LastRespCmd;
  Fnc = vars_.LastRespFnc;
}

std::string classrTransRoutines::LookUpCommandErrorCode(std::uint8_t code) {
  switch (code) {
    case 0x00:
      return "COMMAND ERROR";
    case 0xF0:
      return "MESSAGE OK";
    case 0xFF:
      return "No Command Received";
    default:
      return {};
  }
}

std::string classrTransRoutines::LookUpFunctionErrorCode(std::uint8_t code) {
  switch (code) {
    case 0:
      return "Command Not Supported";
    case 1:
      return "Function Not Supported";
    case 2:
      return "Data Format Error";
    case 3:
      return "Error Writing to Memory or Memory Full";
    case 4:
      return "Message Block out of sequence";
    case 5:
      return "File Error";
    case 0xF0:
      return "No Transfer in Progress";
    case 0xF1:
      return "Cannot Open File";
    case 0xF2:
      return "Cannot Write File";
    case 0xF3:
      return "Cannot Close File";
    case 0xF4:
      return "BAD CRC for Block";
    case 0xF5:
      return "File Already Exist";
    case 0xF6:
      return "Block # out of sequence";
    case 0xF7:
      return "File Size too large";
    case 0xF8:
      return "File Type not supported";
    case 0xF9:
      return "File Not Found";
    default:
      return "Command Error Unknown";
  }
}

}  // namespace qordtcon
