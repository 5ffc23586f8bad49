#include "qordtcon/payloads/fields.hpp"

#include <cstdio>
#include <stdexcept>
#include <string>

namespace qordtcon {

std::int16_t MakeSignedWord(std::uint8_t high, std::uint8_t low) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(high << 8 | low));
}

std::int32_t MakeUnsignedWord(std::uint8_t high, std::uint8_t low) {
  return high * 256 + low;
}

std::int32_t MakeLongFromBytes(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
  const std::uint32_t v = static_cast<std::uint32_t>(b0) << 24 |
                          static_cast<std::uint32_t>(b1) << 16 |
                          static_cast<std::uint32_t>(b2) << 8 | b3;
  return static_cast<std::int32_t>(v);
}

void SplitWord(std::int32_t value, std::uint8_t& high, std::uint8_t& low) {
  if (value < 0 || value > 0xFFFF) {
    throw std::overflow_error("Overflow: " + std::to_string(value) +
                              " does not fit a 16-bit field (0..65535)");
  }
  high = static_cast<std::uint8_t>(value / 256);
  low = static_cast<std::uint8_t>(value % 256);
}

std::uint8_t LoByte(std::int32_t value) {
  return static_cast<std::uint8_t>(value & 0xFF);
}

std::uint8_t HiByte(std::int32_t value) {
  if (value < 0) return 0xFF;
  return static_cast<std::uint8_t>((value / 256) & 0xFF);
}

std::int32_t LoWord(std::int32_t value) {
  return value & 0xFFFF;
}

std::int32_t HiWord(std::int32_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) >> 16);
}

std::int32_t MakeLongFromWords(std::int32_t low, std::int32_t high) {
  if (low < 0 || low > 0xFFFF || high < 0 || high > 0xFFFF) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(high) << 16 |
                                   static_cast<std::uint32_t>(low));
}

std::string HexText(std::uint32_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  return out;
}

std::string DecimalText(double value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  return buf;
}

std::string TrimAtNul(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

std::string PadWithNul(std::string_view text, std::size_t length) {
  std::string out(text);
  if (out.size() < length) out.resize(length, '\0');
  return out;
}

ByteWriter& ByteWriter::Byte(std::int32_t value, std::string_view field) {
  if (value < 0 || value > 255) {
    std::string what = "Invalid argument: ";
    if (!field.empty()) what += std::string(field) + " = ";
    what += std::to_string(value) + " does not fit a byte field (0..255)";
    throw std::invalid_argument(what);
  }
  out_ += static_cast<char>(value);
  return *this;
}

ByteWriter& ByteWriter::Word(std::int32_t value) {
  out_ += static_cast<char>(LoByte(value));
  out_ += static_cast<char>(HiByte(value));
  return *this;
}

ByteWriter& ByteWriter::SplitWord(std::int32_t value) {
  std::uint8_t high = 0;
  std::uint8_t low = 0;
  qordtcon::SplitWord(value, high, low);
  out_ += static_cast<char>(low);
  out_ += static_cast<char>(high);
  return *this;
}

ByteWriter& ByteWriter::Long(std::int32_t value) {
  Word(LoWord(value));
  return Word(HiWord(value));
}

ByteWriter& ByteWriter::Text(std::string_view text) {
  out_ += text;
  return *this;
}

ByteWriter& ByteWriter::ZText(std::string_view text) {
  out_ += text;
  out_ += '\0';
  return *this;
}

ByteWriter& ByteWriter::Padded(std::string_view text, std::size_t length) {
  out_ += PadWithNul(text, length);
  return *this;
}

void ByteReader::Need(std::size_t count) const {
  if (!Has(count)) {
    throw std::out_of_range("Subscript out of range: the answer ends at byte " +
                            std::to_string(data_.size()) + ", a field needs " +
                            std::to_string(count) + " more from byte " + std::to_string(pos_));
  }
}

void ByteReader::Skip(std::size_t count) {
  Need(count);
  pos_ += count;
}

std::uint8_t ByteReader::Byte() {
  Need(1);
  return static_cast<std::uint8_t>(data_[pos_++]);
}

std::int16_t ByteReader::SignedWord() {
  Need(2);
  const std::uint8_t low = Byte();
  return MakeSignedWord(Byte(), low);
}

std::int32_t ByteReader::UnsignedWord() {
  Need(2);
  const std::uint8_t low = Byte();
  return MakeUnsignedWord(Byte(), low);
}

std::int32_t ByteReader::Long() {
  Need(4);
  const std::uint8_t b3 = Byte();
  const std::uint8_t b2 = Byte();
  const std::uint8_t b1 = Byte();
  return MakeLongFromBytes(Byte(), b1, b2, b3);
}

std::string ByteReader::Text(std::size_t count) {
  Need(count);
  std::string out(data_.substr(pos_, count));
  pos_ += count;
  return out;
}

std::string ByteReader::ZText() {
  const std::size_t end = data_.find('\0', pos_);
  std::string out(data_.substr(pos_, end == std::string_view::npos ? end : end - pos_));
  pos_ = end == std::string_view::npos ? data_.size() : end + 1;
  return out;
}

}  // namespace qordtcon
