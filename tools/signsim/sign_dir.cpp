// CMD 8: the directory of the files the sign holds, and the files it starts with.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <utility>

#include <qordtcon/filetransfer/graphic_routines.hpp>
#include <qordtcon/payloads/fields.hpp>

#include "sha256.hpp"
#include "sign_commands.hpp"

namespace signsim {

using qordtcon::ByteReader;
using qordtcon::ByteWriter;
using File = DirState::File;

namespace {

constexpr std::size_t kRecordLength = 30;
constexpr std::size_t kNameField = 13;
constexpr int kStored = 1;  // stat of an entry that holds a file

ClockFields LocalTime(std::filesystem::file_time_type when) {
  const auto sys = std::chrono::file_clock::to_sys(when);
  const std::time_t t =
      std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(sys));
  std::tm local{};
  ::localtime_r(&t, &local);
  return {local.tm_hour,
          local.tm_min,
          local.tm_sec,
          local.tm_mday,
          local.tm_mon + 1,
          local.tm_year % 100,
          0};
}

// The 30-byte record of an entry; past the last file comes the end marker, all zeros
// (no name, size 0).
std::string Record(const File* f) {
  if (f == nullptr) return std::string(kRecordLength, '\0');
  ByteWriter w;
  w.Byte(kStored).Byte(0).Word(0).Word(0);  // stat, page, lp, offset
  w.Padded(f->name, kNameField).Long(f->Size());
  w.Byte(f->time.hour).Byte(f->time.min).Byte(f->time.sec);
  w.Byte(f->time.mon).Byte(f->time.mday).Byte(f->time.year).Byte(0);  // month before day
  return std::move(w).str();
}

Reply ReadEntry(SignState& s, std::string_view data, bool first) {
  End(ByteReader(data));
  DirState& dir = s.dir;
  if (first) dir.cursor = 0;
  const std::size_t index = dir.cursor;
  dir.cursor = std::min(index + 1, dir.files.size());
  return Reply::Ok(Record(index < dir.files.size() ? &dir.files[index] : nullptr));
}

// Clearing the directory also clears the store's copies, as far as they go: the sign
// holds no file afterwards either way.
Reply Clear(SignState& s, std::string_view data) {
  End(ByteReader(data));
  for (const File& f : s.dir.files)
    RemoveFromStore(s, f);
  s.dir.files.clear();
  s.dir.cursor = 0;
  s.files.shown.reset();
  return Reply::Ok();
}

// Names on the sign are upper case; the host may ask in either case.
Reply ReadFile(SignState& s, std::string_view data) {
  const File* f = s.dir.Find(Upper(qordtcon::TrimAtNul(data)));
  if (f == nullptr) return Reply::Error(kFileNotFound);
  return Reply::Ok(Record(f));
}

}  // namespace

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

const DirState::File* DirState::Find(std::string_view name) const {
  const auto it =
      std::find_if(files.begin(), files.end(), [&](const File& f) { return f.name == name; });
  return it == files.end() ? nullptr : &*it;
}

DirState::File* DirState::Find(std::string_view name) {
  return const_cast<File*>(std::as_const(*this).Find(name));
}

// A file given at start is held as a received one is: its bytes count against the
// sign's memory and can be fetched back.
void SeedFiles(SignState& s, const std::vector<std::string>& paths) {
  namespace fs = std::filesystem;
  for (const std::string& path : paths) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    const fs::file_time_type modified = ec ? fs::file_time_type() : fs::last_write_time(path, ec);
    if (ec) throw std::runtime_error("--file: cannot read '" + path + "': " + ec.message());
    File f;
    // The 8.3 alias the host's own transfer would give the file.
    f.name = qordtcon::ShortName(fs::path(path).filename().string(), [&](const std::string& alias) {
      return s.dir.Find(alias) != nullptr;
    });
    const std::int64_t free = FreeMemory(s, f.name, std::nullopt);
    if (size > static_cast<std::uintmax_t>(
                   std::min<std::int64_t>(free, std::numeric_limits<std::int32_t>::max()))) {
      throw std::runtime_error("--file: '" + path + "' (" + std::to_string(size) +
                               " bytes) does not fit into the sign's memory (" +
                               std::to_string(free) + " bytes free)");
    }
    std::ifstream in(path, std::ios::binary);
    f.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad() || f.bytes.size() != size) {
      throw std::runtime_error("--file: cannot read '" + path + "'");
    }
    f.announced = f.Size();
    f.time = LocalTime(modified);
    // A later file of the same name takes the place of the earlier one.
    StoreFile(s.dir, std::move(f));
  }
}

void AddDirCommands(CommandTable& t) {
  using S = SignState&;
  using D = std::string_view;
  t.insert({
      {{0x08, 0x00}, [](S s, D d) { return ReadEntry(s, d, true); }},
      {{0x08, 0x01}, [](S s, D d) { return ReadEntry(s, d, false); }},
      {{0x08, 0x02}, Clear},
      {{0x08, 0x03}, ReadFile},
  });
}

void DirJson(const SignState& s, nlohmann::json& out) {
  nlohmann::json files = nlohmann::json::array();
  for (const File& f : s.dir.files) {
    if (f.sha256.empty()) f.sha256 = Sha256Hex(f.bytes);
    files.push_back({{"name", f.name},
                     {"size", f.Size()},
                     {"modified", TimeJson(f.time)},
                     {"sha256", f.sha256},
                     {"announcedSize", f.announced},
                     {"short", f.Size() < f.announced}});
  }
  out["directory"] = std::move(files);
}

}  // namespace signsim
