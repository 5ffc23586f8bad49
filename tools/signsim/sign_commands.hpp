// The plumbing the command-group files share: the (CMD, FNC) table each of them adds its
// handlers to, the decoding rules of the sign, and the pieces of the state dump each
// group writes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>
#include <qordtcon/payloads/fields.hpp>

#include "sign_state.hpp"

namespace signsim {

// What this sign is: a single-line board of six 16x16 modules.
inline constexpr int kPixelsWide = 96;
inline constexpr int kPixelsHigh = 16;
// The brightness level that hands the brightness to the schedule.
inline constexpr int kScheduledLevel = 21;

using Handler = Reply (*)(SignState& sign, std::string_view data);
using CommandTable = std::map<std::pair<std::uint8_t, std::uint8_t>, Handler>;

// Thrown while decoding data that does not fit its command; the sign answers
// kDataFormatError and its state stays as it was. A read beyond the data's end
// (std::out_of_range from ByteReader) is answered the same way.
struct BadData {};

inline void Check(bool ok) {
  if (!ok) throw BadData{};
}

// A command's data has no tail: what the layout does not use is a format error.
inline void End(const qordtcon::ByteReader& r) {
  Check(r.Remaining() == 0);
}

// A text closed by byte 0, which is the data's last byte.
inline std::string ClosedText(qordtcon::ByteReader& r) {
  Check(r.Remaining() > 0);
  std::string text = r.Text(r.Remaining() - 1);
  Check(r.Byte() == 0 && text.find('\0') == std::string::npos);
  return text;
}

// A text field padded with bytes 0 to `room`, or shorter; a longer one does not fit.
inline std::string FieldText(qordtcon::ByteReader& r, std::size_t room) {
  Check(r.Remaining() <= room);
  return qordtcon::TrimAtNul(r.Text(r.Remaining()));
}

// A command without data that sets a flag (scan, daylight saving time, autoplay...).
inline Reply Switch(bool& flag, bool on, std::string_view data) {
  End(qordtcon::ByteReader(data));
  flag = on;
  return Reply::Ok();
}

// A command whose data is one number, kept in `field`; `read` decodes it (a byte unless
// told otherwise).
template <class Read = decltype(&qordtcon::ByteReader::Byte)>
Reply OneNumber(int& field, std::string_view data, Read read = &qordtcon::ByteReader::Byte) {
  qordtcon::ByteReader r(data);
  const int value = (r.*read)();
  End(r);
  field = value;
  return Reply::Ok();
}

std::string HexBytes(std::string_view bytes);
std::string Upper(std::string_view text);
nlohmann::json TimeJson(const ClockFields& t);  // "YY-MM-DD HH:MM:SS"

// Each group adds its commands to the table and its keys to the state dump.
void AddDiagCommands(CommandTable& table);
void AddTextCommands(CommandTable& table);
void AddFileCommands(CommandTable& table);
void AddPlayCommands(CommandTable& table);
void AddDirCommands(CommandTable& table);
void AddDataCommands(CommandTable& table);
void DiagJson(const SignState& sign, nlohmann::json& out);
void TextJson(const SignState& sign, nlohmann::json& out);
void PlayJson(const SignState& sign, nlohmann::json& out);
void DirJson(const SignState& sign, nlohmann::json& out);
void FilesJson(const SignState& sign, nlohmann::json& out);
void DataJson(const SignState& sign, nlohmann::json& out);

// The answers that gather state from every group (sign_records.cpp).
std::string SignTypeRecord(const SignState& sign);
std::string StatsRecord(const SignState& sign);

// Puts the files at `paths` into the directory (sign_dir.cpp).
void SeedFiles(SignState& sign, const std::vector<std::string>& paths);

// The file store (sign_files.cpp). Bytes left for a file named `name` on `session`: the
// memory less the files stored and those announced on other sessions (all of them
// without a session), a file of the same name left out, as the new one takes its place.
std::int64_t FreeMemory(const SignState& sign, std::string_view name,
                        std::optional<SessionId> session);
// Stores `file` in the directory, in the place of one of the same name.
void StoreFile(DirState& dir, DirState::File file);
// Drops the file `session` was receiving, with its partial copy in the store; false when
// there was none.
bool AbandonUpload(SignState& sign, SessionId session);
// Removes a stored file's copy from the store; false when it is there and stays.
bool RemoveFromStore(const SignState& sign, const DirState::File& file);

}  // namespace signsim
