#include "ini_store.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>

namespace qordtcon::ini {

namespace {

// A parsed file is reused while the file on disk keeps the same identity and times.
struct Stamp {
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
  timespec ctime{};
  bool operator==(const Stamp& o) const {
    return ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
           ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

struct Cached {
  Stamp stamp;
  std::shared_ptr<const File> file;
};

std::mutex cacheMutex;
std::map<std::string, Cached> cache;

std::optional<Stamp> StampOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return Stamp{st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

std::unique_ptr<File> Parse(const std::filesystem::path& path) {
  auto file = std::make_unique<File>();
  file->SetUnicode(false);
  if (file->LoadFile(path.c_str()) < 0) return nullptr;
  return file;
}

// Closes a descriptor on every path out of a scope.
struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::shared_ptr<const File> Load(const std::filesystem::path& path) {
  const auto stamp = StampOf(path);
  if (!stamp) return nullptr;
  {
    std::lock_guard lock(cacheMutex);
    auto it = cache.find(path.string());
    if (it != cache.end() && it->second.stamp == *stamp) return it->second.file;
  }
  std::shared_ptr<const File> parsed = Parse(path);
  if (!parsed) return nullptr;
  // Only a file that did not change while it was read is worth keeping.
  if (StampOf(path) == stamp) {
    std::lock_guard lock(cacheMutex);
    cache[path.string()] = Cached{*stamp, parsed};
  }
  return parsed;
}

std::optional<std::string> Value(const std::filesystem::path& path, std::string_view section,
                                 std::string_view key) {
  const auto file = Load(path);
  if (!file) return std::nullopt;
  const char* v = file->GetValue(std::string(section).c_str(), std::string(key).c_str());
  if (v == nullptr) return std::nullopt;
  return std::string(v);
}

bool Edit(const std::filesystem::path& path, const std::function<bool(File&)>& edit) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  const std::string lockPath = path.string() + ".lock";
  Fd lock{::open(lockPath.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644)};
  if (lock.fd < 0 || ::flock(lock.fd, LOCK_EX) != 0) return false;

  File file;
  file.SetUnicode(false);
  if (std::filesystem::exists(path, ec) && file.LoadFile(path.c_str()) < 0) {
    return false;  // never replace a file we could not read
  }
  if (!edit(file)) return false;
  std::string data;
  if (file.Save(data) < 0) return false;

  static std::atomic<unsigned> serial{0};
  const std::string tmp =
      path.string() + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(++serial);
  {
    Fd out{::open(tmp.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644)};
    if (out.fd < 0) return false;
    if (!WriteAll(out.fd, data) || ::fsync(out.fd) != 0) {
      ::unlink(tmp.c_str());
      return false;
    }
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  std::lock_guard guard(cacheMutex);
  cache.erase(path.string());
  return true;
}

}  // namespace qordtcon::ini
