#include <gtest/gtest.h>

#include <qordtcon/link/log.hpp>
#include <qordtcon/link/settings.hpp>

#include <regex>
#include <sstream>
#include <thread>

#include "bytes.hpp"
#include "temp_dir.hpp"

using namespace qordtcon;

namespace {
void Set(const char* name, const std::string& value) {
  SaveSetting("Lumarco3", "Settings", name, value);
}
}  // namespace

TEST(CommunicationLog, DebugModeSelectsLevels) {
  struct Case {
    const char* mode;
    bool level1, level2;
  };
  const Case cases[] = {{"ON", true, true},      {"on", true, true},   {"ON1", true, false},
                        {"ON2", false, true},    {"on2", false, true}, {"ONX", false, false},
                        {"Off", false, false},   {"", false, false},   {"ON3", false, false},
                        {"OFF ON", false, false}};
  for (const Case& c : cases) {
    TempDir dir;
    Set("DebugMode", c.mode);
    WriteLog("Data Out:x", 1);
    WriteLog("Closing Connection", 2);
    std::string expected;
    if (c.level1) expected += "Data Out:x\r\n";
    if (c.level2) expected += "Closing Connection\r\n";
    EXPECT_EQ(dir.Read("iocomm.log"), expected) << "DebugMode " << c.mode;
  }
}

TEST(CommunicationLog, DebugLogAndAppPathRules) {
  TempDir dir;
  Set("DebugMode", "ON");
  EXPECT_EQ(LogFile(), dir.path() / "iocomm.log");
  Set("DebugLog", (dir.path() / "plain.log").string());
  WriteLog("one", 2);
  EXPECT_EQ(dir.Read("plain.log"), "one\r\n");

  Set("DebugLog", "\\logs\\trace.log");
  EXPECT_EQ(LogFile(), dir.path() / "logs" / "trace.log") << "AppPath defaults to the log dir";
  std::filesystem::create_directories(dir.path() / "app" / "logs");
  Set("AppPath", (dir.path() / "app").string());
  WriteLog("two", 1);
  EXPECT_EQ(dir.Read("app/logs/trace.log"), "two\r\n");

  // A tool's --log takes every line, whatever the switch says.
  Set("DebugMode", "Off");
  LogToFile(dir.path() / "tool.log");
  WriteLog("three", 1);
  WriteLog("four", 2);
  LogToFile({});
  WriteLog("five", 2);
  EXPECT_EQ(dir.Read("tool.log"), "three\r\nfour\r\n");
}

TEST(CommunicationLog, FlushRecreatesTheFixedFile) {
  TempDir dir;
  Set("DebugMode", "ON");
  dir.Write("iocomm.log", "old line\r\nold line\r\n");
  Set("DebugLog", (dir.path() / "other.log").string());
  FlushLog();
  const std::string text = dir.Read("iocomm.log");
  EXPECT_TRUE(std::regex_match(
      text, std::regex(R"(Log flushed at \d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d\d:\d\d [AP]M\r\n)")))
      << text;
}

TEST(CommunicationLog, LinesFromManyThreadsStayWhole) {
  TempDir dir;
  Set("DebugMode", "ON");
  constexpr int kThreads = 4, kLines = 150;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      const std::string line = "thread " + std::to_string(t) + " " + std::string(300, 'a' + t);
      for (int i = 0; i < kLines; ++i)
        WriteLog(line, 1);
    });
  }
  for (auto& th : threads)
    th.join();
  std::istringstream in(dir.Read("iocomm.log"));
  int count = 0;
  for (std::string line; std::getline(in, line); ++count) {
    ASSERT_TRUE(std::regex_match(line, std::regex(R"(thread (\d) ([a-d])\2{299}\r)"))) << line;
  }
  EXPECT_EQ(count, kThreads * kLines);
}

TEST(DumpFrame, AnnotatesFieldsAsTheLogShowsThem) {
  struct Case {
    const char* bytes;
    const char* text;
  };
  // clang-format off
  const Case cases[] = {
      {"10 02 01 00 09 00 05 00 01 41 10 03 AF",
       "DLE=[10] STX=[2] DST=[1] SRC=[0] CMD=[9] STS=[0] TNL=[5] TNH=[0] FNC=[1] A(65) DLE=[10] ETX=[3] BCC=[AF] "},
      // A stuffed header byte is one field labelled twice; the fields after keep their names.
      {"10 02 01 00 10 10 00 05 00 01 10 03 AF",
       "DLE=[10] STX=[2] DST=[1] SRC=[0] CMD=[10] CMD=[10] STS=[0] TNL=[5] TNH=[0] FNC=[1] DLE=[10] ETX=[3] BCC=[AF] "},
      // A stuffed data byte, then a blank and a control character.
      {"10 02 00 00 F0 00 01 00 00 10 10 20 1F 10 03 00",
       "DLE=[10] STX=[2] DST=[0] SRC=[0] CMD=[F0] STS=[0] TNL=[1] TNH=[0] FNC=[0] DLE=[10] DLE=[10] (32) (31) DLE=[10] ETX=[3] BCC=[0] "},
      {"10 06", "DLE=[10] ACK=[6] "},
      {"10 15", "DLE=[10] NAK=[15] "},
      {"10 05 01 FF", "DLE=[10] ENQ=[5] DST=[1] BCC=[FF] "},
      {"78 10 41", "x(120) DLE=[10] [41] "},
      {"10 06 10 02 00 00 F0 00 01 00 00 10 03 0F",
       "DLE=[10] ACK=[6] DLE=[10] STX=[2] DST=[0] SRC=[0] CMD=[F0] STS=[0] TNL=[1] TNH=[0] FNC=[0] DLE=[10] ETX=[3] BCC=[F] "},
      // Two frames: the second frame's DST starts a new line.
      {"10 02 01 00 09 00 05 00 01 10 03 AF 10 02 00 00 F0 00 05 00 00 10 03 0B",
       "DLE=[10] STX=[2] DST=[1] SRC=[0] CMD=[9] STS=[0] TNL=[5] TNH=[0] FNC=[1] DLE=[10] ETX=[3] BCC=[AF] DLE=[10] STX=[2] \r\n"
       "DST=[0] SRC=[0] CMD=[F0] STS=[0] TNL=[5] TNH=[0] FNC=[0] DLE=[10] ETX=[3] BCC=[B] "},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(DumpFrame(Bytes(c.bytes)), c.text) << c.bytes;
  }
}
