// CMD 1 (text), 3 (fonts), 4 (default message), 5 (scheduled messages), 6 (paged text).
#include <qordtcon/payloads/fields.hpp>

#include "sign_commands.hpp"

namespace signsim {

using qordtcon::ByteReader;

namespace {

Reply SetTextMessage(SignState& s, std::string_view data) {
  ByteReader r(data);
  TextState::Message m;
  m.row = r.Byte();
  m.col = r.Byte();
  m.mode = r.Byte();
  m.msg = ClosedText(r);
  m.payload = std::string(data);
  s.text.text = std::move(m);
  return Reply::Ok();
}

Reply SetScrollMessage(SignState& s, std::string_view data) {
  ByteReader r(data);
  TextState::Scroll m;
  m.row = r.Byte();
  m.col = r.Byte();
  m.length = r.Byte();
  m.mode = r.Byte();
  m.msg = ClosedText(r);
  m.since = std::chrono::steady_clock::now();
  s.text.scroll = std::move(m);
  return Reply::Ok();
}

Reply ClearSign(SignState& s, std::string_view data) {
  End(ByteReader(data));
  s.text.text.reset();
  s.text.scroll.reset();
  s.files.shown.reset();
  return Reply::Ok();
}

Reply SetTabs(SignState& s, std::string_view data) {
  ByteReader r(data);
  const int table = r.Byte();
  s.text.tabs[table] = ClosedText(r);
  return Reply::Ok();
}

Reply ClearFonts(SignState& s, std::string_view data) {
  End(ByteReader(data));
  ++s.text.fontClears;
  return Reply::Ok();
}

Reply SetDefaultMessage(SignState& s, std::string_view data) {
  ByteReader r(data);
  TextState::Default m;
  m.num = r.Byte();
  m.msg = ClosedText(r);
  s.text.defaultMessage = std::move(m);
  return Reply::Ok();
}

// The eleven bytes of a scheduled message, then its text to the end of the data.
Reply SetScheduledMessage(SignState& s, std::string_view data) {
  ByteReader r(data);
  const int num = r.Byte();
  TextState::Scheduled m;
  for (int* field : {&m.prefix, &m.suffix, &m.startHour, &m.startMin, &m.stopHour, &m.stopMin,
                     &m.month, &m.mday, &m.year, &m.format}) {
    *field = r.Byte();
  }
  m.msg = r.Text(r.Remaining());
  s.text.scheduled[num] = std::move(m);
  return Reply::Ok();
}

// Format code, line count, the maxlen text, and a reserved last byte.
Reply SetScheduleFormat(SignState& s, std::string_view data) {
  ByteReader r(data);
  TextState::Format f;
  f.code = r.Byte();
  f.lines = r.Byte();
  Check(r.Remaining() >= 1);
  f.maxlen = r.Text(r.Remaining() - 1);
  f.reserved = r.Byte();
  s.text.scheduleFormat = std::move(f);
  return Reply::Ok();
}

Reply ClearScheduled(SignState& s, std::string_view data) {
  End(ByteReader(data));
  s.text.scheduled.clear();
  return Reply::Ok();
}

Reply ShowPage(SignState& s, std::string_view data) {
  ByteReader r(data);
  TextState::Page p;
  p.num = r.Byte();
  p.prefix = r.Byte();
  p.suffix = r.Byte();
  p.delay = r.SignedWord();
  End(r);
  s.text.pageShown = p;
  return Reply::Ok();
}

}  // namespace

void AddTextCommands(CommandTable& t) {
  using S = SignState&;
  using D = std::string_view;
  t.insert({
      {{0x01, 0x00}, SetTextMessage},
      {{0x01, 0x01}, SetScrollMessage},
      {{0x01, 0x04}, ClearSign},
      {{0x01, 0x05}, [](S s, D d) { return OneNumber(s.text.scrollSpeed, d); }},
      {{0x01, 0x06}, SetTabs},
      {{0x01, 0x07}, [](S s, D d) { return OneNumber(s.text.pauseRate, d); }},
      {{0x01, 0x0E}, [](S s, D d) { return OneNumber(s.text.blinkRate, d); }},
      {{0x03, 0x00}, ClearFonts},
      {{0x04, 0x00}, SetDefaultMessage},
      {{0x04, 0x01}, [](S s, D d) { return OneNumber(s.text.defaultHorzVert, d); }},
      {{0x05, 0x00}, SetScheduledMessage},
      {{0x05, 0x01}, [](S s, D d) { return Switch(s.text.scheduleAuto, true, d); }},
      {{0x05, 0x02}, [](S s, D d) { return Switch(s.text.scheduleAuto, false, d); }},
      {{0x05, 0x03}, [](S s, D d) { return OneNumber(s.text.schedulePrefix, d); }},
      {{0x05, 0x04}, [](S s, D d) { return OneNumber(s.text.scheduleSuffix, d); }},
      {{0x05, 0x05}, SetScheduleFormat},
      {{0x05, 0x06}, ClearScheduled},
      {{0x05, 0x07}, [](S s, D d) { return OneNumber(s.text.scheduleDelay, d); }},
      {{0x06, 0x01}, [](S s, D d) { return Switch(s.text.pagedRunning, true, d); }},
      {{0x06, 0x02}, [](S s, D d) { return Switch(s.text.pagedRunning, false, d); }},
      {{0x06, 0x03}, ShowPage},
  });
}

void TextJson(const SignState& s, nlohmann::json& out) {
  const TextState& t = s.text;
  out["text"] = nullptr;
  if (t.text) {
    out["text"] = {{"row", t.text->row},
                   {"col", t.text->col},
                   {"mode", t.text->mode},
                   {"msg", t.text->msg},
                   {"payload", HexBytes(t.text->payload)}};
  }
  out["scrollText"] = nullptr;
  if (t.scroll) {
    out["scrollText"] = {{"row", t.scroll->row},
                         {"col", t.scroll->col},
                         {"length", t.scroll->length},
                         {"mode", t.scroll->mode},
                         {"msg", t.scroll->msg}};
  }
  nlohmann::json tabs = nlohmann::json::object();
  for (const auto& [table, stops] : t.tabs)
    tabs[std::to_string(table)] = stops;
  out["textSettings"] = {{"scrollSpeed", t.scrollSpeed},
                         {"pauseRate", t.pauseRate},
                         {"blinkRate", t.blinkRate},
                         {"tabs", std::move(tabs)},
                         {"fontClears", t.fontClears}};
  out["defaultMessage"] = {{"num", nullptr}, {"msg", nullptr}, {"horzVert", t.defaultHorzVert}};
  if (t.defaultMessage) {
    out["defaultMessage"]["num"] = t.defaultMessage->num;
    out["defaultMessage"]["msg"] = t.defaultMessage->msg;
  }
  nlohmann::json messages = nlohmann::json::object();
  for (const auto& [num, m] : t.scheduled) {
    messages[std::to_string(num)] = {{"prefix", m.prefix},
                                     {"suffix", m.suffix},
                                     {"startHour", m.startHour},
                                     {"startMin", m.startMin},
                                     {"stopHour", m.stopHour},
                                     {"stopMin", m.stopMin},
                                     {"month", m.month},
                                     {"mday", m.mday},
                                     {"year", m.year},
                                     {"format", m.format},
                                     {"msg", m.msg}};
  }
  nlohmann::json format;
  if (t.scheduleFormat) {
    format = {{"code", t.scheduleFormat->code},
              {"lines", t.scheduleFormat->lines},
              {"maxlen", HexBytes(t.scheduleFormat->maxlen)},
              {"reserved", t.scheduleFormat->reserved}};
  }
  out["scheduled"] = {{"auto", t.scheduleAuto},      {"prefix", t.schedulePrefix},
                      {"suffix", t.scheduleSuffix},  {"delay", t.scheduleDelay},
                      {"format", std::move(format)}, {"messages", std::move(messages)}};
  nlohmann::json page;
  if (t.pageShown) {
    page = {{"num", t.pageShown->num},
            {"prefix", t.pageShown->prefix},
            {"suffix", t.pageShown->suffix},
            {"delay", t.pageShown->delay}};
  }
  out["paged"] = {{"running", t.pagedRunning}, {"shown", std::move(page)}};
}

}  // namespace signsim
