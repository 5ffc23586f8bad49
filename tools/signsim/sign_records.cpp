// The two answers that report on the whole sign: the sign type (72 bytes) and the
// statistics record (444 bytes).
#include <algorithm>

#include <qordtcon/payloads/fields.hpp>

#include "sign_commands.hpp"

namespace signsim {

using qordtcon::ByteWriter;

namespace {

constexpr int kSignType = 1;
constexpr int kModuleType = 1;
constexpr int kModulesWide = 6;
constexpr int kModulesHigh = 1;
constexpr int kMemPages = 4;
constexpr int kScrollDelay = 30;
constexpr int kTempC = 20;  // the panel's reading before calibration
constexpr std::string_view kLoaderRev = "SIMLOADER 1.0";
constexpr std::size_t kNameLength = 32;

// The communication counters by slot. Received: not for me, for me, bad BCC, bad
// CMD/FNC, bad size, acknowledged, answered OK, answered with data, duplicates, inquiries,
// time-outs; sent: replies, refused by the host, acknowledged by the host, retried, timed
// out. A slot without a counter of its own stays 0.
constexpr int Counters::*kCounterSlots[] = {&Counters::otherNode,
                                            &Counters::frames,
                                            &Counters::badBcc,
                                            nullptr,
                                            nullptr,
                                            &Counters::acks,
                                            &Counters::replies,
                                            nullptr,
                                            &Counters::repeats,
                                            &Counters::inquiries,
                                            nullptr,
                                            &Counters::replies,
                                            &Counters::hostNaks,
                                            &Counters::hostAcks,
                                            nullptr,
                                            nullptr};

// A communication counter since the last clearing, in its 16-bit slot.
int Since(const SignState& s, int Counters::*counter) {
  if (counter == nullptr) return 0;
  return std::clamp(s.counters.*counter - s.config.rxtxBase.*counter, 0, 0xFFFF);
}

int BadFrames(const SignState& s) {
  return std::min(Since(s, &Counters::badBcc), 0x7FFF);
}

bool Playing(const PlayState& p) {
  return p.mode == PlayState::Mode::kPlaying && !p.entries.empty();
}

// The entry the player stands on: the first one, as time does not pass for it.
int CurrentEntry(const PlayState& p) {
  return p.mode != PlayState::Mode::kStopped && !p.entries.empty() ? 1 : 0;
}

int Word(std::size_t count) {
  return static_cast<int>(std::min<std::size_t>(count, 0x7FFF));
}

// The time of the last variable update: hour, minute, second, then the date in `dayFirst`
// order or month first; zeros while no variable was written.
ByteWriter& LastUpdate(ByteWriter& w, const SignState& s, bool dayFirst) {
  const ClockFields t = s.data.lastVariableUpdate.value_or(ClockFields{0, 0, 0, 0, 0, 0, 0});
  w.Byte(t.hour).Byte(t.min).Byte(t.sec);
  if (dayFirst) return w.Byte(t.mday).Byte(t.mon).Byte(t.year);
  return w.Byte(t.mon).Byte(t.mday).Byte(t.year).Byte(t.wday);
}

}  // namespace

std::string SignTypeRecord(const SignState& s) {
  const ClockFields now = s.clock.Now();
  const ConfigState& c = s.config;
  ByteWriter w;
  w.Byte(kSignType).Word(kPixelsWide).Word(kPixelsHigh);
  w.Byte(0).Byte(0).Byte(0).Byte(0).Byte(0);  // sw_5 .. sw_1
  w.Padded(s.applName, 16).Byte(kMemPages).Byte(s.node).Padded(c.groups, 10);
  w.Word(Word(s.dir.files.size())).Word(Word(s.play.entries.size()));
  // The sign type answer carries the month before the day.
  w.Byte(now.hour).Byte(now.min).Byte(now.sec).Byte(now.mon).Byte(now.mday).Byte(now.year);
  w.Byte(now.wday).Word(BadFrames(s));
  w.Byte(c.dimLevel == kScheduledLevel).Byte(c.dimLevel).Byte(c.broadcastMaster);
  w.Padded(c.groupMasters, 10);
  LastUpdate(w, s, false);
  w.Text("S");  // BoardType
  return std::move(w).str();
}

std::string StatsRecord(const SignState& s) {
  const ClockFields now = s.clock.Now();
  const ConfigState& c = s.config;
  const TextState& t = s.text;
  const PlayState& p = s.play;
  const int files = Word(s.dir.files.size());
  const int entries = Word(p.entries.size());
  ByteWriter w;
  w.Padded(s.applName, 16).Word(BadFrames(s)).Word(c.resets);
  w.Byte(now.hour).Byte(now.min).Byte(now.sec).Byte(now.mday).Byte(now.mon).Byte(now.year);
  w.Byte(kSignType).Byte(kModuleType).Byte(kModulesWide).Byte(kModulesHigh);
  w.Byte(c.scan).Byte(c.dst).Byte(0).Byte(c.defaultEnabled).Byte(t.defaultMessage.has_value());
  w.Byte(s.node).Padded(c.groups, 10).Padded(c.groupMasters, 11);
  w.Word(kPixelsWide).Word(kPixelsHigh).Word(kPixelsWide).Word(kPixelsHigh).Word(kMemPages);
  w.Word(files).Word(entries).Word(kPixelsWide * kPixelsHigh / 8);  // framesize
  w.Byte(0).Byte(0).Byte(0).Byte(0).Byte(0);                        // switch1..5
  w.Byte(c.softMode);
  for (const int b : c.softSwitches)
    w.Byte(b);
  w.Byte(0).Byte(0).Byte(0).Byte(0).Byte(0).Byte(0);  // master/slave arrangement
  w.Word(0).Word(kPixelsWide - 1).Word(0).Word(kPixelsHigh - 1).Word(kScrollDelay);
  w.Byte(0).Padded("", 100);  // modem, initstring
  w.Byte(c.dimLevel == kScheduledLevel).Byte(c.dimLevel).Byte(c.dimLow).Byte(c.dimHigh);
  const int tempC = kTempC + c.tempAdjust;
  w.Word(tempC * 9 / 5 + 32).Word(tempC).Word(c.tempAdjust);
  w.Byte(c.scheduleDefault).Byte(static_cast<int>(c.schedule.size()));
  ByteWriter periods;
  for (const ConfigState::Period& d : c.schedule)
    periods.Byte(d.startHour).Byte(d.startMin).Byte(d.stopHour).Byte(d.stopMin).Byte(d.level);
  w.Padded(periods.str(), 55);
  w.Byte(6).Byte(7).Byte(0).Byte(0);  // font size, fonts loaded
  w.Byte(1).Byte(p.autoplay).Byte(Playing(p)).Byte(t.scroll.has_value());
  w.Byte(t.scrollSpeed).Byte(0).Long(0).Byte(t.blinkRate != 0).Byte(t.blinkRate);
  const int current = CurrentEntry(p);
  w.Word(files).Word(entries).Word(current);
  w.Padded(current != 0 ? p.entries.front().name : "", 21).Padded("", 6);  // last load
  for (int Counters::*counter : kCounterSlots)
    w.Word(Since(s, counter));
  w.Byte(!p.entries.empty()).Byte(p.loopCounter).Byte(c.scrollClear).Byte(c.scrollRepeat);
  w.Byte(t.defaultMessage.has_value()).Byte(c.defaultEnabled);
  w.Padded(kLoaderRev, 16);
  LastUpdate(w, s, true);
  w.Padded(s.serialNumber, kNameLength).Word(p.counter).Byte(0);  // play_counter, autotext
  w.Padded(s.displayName, kNameLength);  // from 412: its first byte doubles as Z2Board
  return std::move(w).str();
}

}  // namespace signsim
