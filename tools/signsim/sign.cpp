#include "sign.hpp"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <stdexcept>

#include "sign_commands.hpp"

namespace signsim {

namespace {

constexpr std::size_t kNameLength = 32;  // display name and serial number

long long LocalWallSeconds() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return ::timegm(&local);
}

const CommandTable& Commands() {
  static const CommandTable table = [] {
    CommandTable t;
    AddDiagCommands(t);
    AddTextCommands(t);
    AddFileCommands(t);
    AddPlayCommands(t);
    AddDirCommands(t);
    AddDataCommands(t);
    return t;
  }();
  return table;
}

}  // namespace

std::string HexBytes(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

nlohmann::json TimeJson(const ClockFields& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d-%02d-%02d %02d:%02d:%02d", t.year, t.mon, t.mday, t.hour,
                t.min, t.sec);
  return text;
}

bool SignClock::Set(const ClockFields& f) {
  if (f.hour > 23 || f.min > 59 || f.sec > 59 || f.mday < 1 || f.mday > 31 || f.mon < 1 ||
      f.mon > 12 || f.wday > 7) {
    return false;
  }
  std::tm t{};
  t.tm_hour = f.hour;
  t.tm_min = f.min;
  t.tm_sec = f.sec;
  t.tm_mday = f.mday;
  t.tm_mon = f.mon - 1;
  t.tm_year = 100 + f.year;
  const long long wall = ::timegm(&t);
  if (t.tm_mday != f.mday) return false;  // 31 April and the like
  offset_ = wall - LocalWallSeconds();
  wdayShift_ = (f.wday - t.tm_wday + 7) % 7;
  return true;
}

ClockFields SignClock::Now() const {
  const std::time_t wall = static_cast<std::time_t>(LocalWallSeconds() + offset_);
  std::tm t{};
  ::gmtime_r(&wall, &t);
  return {t.tm_hour,
          t.tm_min,
          t.tm_sec,
          t.tm_mday,
          t.tm_mon + 1,
          (t.tm_year - 100) & 0xFF,
          (t.tm_wday + wdayShift_) % 7};
}

SignState::SignState(const Options& options, Counters& live)
    : counters(live),
      node(options.node),
      applName(options.applName.substr(0, 16)),
      serialNumber(options.serialNumber.substr(0, kNameLength)) {
  files.memory = options.memory;
  files.store = options.store;
}

Sign::Sign(const Options& options, Counters& counters) : state_(options, counters) {
  if (!options.store.empty() && !std::filesystem::is_directory(options.store)) {
    throw std::runtime_error("--store: '" + options.store + "' is not a directory");
  }
  SeedFiles(state_, options.files);
}

Reply Sign::Execute(std::uint8_t cmd, std::uint8_t fnc, std::string_view data, SessionId session) {
  state_.caller = session;
  const CommandTable& table = Commands();
  const auto it = table.find({cmd, fnc});
  if (it == table.end()) {
    // The table is ordered by (CMD, FNC): any entry at or after (cmd, 0) with this CMD
    // means the command is known and only the function is not.
    const auto next = table.lower_bound({cmd, 0});
    const bool knownCmd = next != table.end() && next->first.first == cmd;
    return Reply::Error(knownCmd ? kFunctionNotSupported : kCommandNotSupported);
  }
  // Handlers decode everything before they change anything, so a refused command
  // leaves the state as it was.
  try {
    return it->second(state_, data);
  } catch (const BadData&) {
    return Reply::Error(kDataFormatError);
  } catch (const std::out_of_range&) {
    return Reply::Error(kDataFormatError);
  }
}

bool Sign::EndSession(SessionId session) {
  return AbandonUpload(state_, session);
}

nlohmann::json Sign::State() const {
  nlohmann::json state = nlohmann::json::object();
  DiagJson(state_, state);
  TextJson(state_, state);
  PlayJson(state_, state);
  DirJson(state_, state);
  FilesJson(state_, state);
  DataJson(state_, state);
  return state;
}

}  // namespace signsim
