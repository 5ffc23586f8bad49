#include <gtest/gtest.h>

#include <qordtcon/payloads/messages.hpp>

#include "bytes.hpp"
#include "outcome.hpp"

using namespace qordtcon;
using namespace std::string_literals;

namespace {

// A paged text with header 1, 2, 3, delay 300, sized xs by ys when both are given.
classPAGE_MSG Paged(std::int16_t xs = 0, std::int16_t ys = 0) {
  classPAGE_MSG p;
  p.page_num = 1, p.prefix_mode = 2, p.suffix_mode = 3, p.delay = 300;
  if (xs != 0) p.XsYs(xs, ys);
  return p;
}

// A paged-text answer decoded over fields that held 99, and what the call gave.
std::string PageAnswer(std::string_view hex) {
  classPAGE_GET_Resp r{99, 99, 99, 99};
  const std::string returned =
      Outcome([&] { return "returns'" + r.GetDataFromString(Bytes(hex)) + "'"; });
  return Show(r.page_num, r.prefix_mode, r.suffix_mode, r.delay, returned);
}

}  // namespace

// Texts, default and page commands that the command routines do not pin already.
TEST(MessagePayloads, EncodeDecodeAndRefuseAsLaidOut) {
  const std::string header = "01 02 03 2C 01";
  // clang-format off
  ExpectCases({
      {"text, msg bytes copied unchanged", Encoded(classTEXT_MSG{255, 0, 7, "A\x10\xFF\x80"s}), "FF 00 07 41 10 FF 80 00"},
      {"scheduled message: eleven bytes in order, text without 0", Encoded(classSCHMSG_MSG{1, 2, 3, 4, 5, 6, 7, 8, 9, 26, 11, "HI"}),
       "01 02 03 04 05 06 07 08 09 1A 0B 48 49"},
      {"page show, negative delay gets high byte FF", Encoded(classPAGE_DSP{1, 2, 3, -300}), "01 02 03 D4 FF"},
      {"page request", Encoded(classPAGE_GET_Req{7}), "07"},
      {"row 256", Encoded(classTEXT_MSG{256, 0, 0, ""}), "invalid_argument"},
      {"four-digit year", Encoded(classSCHMSG_MSG{.year = 2026, .msg = ""}), "invalid_argument"},
      // Paged text: a table of Xs by Ys texts, x outer, y inner.
      {"paged text never sized: header only", Encoded(Paged()), header},
      {"paged text 2 by 4, empty texts", Show(Paged(2, 4).Xs(), Paged(2, 4).Ys()) + " | " + Encoded(Paged(2, 4)),
       "2 4 | " + header + " 00 00 00 00 00 00 00 00"},
      {"paged text: x outer, y inner", Outcome([] { auto p = Paged(2, 2); p.text(1, 2, "B"); p.text(2, 1, "C"); return Encoded(p); }),
       header + " 00 42 00 43 00 00"},
      {"paged text: new Ys keeps texts, shrinking drops them", Outcome([] {
         auto p = Paged(1, 2); p.text(1, 1, "A"); p.text(1, 2, "B"); p.XsYs(1, 1); p.XsYs(1, 3); return Encoded(p); }),
       header + " 41 00 00 00"},
      {"paged text: new Xs refused after the bounds changed", Outcome([] {
         auto p = Paged(2, 1); p.text(2, 1, "Z");
         const std::string refused = Outcome([&] { p.XsYs(3, 1); });
         return Show(refused, p.Xs(), p.Ys(), Encoded(p), p.text(2, 1)); }),
       "out_of_range 3 1 out_of_range Z"},
      {"paged text: a refused smaller Xs sends fewer rows", Outcome([] {
         auto p = Paged(2, 1); p.text(1, 1, "A"); Outcome([&] { p.XsYs(1, 1); }); return Encoded(p); }),
       header + " 41 00"},
      {"paged text: a bound below 1", Outcome([] { Paged().XsYs(0, 1); }), "out_of_range"},
      {"paged text: text before sizing", Outcome([] { return Paged().text(1, 1); }), "out_of_range"},
      {"paged text: text beyond the table", Outcome([] { Paged(2, 2).text(2, 3, "X"); }) + Outcome([] { Paged(2, 2).text(0, 1); }),
       "out_of_rangeout_of_range"},
      {"paged text header", Outcome([] { auto p = Paged(1, 1); p.suffix_mode = 300; return Encoded(p); }), "invalid_argument"},
      // The paged-text answer: bytes unsigned, delay signed; a short one fails where it ends.
      {"page answer", PageAnswer("01 02 03 2C 01"), "1 2 3 300 returns''"},
      {"page answer, delay signed, bytes not", PageAnswer("81 82 FF 00 80"), "129 130 255 -32768 returns''"},
      {"page answer, extra bytes ignored", PageAnswer("01 02 03 FE FF 09"), "1 2 3 -2 returns''"},
      {"page answer of 4 bytes: delay stays", PageAnswer("01 02 03 2C"), "1 2 3 99 invalid_argument"},
      {"empty page answer", PageAnswer(""), "99 99 99 99 invalid_argument"},
  });
  // clang-format on
}
