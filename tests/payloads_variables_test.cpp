#include <gtest/gtest.h>

#include <qordtcon/payloads/variables.hpp>

#include <functional>
#include <string>

#include "bytes.hpp"
#include "outcome.hpp"

using namespace qordtcon;

namespace {

std::string Fields(const classVARIABLE_READ_Res& r) {
  return Numbers(r.color, r.blink, r.inverse) + " " + Quoted(r.text_variable);
}
std::string Fields(const classCELL_READ_Res& r) {
  return Numbers(r.color, r.blink, r.inverse) + " " + Quoted(r.cell_variable);
}
std::string Fields(const classCOUNTER_READ_Res& r) {
  return Numbers(r.counter_num, r.operation, r.frequency, r.clear_mode, r.incdec_value,
                 r.format_mode, r.autoreload, r.start_value, r.stop_value, r.current_value,
                 r.Status, r.color, r.blink, r.inverse);
}
std::string Fields(const classVARIABLE_MULTIWRITE& m) {
  std::string out = Numbers(m.num_vars()) + ":";
  for (std::int16_t i = 1; i <= m.num_vars(); ++i)
    out += " " + Numbers(m.X(i), m.Length(i)) + " " + Quoted(m.variable(i));
  return out;
}

// Decodes `hex` into `result` (fields left from earlier use show which ones a failure kept).
template <class Result>
std::string Decode(Result result, std::string_view hex) {
  const std::string returned = Returned([&] { return result.GetDataFromString(Bytes(hex)); });
  return returned + " | " + Fields(result);
}

template <class Result>
Result Stale() {
  return Result{9, 9, 9, "old"};
}
const classCOUNTER_READ_Res kStaleCounter{9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};

std::string Zeros(int count) {
  return Hex(std::string(static_cast<std::size_t>(count), '\0'));
}

classVARIABLE_MULTIWRITE MultiWrite(std::initializer_list<std::tuple<int, int, std::string>> rows) {
  classVARIABLE_MULTIWRITE m;
  m.num_vars(static_cast<std::int16_t>(rows.size()));
  std::int16_t i = 1;
  for (const auto& [x, length, text] : rows) {
    m.X(i, static_cast<std::int16_t>(x));
    m.Length(i, static_cast<std::int16_t>(length));
    m.variable(i++, text);
  }
  return m;
}

classVARIABLE_ATTRIBUTES Attributes(std::int16_t count) {
  classVARIABLE_ATTRIBUTES a;
  a.num_vars(count);
  for (std::int16_t i = 0; i <= count; ++i) {
    a.X(i, static_cast<std::int16_t>(10 * i + 1));
    a.color(i, static_cast<std::int16_t>(10 * i + 2));
    a.blink(i, static_cast<std::int16_t>(10 * i + 3));
    a.inverse(i, static_cast<std::int16_t>(10 * i + 4));
  }
  return a;
}

struct Case {
  const char* name;
  std::function<std::string()> run;
  std::string want;
};

}  // namespace

TEST(VariableCellCounterPayloads, EncodeDecodeShortAnswersAndErrors) {
  const Case cases[] = {
      // One variable, cell or counter.
      {"variable read request", [] { return Encoded(classVARIABLE_READ_Req{7}); }, "07"},
      {"cell read request", [] { return Encoded(classCELL_READ_Req{255}); }, "FF"},
      {"counter read request", [] { return Encoded(classCOUNTER_READ_Req{0}); }, "00"},
      {"request number below a byte", [] { return Encoded(classVARIABLE_READ_Req{-1}); },
       "invalid_argument"},
      {"variable write: number, text, byte 0",
       [] {
         return Encoded(classVARIABLE_WRITE{3, "12:00"});
       },
       "03 31 32 3A 30 30 00"},
      {"cell write with empty text",
       [] {
         return Encoded(classCELL_WRITE{1, ""});
       },
       "01 00"},
      {"write number above a byte",
       [] {
         return Encoded(classCELL_WRITE{256, "A"});
       },
       "invalid_argument"},
      {"counter control in field order",
       [] {
         return Encoded(classCOUNTER_CONTROL{1, 2, 3, 4, 5});
       },
       "01 02 03 04 05"},
      {"counter control, last field too big",
       [] {
         return Encoded(classCOUNTER_CONTROL{1, 2, 3, 4, 256});
       },
       "invalid_argument"},

      // Several variables: Length goes out as given, low byte first.
      {"multiwrite, fresh", [] { return Encoded(classVARIABLE_MULTIWRITE{}); }, "00"},
      {"multiwrite, Length 300",
       [] {
         return Encoded(MultiWrite({{5, 300, "HELLO"}}));
       },
       "01 05 2C 01 48 45 4C 4C 4F"},
      {"multiwrite, Length not the text's",
       [] {
         return Encoded(MultiWrite({{1, 1, "AB"}, {2, -1, ""}}));
       },
       "02 01 01 00 41 42 02 FF FF"},
      {"multiwrite, X of the second entry too big",
       [] {
         return Encoded(MultiWrite({{1, 1, "A"}, {256, 1, "B"}}));
       },
       "invalid_argument"},
      {"multiwrite, more entries than a byte counts",
       [] {
         classVARIABLE_MULTIWRITE m;
         m.num_vars(256);
         return Encoded(m);
       },
       "invalid_argument"},
      {"multiwrite keeps entries when grown and shrunk",
       [] {
         classVARIABLE_MULTIWRITE m = MultiWrite({{7, 2, "HI"}, {8, 3, "YOU"}});
         m.num_vars(3);
         std::string grown = Fields(m);
         m.num_vars(1);
         return grown + " / " + Fields(m) + " / " + Encoded(m);
       },
       "3: 7 2 'HI' 8 3 'YOU' 0 0 '' / 1: 7 2 'HI' / 01 07 02 00 48 49"},
      {"multiwrite entry before num_vars",
       [] { return Outcome([] { return Numbers(classVARIABLE_MULTIWRITE{}.X(1)); }); },
       "out_of_range"},
      {"multiwrite entry 0 (entries start at 1)",
       [] { return Outcome([] {
              return Numbers(MultiWrite({{1, 1, ""}}).Length(0));
            }); },
       "out_of_range"},
      {"multiwrite entry beyond num_vars",
       [] { return Outcome([] {
              return MultiWrite({{1, 1, ""}}).variable(2);
            }); }, "out_of_range"},
      {"multiwrite negative num_vars changes nothing",
       [] {
         classVARIABLE_MULTIWRITE m = MultiWrite({{1, 1, "A"}});
         const std::string set = Outcome([&] {
           m.num_vars(-1);
           return std::string("set");
         });
         return set + " | " + Fields(m);
       },
       "out_of_range | 1: 1 1 'A'"},

      // Attributes: entries 0..num_vars, entry 0 never sent.
      {"attributes, num_vars 0", [] { return Encoded(Attributes(0)); }, "00"},
      {"attributes, two entries", [] { return Encoded(Attributes(2)); },
       "02 0B 0C 0D 0E 15 16 17 18"},
      {"attributes, fresh", [] { return Encoded(classVARIABLE_ATTRIBUTES{}); }, "00"},
      {"attributes re-dimensioned start from zero",
       [] {
         classVARIABLE_ATTRIBUTES a = Attributes(1);
         a.num_vars(2);
         return Encoded(a);
       },
       "02 00 00 00 00 00 00 00 00"},
      {"attributes, inverse below a byte",
       [] {
         classVARIABLE_ATTRIBUTES a = Attributes(1);
         a.inverse(1, -1);
         return Encoded(a);
       },
       "invalid_argument"},
      {"attributes entry before num_vars",
       [] { return Outcome([] { return Numbers(classVARIABLE_ATTRIBUTES{}.color(0)); }); },
       "out_of_range"},
      {"attributes entry beyond num_vars",
       [] { return Outcome([] { return Numbers(Attributes(1).blink(2)); }); }, "out_of_range"},

      // Cell reset schedule: nine fixed entries of month, day, year, hour, minute.
      {"local cell write, fresh", [] { return Encoded(classCELL_LOCAL_WRITE{}); }, Zeros(45)},
      {"local cell write, first and last entries",
       [] {
         classCELL_LOCAL_WRITE c;
         c.cell_reset_month(0, 12);
         c.cell_reset_day(0, 31);
         c.cell_reset_year(0, 24);
         c.cell_reset_hour(0, 23);
         c.cell_reset_minute(0, 59);
         c.cell_reset_month(8, 1);
         c.cell_reset_day(8, 2);
         c.cell_reset_year(8, 3);
         c.cell_reset_hour(8, 4);
         c.cell_reset_minute(8, 5);
         return Numbers(c.cell_reset_day(0), c.cell_reset_hour(8)) + " | " + Encoded(c);
       },
       "31 4 | 0C 1F 18 17 3B " + Zeros(35) + " 01 02 03 04 05"},
      {"local cell write, year too big",
       [] {
         classCELL_LOCAL_WRITE c;
         c.cell_reset_year(4, 2024);
         return Encoded(c);
       },
       "invalid_argument"},
      {"local cell write entry 9",
       [] { return Outcome([] { return Numbers(classCELL_LOCAL_WRITE{}.cell_reset_minute(9)); }); },
       "out_of_range"},
      {"local cell write entry -1",
       [] {
         return Outcome([] {
           classCELL_LOCAL_WRITE{}.cell_reset_month(-1, 1);
           return std::string("set");
         });
       },
       "out_of_range"},

      // Counter definition: words and longs low byte first.
      {"counter define",
       [] {
         return Encoded(classCOUNTER_DEFINE{255, 2, 3, 4, -2, 5, 6, 40000, -1});
       },
       "FF 02 03 04 FE FF 05 06 40 9C 00 00 FF FF FF FF"},
      {"counter define, extreme longs",
       [] {
         return Encoded(classCOUNTER_DEFINE{1, 0, 0, 0, 300, 0, 0, INT32_MIN, 0x01020304});
       },
       "01 00 00 00 2C 01 00 00 00 00 00 80 04 03 02 01"},
      // Only -256..-1 survive the high byte rule; -300 goes out as 0xFFD4.
      {"counter define, step below -256",
       [] {
         return Encoded(classCOUNTER_DEFINE{1, 0, 0, 0, -300, 0, 0, 0, 0});
       },
       "01 00 00 00 D4 FF 00 00 00 00 00 00 00 00 00 00"},
      {"counter define, autoreload too big",
       [] {
         return Encoded(classCOUNTER_DEFINE{1, 0, 0, 0, 0, 0, 256, 0, 0});
       },
       "invalid_argument"},

      // Read results: variables and cells share the layout.
      {"variable read, text ends at byte 0",
       [] { return Decode(classVARIABLE_READ_Res{}, "01 00 00 41 42 43 00 58 59"); },
       "true | 1 0 0 'ABC'"},
      {"variable read, exactly 3 bytes",
       [] { return Decode(Stale<classVARIABLE_READ_Res>(), "FF 02 03"); }, "true | 255 2 3 ''"},
      {"variable read, text without byte 0",
       [] { return Decode(classVARIABLE_READ_Res{}, "01 02 03 41 42"); }, "true | 1 2 3 'AB'"},
      {"variable read, 2 bytes keeps what came",
       [] { return Decode(Stale<classVARIABLE_READ_Res>(), "01 02"); },
       "invalid_argument | 1 2 9 'old'"},
      {"variable read, empty answer", [] { return Decode(Stale<classVARIABLE_READ_Res>(), ""); },
       "invalid_argument | 9 9 9 'old'"},
      {"cell read", [] { return Decode(Stale<classCELL_READ_Res>(), "05 06 07 43 00 44"); },
       "true | 5 6 7 'C'"},
      {"cell read, 1 byte", [] { return Decode(Stale<classCELL_READ_Res>(), "05"); },
       "invalid_argument | 5 9 9 'old'"},

      // Counter read: 24 bytes, numbers signed little-endian.
      {"counter read",
       [] {
         return Decode(kStaleCounter,
                       "FF 02 03 04 FE FF 05 06 40 9C 00 00 FF FF FF FF 00 00 00 80 07 08 09 0A");
       },
       "true | 255 2 3 4 -2 5 6 40000 -1 -2147483648 7 8 9 10"},
      {"counter read, longer answer",
       [] {
         return Decode(
             kStaleCounter,
             "01 02 03 04 05 00 06 07 01 00 00 00 02 00 00 00 03 00 00 00 08 09 0A 0B 0C");
       },
       "true | 1 2 3 4 5 6 7 1 2 3 8 9 10 11"},
      {"counter read, 23 bytes",
       [] {
         return Decode(kStaleCounter,
                       "01 02 03 04 05 00 06 07 01 00 00 00 02 00 00 00 03 00 00 00 08 09 0A");
       },
       "invalid_argument | 1 2 3 4 5 6 7 1 2 3 8 9 10 9"},
      {"counter read, start value cut",
       [] { return Decode(kStaleCounter, "01 02 03 04 05 00 06 07 01 00 00"); },
       "invalid_argument | 1 2 3 4 5 6 7 9 9 9 9 9 9 9"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.run(), c.want) << c.name;
}
