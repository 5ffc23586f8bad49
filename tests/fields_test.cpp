#include <gtest/gtest.h>

#include <qordtcon/payloads/fields.hpp>

#include <stdexcept>

using namespace qordtcon;
using namespace std::string_literals;

// The sign and range rules at their edges: each row a helper's result and what it must be.
TEST(NumberHelpers, CombineAndSplitWithTheSignAndRangeRules) {
  // clang-format off
  const std::pair<std::int64_t, std::int64_t> cases[] = {
      {MakeSignedWord(0xFF, 0xFE), -2}, {MakeSignedWord(0x80, 0x00), -32768},
      {MakeUnsignedWord(0xFF, 0xFE), 65534},
      {MakeLongFromBytes(0x80, 0, 0, 0), INT32_MIN}, {MakeLongFromBytes(0xFF, 0xFF, 0xFF, 0xFE), -2},
      {MakeLongFromWords(1, 2), 2 * 65536 + 1}, {MakeLongFromWords(0xFFFF, 0xFFFF), -1},
      {MakeLongFromWords(65536, 1), 0}, {MakeLongFromWords(1, 65536), 0},
      {LoByte(-5), 251}, {HiByte(-5), 255}, {HiByte(-256), 255}, {LoByte(300), 44}, {HiByte(300), 1},
      {HiByte(65535), 255}, {LoByte(70000), 112}, {HiByte(70000), 17},
      {LoWord(0x12345678), 0x5678}, {HiWord(0x12345678), 0x1234}, {HiWord(-1), 0xFFFF}, {LoWord(-1), 0xFFFF},
  };
  // clang-format on
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(cases[i].first, cases[i].second) << "row " << i;

  std::uint8_t high = 0, low = 0;
  SplitWord(65535, high, low);
  EXPECT_EQ(high * 1000 + low, 255255);
  EXPECT_THROW(SplitWord(65536, high, low), std::overflow_error);
  EXPECT_THROW(SplitWord(-1, high, low), std::overflow_error);
}

TEST(TextHelpers, TrimPadAndHex) {
  EXPECT_EQ(TrimAtNul("AB\0C"s), "AB");
  EXPECT_EQ(TrimAtNul("ABC"), "ABC");
  EXPECT_EQ(PadWithNul("ABC", 5), "ABC\0\0"s);
  EXPECT_EQ(PadWithNul("ABCDEF", 5), "ABCDEF");
  EXPECT_EQ(HexText(0) + " " + HexText(0xF0) + " " + HexText(0x1A) + " " + HexText(3), "0 F0 1A 3");
}

TEST(ByteWriter, WritesEveryFieldLittleEndianAndRefusesWhatDoesNotFit) {
  ByteWriter w;
  w.Byte(0x41).Word(-2).SplitWord(0x1234).Long(-2).Long(0x01020304).Text("AB").ZText("C");
  w.Padded("D", 3);
  EXPECT_EQ(w.str(),
            "\x41\xFE\xFF\x34\x12\xFE\xFF\xFF\xFF\x04\x03\x02\x01"
            "ABC\0D\0\0"s);
  try {
    w.Byte(256, "row");
    FAIL() << "a byte of 256 was accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "Invalid argument: row = 256 does not fit a byte field (0..255)");
  }
  EXPECT_THROW(w.Byte(-1), std::invalid_argument);
  EXPECT_THROW(w.SplitWord(65536), std::overflow_error);
  EXPECT_THROW(w.SplitWord(-1), std::overflow_error);
  EXPECT_EQ(w.str().size(), 20u) << "a refused field must add nothing";
}

TEST(ByteReader, ReadsWhatTheWriterWroteAndStopsAtTheEnd) {
  const std::string payload =
      ByteWriter().Byte(7).Word(-200).Word(-300).Word(65000).Long(-123456789).ZText("NAME").str() +
      "XY";
  ByteReader r(payload);
  EXPECT_EQ(r.Byte(), 7);
  EXPECT_EQ(r.SignedWord(), -200);
  EXPECT_EQ(r.SignedWord(), -44) << "below -256 the high byte is still 0xFF";
  EXPECT_EQ(r.UnsignedWord(), 65000);
  EXPECT_EQ(r.Long(), -123456789);
  EXPECT_EQ(r.ZText(), "NAME");
  EXPECT_TRUE(r.Has(2));
  EXPECT_FALSE(r.Has(3));
  EXPECT_THROW(r.Text(3), std::out_of_range);
  EXPECT_EQ(r.Position(), payload.size() - 2) << "a failed read must not move the reader";
  EXPECT_EQ(r.Text(2), "XY");
  EXPECT_THROW(r.Byte(), std::out_of_range);
  EXPECT_EQ(ByteReader("AB").ZText(), "AB") << "an unterminated text ends at the end";
}
