#include "sign.hpp"

#include <algorithm>
#include <ctime>

#include <qordtcon/payloads/fields.hpp>

namespace signsim {

using qordtcon::ByteReader;
using qordtcon::ByteWriter;

namespace {

// What this sign is: a single-line board of six 16x16 modules.
constexpr int kSignType = 1;
constexpr int kModuleType = 1;
constexpr int kModulesWide = 6;
constexpr int kModulesHigh = 1;
constexpr int kPixelsWide = 96;
constexpr int kPixelsHigh = 16;
constexpr int kMemPages = 4;
constexpr int kFirmwareVersion = 1;
constexpr int kNameLength = 32;  // display name and serial number
constexpr std::string_view kLoaderRev = "SIMLOADER 1.0";

// Clock fields as the clock commands carry them.
ByteWriter& ClockBytes(ByteWriter& w, const ClockFields& c) {
  return w.Byte(c.hour).Byte(c.min).Byte(c.sec).Byte(c.mday).Byte(c.mon).Byte(c.year).Byte(c.wday);
}

// A communication counter in its 16-bit slot of the statistics record.
int Slot(int value) {
  return std::clamp(value, 0, 0xFFFF);
}

// The text of a name command: up to its byte 0, at most 32 characters.
std::string NameText(std::string_view data) {
  return qordtcon::TrimAtNul(data).substr(0, kNameLength);
}

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

long long LocalWallSeconds() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return ::timegm(&local);
}

}  // namespace

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

Sign::Sign(const Options& options, const Counters& counters)
    : counters_(counters),
      node_(options.node),
      applName_(options.applName.substr(0, 16)),
      serialNumber_(options.serialNumber.substr(0, kNameLength)) {}

const std::map<std::pair<std::uint8_t, std::uint8_t>, Sign::Handler>& Sign::Commands() {
  static const std::map<std::pair<std::uint8_t, std::uint8_t>, Handler> table = {
      {{0x00, 0x00}, &Sign::SetClock},       {{0x00, 0x01}, &Sign::GetClock},
      {{0x00, 0x02}, &Sign::GetSignType},    {{0x00, 0x05}, &Sign::GetVersion},
      {{0x00, 0x15}, &Sign::GetStats},       {{0x00, 0x29}, &Sign::GetSerialNumber},
      {{0x00, 0x2A}, &Sign::SetDisplayName}, {{0x00, 0x2B}, &Sign::GetDisplayName},
      {{0x00, 0x2C}, &Sign::SetBccMode},     {{0x00, 0xDB}, &Sign::SetSerialNumber},
      {{0x01, 0x00}, &Sign::SetTextMessage},
  };
  return table;
}

Reply Sign::Execute(std::uint8_t cmd, std::uint8_t fnc, std::string_view data) {
  const auto& table = Commands();
  if (const auto it = table.find({cmd, fnc}); it != table.end()) return (this->*(it->second))(data);
  // The table is ordered by (CMD, FNC): any entry at or after (cmd, 0) with this CMD
  // means the command is known and only the function is not.
  const auto next = table.lower_bound({cmd, 0});
  const bool knownCmd = next != table.end() && next->first.first == cmd;
  return Reply::Error(knownCmd ? kFunctionNotSupported : kCommandNotSupported);
}

Reply Sign::SetClock(std::string_view data) {
  if (data.size() != 7) return Reply::Error(kDataFormatError);
  ByteReader r(data);
  ClockFields f;
  f.hour = r.Byte();
  f.min = r.Byte();
  f.sec = r.Byte();
  f.mday = r.Byte();
  f.mon = r.Byte();
  f.year = r.Byte();
  f.wday = r.Byte();
  return clock_.Set(f) ? Reply::Ok() : Reply::Error(kDataFormatError);
}

Reply Sign::GetClock(std::string_view) {
  ByteWriter w;
  return Reply::Ok(ClockBytes(w, clock_.Now()).str());
}

Reply Sign::GetSignType(std::string_view) {
  const ClockFields now = clock_.Now();
  ByteWriter w;
  w.Byte(kSignType).Word(kPixelsWide).Word(kPixelsHigh);
  w.Byte(0).Byte(0).Byte(0).Byte(0).Byte(0);  // sw_5 .. sw_1
  w.Padded(applName_, 16).Byte(kMemPages).Byte(node_).Padded("", 10);
  w.Word(0).Word(0);  // tot_frames, tot_plays
  // The sign type answer carries the month before the day.
  w.Byte(now.hour).Byte(now.min).Byte(now.sec).Byte(now.mon).Byte(now.mday).Byte(now.year);
  w.Byte(now.wday).Word(std::min(counters_.badBcc, 0x7FFF));
  w.Byte(0).Byte(0).Byte(0).Padded("", 10);  // autodim_set, cur_level, broadcast_master, masters
  w.Byte(0).Byte(0).Byte(0).Byte(0).Byte(0).Byte(0).Byte(0);  // last variable update
  w.Text("S");                                                // BoardType
  return Reply::Ok(std::move(w).str());
}

Reply Sign::GetVersion(std::string_view) {
  return Reply::Ok(ByteWriter().Byte(kFirmwareVersion).str());
}

// The 444-byte statistics record, then three bytes that the reader cuts off.
Reply Sign::GetStats(std::string_view) {
  const ClockFields now = clock_.Now();
  const Counters& c = counters_;
  ByteWriter w;
  w.Padded(applName_, 16);
  w.Word(std::min(c.badBcc, 0x7FFF)).Word(0);  // numberbadframes, resets_noinit
  w.Byte(now.hour).Byte(now.min).Byte(now.sec).Byte(now.mday).Byte(now.mon).Byte(now.year);
  w.Byte(kSignType).Byte(kModuleType).Byte(kModulesWide).Byte(kModulesHigh);
  w.Byte(1).Byte(0).Byte(0).Byte(0).Byte(0);    // scan, dst enabled/status, default enabled/loaded
  w.Byte(node_).Padded("", 10).Padded("", 11);  // node, group addresses, group masters
  w.Word(kPixelsWide).Word(kPixelsHigh).Word(kPixelsWide).Word(kPixelsHigh).Word(kMemPages);
  w.Word(0).Word(0).Word(kPixelsWide * kPixelsHigh / 8);  // totframes, totplay_entries, size
  w.Byte(0).Byte(0).Byte(0).Byte(0).Byte(0);              // switch1..5
  w.Byte(0).Byte(0).Byte(0).Byte(0).Byte(0).Byte(0);      // soft_enabled, softswitch1..5
  w.Byte(0).Byte(0).Byte(0).Byte(0).Byte(0).Byte(0);      // master/slave arrangement
  w.Word(0).Word(kPixelsWide - 1).Word(0).Word(kPixelsHigh - 1).Word(30);  // extent, scroll
  w.Byte(0).Padded("", 100);                                               // modem, initstring
  w.Byte(0).Byte(15).Byte(1).Byte(15);                     // autodim, dimlevel, dim range
  w.Word(68).Word(20).Word(0);                             // tempf, tempc, temp_adjust
  w.Byte(15).Byte(0).Padded("", 55);                       // dim schedule
  w.Byte(6).Byte(7).Byte(0).Byte(0);                       // font size, fonts loaded
  w.Byte(1).Byte(0).Byte(0).Byte(0);                       // running, autoplay, playing, scrolling
  w.Byte(5).Byte(0).Long(0).Byte(0).Byte(0);               // scroll speed, indelay, delay, blink
  w.Word(0).Word(0).Word(0).Padded("", 21).Padded("", 6);  // frames, play entries, last load
  // Received: not for me, for me, bad BCC, bad CMD/FNC, bad size, acknowledged, answered
  // OK, answered with data, duplicates, inquiries, time-outs; sent: replies, refused by the
  // host, acknowledged by the host, retried, timed out.
  for (const int value : {c.otherNode, c.frames, c.badBcc, 0, 0, c.acks, c.replies, 0, c.repeats,
                          c.inquiries, 0, c.replies, c.hostNaks, c.hostAcks, 0, 0}) {
    w.Word(Slot(value));
  }
  w.Byte(0).Byte(0).Byte(0).Byte(0).Byte(0).Byte(0);  // play, scroll and default flags
  w.Padded(kLoaderRev, 16).Padded("", 6).Padded(serialNumber_, kNameLength);
  w.Word(0).Byte(0);                    // play_counter, autotext
  w.Padded(displayName_, kNameLength);  // from 412: its first byte doubles as Z2Board
  w.Byte(0).Byte(0).Byte(0);
  return Reply::Ok(std::move(w).str());
}

Reply Sign::GetSerialNumber(std::string_view) {
  return Reply::Ok(ByteWriter().Padded(serialNumber_, kNameLength).str());
}

Reply Sign::SetSerialNumber(std::string_view data) {
  serialNumber_ = NameText(data);
  return Reply::Ok();
}

Reply Sign::SetDisplayName(std::string_view data) {
  displayName_ = NameText(data);
  return Reply::Ok();
}

Reply Sign::GetDisplayName(std::string_view) {
  return Reply::Ok(ByteWriter().Padded(displayName_, kNameLength).str());
}

Reply Sign::SetBccMode(std::string_view) {
  newBcc_ = true;
  return Reply::Ok();
}

Reply Sign::SetTextMessage(std::string_view data) {
  if (data.size() < 4) return Reply::Error(kDataFormatError);
  ByteReader r(data);
  text_.row = r.Byte();
  text_.col = r.Byte();
  text_.mode = r.Byte();
  text_.msg = r.ZText();
  text_.payload = std::string(data);
  textSet_ = true;
  return Reply::Ok();
}

nlohmann::json Sign::State() const {
  const ClockFields now = clock_.Now();
  nlohmann::json state = {
      {"node", node_},
      {"applName", applName_},
      {"serialNumber", serialNumber_},
      {"displayName", displayName_},
      {"newBcc", newBcc_},
      {"clock",
       {{"hour", now.hour},
        {"min", now.min},
        {"sec", now.sec},
        {"mday", now.mday},
        {"mon", now.mon},
        {"year", now.year},
        {"wday", now.wday},
        {"offsetSeconds", clock_.OffsetSeconds()}}},
      {"text", nullptr},
  };
  if (textSet_) {
    state["text"] = {{"row", text_.row},
                     {"col", text_.col},
                     {"mode", text_.mode},
                     {"msg", text_.msg},
                     {"payload", HexBytes(text_.payload)}};
  }
  return state;
}

}  // namespace signsim
