// Files that signsim rewrites while others may read them (the state dump, the firmware
// image): written beside and renamed, so that a reader never sees half a file.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace signsim {

inline void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) return;
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
}

}  // namespace signsim
