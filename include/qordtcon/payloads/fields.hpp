// Field encodings shared by every payload: the byte/word/long conversions that the
// payload classes and the frame layer use, and a small writer/reader that carries the
// shape all payloads have in common (bytes, little-endian numbers, texts).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qordtcon {

// --- Number helpers. Arguments come most significant byte first, so callers hand
// the wire bytes over in reverse order.

// Two's-complement reading of high:low (0xFF,0xFE gives -2).
std::int16_t MakeSignedWord(std::uint8_t high, std::uint8_t low);
// high*256 + low, 0..65535.
std::int32_t MakeUnsignedWord(std::uint8_t high, std::uint8_t low);
// b0 is the most significant byte; b0 >= 0x80 gives a negative value.
std::int32_t MakeLongFromBytes(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
// high = value / 256, low = value % 256. Throws std::overflow_error outside 0..65535.
void SplitWord(std::int32_t value, std::uint8_t& high, std::uint8_t& low);
// value & 0xFF; never fails.
std::uint8_t LoByte(std::int32_t value);
// 0 for 0, 255 for any negative value, else (value / 256) & 0xFF.
std::uint8_t HiByte(std::int32_t value);
// value & 0xFFFF.
std::int32_t LoWord(std::int32_t value);
// The upper 16 bits; 0xFFFF for -1 (negative values give their two's-complement high word).
std::int32_t HiWord(std::int32_t value);
// high*65536 + low as a two's-complement Long; 0 when either word lies outside 0..65535.
std::int32_t MakeLongFromWords(std::int32_t low, std::int32_t high);

// --- Text helpers.

// Upper-case hexadecimal without leading zeros, as codes appear in messages ("F0", "3").
std::string HexText(std::uint32_t value);
// A number as messages show it: no trailing zeros, no exponent for ordinary values ("5", "2.5").
std::string DecimalText(double value);

// The characters before the first byte 0 (the whole text when there is none).
std::string TrimAtNul(std::string_view text);
// The text with bytes 0 appended up to `length`; a longer text comes back unchanged.
std::string PadWithNul(std::string_view text, std::size_t length);

// Builds a payload string field by field. A field that does not fit throws before
// anything is returned, so a failing encoder never yields a partial payload.
class ByteWriter {
 public:
  // One byte; std::invalid_argument outside 0..255 (names the field when given).
  ByteWriter& Byte(std::int32_t value, std::string_view field = {});
  // 16-bit little-endian through LoByte/HiByte (never fails; negatives get high byte 0xFF).
  ByteWriter& Word(std::int32_t value);
  // 16-bit little-endian through SplitWord: std::overflow_error outside 0..65535.
  ByteWriter& SplitWord(std::int32_t value);
  // 32-bit little-endian: LoWord then HiWord, each as a little-endian word.
  ByteWriter& Long(std::int32_t value);
  // The characters unchanged, no terminator, no padding.
  ByteWriter& Text(std::string_view text);
  // The characters and one byte 0.
  ByteWriter& ZText(std::string_view text);
  // The text followed by bytes 0 up to `length` (never cut).
  ByteWriter& Padded(std::string_view text, std::size_t length);

  const std::string& str() const& { return out_; }
  std::string str() && { return std::move(out_); }

 private:
  std::string out_;
};

// Reads a reply payload field by field. Reading past the end throws std::out_of_range;
// decoders with a gentler rule for short answers test Has() first.
class ByteReader {
 public:
  explicit ByteReader(std::string_view data) : data_(data) {}

  bool Has(std::size_t count) const { return data_.size() - pos_ >= count; }
  std::size_t Remaining() const { return data_.size() - pos_; }
  std::size_t Position() const { return pos_; }
  void Skip(std::size_t count);

  std::uint8_t Byte();
  std::int16_t SignedWord();            // little-endian, two's complement
  std::int32_t UnsignedWord();          // little-endian, 0..65535
  std::int32_t Long();                  // little-endian, two's complement
  std::string Text(std::size_t count);  // exactly `count` characters
  std::string ZText();                  // up to the next byte 0 (consumed) or the end

 private:
  void Need(std::size_t count) const;

  std::string_view data_;
  std::size_t pos_ = 0;
};

}  // namespace qordtcon
