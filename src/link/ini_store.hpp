// INI files as the backing of the settings store and of LumarcoLite.ini: cached reads
// that notice a changed file, and locked, atomic read-modify-write edits so that two
// processes writing at once lose neither a value nor the file.
#pragma once

#define SI_CONVERT_ICU
#include <SimpleIni.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qordtcon::ini {

using File = CSimpleIniA;

// The parsed file, or nullptr when it is missing or unreadable.
std::shared_ptr<const File> Load(const std::filesystem::path& path);

std::optional<std::string> Value(const std::filesystem::path& path, std::string_view section,
                                 std::string_view key);

// Loads the file under an exclusive lock, lets `edit` change it (returning False leaves
// the file alone) and replaces the file through a temporary and a rename.
bool Edit(const std::filesystem::path& path, const std::function<bool(File&)>& edit);

}  // namespace qordtcon::ini
