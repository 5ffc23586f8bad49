#include <gtest/gtest.h>

#include <qordtcon/link/settings.hpp>
#include <qordtcon/link/settings_object.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include "temp_dir.hpp"

using namespace qordtcon;

TEST(SettingsStore, RoundTripThroughTheApplicationsFile) {
  TempDir dir;
  EXPECT_EQ(GetSetting("Lumarco3", "Settings", "TransmitRetry", "3"), "3") << "empty store";
  SaveSetting("Lumarco3", "Settings", "TransmitRetry", "0");
  SaveSetting("Lumarco3", "Settings", "DebugLog", "\\logs\\a b.log");
  SaveSetting("Other", "Timing", "TransmitRetry", "9");
  EXPECT_EQ(GetSetting("Lumarco3", "Settings", "TransmitRetry", "3"), "0");
  EXPECT_EQ(GetSetting("Lumarco3", "settings", "transmitretry", "3"), "0")
      << "section and value names are not case-sensitive, as in the registry";
  EXPECT_EQ(GetSetting("Lumarco3", "Settings", "DebugLog", ""), "\\logs\\a b.log");
  EXPECT_EQ(GetSetting("Other", "Timing", "TransmitRetry", "3"), "9");
  EXPECT_EQ(GetSetting("Lumarco3", "Other", "TransmitRetry", "3"), "3");
  const std::string text = dir.Read("Lumarco3.ini");
  EXPECT_NE(text.find("[Settings]"), std::string::npos) << text;
  EXPECT_NE(text.find("TransmitRetry = 0"), std::string::npos) << text;

  // Another program edits the file: the next read sees it.
  dir.Write("Lumarco3.ini", "[Settings]\nTransmitRetry=7\n");
  EXPECT_EQ(GetSetting("Lumarco3", "Settings", "TransmitRetry", "3"), "7");
  dir.Write("Lumarco3.ini", "[Settings]\nTransmitRetry=8\n");
  EXPECT_EQ(GetSetting("Lumarco3", "Settings", "TransmitRetry", "3"), "8");
  // A write keeps the values it did not touch, and leaves no temporary behind.
  SaveSetting("Lumarco3", "Settings", "SendBufferedAck", "True");
  EXPECT_EQ(GetSetting("Lumarco3", "Settings", "TransmitRetry", "3"), "8");
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().string().find(".tmp."), std::string::npos) << entry.path();
  }
}

TEST(SettingsStore, UnusableStoreReadsDefaultsAndDropsWrites) {
  TempDir dir;
  dir.Write("blocker", "a file where a directory should be");
  ::setenv("QORDTCON_SETTINGS_DIR", (dir.path() / "blocker" / "sub").c_str(), 1);
  EXPECT_NO_THROW(SaveSetting("Lumarco3", "Settings", "DebugMode", "ON"));
  EXPECT_EQ(GetSetting("Lumarco3", "Settings", "DebugMode", "Off"), "Off");

  ::setenv("QORDTCON_SETTINGS_DIR", dir.path().c_str(), 1);
  dir.Write("Lumarco3.ini", std::string("\xFF\xFE\0garbage\n[[[", 13));
  EXPECT_EQ(GetSetting("Lumarco3", "Settings", "DebugMode", "Off"), "Off");
}

TEST(SettingsStore, TwoProcessesWritingAtOnceLoseNothing) {
  TempDir dir;
  constexpr int kPerProcess = 60;
  pid_t children[2];
  for (int p = 0; p < 2; ++p) {
    children[p] = ::fork();
    ASSERT_GE(children[p], 0);
    if (children[p] == 0) {
      for (int i = 0; i < kPerProcess; ++i) {
        SaveSetting("Lumarco3", "Settings", "P" + std::to_string(p) + "K" + std::to_string(i),
                    std::to_string(i));
      }
      ::_exit(0);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int p = 0; p < 2; ++p) {
    for (int i = 0; i < kPerProcess; ++i) {
      const std::string name = "P" + std::to_string(p) + "K" + std::to_string(i);
      EXPECT_EQ(GetSetting("Lumarco3", "Settings", name, "lost"), std::to_string(i)) << name;
    }
  }
}

TEST(RegistryRoutines, KeysAndValuesUnderTheOrvaneRoot) {
  TempDir dir;
  RegistryRoutines reg;
  reg.KeyRoot = "Software\\Orvane\\Lumarco3";
  EXPECT_FALSE(reg.KeyExists());
  EXPECT_TRUE(reg.CreateKey("Settings"));
  reg.Subkey = "Settings";
  EXPECT_TRUE(reg.KeyExists());
  EXPECT_TRUE(reg.EnumRegistryValues().empty());
  EXPECT_TRUE(reg.SetRegistryValue("A", "1"));
  EXPECT_TRUE(reg.SetRegistryValue("B", std::string("two\0ignored", 11)));
  EXPECT_EQ(reg.EnumRegistryValues(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(reg.GetRegistryValue("B"), "two");
  EXPECT_TRUE(reg.DeleteValue("A"));
  EXPECT_EQ(reg.GetRegistryValue("A", "gone"), "gone");
  reg.Subkey.clear();
  EXPECT_EQ(reg.EnumRegistryKeys(), (std::vector<std::string>{"Settings"}));
  EXPECT_TRUE(reg.DeleteKey("Settings"));
  EXPECT_TRUE(reg.EnumRegistryKeys().empty());

  // Keys outside the store's root are not reachable.
  RegistryRoutines outside;
  outside.KeyRoot = "Software\\Elsewhere\\App";
  EXPECT_FALSE(outside.SetRegistryValue("A", "1"));
  EXPECT_EQ(outside.GetRegistryValue("A", "default"), "default");
  EXPECT_EQ(RegistryRoutines::TrimNull(std::string("ab\0c", 4)), "ab");
}

TEST(SettingsObject, NoReplyPauseFromLumarcoLiteIni) {
  TempDir dir;
  SettingsObject settings;
  settings.FileName = "LumarcoLite.ini";
  EXPECT_EQ(settings.NoReplyPause(), 100) << "missing file";
  const std::pair<const char*, int> cases[] = {
      {"[Settings]\nNoReplyPause=250\n", 250},   {"[Settings]\nNoReplyPause=0\n", 0},
      {"[Settings]\nNoReplyPause=40000\n", 100}, {"[Settings]\nNoReplyPause=-5\n", 100},
      {"[Settings]\nNoReplyPause=fast\n", 100},  {"[Other]\nNoReplyPause=250\n", 100},
  };
  for (const auto& [text, pause] : cases) {
    dir.Write("LumarcoLite.ini", text);
    EXPECT_EQ(settings.NoReplyPause(), pause) << text;
  }
}
