// A private settings and log directory for one test: points QORDTCON_SETTINGS_DIR and
// QORDTCON_LOG_DIR at a fresh temporary directory and removes it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "qordtcon-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
    ::setenv("QORDTCON_SETTINGS_DIR", path_.c_str(), 1);
    ::setenv("QORDTCON_LOG_DIR", path_.c_str(), 1);
  }
  ~TempDir() {
    ::unsetenv("QORDTCON_SETTINGS_DIR");
    ::unsetenv("QORDTCON_LOG_DIR");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::filesystem::path path_;
};
