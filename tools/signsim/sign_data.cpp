// CMD 9 (variables), 10 (cells) and 11 (counters): the live data a sign shows. Every
// number addresses a slot; a slot never written reads as cleared (zeros, empty text).
// Counters hold what was defined: the sign does not count by itself here.
#include <cstdio>

#include <qordtcon/payloads/fields.hpp>

#include "sign_commands.hpp"

namespace signsim {

using qordtcon::ByteReader;
using qordtcon::ByteWriter;
using Slot = DataState::Slot;
using Slots = std::map<int, Slot>;

namespace {

constexpr int kVariables = 9;
constexpr int kCells = 10;

Slots& Table(SignState& s, int cmd) {
  return cmd == kVariables ? s.data.variables : s.data.cells;
}

void Updated(SignState& s, int cmd) {
  if (cmd == kVariables) s.data.lastVariableUpdate = s.clock.Now();
}

// Attributes, then the text closed by byte 0.
Reply ReadSlot(SignState& s, std::string_view data, int cmd) {
  ByteReader r(data);
  const int num = r.Byte();
  End(r);
  const Slots& slots = Table(s, cmd);
  const auto it = slots.find(num);
  const Slot slot = it != slots.end() ? it->second : Slot{};
  ByteWriter w;
  w.Byte(slot.color).Byte(slot.blink).Byte(slot.inverse).ZText(slot.text);
  return Reply::Ok(std::move(w).str());
}

Reply WriteSlot(SignState& s, std::string_view data, int cmd) {
  ByteReader r(data);
  const int num = r.Byte();
  Table(s, cmd)[num].text = ClosedText(r);
  Updated(s, cmd);
  return Reply::Ok();
}

Reply ClearSlots(SignState& s, std::string_view data, int cmd) {
  End(ByteReader(data));
  Table(s, cmd).clear();
  return Reply::Ok();
}

// Entries of X, Length and Length characters of text.
Reply WriteVariables(SignState& s, std::string_view data) {
  ByteReader r(data);
  const int count = r.Byte();
  std::vector<std::pair<int, std::string>> texts;
  for (int i = 0; i < count; ++i) {
    const int num = r.Byte();
    const std::int32_t length = r.UnsignedWord();
    texts.emplace_back(num, r.Text(static_cast<std::size_t>(length)));
  }
  End(r);
  for (auto& [num, text] : texts)
    s.data.variables[num].text = std::move(text);
  Updated(s, kVariables);
  return Reply::Ok();
}

Reply SetAttributes(SignState& s, std::string_view data, int cmd) {
  ByteReader r(data);
  const int count = r.Byte();
  std::vector<std::pair<int, std::array<int, 3>>> attributes;
  for (int i = 0; i < count; ++i) {
    const int num = r.Byte();
    const int color = r.Byte();
    const int blink = r.Byte();
    attributes.push_back({num, {color, blink, r.Byte()}});
  }
  End(r);
  for (const auto& [num, a] : attributes) {
    Slot& slot = Table(s, cmd)[num];
    slot.color = a[0];
    slot.blink = a[1];
    slot.inverse = a[2];
  }
  return Reply::Ok();
}

// Nine entries of month, day, year, hour, minute.
Reply SetCellResets(SignState& s, std::string_view data) {
  ByteReader r(data);
  std::array<DataState::CellReset, 9> resets{};
  for (DataState::CellReset& e : resets) {
    e.month = r.Byte();
    e.day = r.Byte();
    e.year = r.Byte();
    e.hour = r.Byte();
    e.minute = r.Byte();
  }
  End(r);
  s.data.cellResets = resets;
  return Reply::Ok();
}

// A counter's 16-byte definition; it starts from its start value.
Reply DefineCounter(SignState& s, std::string_view data) {
  ByteReader r(data);
  const int num = r.Byte();
  DataState::CounterDefinition d;
  d.operation = r.Byte();
  d.frequency = r.Byte();
  d.clearMode = r.Byte();
  d.incdec = r.SignedWord();
  d.format = r.Byte();
  d.autoreload = r.Byte();
  d.start = r.Long();
  d.stop = r.Long();
  End(r);
  DataState::Counter& c = s.data.counters[num];
  c.def = d;
  c.current = d.start;
  return Reply::Ok();
}

Reply ControlCounter(SignState& s, std::string_view data) {
  ByteReader r(data);
  const int num = r.Byte();
  const int status = r.Byte();
  const int color = r.Byte();
  const int blink = r.Byte();
  const int inverse = r.Byte();
  End(r);
  DataState::Counter& c = s.data.counters[num];
  c.status = status;
  c.color = color;
  c.blink = blink;
  c.inverse = inverse;
  return Reply::Ok();
}

// The definition, the current value, then status and attributes: 24 bytes.
Reply ReadCounter(SignState& s, std::string_view data) {
  ByteReader r(data);
  const int num = r.Byte();
  End(r);
  const auto it = s.data.counters.find(num);
  const DataState::Counter c = it != s.data.counters.end() ? it->second : DataState::Counter{};
  ByteWriter w;
  const DataState::CounterDefinition& d = c.def;
  w.Byte(num).Byte(d.operation).Byte(d.frequency).Byte(d.clearMode).Word(d.incdec);
  w.Byte(d.format).Byte(d.autoreload).Long(d.start).Long(d.stop).Long(c.current);
  w.Byte(c.status).Byte(c.color).Byte(c.blink).Byte(c.inverse);
  return Reply::Ok(std::move(w).str());
}

Reply ClearCounters(SignState& s, std::string_view data) {
  End(ByteReader(data));
  s.data.counters.clear();
  return Reply::Ok();
}

nlohmann::json SlotsJson(const Slots& slots) {
  nlohmann::json out = nlohmann::json::object();
  for (const auto& [num, slot] : slots) {
    out[std::to_string(num)] = {{"text", slot.text},
                                {"color", slot.color},
                                {"blink", slot.blink},
                                {"inverse", slot.inverse}};
  }
  return out;
}

}  // namespace

void AddDataCommands(CommandTable& t) {
  using S = SignState&;
  using D = std::string_view;
  t.insert({
      {{0x09, 0x00}, [](S s, D d) { return ReadSlot(s, d, kVariables); }},
      {{0x09, 0x01}, [](S s, D d) { return WriteSlot(s, d, kVariables); }},
      {{0x09, 0x02}, [](S s, D d) { return ClearSlots(s, d, kVariables); }},
      {{0x09, 0x03}, WriteVariables},
      {{0x09, 0x04}, [](S s, D d) { return SetAttributes(s, d, kVariables); }},
      {{0x0A, 0x00}, [](S s, D d) { return ReadSlot(s, d, kCells); }},
      {{0x0A, 0x01}, [](S s, D d) { return WriteSlot(s, d, kCells); }},
      {{0x0A, 0x02}, [](S s, D d) { return ClearSlots(s, d, kCells); }},
      {{0x0A, 0x04}, [](S s, D d) { return SetAttributes(s, d, kCells); }},
      {{0x0A, 0x05}, SetCellResets},
      {{0x0B, 0x00}, ReadCounter},
      {{0x0B, 0x01}, DefineCounter},
      {{0x0B, 0x02}, ControlCounter},
      {{0x0B, 0x03}, ClearCounters},
  });
}

void DataJson(const SignState& s, nlohmann::json& out) {
  const DataState& d = s.data;
  nlohmann::json resets = nlohmann::json::array();
  for (const DataState::CellReset& e : d.cellResets) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d", e.month, e.day, e.year, e.hour,
                  e.minute);
    resets.push_back(text);
  }
  nlohmann::json counters = nlohmann::json::object();
  for (const auto& [num, c] : d.counters) {
    counters[std::to_string(num)] = {{"operation", c.def.operation},
                                     {"frequency", c.def.frequency},
                                     {"clearMode", c.def.clearMode},
                                     {"incdec", c.def.incdec},
                                     {"format", c.def.format},
                                     {"autoreload", c.def.autoreload},
                                     {"start", c.def.start},
                                     {"stop", c.def.stop},
                                     {"current", c.current},
                                     {"status", c.status},
                                     {"color", c.color},
                                     {"blink", c.blink},
                                     {"inverse", c.inverse}};
  }
  out["data"] = {{"variables", SlotsJson(d.variables)},
                 {"cells", SlotsJson(d.cells)},
                 {"cellResets", std::move(resets)},
                 {"counters", std::move(counters)},
                 {"lastVariableUpdate",
                  d.lastVariableUpdate ? TimeJson(*d.lastVariableUpdate) : nlohmann::json()}};
}

}  // namespace signsim
