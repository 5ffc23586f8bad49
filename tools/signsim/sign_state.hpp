// What the emulated sign remembers, one struct per command group, and the outcome of a
// command. The sign keeps fixed tables, as sign firmware does: a variable, cell or counter
// that was never written reads as a cleared slot (zeros, empty text), not as an error.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "signsim/simulator.hpp"

namespace signsim {

// Error codes the sign reports in the FNC of a 0xF1 reply.
inline constexpr std::uint8_t kCommandNotSupported = 0;
inline constexpr std::uint8_t kFunctionNotSupported = 1;
inline constexpr std::uint8_t kDataFormatError = 2;
inline constexpr std::uint8_t kMemoryFull = 3;
// The file store's codes.
inline constexpr std::uint8_t kNoTransfer = 0xF0;
inline constexpr std::uint8_t kCannotOpenFile = 0xF1;
inline constexpr std::uint8_t kCannotWriteFile = 0xF2;
inline constexpr std::uint8_t kCannotCloseFile = 0xF3;
inline constexpr std::uint8_t kBlockOutOfSequence = 0xF6;
inline constexpr std::uint8_t kFileTooLarge = 0xF7;
inline constexpr std::uint8_t kFileTypeNotSupported = 0xF8;
inline constexpr std::uint8_t kFileNotFound = 0xF9;

// The connection a command came in on: a file arrives over one session, block by block.
using SessionId = std::uint64_t;

// A command's outcome: success with the data a read returns, or an error code.
struct Reply {
  bool ok = true;
  std::uint8_t code = 0;
  std::string data;

  static Reply Ok(std::string data = {}) { return {true, 0, std::move(data)}; }
  static Reply Error(std::uint8_t code) { return {false, code, {}}; }
};

// The seven clock bytes: hour, min, sec, mday, mon, year (within the century), wday.
struct ClockFields {
  int hour = 0, min = 0, sec = 0, mday = 1, mon = 1, year = 0, wday = 0;
};

// The sign's wall clock. It runs: it keeps the distance to the machine's local time,
// and the weekday numbering the host used (modulo 7).
class SignClock {
 public:
  bool Set(const ClockFields& fields);  // false for a date or time that does not exist
  ClockFields Now() const;
  long long OffsetSeconds() const { return offset_; }

 private:
  long long offset_ = 0;
  int wdayShift_ = 0;
};

// CMD 0 beyond the clock and the names: brightness, panel tests, switches, groups.
struct ConfigState {
  struct Period {
    int startHour = 0, startMin = 0, stopHour = 0, stopMin = 0, level = 0;
  };
  struct Pixel {
    int c = 0, s = 0;
  };
  struct Test {
    int code = 0, row = 0, col = 0;
  };

  int dimLevel = 15;
  int dimLow = 1, dimHigh = 15;
  int scheduleDefault = 15;
  std::vector<Period> schedule;
  std::map<std::pair<int, int>, Pixel> pixels;  // by (x, y); the latest setting wins
  std::optional<Test> test;
  bool scan = true;
  int tempAdjust = 0;
  int softMode = 0;
  std::array<int, 5> softSwitches{};
  bool dst = false;
  int hwFrequency = 0;
  std::string groups;
  int broadcastMaster = 0;
  std::string groupMasters;
  int scrollClear = 0, scrollRepeat = 0;
  std::string scrollTrailer;
  bool defaultEnabled = false;
  int resets = 0;
  int downloadsPrepared = 0;
  Counters rxtxBase;  // the communication counters when they were last cleared
};

// CMD 1, 3, 4, 5 and 6: what is shown, and how.
struct TextState {
  struct Message {
    int row = 0, col = 0, mode = 0;
    std::string msg;
    std::string payload;
  };
  struct Scroll {
    int row = 0, col = 0, length = 0, mode = 0;
    std::string msg;
    std::chrono::steady_clock::time_point since;  // when it began to run
  };
  struct Default {
    int num = 0;
    std::string msg;
  };
  struct Scheduled {
    int prefix = 0, suffix = 0, startHour = 0, startMin = 0, stopHour = 0, stopMin = 0;
    int month = 0, mday = 0, year = 0, format = 0;
    std::string msg;
  };
  struct Format {
    int code = 0, lines = 0, reserved = 0;
    std::string maxlen;
  };
  struct Page {
    int num = 0, prefix = 0, suffix = 0, delay = 0;
  };

  std::optional<Message> text;
  std::optional<Scroll> scroll;
  int scrollSpeed = 5, pauseRate = 0, blinkRate = 0;
  std::map<int, std::string> tabs;
  int fontClears = 0;
  std::optional<Default> defaultMessage;
  int defaultHorzVert = 0;
  std::map<int, Scheduled> scheduled;
  bool scheduleAuto = false;
  int schedulePrefix = 0, scheduleSuffix = 0, scheduleDelay = 0;
  std::optional<Format> scheduleFormat;
  bool pagedRunning = false;
  std::optional<Page> pageShown;
};

// CMD 7: the play order and its player. Time does not pass for the player: the play
// order starts, pauses and stops on command only.
struct PlayState {
  struct Entry {
    std::string name;
    std::int32_t delay = 0;
    int prefix = 0, suffix = 0;
  };
  enum class Mode { kStopped, kPlaying, kPaused };

  std::vector<Entry> entries;
  std::size_t cursor = 0;  // next entry that FNC 4 reads
  Mode mode = Mode::kStopped;
  bool immediate = false;  // the last stop or pause did not wait for the entry's end
  int loopCounter = 0;
  std::optional<int> subPlayOrder;
  bool autoplay = false;
  int counter = 0;  // plays started since the counter was cleared
  std::string description = std::string(256, '\0');
};

// CMD 8: the files the sign holds, with their bytes.
struct DirState {
  struct File {
    std::string name;  // upper case
    std::string bytes;
    std::int64_t announced = 0;  // the first record's size; above the bytes' for a short file
    ClockFields time;            // wday unused
    // Of the bytes, in hex; worked out when the state is dumped, not while a host waits.
    mutable std::string sha256;
    bool inStore = false;  // written to the --store directory

    std::int32_t Size() const { return static_cast<std::int32_t>(bytes.size()); }
  };
  std::vector<File> files;
  std::size_t cursor = 0;  // next entry that FNC 1 reads

  File* Find(std::string_view name);
  const File* Find(std::string_view name) const;
};

// CMD 2: the files on their way in, the graphic shown, and room for files.
struct FileState {
  // A file arriving on one session: its name, time, announced size and the bytes so far.
  struct Upload {
    DirState::File file;
    int nextBlock = 2;
  };
  struct Shown {
    std::string name;
    int left = 0, top = 0, right = 0, bot = 0;
  };

  std::map<SessionId, Upload> uploads;
  std::optional<Shown> shown;
  std::int64_t memory = 0;  // bytes for stored files and those announced on their way
  std::string store;        // a directory that holds a copy of every received file, or ""
};

// CMD 9, 10 and 11: live data.
struct DataState {
  struct Slot {
    std::string text;
    int color = 0, blink = 0, inverse = 0;
  };
  struct CellReset {
    int month = 0, day = 0, year = 0, hour = 0, minute = 0;
  };
  struct CounterDefinition {
    int operation = 0, frequency = 0, clearMode = 0, incdec = 0, format = 0, autoreload = 0;
    std::int32_t start = 0, stop = 0;
  };
  struct Counter {
    CounterDefinition def;
    std::int32_t current = 0;
    int status = 0, color = 0, blink = 0, inverse = 0;
  };

  std::map<int, Slot> variables;
  std::map<int, Slot> cells;
  std::array<CellReset, 9> cellResets{};
  std::map<int, Counter> counters;
  std::optional<ClockFields> lastVariableUpdate;
};

// Everything the sign knows, as its command handlers see it.
struct SignState {
  SignState(const Options& options, Counters& live);

  Counters& counters;  // live; the statistics show them less config.rxtxBase
  std::uint8_t node;
  std::string applName;
  std::string serialNumber;
  std::string displayName;
  bool newBcc = false;
  SignClock clock;
  ConfigState config;
  TextState text;
  PlayState play;
  DirState dir;
  FileState files;
  DataState data;
  SessionId caller = 0;  // the session whose command runs
};

}  // namespace signsim
