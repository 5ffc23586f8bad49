// CMD 0: clock, identity, configuration and statistics.
#include <qordtcon/payloads/fields.hpp>

#include "sign_commands.hpp"

namespace signsim {

using qordtcon::ByteReader;
using qordtcon::ByteWriter;

namespace {

constexpr int kFirmwareVersion = 1;
constexpr std::size_t kNameLength = 32;  // display name and serial number
constexpr std::size_t kGroupsLength = 10;
constexpr std::size_t kTrailerLength = 32;
constexpr std::size_t kMaxPeriods = 11;  // the statistics record has room for eleven

// The text of a name command: up to its byte 0, at most 32 characters.
std::string NameText(std::string_view data) {
  return qordtcon::TrimAtNul(data).substr(0, kNameLength);
}

Reply SetClock(SignState& s, std::string_view data) {
  ByteReader r(data);
  ClockFields f;
  f.hour = r.Byte();
  f.min = r.Byte();
  f.sec = r.Byte();
  f.mday = r.Byte();
  f.mon = r.Byte();
  f.year = r.Byte();
  f.wday = r.Byte();
  End(r);
  return s.clock.Set(f) ? Reply::Ok() : Reply::Error(kDataFormatError);
}

Reply GetClock(SignState& s, std::string_view data) {
  End(ByteReader(data));
  const ClockFields c = s.clock.Now();
  ByteWriter w;
  w.Byte(c.hour).Byte(c.min).Byte(c.sec).Byte(c.mday).Byte(c.mon).Byte(c.year).Byte(c.wday);
  return Reply::Ok(std::move(w).str());
}

Reply GetSignType(SignState& s, std::string_view data) {
  End(ByteReader(data));
  return Reply::Ok(SignTypeRecord(s));
}

Reply GetVersion(SignState&, std::string_view data) {
  End(ByteReader(data));
  return Reply::Ok(ByteWriter().Byte(kFirmwareVersion).str());
}

Reply GetStats(SignState& s, std::string_view data) {
  End(ByteReader(data));
  return Reply::Ok(StatsRecord(s));
}

Reply SetBrightnessRange(SignState& s, std::string_view data) {
  ByteReader r(data);
  const int low = r.Byte();
  const int high = r.Byte();
  End(r);
  Check(low <= high);
  s.config.dimLow = low;
  s.config.dimHigh = high;
  return Reply::Ok();
}

Reply SetBrightnessSchedule(SignState& s, std::string_view data) {
  ByteReader r(data);
  const std::int32_t count = r.UnsignedWord();
  const int fallback = r.Byte();
  std::vector<ConfigState::Period> periods;
  for (std::int32_t i = 0; i < count; ++i) {
    ConfigState::Period p;
    p.startHour = r.Byte();
    p.startMin = r.Byte();
    p.stopHour = r.Byte();
    p.stopMin = r.Byte();
    p.level = r.Byte();
    periods.push_back(p);
  }
  End(r);
  if (periods.size() > kMaxPeriods) return Reply::Error(kMemoryFull);
  s.config.scheduleDefault = fallback;
  s.config.schedule = std::move(periods);
  return Reply::Ok();
}

Reply SetGroups(SignState& s, std::string_view data) {
  ByteReader r(data);
  s.config.groups = FieldText(r, kGroupsLength);
  return Reply::Ok();
}

Reply SetGroupMaster(SignState& s, std::string_view data) {
  ByteReader r(data);
  const int broadcast = r.Byte();
  s.config.groupMasters = FieldText(r, kGroupsLength);
  s.config.broadcastMaster = broadcast;
  return Reply::Ok();
}

Reply SetTest(SignState& s, std::string_view data) {
  ByteReader r(data);
  ConfigState::Test t;
  t.code = r.Byte();
  t.row = r.UnsignedWord();
  t.col = r.UnsignedWord();
  End(r);
  s.config.test = t;
  return Reply::Ok();
}

Reply SetSoftSwitches(SignState& s, std::string_view data) {
  ByteReader r(data);
  const int mode = r.Byte();
  std::array<int, 5> switches{};
  for (int& b : switches)
    b = r.Byte();
  End(r);
  s.config.softMode = mode;
  s.config.softSwitches = switches;
  return Reply::Ok();
}

Reply SetScrollOptions(SignState& s, std::string_view data) {
  ByteReader r(data);
  const int clear = r.Byte();
  const int repeat = r.Byte();
  s.config.scrollTrailer = FieldText(r, kTrailerLength);
  s.config.scrollClear = clear;
  s.config.scrollRepeat = repeat;
  return Reply::Ok();
}

// Pixels are addressed on the panel; one beyond it is refused with the whole command.
Reply SetPixelControl(SignState& s, std::string_view data) {
  ByteReader r(data);
  const int count = r.Byte();
  std::vector<std::pair<std::pair<int, int>, ConfigState::Pixel>> pixels;
  for (int i = 0; i < count; ++i) {
    const int x = r.UnsignedWord();
    const int y = r.UnsignedWord();
    ConfigState::Pixel p;
    p.c = r.UnsignedWord();
    p.s = r.UnsignedWord();
    Check(x < kPixelsWide && y < kPixelsHigh);
    pixels.push_back({{x, y}, p});
  }
  End(r);
  for (const auto& [at, pixel] : pixels)
    s.config.pixels[at] = pixel;
  return Reply::Ok();
}

Reply ClearRxTxCounts(SignState& s, std::string_view data) {
  End(ByteReader(data));
  s.config.rxtxBase = s.counters;
  return Reply::Ok();
}

Reply GetSerialNumber(SignState& s, std::string_view data) {
  End(ByteReader(data));
  return Reply::Ok(ByteWriter().Padded(s.serialNumber, kNameLength).str());
}

Reply SetSerialNumber(SignState& s, std::string_view data) {
  s.serialNumber = NameText(data);
  return Reply::Ok();
}

Reply SetDisplayName(SignState& s, std::string_view data) {
  s.displayName = NameText(data);
  return Reply::Ok();
}

Reply GetDisplayName(SignState& s, std::string_view data) {
  End(ByteReader(data));
  return Reply::Ok(ByteWriter().Padded(s.displayName, kNameLength).str());
}

Reply SetBccMode(SignState& s, std::string_view) {
  s.newBcc = true;
  return Reply::Ok();
}

// The host sends these two without waiting for a reply: the sign only counts them.
Reply Reset(SignState& s, std::string_view data) {
  End(ByteReader(data));
  ++s.config.resets;
  return Reply::Ok();
}

Reply PrepareForDownload(SignState& s, std::string_view data) {
  End(ByteReader(data));
  ++s.config.downloadsPrepared;
  return Reply::Ok();
}

}  // namespace

void AddDiagCommands(CommandTable& t) {
  using S = SignState&;
  using D = std::string_view;
  t.insert({
      {{0x00, 0x00}, SetClock},
      {{0x00, 0x01}, GetClock},
      {{0x00, 0x02}, GetSignType},
      {{0x00, 0x03}, [](S s, D d) { return OneNumber(s.config.dimLevel, d); }},
      {{0x00, 0x04}, SetGroups},
      {{0x00, 0x05}, GetVersion},
      {{0x00, 0x06}, SetTest},
      {{0x00, 0x07}, [](S s, D d) { return Switch(s.config.scan, false, d); }},
      {{0x00, 0x08}, [](S s, D d) { return Switch(s.config.scan, true, d); }},
      {{0x00, 0x0D}, SetBrightnessRange},
      {{0x00, 0x0E}, SetBrightnessSchedule},
      {{0x00, 0x0F},
       [](S s, D d) { return OneNumber(s.config.tempAdjust, d, &ByteReader::SignedWord); }},
      {{0x00, 0x10}, SetSoftSwitches},
      {{0x00, 0x11}, [](S s, D d) { return Switch(s.config.dst, true, d); }},
      {{0x00, 0x12}, [](S s, D d) { return Switch(s.config.dst, false, d); }},
      {{0x00, 0x13},
       [](S s, D d) { return OneNumber(s.config.hwFrequency, d, &ByteReader::UnsignedWord); }},
      {{0x00, 0x14}, SetGroupMaster},
      {{0x00, 0x15}, GetStats},
      {{0x00, 0x16}, ClearRxTxCounts},
      {{0x00, 0x17}, SetScrollOptions},
      {{0x00, 0x18}, SetPixelControl},
      {{0x00, 0x1E}, [](S s, D d) { return Switch(s.config.defaultEnabled, true, d); }},
      {{0x00, 0x1F}, [](S s, D d) { return Switch(s.config.defaultEnabled, false, d); }},
      {{0x00, 0x29}, GetSerialNumber},
      {{0x00, 0x2A}, SetDisplayName},
      {{0x00, 0x2B}, GetDisplayName},
      {{0x00, 0x2C}, SetBccMode},
      {{0x00, 0xAA}, Reset},
      {{0x00, 0xAB}, PrepareForDownload},
      {{0x00, 0xDB}, SetSerialNumber},
  });
}

void DiagJson(const SignState& s, nlohmann::json& out) {
  const ClockFields now = s.clock.Now();
  const ConfigState& c = s.config;
  out["node"] = s.node;
  out["applName"] = s.applName;
  out["serialNumber"] = s.serialNumber;
  out["displayName"] = s.displayName;
  out["newBcc"] = s.newBcc;
  out["clock"] = {{"hour", now.hour}, {"min", now.min},
                  {"sec", now.sec},   {"mday", now.mday},
                  {"mon", now.mon},   {"year", now.year},
                  {"wday", now.wday}, {"offsetSeconds", s.clock.OffsetSeconds()}};
  nlohmann::json periods = nlohmann::json::array();
  for (const ConfigState::Period& p : c.schedule) {
    periods.push_back({{"startHour", p.startHour},
                       {"startMin", p.startMin},
                       {"stopHour", p.stopHour},
                       {"stopMin", p.stopMin},
                       {"level", p.level}});
  }
  nlohmann::json pixels = nlohmann::json::array();
  for (const auto& [at, p] : c.pixels)
    pixels.push_back({{"x", at.first}, {"y", at.second}, {"c", p.c}, {"s", p.s}});
  out["config"] = {
      {"brightness",
       {{"level", c.dimLevel},
        {"low", c.dimLow},
        {"high", c.dimHigh},
        {"scheduleDefault", c.scheduleDefault},
        {"schedule", std::move(periods)}}},
      {"pixels", std::move(pixels)},
      {"test",
       c.test ? nlohmann::json{{"code", c.test->code}, {"row", c.test->row}, {"col", c.test->col}}
              : nlohmann::json()},
      {"scan", c.scan},
      {"tempAdjust", c.tempAdjust},
      {"softSwitches", {{"mode", c.softMode}, {"switches", c.softSwitches}}},
      {"dst", c.dst},
      {"hwFrequency", c.hwFrequency},
      {"groups", c.groups},
      {"groupMasters", {{"broadcastId", c.broadcastMaster}, {"groups", c.groupMasters}}},
      {"scrollOptions",
       {{"clear", c.scrollClear}, {"repeat", c.scrollRepeat}, {"trailer", c.scrollTrailer}}},
      {"defaultEnabled", c.defaultEnabled},
      {"resets", c.resets},
      {"downloadsPrepared", c.downloadsPrepared},
  };
}

}  // namespace signsim
