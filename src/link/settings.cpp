#include "qordtcon/link/settings.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "ini_store.hpp"

namespace qordtcon {

namespace {

constexpr std::string_view kRoot = "Software\\Orvane\\";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         });
}

// Where a key path lives: the application's file and the section within it
// (empty for the application's own key).
struct Location {
  std::filesystem::path file;
  std::string section;
};

std::optional<Location> Locate(std::string_view keyPath) {
  if (!StartsWithNoCase(keyPath, kRoot)) return std::nullopt;
  keyPath.remove_prefix(kRoot.size());
  const std::size_t slash = keyPath.find('\\');
  const std::string_view app = keyPath.substr(0, slash);
  if (app.empty() || app == "." || app == ".." || app.find('/') != std::string_view::npos) {
    return std::nullopt;
  }
  std::string section;
  if (slash != std::string_view::npos) section = keyPath.substr(slash + 1);
  return Location{SettingsDirectory() / (std::string(app) + ".ini"), section};
}

std::string KeyPath(std::string_view application, std::string_view section) {
  std::string path(kRoot);
  path += application;
  if (!section.empty()) {
    path += '\\';
    path += section;
  }
  return path;
}

std::vector<std::string> Names(const ini::File::TNamesDepend& names) {
  std::vector<std::string> out;
  for (const auto& entry : names)
    out.emplace_back(entry.pItem);
  return out;
}

}  // namespace

std::filesystem::path SettingsDirectory() {
  const char* dir = std::getenv("QORDTCON_SETTINGS_DIR");
  return (dir != nullptr && *dir != '\0') ? std::filesystem::path(dir)
                                          : std::filesystem::path("/etc/orvane");
}

std::string GetSetting(std::string_view application, std::string_view section,
                       std::string_view valueName, std::string_view defaultValue) {
  RegistryRoutines reg;
  reg.KeyRoot = KeyPath(application, section);
  return reg.GetRegistryValue(valueName, defaultValue);
}

void SaveSetting(std::string_view application, std::string_view section, std::string_view valueName,
                 std::string_view value) {
  RegistryRoutines reg;
  reg.KeyRoot = KeyPath(application, {});
  reg.CreateKey(section);
  reg.KeyRoot = KeyPath(application, section);
  reg.SetRegistryValue(valueName, value, RegistryRoutines::REG_SZ);
}

std::string GetControlSetting(std::string_view valueName, std::string_view defaultValue) {
  return GetSetting(kSettingsApp, kSettingsSection, valueName, defaultValue);
}

std::int32_t GetSettingLong(std::string_view valueName, std::string_view defaultValue) {
  const std::string text = GetControlSetting(valueName, defaultValue);
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  const bool blankTail =
      end != text.c_str() &&
      std::all_of(static_cast<const char*>(end), text.c_str() + text.size(),
                  [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
  if (!blankTail || std::isnan(value)) {
    throw std::invalid_argument("Type mismatch: setting " + std::string(valueName) + " is \"" +
                                text + "\", not a number; correct it in the settings file");
  }
  const double rounded = std::nearbyint(value);
  if (rounded < -2147483648.0 || rounded > 2147483647.0) {
    throw std::overflow_error("Overflow: setting " + std::string(valueName) + " is " + text +
                              ", beyond the range of a Long");
  }
  return static_cast<std::int32_t>(rounded);
}

bool GetSettingBool(std::string_view valueName, std::string_view defaultValue) {
  std::string text = GetControlSetting(valueName, defaultValue);
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (text == "true") return true;
  if (text == "false") return false;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0') {
    throw std::invalid_argument("Type mismatch: setting " + std::string(valueName) + " is \"" +
                                text + "\", neither True nor False");
  }
  return value != 0;
}

std::string RegistryRoutines::Path() const {
  return Subkey.empty() ? KeyRoot : KeyRoot + "\\" + Subkey;
}

std::string RegistryRoutines::GetRegistryValue(std::string_view name,
                                               std::string_view defaultValue) const {
  const auto where = Locate(Path());
  if (!where) return std::string(defaultValue);
  return ini::Value(where->file, where->section, name).value_or(std::string(defaultValue));
}

bool RegistryRoutines::SetRegistryValue(std::string_view name, std::string_view value,
                                        int /*type*/) const {
  const auto where = Locate(Path());
  if (!where || name.empty()) return false;
  return ini::Edit(where->file, [&](ini::File& file) {
    return file.SetValue(where->section.c_str(), std::string(name).c_str(),
                         TrimNull(value).c_str()) >= 0;
  });
}

bool RegistryRoutines::CreateKey(std::string_view name) const {
  const auto where = Locate(name.empty() ? Path() : Path() + "\\" + std::string(name));
  if (!where) return false;
  return ini::Edit(where->file, [&](ini::File& file) {
    return file.SetValue(where->section.c_str(), nullptr, nullptr) >= 0;
  });
}

bool RegistryRoutines::KeyExists() const {
  const auto where = Locate(Path());
  if (!where) return false;
  const auto file = ini::Load(where->file);
  return file && (where->section.empty() || file->GetSection(where->section.c_str()) != nullptr);
}

bool RegistryRoutines::DeleteValue(std::string_view name) const {
  const auto where = Locate(Path());
  if (!where) return false;
  return ini::Edit(where->file, [&](ini::File& file) {
    return file.Delete(where->section.c_str(), std::string(name).c_str());
  });
}

bool RegistryRoutines::DeleteKey(std::string_view name) const {
  const auto where = Locate(Path() + "\\" + std::string(name));
  if (!where || where->section.empty()) return false;
  return ini::Edit(where->file,
                   [&](ini::File& file) { return file.Delete(where->section.c_str(), nullptr); });
}

std::vector<std::string> RegistryRoutines::EnumRegistryKeys() const {
  const auto where = Locate(Path());
  if (!where) return {};
  const auto file = ini::Load(where->file);
  if (!file) return {};
  ini::File::TNamesDepend sections;
  file->GetAllSections(sections);
  sections.sort(ini::File::Entry::LoadOrder());
  std::vector<std::string> out;
  const std::string prefix = where->section.empty() ? "" : where->section + "\\";
  for (const auto& s : Names(sections)) {
    if (s.empty() || !StartsWithNoCase(s, prefix)) continue;
    const std::string rest = s.substr(prefix.size());
    if (!rest.empty() && rest.find('\\') == std::string::npos) out.push_back(rest);
  }
  return out;
}

std::vector<std::string> RegistryRoutines::EnumRegistryValues() const {
  const auto where = Locate(Path());
  if (!where) return {};
  const auto file = ini::Load(where->file);
  if (!file) return {};
  ini::File::TNamesDepend keys;
  file->GetAllKeys(where->section.c_str(), keys);
  keys.sort(ini::File::Entry::LoadOrder());
  return Names(keys);
}

std::string RegistryRoutines::TrimNull(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

}  // namespace qordtcon
