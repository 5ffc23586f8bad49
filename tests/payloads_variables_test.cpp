#include <gtest/gtest.h>

#include <qordtcon/payloads/variables.hpp>

#include <string>
#include <tuple>

#include "bytes.hpp"
#include "outcome.hpp"

using namespace qordtcon;

namespace {

std::string Fields(const classVARIABLE_READ_Res& r) {
  return Show(r.color, r.blink, r.inverse) + " " + Quoted(r.text_variable);
}
std::string Fields(const classCELL_READ_Res& r) {
  return Show(r.color, r.blink, r.inverse) + " " + Quoted(r.cell_variable);
}
std::string Fields(const classCOUNTER_READ_Res& r) {
  return Show(r.counter_num, r.operation, r.frequency, r.clear_mode, r.incdec_value, r.format_mode,
              r.autoreload, r.start_value, r.stop_value, r.current_value, r.Status, r.color,
              r.blink, r.inverse);
}
// Decodes into a copy of `result`; fields left from before show which ones a failure kept.
template <class Result>
std::string Decode(Result result, std::string_view hex) {
  const std::string returned = Returned([&] { return result.GetDataFromString(Bytes(hex)); });
  return returned + " | " + Fields(result);
}
const classVARIABLE_READ_Res kStaleVariable{9, 9, 9, "old"};
const classCELL_READ_Res kStaleCell{9, 9, 9, "old"};
const classCOUNTER_READ_Res kStaleCounter{9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};

classVARIABLE_MULTIWRITE MultiWrite(std::initializer_list<std::tuple<int, int, std::string>> rows,
                                    int num_vars = -1) {
  classVARIABLE_MULTIWRITE m;
  m.num_vars(static_cast<std::int16_t>(rows.size()));
  std::int16_t i = 1;
  for (const auto& [x, length, text] : rows) {
    m.X(i, static_cast<std::int16_t>(x));
    m.Length(i, static_cast<std::int16_t>(length));
    m.variable(i++, text);
  }
  if (num_vars >= 0) m.num_vars(static_cast<std::int16_t>(num_vars));
  return m;
}

// Entries 0..count with X, color, blink, inverse of 10*i + 1..4; a later re-dimension to
// `redim` when given.
classVARIABLE_ATTRIBUTES Attributes(std::int16_t count, std::int16_t redim = -1) {
  classVARIABLE_ATTRIBUTES a;
  a.num_vars(count);
  for (std::int16_t i = 0; i <= count; ++i) {
    a.X(i, static_cast<std::int16_t>(10 * i + 1));
    a.color(i, static_cast<std::int16_t>(10 * i + 2));
    a.blink(i, static_cast<std::int16_t>(10 * i + 3));
    a.inverse(i, static_cast<std::int16_t>(10 * i + 4));
  }
  if (redim >= 0) a.num_vars(redim);
  return a;
}

// Entry i resets at month i+1, day i+2, year i+3, hour i+4, minute i+5.
classCELL_LOCAL_WRITE Schedule() {
  classCELL_LOCAL_WRITE c;
  for (std::int16_t i = 0; i < 9; ++i) {
    c.cell_reset_month(i, static_cast<std::int16_t>(i + 1));
    c.cell_reset_day(i, static_cast<std::int16_t>(i + 2));
    c.cell_reset_year(i, static_cast<std::int16_t>(i + 3));
    c.cell_reset_hour(i, static_cast<std::int16_t>(i + 4));
    c.cell_reset_minute(i, static_cast<std::int16_t>(i + 5));
  }
  return c;
}

}  // namespace

TEST(VariableCellCounterPayloads, EncodeDecodeShortAnswersAndErrors) {
  classVARIABLE_MULTIWRITE refused = MultiWrite({{1, 1, "A"}});
  const std::string refusal = Outcome([&] { return refused.num_vars(-1), std::string(); });
  const classVARIABLE_MULTIWRITE list = MultiWrite({{7, 2, "HI"}, {8, 3, "YOU"}});
  classCELL_LOCAL_WRITE big_year;
  big_year.cell_reset_year(4, 2024);
  const std::string kCounter = "FF 02 03 04 FE FF 05 06 40 9C 00 00 FF FF FF FF 00 00 00 80";
  const std::string kCounter2 = "01 02 03 04 05 00 06 07 01 00 00 00 02 00 00 00 03 00 00 00";

  // clang-format off
  ExpectCases({
      // Requests and writes of one variable, cell or counter are pinned by the command
      // routines; here what they refuse.
      {"counter request below a byte", Encoded(classCOUNTER_READ_Req{-1}), "invalid_argument"},
      {"counter control, inverse too big", Encoded(classCOUNTER_CONTROL{1, 2, 3, 4, 256}), "invalid_argument"},

      // Several variables: Length goes out as given, low byte first; entries from 1.
      {"multiwrite, fresh", Encoded(classVARIABLE_MULTIWRITE{}), "00"},
      {"multiwrite, Length 300", Encoded(MultiWrite({{5, 300, "HELLO"}})), "01 05 2C 01 48 45 4C 4C 4F"},
      {"multiwrite, Length not the text's", Encoded(MultiWrite({{1, 1, "AB"}, {2, -1, ""}})), "02 01 01 00 41 42 02 FF FF"},
      {"multiwrite, X too big", Encoded(MultiWrite({{1, 1, "A"}, {256, 1, "B"}})), "invalid_argument"},
      {"multiwrite grown", Encoded(MultiWrite({{7, 2, "HI"}, {8, 3, "YOU"}}, 3)), "03 07 02 00 48 49 08 03 00 59 4F 55 00 00 00"},
      {"multiwrite reads back", Show(list.X(2), list.Length(2)) + " " + list.variable(2), "8 3 YOU"},
      {"multiwrite shrunk", Encoded(MultiWrite({{7, 2, "HI"}, {8, 3, "YOU"}}, 1)), "01 07 02 00 48 49"},
      {"multiwrite negative count", refusal + " | " + Encoded(refused), "out_of_range | 01 01 01 00 41"},
      {"multiwrite entry before num_vars", Outcome([] { return Show(classVARIABLE_MULTIWRITE{}.X(1)); }), "out_of_range"},
      {"multiwrite entry 0", Outcome([] { return Show(MultiWrite({{1, 1, ""}}).Length(0)); }), "out_of_range"},
      {"multiwrite entry past num_vars", Outcome([] { return MultiWrite({{1, 1, ""}}).variable(2); }), "out_of_range"},

      // Attributes: entries 0..num_vars, entry 0 never sent, re-dimensioning clears.
      {"attributes, num_vars 0", Encoded(Attributes(0)), "00"},
      {"attributes, two entries", Encoded(Attributes(2)), "02 0B 0C 0D 0E 15 16 17 18"},
      {"attributes re-dimensioned", Encoded(Attributes(1, 2)), "02 00 00 00 00 00 00 00 00"},
      {"attributes entry before num_vars", Outcome([] { return Show(classVARIABLE_ATTRIBUTES{}.color(0)); }), "out_of_range"},
      {"attributes entry past num_vars", Outcome([] { return Show(Attributes(1).blink(2)); }), "out_of_range"},
      {"attributes negative count", Outcome([] { return Show(Attributes(-1).num_vars()); }), "out_of_range"},

      // Cell reset schedule: nine fixed entries of month, day, year, hour, minute.
      {"local cell write", Encoded(Schedule()), "01 02 03 04 05 02 03 04 05 06 03 04 05 06 07 04 05 06 07 08 05 06 07 08 09 06 07 08 09 0A 07 08 09 0A 0B 08 09 0A 0B 0C 09 0A 0B 0C 0D"},
      {"local cell write, year too big", Encoded(big_year), "invalid_argument"},
      {"local cell write entry 9", Outcome([] { return Show(classCELL_LOCAL_WRITE{}.cell_reset_minute(9)); }), "out_of_range"},

      // Counter definition: words and longs low byte first; only -256..-1 survive the
      // high-byte rule, so a step of -300 goes out as 0xFFD4.
      {"counter define", Encoded(classCOUNTER_DEFINE{255, 2, 3, 4, -2, 5, 6, 40000, -1}), "FF 02 03 04 FE FF 05 06 40 9C 00 00 FF FF FF FF"},
      {"counter define, extremes", Encoded(classCOUNTER_DEFINE{1, 0, 0, 0, -300, 0, 0, INT32_MIN, 0x01020304}), "01 00 00 00 D4 FF 00 00 00 00 00 80 04 03 02 01"},
      {"counter define, autoreload too big", Encoded(classCOUNTER_DEFINE{1, 0, 0, 0, 0, 0, 256, 0, 0}), "invalid_argument"},

      // Read results: variables and cells share the layout; short answers keep what came.
      {"variable read", Decode(kStaleVariable, "01 00 00 41 42 43 00 58 59"), "true | 1 0 0 'ABC'"},
      {"variable read, 3 bytes", Decode(kStaleVariable, "FF 02 03"), "true | 255 2 3 ''"},
      {"variable read, no byte 0", Decode(kStaleVariable, "01 02 03 41 42"), "true | 1 2 3 'AB'"},
      {"variable read, 2 bytes", Decode(kStaleVariable, "01 02"), "invalid_argument | 1 2 9 'old'"},
      {"cell read", Decode(kStaleCell, "05 06 07 43 00 44"), "true | 5 6 7 'C'"},
      {"counter read", Decode(kStaleCounter, kCounter + " 07 08 09 0A"), "true | 255 2 3 4 -2 5 6 40000 -1 -2147483648 7 8 9 10"},
      {"counter read, 25 bytes", Decode(kStaleCounter, kCounter2 + " 08 09 0A 0B 0C"), "true | 1 2 3 4 5 6 7 1 2 3 8 9 10 11"},
      {"counter read, 23 bytes", Decode(kStaleCounter, kCounter2 + " 08 09 0A"), "invalid_argument | 1 2 3 4 5 6 7 1 2 3 8 9 10 9"},
      {"counter read, current value cut", Decode(kStaleCounter, kCounter2.substr(0, 53)), "invalid_argument | 1 2 3 4 5 6 7 1 2 9 9 9 9 9"},
      {"counter read, start value cut", Decode(kStaleCounter, kCounter2.substr(0, 32)), "invalid_argument | 1 2 3 4 5 6 7 9 9 9 9 9 9 9"},
  });
  // clang-format on
}
