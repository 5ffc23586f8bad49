#include "qordtcon/link/log.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <mutex>

#include "qordtcon/link/settings.hpp"
#include "qordtcon/payloads/datetime.hpp"
#include "qordtcon/payloads/fields.hpp"
#include "qordtcon/protocol/frame.hpp"

namespace qordtcon {

namespace {

std::mutex logMutex;
// Set by LogToFile: the file that takes every line, whatever the settings say.
std::filesystem::path forcedFile;

std::filesystem::path LogDirectory() {
  const char* dir = std::getenv("QORDTCON_LOG_DIR");
  if (dir != nullptr && *dir != '\0') return dir;
  std::error_code ec;
  auto tmp = std::filesystem::temp_directory_path(ec);
  return ec ? std::filesystem::path("/tmp") : tmp;
}

bool LevelOn(int level) {
  std::string mode = GetControlSetting("DebugMode", "Off");
  std::transform(mode.begin(), mode.end(), mode.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (mode.rfind("ON", 0) != 0) return false;
  if (mode.size() == 2) return true;
  return std::isdigit(static_cast<unsigned char>(mode[2])) && mode[2] - '0' == level;
}

// One write per line, so that appending writers never split each other's lines.
void WriteLine(const std::filesystem::path& file, std::string_view text, int flags) {
  std::string line(text);
  line += "\r\n";
  std::lock_guard lock(logMutex);
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t n = ::write(fd, line.data(), line.size());
  ::close(fd);
}

// The date and time as a Windows host shows them by default: 12/6/2026 10:20:44 PM.
std::string DefaultDateText(const DateTime& t) {
  const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d:%02d %s", t.month, t.day, t.year, hour12,
                t.minute, t.second, t.hour < 12 ? "AM" : "PM");
  return buf;
}

}  // namespace

std::filesystem::path DefaultLogFile() {
  return LogDirectory() / "iocomm.log";
}

std::filesystem::path LogFile() {
  std::string path = GetControlSetting("DebugLog", DefaultLogFile().string());
  if (!path.empty() && path.front() == '\\') {
    path = GetControlSetting("AppPath", LogDirectory().string()) + path;
    std::replace(path.begin(), path.end(), '\\', '/');
  }
  return path;
}

void LogToFile(const std::filesystem::path& file) {
  std::lock_guard lock(logMutex);
  forcedFile = file;
}

namespace {
std::filesystem::path ForcedFile() {
  std::lock_guard lock(logMutex);
  return forcedFile;
}
}  // namespace

bool LogLevelOn(int level) {
  return !ForcedFile().empty() || LevelOn(level);
}

void WriteLog(std::string_view text, int level) {
  if (const auto forced = ForcedFile(); !forced.empty()) {
    WriteLine(forced, text, O_APPEND);
    return;
  }
  if (!LevelOn(level)) return;
  WriteLine(LogFile(), text, O_APPEND);
}

void WriteLog(std::string_view text, int level, const LogSink& sink) {
  if (!LogLevelOn(level)) return;
  WriteLog(text, level);
  if (sink) sink(static_cast<std::int16_t>(level), std::string(text));
}

void FlushLog() {
  WriteLine(DefaultLogFile(), "Log flushed at " + DefaultDateText(DateTime::now()), O_TRUNC);
}

std::string DumpFrame(std::string_view bytes) {
  static constexpr const char* kFieldNames[] = {
      "DST=", "SRC=", "CMD=", "STS=", "TNL=", "TNH=", "FNC="};
  enum State { kIdle, kAfterDle, kHeader, kData, kBcc, kInquiryNode };
  State state = kIdle;
  int halves = 0;  // header field counter in half steps: a stuffed DLE pair is one field
  std::string out;
  std::size_t i = 0;
  for (const char ch : bytes) {
    ++i;
    const auto c = static_cast<std::uint8_t>(ch);
    std::string label;
    bool labelled = true;
    switch (state) {
      case kHeader: {
        const int field = halves / 2;
        if (field == 3 && i > 9) label = "\r\n";
        label += kFieldNames[field - 3];
        halves += ch == DLE ? 1 : 2;
        if (halves / 2 > 9) state = kData;
        break;
      }
      case kBcc:
        label = "BCC=";
        state = kIdle;
        break;
      case kInquiryNode:
        label = "DST=";
        state = kBcc;
        break;
      default:
        if (ch == DLE) {
          label = "DLE=";
          state = state == kAfterDle ? kData : kAfterDle;
        } else if (state != kAfterDle) {
          labelled = false;
        } else if (ch == STX) {
          label = "STX=";
          state = kHeader;
          halves = 6;
        } else if (ch == ETX) {
          label = "ETX=";
          state = kBcc;
        } else if (ch == ENQ) {
          label = "ENQ=";
          state = kInquiryNode;
        } else if (ch == ACK || ch == NAK) {
          label = ch == ACK ? "ACK=" : "NAK=";
          state = kIdle;
        }
        break;
    }
    if (labelled) {
      out += label + "[" + HexText(c) + "] ";
    } else {
      if (c > 32) out += ch;
      out += "(" + std::to_string(c) + ") ";
    }
  }
  return out;
}

}  // namespace qordtcon
