// The per-machine settings store. Values live as text in INI files, one per
// application: the key path "Software\Orvane\<app>\<section>" is the file
// "<dir>/<app>.ini", section [<section>]. <dir> is $QORDTCON_SETTINGS_DIR when set,
// else /etc/orvane. Every reader passes its own default; a store that cannot be read
// gives that default, and a write that cannot be made is dropped without a word.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qordtcon {

// Application and section under which every value of the control lives.
inline constexpr std::string_view kSettingsApp = "Lumarco3";
inline constexpr std::string_view kSettingsSection = "Settings";

// The directory that holds the settings files (and LumarcoLite.ini).
std::filesystem::path SettingsDirectory();

// One value of Software\Orvane\<application>\<section>, or `defaultValue`.
std::string GetSetting(std::string_view application, std::string_view section,
                       std::string_view valueName, std::string_view defaultValue);
// Stores one value, creating the section when needed. Atomic; failures are silent.
void SaveSetting(std::string_view application, std::string_view section, std::string_view valueName,
                 std::string_view value);

// A value of the control's own section (Lumarco3\Settings), or `defaultValue`.
std::string GetControlSetting(std::string_view valueName, std::string_view defaultValue);

// A value of the control's own section (Lumarco3\Settings) read as a Long, as the
// control's readers convert it: a decimal number, rounded to a whole one. Throws
// std::invalid_argument (naming the setting) when it is not a number, std::overflow_error
// when it does not fit.
std::int32_t GetSettingLong(std::string_view valueName, std::string_view defaultValue);
// The same read as a Boolean: "True"/"False" in any case, or a number (not 0 = True).
bool GetSettingBool(std::string_view valueName, std::string_view defaultValue);

// A thin layer over the store, addressed like the registry it stands in for:
// hKey (ignored: there is one per-machine store), KeyRoot and an optional Subkey.
class RegistryRoutines {
 public:
  static constexpr std::int32_t HKEY_LOCAL_MACHINE = static_cast<std::int32_t>(0x80000002u);
  // Value types; every value is stored as text whatever its type.
  static constexpr int REG_SZ = 1;
  static constexpr int REG_EXPAND_SZ = 2;
  static constexpr int REG_DWORD = 4;

  std::int32_t hKey = HKEY_LOCAL_MACHINE;
  std::string KeyRoot;
  std::string Subkey;

  // The value, or `defaultValue` when the key or value is missing or unreadable.
  std::string GetRegistryValue(std::string_view name, std::string_view defaultValue = {}) const;
  // Stores the value; False when the key path is not one of the store's or the write failed.
  bool SetRegistryValue(std::string_view name, std::string_view value, int type = REG_SZ) const;
  // Creates (or opens) KeyRoot\name.
  bool CreateKey(std::string_view name) const;
  bool KeyExists() const;
  bool DeleteValue(std::string_view name) const;
  // Deletes KeyRoot\name with its values.
  bool DeleteKey(std::string_view name) const;
  // Sub-keys of the key (the sections of an application's file).
  std::vector<std::string> EnumRegistryKeys() const;
  // Value names of the key.
  std::vector<std::string> EnumRegistryValues() const;
  // The text up to its first byte 0.
  static std::string TrimNull(std::string_view text);

 private:
  std::string Path() const;
};

}  // namespace qordtcon
