#include <gtest/gtest.h>

#include <qordtcon/payloads/messages.hpp>

#include "bytes.hpp"
#include "payload_cases.hpp"

using namespace qordtcon;
using namespace std::string_literals;

namespace {

classPAGE_DSP Page(std::int16_t page_num, std::int16_t prefix, std::int16_t suffix,
                   std::int16_t delay) {
  classPAGE_DSP p;
  p.page_num = page_num;
  p.prefix_mode = prefix;
  p.suffix_mode = suffix;
  p.delay = delay;
  return p;
}

classPAGE_MSG PageMsg() {
  classPAGE_MSG p;
  p.page_num = 1;
  p.prefix_mode = 2;
  p.suffix_mode = 3;
  p.delay = 300;
  return p;
}

// A paged-text answer decoded over fields that held 99, shown with the error it raised.
std::string PageAnswer(const std::string& sData) {
  classPAGE_GET_Resp r;
  r.page_num = r.prefix_mode = r.suffix_mode = r.delay = 99;
  std::string returned = "?";
  const std::string error = Caught([&] { returned = r.GetDataFromString(sData); });
  return Show(r.page_num, r.prefix_mode, r.suffix_mode, r.delay,
              error.empty() ? "returns'" + returned + "'" : error);
}

}  // namespace

TEST(MessagePayloads, EncodeDecodeAndRefuseAsLaidOut) {
  RunCases({
      // Text commands.
      {"text, empty msg", Encode<classTEXT_MSG>([](auto& m) { m.row = 1, m.col = 2, m.mode = 3; }),
       Bytes("01 02 03 00")},
      {"text, msg bytes copied unchanged", Encode<classTEXT_MSG>([](auto& m) {
         m.row = 255, m.col = 0, m.mode = 7, m.msg = "A\x10\xFF\x80"s;
       }),
       Bytes("FF 00 07 41 10 FF 80 00")},
      {"scroll text, Length sent as given", Encode<classTEXT_SCRMSG>([](auto& m) {
         m.row = 1, m.col = 2, m.Length = 200, m.mode = 4, m.msg = "AB";
       }),
       Bytes("01 02 C8 04 41 42 00")},
      {"tabs", Encode<classTEXT_SETTABS>([](auto& t) { t.table_num = 3, t.tabs = "\x05\x0A"; }),
       Bytes("03 05 0A 00")},
      {"scroll speed", Encode<classTEXT_SCRSPEED>([](auto& o) { o.speed = 9; }), Bytes("09")},
      {"blink rate", Encode<classTEXT_BLINK_RATE>([](auto& o) { o.Value = 255; }), Bytes("FF")},
      // Default and scheduled messages.
      {"default message", Encode<classDEFMSG_MSG>([](auto& m) { m.msg_num = 9, m.msg = "X"; }),
       Bytes("09 58 00")},
      {"scheduled message: eleven bytes in order, text without 0",
       Encode<classSCHMSG_MSG>([](auto& m) {
         m.msg_num = 1, m.prefix_mode = 2, m.suffix_mode = 3, m.start_hr = 4, m.start_min = 5;
         m.stop_hr = 6, m.stop_min = 7, m.month = 8, m.mday = 9, m.year = 26, m.msg_format = 11;
         m.msg = "HI";
       }),
       Bytes("01 02 03 04 05 06 07 08 09 1A 0B 48 49")},
      {"scheduled message, empty text", [] { return classSCHMSG_MSG().GetStringFromData(); },
       std::string(11, '\0')},
      {"schedule format, maxlen between counts and reserved",
       Encode<classSCHMSG_FORMAT>([](auto& f) {
         f.format_code = 1, f.num_lines = 2, f.maxlen = "\x14\x28", f.reserved = 0xEE;
       }),
       Bytes("01 02 14 28 EE")},
      {"schedule format, empty maxlen", Encode<classSCHMSG_FORMAT>([](auto& f) {
         f.format_code = 5, f.num_lines = 2, f.reserved = 7;
       }),
       Bytes("05 02 07")},
      // Paged text.
      {"page show, delay low byte first", [] { return Page(1, 2, 3, 300).GetStringFromData(); },
       Bytes("01 02 03 2C 01")},
      {"page show, negative delay gets high byte FF",
       [] { return Page(1, 2, 3, -300).GetStringFromData(); }, Bytes("01 02 03 D4 FF")},
      {"page request", Encode<classPAGE_GET_Req>([](auto& o) { o.pagenum = 7; }), Bytes("07")},
      {"paged text never sized: header only", [] { return PageMsg().GetStringFromData(); },
       Bytes("01 02 03 2C 01")},
      {"paged text 2 by 4, empty texts",
       [] {
         classPAGE_MSG p = PageMsg();
         p.XsYs(2, 4);
         return Show(p.Xs(), p.Ys()) + "|" + p.GetStringFromData();
       },
       "2 4|" + Bytes("01 02 03 2C 01") + std::string(8, '\0')},
      {"paged text: x outer, y inner",
       [] {
         classPAGE_MSG p = PageMsg();
         p.XsYs(2, 2);
         p.text(1, 2, "B");
         p.text(2, 1, "C");
         return p.GetStringFromData();
       },
       Bytes("01 02 03 2C 01 00 42 00 43 00 00")},
      {"paged text: new Ys keeps texts, shrinking drops them",
       [] {
         classPAGE_MSG p = PageMsg();
         p.XsYs(1, 2);
         p.text(1, 1, "A");
         p.text(1, 2, "B");
         p.XsYs(1, 1);
         p.XsYs(1, 3);
         return p.GetStringFromData();
       },
       Bytes("01 02 03 2C 01 41 00 00 00")},
      {"paged text: new Xs refused after the bounds changed",
       [] {
         classPAGE_MSG p = PageMsg();
         p.XsYs(2, 1);
         p.text(2, 1, "Z");
         const std::string refused = Caught([&] { p.XsYs(3, 1); });
         const std::string bounds = Show(p.Xs(), p.Ys());
         return refused + " " + bounds + " " + Caught([&] { p.GetStringFromData(); }) + " " +
                p.text(2, 1);
       },
       "out_of_range 3 1 out_of_range Z"},
      {"paged text: a refused smaller Xs sends fewer rows",
       [] {
         classPAGE_MSG p = PageMsg();
         p.XsYs(2, 1);
         p.text(1, 1, "A");
         Caught([&] { p.XsYs(1, 1); });
         return p.GetStringFromData();
       },
       Bytes("01 02 03 2C 01 41 00")},
      {"paged text: a bound below 1",
       [] {
         PageMsg().XsYs(0, 1);
         return ""s;
       },
       "out_of_range"},
      {"paged text: text before sizing", [] { return PageMsg().text(1, 1); }, "out_of_range"},
      {"paged text: text beyond the table",
       [] {
         classPAGE_MSG p = PageMsg();
         p.XsYs(2, 2);
         return Caught([&] { p.text(2, 3, "X"); }) + Caught([&] { p.text(0, 1); });
       },
       "out_of_range"
       "out_of_range"},
      // Byte fields outside 0..255.
      {"row 256", Encode<classTEXT_MSG>([](auto& m) { m.row = 256; }), "invalid_argument"},
      {"row -1", Encode<classTEXT_MSG>([](auto& m) { m.row = -1; }), "invalid_argument"},
      {"four-digit year", Encode<classSCHMSG_MSG>([](auto& m) { m.year = 2026; }),
       "invalid_argument"},
      {"paged text header",
       [] {
         classPAGE_MSG p = PageMsg();
         p.XsYs(1, 1);
         p.suffix_mode = 300;
         return p.GetStringFromData();
       },
       "invalid_argument"},
      // The paged-text answer.
      {"page answer", [] { return PageAnswer(Bytes("01 02 03 2C 01")); }, "1 2 3 300 returns''"},
      {"page answer, delay signed, bytes not", [] { return PageAnswer(Bytes("81 82 FF 00 80")); },
       "129 130 255 -32768 returns''"},
      {"page answer, extra bytes ignored", [] { return PageAnswer(Bytes("01 02 03 FE FF 09")); },
       "1 2 3 -2 returns''"},
      {"page answer of 4 bytes: delay stays", [] { return PageAnswer(Bytes("01 02 03 2C")); },
       "1 2 3 99 invalid_argument"},
      {"empty page answer", [] { return PageAnswer(""); }, "99 99 99 99 invalid_argument"},
  });
}
