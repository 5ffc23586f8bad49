// CMD 2: files sent to the sign block by block, fetched back, deleted and shown.
//
// FNC 0 carries three kinds of frame and no mark of which: a frame numbered 1 that is not
// 15 bytes long is a first record (a data block is never numbered 1); while this session
// receives a file, any other frame is its next data block; otherwise a 15-byte frame asks
// for a block of a stored file, and anything else is a data block with no file open.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>

#include <qordtcon/payloads/fields.hpp>

#include "sign_commands.hpp"

namespace signsim {

using qordtcon::ByteReader;
using qordtcon::ByteWriter;
using File = DirState::File;
using Upload = FileState::Upload;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kNameField = 13;
constexpr std::size_t kFirstRecordLength = 2 + kNameField + 4 + 6;
constexpr std::size_t kRequestLength = 2 + kNameField;
constexpr int kFirstRecord = 1;
constexpr int kLastBlock = 0;
constexpr int kHighestBlock = 65535;
constexpr std::size_t kBlockSize = 1000;
constexpr std::size_t kLargeBlockSize = 16000;  // signs whose application is "VHD..."
constexpr std::size_t kFetchBlockSize = 1000;   // what a fetch cuts, whatever the sign
// Graphics the sign can show; any other file is data to it.
constexpr std::string_view kGraphicTypes[] = {"BMP", "GIF", "PNG", "QFX"};

std::size_t BlockSize(const SignState& s) {
  return s.applName.rfind("VHD", 0) == 0 ? kLargeBlockSize : kBlockSize;
}

// After 65535 the numbers go on at 2: 0 and 1 have meanings of their own.
int NextBlock(int block) {
  return block == kHighestBlock ? 2 : block + 1;
}

// A name in its 13-byte field: padded with bytes 0, upper-cased. A name that could leave
// the store's directory, or hide in it, is refused.
std::string FileName(ByteReader& r) {
  const std::string field = r.Text(kNameField);
  const std::string name = Upper(qordtcon::TrimAtNul(field));
  Check(!name.empty() && name.front() != '.' &&
        field.find_first_not_of('\0', name.size()) == std::string::npos);
  Check(std::none_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F || c == '/' || c == '\\';
  }));
  return name;
}

std::string StorePath(const SignState& s, std::string_view name) {
  return (fs::path(s.files.store) / std::string(name)).string();
}

// Where a file grows until its last block comes; the name is one the sign cannot give
// a file, so it never meets a stored one.
std::string PartPath(const SignState& s, std::string_view name) {
  return StorePath(s, "." + std::string(name) + ".part");
}

bool AppendToPart(const SignState& s, const Upload& u, std::string_view bytes) {
  std::ofstream out(PartPath(s, u.file.name), std::ios::binary | std::ios::app);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (out) return true;
  // Cut back what got through, so that the block can come again.
  std::error_code ec;
  fs::resize_file(PartPath(s, u.file.name), u.file.bytes.size(), ec);
  return false;
}

// The file's last block: the partial copy takes the place of the stored one at once.
std::uint8_t ClosePart(const SignState& s, const Upload& u, std::string_view bytes) {
  if (!AppendToPart(s, u, bytes)) return kCannotWriteFile;
  std::error_code ec;
  fs::rename(PartPath(s, u.file.name), StorePath(s, u.file.name), ec);
  if (!ec) return 0;
  fs::resize_file(PartPath(s, u.file.name), u.file.bytes.size(), ec);
  return kCannotCloseFile;
}

// A first record opens a file. One of the same name stays stored until the new one
// closes; a file this session had open is abandoned, and so is one of the same name on
// another session (its host has most likely gone and come back).
Reply FirstRecord(SignState& s, ByteReader& r, std::size_t length) {
  Check(length == kFirstRecordLength);
  Upload u;
  u.file.name = FileName(r);
  u.file.announced = static_cast<std::uint32_t>(r.Long());
  ClockFields& t = u.file.time;
  t.hour = r.Byte(), t.min = r.Byte(), t.sec = r.Byte();
  t.mon = r.Byte(), t.mday = r.Byte(), t.year = r.Byte();
  if (u.file.announced > std::min<std::int64_t>(FreeMemory(s, u.file.name, s.caller),
                                                std::numeric_limits<std::int32_t>::max())) {
    return Reply::Error(kFileTooLarge);
  }
  if (!s.files.store.empty()) {
    std::ofstream part(PartPath(s, u.file.name), std::ios::binary | std::ios::trunc);
    if (!part) return Reply::Error(kCannotOpenFile);
  }
  std::erase_if(s.files.uploads, [&](const auto& open) {
    return open.first != s.caller && open.second.file.name == u.file.name;
  });
  const auto old = s.files.uploads.find(s.caller);
  if (old != s.files.uploads.end() && old->second.file.name != u.file.name) {
    AbandonUpload(s, s.caller);
  }
  s.files.uploads[s.caller] = std::move(u);
  return Reply::Ok();
}

// The next data block of the open file, or its last (block 0), which stores it. A file
// that ends before its announced size is stored as far as it came.
Reply DataBlock(SignState& s, Upload& u, int block, ByteReader& r) {
  if (block != kLastBlock && block != u.nextBlock) return Reply::Error(kBlockOutOfSequence);
  const std::string bytes = r.Text(r.Remaining());
  Check(bytes.size() <= BlockSize(s) && (block == kLastBlock || !bytes.empty()));
  if (static_cast<std::int64_t>(u.file.bytes.size() + bytes.size()) > u.file.announced) {
    return Reply::Error(kFileTooLarge);
  }
  if (!s.files.store.empty()) {
    if (block != kLastBlock && !AppendToPart(s, u, bytes)) return Reply::Error(kCannotWriteFile);
    if (block == kLastBlock) {
      if (const std::uint8_t code = ClosePart(s, u, bytes)) return Reply::Error(code);
    }
  }
  ++s.counters.fileBlocks;
  u.file.bytes += bytes;
  u.nextBlock = NextBlock(block);
  if (block != kLastBlock) return Reply::Ok();
  File f = std::move(u.file);
  s.files.uploads.erase(s.caller);
  f.inStore = !s.files.store.empty();
  StoreFile(s.dir, std::move(f));
  ++s.counters.filesReceived;
  return Reply::Ok();
}

// Block b of a stored file cut into 1000-byte blocks, b = 1 the first; 0 asks for the
// last. A block the file does not have (any, for an empty file) is out of sequence.
Reply SendBlock(SignState& s, int block, ByteReader& r) {
  const File* f = s.dir.Find(FileName(r));
  if (f == nullptr) return Reply::Error(kFileNotFound);
  const std::size_t blocks = (f->bytes.size() + kFetchBlockSize - 1) / kFetchBlockSize;
  const std::size_t index = block == kLastBlock ? blocks : static_cast<std::size_t>(block);
  if (index == 0 || index > blocks) return Reply::Error(kBlockOutOfSequence);
  ++s.counters.fileRequests;
  ByteWriter w;
  w.Word(block).Text(
      std::string_view(f->bytes).substr((index - 1) * kFetchBlockSize, kFetchBlockSize));
  return Reply::Ok(std::move(w).str());
}

Reply FileBlock(SignState& s, std::string_view data) {
  ByteReader r(data);
  const int block = r.UnsignedWord();
  if (block == kFirstRecord && data.size() != kRequestLength) {
    return FirstRecord(s, r, data.size());
  }
  const auto open = s.files.uploads.find(s.caller);
  if (open != s.files.uploads.end()) return DataBlock(s, open->second, block, r);
  if (data.size() == kRequestLength) return SendBlock(s, block, r);
  return Reply::Error(kNoTransfer);
}

Reply DeleteFile(SignState& s, std::string_view data) {
  ByteReader r(data);
  const std::string name = FileName(r);
  End(r);
  DirState& dir = s.dir;
  const File* f = dir.Find(name);
  if (f == nullptr) return Reply::Error(kFileNotFound);
  if (!RemoveFromStore(s, *f)) return Reply::Error(kCannotWriteFile);
  const auto index = static_cast<std::size_t>(f - dir.files.data());
  dir.files.erase(dir.files.begin() + static_cast<std::ptrdiff_t>(index));
  if (dir.cursor > index) --dir.cursor;
  if (s.files.shown && s.files.shown->name == name) s.files.shown.reset();
  ++s.counters.filesDeleted;
  return Reply::Ok();
}

// The window must lie on the panel, corners in order.
Reply ShowFile(SignState& s, std::string_view data) {
  ByteReader r(data);
  FileState::Shown shown;
  shown.name = FileName(r);
  shown.left = r.Byte(), shown.top = r.Byte(), shown.right = r.Byte(), shown.bot = r.Byte();
  End(r);
  Check(shown.left <= shown.right && shown.right < kPixelsWide && shown.top <= shown.bot &&
        shown.bot < kPixelsHigh);
  if (s.dir.Find(shown.name) == nullptr) return Reply::Error(kFileNotFound);
  const auto dot = shown.name.rfind('.');
  const std::string_view type =
      dot == std::string::npos ? "" : std::string_view(shown.name).substr(dot + 1);
  if (std::find(std::begin(kGraphicTypes), std::end(kGraphicTypes), type) ==
      std::end(kGraphicTypes)) {
    return Reply::Error(kFileTypeNotSupported);
  }
  s.files.shown = std::move(shown);
  return Reply::Ok();
}

}  // namespace

std::int64_t FreeMemory(const SignState& s, std::string_view name,
                        std::optional<SessionId> session) {
  std::int64_t used = 0;
  for (const File& f : s.dir.files) {
    if (f.name != name) used += f.Size();
  }
  for (const auto& [owner, u] : s.files.uploads) {
    if (owner != session && u.file.name != name) used += u.file.announced;
  }
  return std::max<std::int64_t>(s.files.memory - used, 0);
}

void StoreFile(DirState& dir, File file) {
  if (File* old = dir.Find(file.name)) {
    *old = std::move(file);
  } else {
    dir.files.push_back(std::move(file));
  }
}

bool AbandonUpload(SignState& s, SessionId session) {
  const auto it = s.files.uploads.find(session);
  if (it == s.files.uploads.end()) return false;
  if (!s.files.store.empty()) {
    std::error_code ec;
    fs::remove(PartPath(s, it->second.file.name), ec);
  }
  s.files.uploads.erase(it);
  return true;
}

bool RemoveFromStore(const SignState& s, const File& f) {
  if (!f.inStore) return true;
  std::error_code ec;
  fs::remove(StorePath(s, f.name), ec);
  return !ec;
}

void AddFileCommands(CommandTable& t) {
  t.insert({
      {{0x02, 0x00}, FileBlock},
      {{0x02, 0x01}, DeleteFile},
      {{0x02, 0x02}, ShowFile},
  });
}

void FilesJson(const SignState& s, nlohmann::json& out) {
  nlohmann::json receiving = nlohmann::json::array();
  for (const auto& [session, u] : s.files.uploads) {
    receiving.push_back({{"name", u.file.name},
                         {"announcedSize", u.file.announced},
                         {"received", u.file.bytes.size()},
                         {"nextBlock", u.nextBlock},
                         {"modified", TimeJson(u.file.time)}});
  }
  nlohmann::json shown = nullptr;
  if (const auto& w = s.files.shown) {
    shown = {{"name", w->name},
             {"left", w->left},
             {"top", w->top},
             {"right", w->right},
             {"bot", w->bot}};
  }
  out["files"] = {{"memory", s.files.memory},
                  {"free", FreeMemory(s, "", std::nullopt)},
                  {"receiving", std::move(receiving)},
                  {"shown", std::move(shown)}};
}

}  // namespace signsim
