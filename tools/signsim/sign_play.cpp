// CMD 7: the play order, read back entry by entry, and its player.
#include <charconv>

#include <qordtcon/payloads/fields.hpp>

#include "sign_commands.hpp"

namespace signsim {

using qordtcon::ByteReader;
using qordtcon::ByteWriter;
using Mode = PlayState::Mode;

namespace {

constexpr std::size_t kMaxEntries = 1000;
constexpr std::size_t kNameField = 13;
constexpr std::size_t kDescriptionLength = 256;
constexpr int kMaxCounter = 0x7FFF;  // the statistics record reads it signed

// A play-order payload: the entry count, then 21 bytes per entry. An entry without a
// name is refused: it would read back as the end of the play order.
std::vector<PlayState::Entry> DecodeEntries(std::string_view data) {
  ByteReader r(data);
  const std::int32_t count = r.UnsignedWord();
  std::vector<PlayState::Entry> entries;
  for (std::int32_t i = 0; i < count; ++i) {
    PlayState::Entry e;
    e.name = qordtcon::TrimAtNul(r.Text(kNameField));
    Check(!e.name.empty());
    e.delay = r.Long();
    e.prefix = r.SignedWord();
    e.suffix = r.SignedWord();
    entries.push_back(std::move(e));
  }
  End(r);
  return entries;
}

// Play from the first entry; the play counter counts these starts. Without a play
// order there is nothing to start.
void Start(PlayState& p) {
  if (p.entries.empty()) return;
  p.mode = Mode::kPlaying;
  p.immediate = false;
  if (p.counter < kMaxCounter) ++p.counter;
}

Reply Load(SignState& s, std::string_view data, bool append) {
  std::vector<PlayState::Entry> entries = DecodeEntries(data);
  PlayState& p = s.play;
  const std::size_t kept = append ? p.entries.size() : 0;
  if (kept + entries.size() > kMaxEntries) return Reply::Error(kMemoryFull);
  if (!append) {
    p.entries.clear();
    p.cursor = 0;
  }
  p.entries.insert(p.entries.end(), entries.begin(), entries.end());
  if (!append && p.autoplay) Start(p);
  return Reply::Ok();
}

Reply Clear(SignState& s, std::string_view data) {
  End(ByteReader(data));
  s.play.entries.clear();
  s.play.cursor = 0;
  s.play.mode = Mode::kStopped;
  return Reply::Ok();
}

// One entry as the reader takes it: its number, then the 21-byte entry. Past the last
// entry comes the end marker: number 0, no name, zeros.
Reply ReadEntry(SignState& s, std::string_view data, bool first) {
  End(ByteReader(data));
  PlayState& p = s.play;
  if (first) p.cursor = 0;
  const std::size_t index = p.cursor;
  const PlayState::Entry e = index < p.entries.size() ? p.entries[index] : PlayState::Entry{};
  const int number = index < p.entries.size() ? static_cast<int>(index + 1) : 0;
  p.cursor = std::min(index + 1, p.entries.size());
  ByteWriter w;
  w.Word(number).Padded(e.name, kNameField).Long(e.delay).Word(e.prefix).Word(e.suffix);
  return Reply::Ok(std::move(w).str());
}

Reply Restart(SignState& s, std::string_view data) {
  ByteReader r(data);
  const int loops = r.Byte();
  End(r);
  s.play.loopCounter = loops;
  Start(s.play);
  return Reply::Ok();
}

// A paused play order goes on where it stood; a stopped one starts again.
Reply Resume(SignState& s, std::string_view data) {
  End(ByteReader(data));
  PlayState& p = s.play;
  if (p.mode == Mode::kStopped) {
    Start(p);
  } else {
    p.mode = Mode::kPlaying;
    p.immediate = false;
  }
  return Reply::Ok();
}

// Stop and pause; the immediate forms do not wait for the current entry to end.
Reply Halt(SignState& s, std::string_view data, Mode mode, bool immediate) {
  End(ByteReader(data));
  PlayState& p = s.play;
  if (mode == Mode::kStopped || p.mode == Mode::kPlaying) p.mode = mode;
  p.immediate = immediate;
  return Reply::Ok();
}

Reply Poll(SignState& s, std::string_view data) {
  End(ByteReader(data));
  const PlayState& p = s.play;
  const bool loaded = !p.entries.empty();
  ByteWriter w;
  w.Byte(loaded).Byte(loaded && p.mode == Mode::kPlaying);
  w.Byte(s.text.defaultMessage.has_value()).Byte(s.config.defaultEnabled);
  return Reply::Ok(std::move(w).str());
}

Reply WriteDescription(SignState& s, std::string_view data) {
  Check(data.size() == kDescriptionLength);
  s.play.description = std::string(data);
  return Reply::Ok();
}

Reply ReadDescription(SignState& s, std::string_view data) {
  End(ByteReader(data));
  return Reply::Ok(s.play.description);
}

// The sub play order's number comes as decimal text.
Reply SelectSubPlayOrder(SignState& s, std::string_view data) {
  std::int16_t number = 0;
  const auto [end, error] = std::from_chars(data.data(), data.data() + data.size(), number);
  Check(error == std::errc() && end == data.data() + data.size());
  s.play.subPlayOrder = number;
  return Reply::Ok();
}

Reply ReadCounter(SignState& s, std::string_view data) {
  End(ByteReader(data));
  return Reply::Ok(ByteWriter().Word(s.play.counter).str());
}

Reply ClearCounter(SignState& s, std::string_view data) {
  End(ByteReader(data));
  s.play.counter = 0;
  return Reply::Ok();
}

std::string ModeName(Mode mode) {
  switch (mode) {
    case Mode::kPlaying:
      return "playing";
    case Mode::kPaused:
      return "paused";
    default:
      return "stopped";
  }
}

}  // namespace

void AddPlayCommands(CommandTable& t) {
  using S = SignState&;
  using D = std::string_view;
  t.insert({
      {{0x07, 0x00}, [](S s, D d) { return Load(s, d, false); }},
      {{0x07, 0x01}, Clear},
      {{0x07, 0x02}, [](S s, D d) { return Load(s, d, true); }},
      {{0x07, 0x03}, [](S s, D d) { return ReadEntry(s, d, true); }},
      {{0x07, 0x04}, [](S s, D d) { return ReadEntry(s, d, false); }},
      {{0x07, 0x05}, Restart},
      {{0x07, 0x06}, Resume},
      {{0x07, 0x07}, [](S s, D d) { return Halt(s, d, Mode::kStopped, false); }},
      {{0x07, 0x08}, [](S s, D d) { return Halt(s, d, Mode::kPaused, false); }},
      {{0x07, 0x0A}, Poll},
      {{0x07, 0x0B}, [](S s, D d) { return Halt(s, d, Mode::kStopped, true); }},
      {{0x07, 0x0C}, [](S s, D d) { return Halt(s, d, Mode::kPaused, true); }},
      {{0x07, 0x0D}, WriteDescription},
      {{0x07, 0x0E}, ReadDescription},
      {{0x07, 0x0F}, SelectSubPlayOrder},
      {{0x07, 0x11}, ReadCounter},
      {{0x07, 0x12}, ClearCounter},
      {{0x07, 0x40}, [](S s, D d) { return Switch(s.play.autoplay, true, d); }},
      {{0x07, 0x41}, [](S s, D d) { return Switch(s.play.autoplay, false, d); }},
  });
}

void PlayJson(const SignState& s, nlohmann::json& out) {
  const PlayState& p = s.play;
  nlohmann::json entries = nlohmann::json::array();
  for (const PlayState::Entry& e : p.entries) {
    entries.push_back(
        {{"name", e.name}, {"delay", e.delay}, {"prefix", e.prefix}, {"suffix", e.suffix}});
  }
  out["play"] = {{"entries", std::move(entries)},
                 {"mode", ModeName(p.mode)},
                 {"immediate", p.immediate},
                 {"loopCounter", p.loopCounter},
                 {"subPlayOrder", p.subPlayOrder ? nlohmann::json(*p.subPlayOrder) : nullptr},
                 {"autoplay", p.autoplay},
                 {"counter", p.counter},
                 {"description", qordtcon::TrimAtNul(p.description)}};
}

}  // namespace signsim
