#include <gtest/gtest.h>

#include <qordtcon/protocol/frame.hpp>
#include <qordtcon/protocol/trans_routines.hpp>

#include "bytes.hpp"
#include "temp_dir.hpp"

using namespace qordtcon;

namespace {

// A reply frame as the engine hands it over: unstuffed, with the receiver's BCC.
std::string Reply(std::uint8_t cmd, std::uint8_t fnc, const std::string& data = "",
                  bool newBcc = false) {
  const std::string body = CommandBody({0, cmd, fnc, 7, newBcc}, data);
  return std::string{DLE, STX} + body + DLE + ETX + static_cast<char>(ReceiverBcc(body, newBcc));
}

struct Engine {
  TempDir dir;
  classrTransVars vars;
  classrOutPutRoutines link{vars};
  classrTransRoutines engine{vars, link};
};

}  // namespace

TEST(CheckPacket, EachRuleWithItsTextAndCodes) {
  std::string badBcc = Reply(0xF0, 0);
  badBcc.back() = static_cast<char>(badBcc.back() + 1);
  std::string badEnd = Reply(0xF0, 0);
  badEnd[badEnd.size() - 2] = 0x04;
  struct Case {
    const char* name;
    std::string response;
    bool newBcc;
    bool accepted;
    const char* message;  // nullptr: left as it was
    int lastCmd, lastFnc;
  };
  // clang-format off
  const Case cases[] = {
      {"ok command", Reply(0xF0, 0x33, "DATA"), false, true, nullptr, 0xF0, 0},
      {"echo of the command", Reply(0x09, 0x55), false, true, nullptr, 0xF0, 0},
      {"empty payload, 12 bytes", Reply(0xF0, 0), false, true, nullptr, 0xF0, 0},
      {"new bcc in force", Reply(0xF0, 0, "", true), true, true, nullptr, 0xF0, 0},
      {"too short", Bytes("10 02 00 00 F0 00 07 00 00 10 03"), false, false, nullptr, 0x09, 0x01},
      {"framing", badEnd, false, false, "Xmit Error - Response Incomplete for CMD:[9] - FNC:[1] ", 0x09, 0x01},
      {"checksum", badBcc, false, false, "Xmit Error - Checksum Failed for CMD:[9] - FNC:[1] ", 0x09, 0x01},
      // The check uses the method in force, not the reply's STS byte.
      {"old-method reply under new bcc", Reply(0xF0, 0, "", false), true, false,
       "Xmit Error - Checksum Failed for CMD:[9] - FNC:[1] ", 0x09, 0x01},
      {"command error", Reply(0x00, 0x02), false, false,
       "Xmit Error - CMD:[0] COMMAND ERROR - FNC:[2] Data Format Error for CMD:[9] - FNC:[1] ", 0x00, 0x02},
      {"error report", Reply(0xF1, 0xF9), false, false,
       "Xmit Error - CMD:[F1]  - FNC:[F9] File Not Found for CMD:[9] - FNC:[1] ", 0xF1, 0xF9},
  };
  // clang-format on
  for (const Case& c : cases) {
    Engine e;
    e.vars.NewBcc = c.newBcc;
    e.link.ErrorMessage = "before";
    EXPECT_EQ(e.engine.CheckPacket(0x09, 0x01, c.response), c.accepted) << c.name;
    EXPECT_EQ(e.link.ErrorMessage, c.message ? c.message : "before") << c.name;
    std::uint8_t cmd = 0, fnc = 0;
    e.engine.GetLastResponseCodes(cmd, fnc);
    EXPECT_EQ(cmd, c.lastCmd) << c.name;
    EXPECT_EQ(fnc, c.lastFnc) << c.name;
    EXPECT_EQ(e.engine.LastCommandGood(), c.lastCmd == 0xF0) << c.name;
  }
}

TEST(ErrorCodeTexts, CommandAndFunctionTables) {
  // clang-format off
  const std::pair<int, const char*> commands[] = {
      {0x00, "COMMAND ERROR"}, {0xF0, "MESSAGE OK"}, {0xFF, "No Command Received"}, {0xF1, ""}, {0x09, ""}};
  for (const auto& [code, text] : commands)
    EXPECT_EQ(classrTransRoutines::LookUpCommandErrorCode(code), text) << code;
  const std::pair<int, const char*> functions[] = {
      {0, "Command Not Supported"}, {1, "Function Not Supported"}, {2, "Data Format Error"},
      {3, "Error Writing to Memory or Memory Full"}, {4, "Message Block out of sequence"}, {5, "File Error"},
      {6, "Command Error Unknown"}, {0xF0, "No Transfer in Progress"}, {0xF1, "Cannot Open File"},
      {0xF2, "Cannot Write File"}, {0xF3, "Cannot Close File"}, {0xF4, "BAD CRC for Block"},
      {0xF5, "File Already Exist"}, {0xF6, "Block # out of sequence"}, {0xF7, "File Size too large"},
      {0xF8, "File Type not supported"}, {0xF9, "File Not Found"}, {0xFA, "Command Error Unknown"},
  };
  // clang-format on
  for (const auto& [code, text] : functions)
    EXPECT_EQ(classrTransRoutines::LookUpFunctionErrorCode(code), text) << code;
}
