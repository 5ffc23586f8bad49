#include <gtest/gtest.h>

#include <qordtcon/payloads/fields.hpp>

#include <stdexcept>

using namespace qordtcon;
using namespace std::string_literals;

TEST(NumberHelpers, CombineAndSplitWithTheSignAndRangeRules) {
  EXPECT_EQ(MakeSignedWord(0xFF, 0xFE), -2);
  EXPECT_EQ(MakeSignedWord(0x80, 0x00), -32768);
  EXPECT_EQ(MakeSignedWord(0x7F, 0xFF), 32767);
  EXPECT_EQ(MakeUnsignedWord(0xFF, 0xFE), 65534);
  EXPECT_EQ(MakeUnsignedWord(0x01, 0x0A), 266);
  EXPECT_EQ(MakeLongFromBytes(0x80, 0, 0, 0), INT32_MIN);
  EXPECT_EQ(MakeLongFromBytes(0, 0, 1, 0), 256);
  EXPECT_EQ(MakeLongFromBytes(0x7F, 0xFF, 0xFF, 0xFF), INT32_MAX);
  EXPECT_EQ(MakeLongFromBytes(0xFF, 0xFF, 0xFF, 0xFE), -2);
  EXPECT_EQ(MakeLongFromWords(1, 2), 2 * 65536 + 1);
  EXPECT_EQ(MakeLongFromWords(0xFFFF, 0xFFFF), -1);
  EXPECT_EQ(MakeLongFromWords(65536, 1), 0);
  EXPECT_EQ(MakeLongFromWords(1, 65536), 0);

  struct Bytes {
    std::int32_t value;
    int lo, hi;
  };
  for (const Bytes& b : {Bytes{-5, 251, 255}, Bytes{300, 44, 1}, Bytes{0, 0, 0},
                         Bytes{-256, 0, 255}, Bytes{65535, 255, 255}, Bytes{70000, 112, 17}}) {
    EXPECT_EQ(LoByte(b.value), b.lo) << b.value;
    EXPECT_EQ(HiByte(b.value), b.hi) << b.value;
  }
  EXPECT_EQ(LoWord(0x12345678), 0x5678);
  EXPECT_EQ(HiWord(0x12345678), 0x1234);
  EXPECT_EQ(HiWord(0), 0);
  EXPECT_EQ(HiWord(-1), 0xFFFF);
  EXPECT_EQ(LoWord(-1), 0xFFFF);

  std::uint8_t high = 0, low = 0;
  SplitWord(65535, high, low);
  EXPECT_EQ(high, 255);
  EXPECT_EQ(low, 255);
  SplitWord(266, high, low);
  EXPECT_EQ(high, 1);
  EXPECT_EQ(low, 10);
  EXPECT_THROW(SplitWord(65536, high, low), std::overflow_error);
  EXPECT_THROW(SplitWord(-1, high, low), std::overflow_error);
}

TEST(TextHelpers, TrimPadAndHex) {
  EXPECT_EQ(TrimAtNul("AB\0C"s), "AB");
  EXPECT_EQ(TrimAtNul("ABC"), "ABC");
  EXPECT_EQ(TrimAtNul("\0"s), "");
  EXPECT_EQ(PadWithNul("ABC", 5), "ABC\0\0"s);
  EXPECT_EQ(PadWithNul("ABCDEF", 5), "ABCDEF");
  EXPECT_EQ(HexText(0), "0");
  EXPECT_EQ(HexText(0xF0), "F0");
  EXPECT_EQ(HexText(0x1A), "1A");
  EXPECT_EQ(HexText(3), "3");
}

TEST(ByteWriter, WritesEveryFieldEncodingLittleEndian) {
  ByteWriter w;
  w.Byte(0x41)
      .Word(-2)
      .SplitWord(0x1234)
      .Long(-2)
      .Long(0x01020304)
      .Text("AB")
      .ZText("C")
      .Padded("D", 3);
  EXPECT_EQ(w.str(),
            "\x41"
            "\xFE\xFF"
            "\x34\x12"
            "\xFE\xFF\xFF\xFF"
            "\x04\x03\x02\x01"
            "AB"
            "C\0"
            "D\0\0"s);
}

TEST(ByteWriter, RefusesValuesOutsideTheirField) {
  ByteWriter w;
  w.Byte(255).Byte(0);
  try {
    w.Byte(256, "row");
    FAIL() << "a byte of 256 was accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "Invalid argument: row = 256 does not fit a byte field (0..255)");
  }
  EXPECT_THROW(w.Byte(-1), std::invalid_argument);
  EXPECT_THROW(w.SplitWord(65536), std::overflow_error);
  EXPECT_THROW(w.SplitWord(-1), std::overflow_error);
  EXPECT_EQ(w.str(), "\xFF\0"s) << "a refused field must add nothing";
}

TEST(ByteReader, ReadsWhatTheWriterWroteAndStopsAtTheEnd) {
  const std::string payload = ByteWriter()
                                  .Byte(7)
                                  .Word(-200)
                                  .Word(-300)
                                  .Word(65000)
                                  .Long(-123456789)
                                  .ZText("NAME")
                                  .Text("XY")
                                  .str();
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
