#include "qordtcon/firmware/qx4.hpp"

#include <cmath>
#include <stdexcept>

#include "qordtcon/payloads/fields.hpp"

namespace qordtcon {

namespace {

std::uint16_t SwapBytes(std::uint16_t v) {
  return static_cast<std::uint16_t>(v << 8 | v >> 8);
}

// Address as the Long it travels as: rounded half to even, and a value outside the range
// of a Long fails as the conversion does.
std::int32_t AddressLong(double address) {
  const double rounded = std::nearbyint(address);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
    throw std::overflow_error("QX4 frame address " + DecimalText(address) +
                              " does not fit into 32 bits");
  }
  return static_cast<std::int32_t>(rounded);
}

}  // namespace

std::uint16_t QX4FrameCheck(std::string_view bytes) {
  if (bytes.empty()) return 0;
  std::uint16_t crc = 0xFFFF;
  for (const char c : bytes) {
    const auto t = static_cast<std::uint16_t>(static_cast<std::uint8_t>(c) << 8);
    crc = SwapBytes(crc) ^ t;
    crc ^= static_cast<std::uint16_t>((crc & 0xFF00) << 4);
    crc ^= static_cast<std::uint16_t>((crc & 0xFF00) >> 5);
  }
  return static_cast<std::uint16_t>(~SwapBytes(crc));
}

void FirmwareDLQX4::NewCMD() {
  Flag = kQX4Flag;
  Command = 0;
  Status = 0;
  Length = 0;
  Address = 0;
  Data.clear();
}

void FirmwareDLQX4::ClearCMD() {
  Flag = 0;
  Command = 0;
  Status = 0;
  Address = 0;
  Data.clear();
}

std::string FirmwareDLQX4::GetStreamData() const {
  ByteWriter w;
  w.Byte(Flag).Byte(Command).Byte(Status);
  w.Byte(LoByte(Length)).Byte(LoByte(Length >> 8));
  w.Long(AddressLong(Address)).Text(Data);
  const std::uint16_t check = QX4FrameCheck(w.str());
  w.Byte(check & 0xFF).Byte(check >> 8);
  return std::move(w).str();
}

void FirmwareDLQX4::SetStreamData(std::string_view sData) {
  if (sData.empty()) return;
  const auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(sData[i]); };
  Flag = at(0);
  if (sData.size() < kQX4HeaderSize) return;
  Command = at(1);
  Status = at(2);
  // A 16-bit signed product: a high byte of 128 or more overflows it.
  if (at(4) >= 0x80) throw std::overflow_error("QX4 frame length overflows (high byte >= 128)");
  Length = at(4) * 256 + at(3);
  if (at(8) >= 0x80) throw std::overflow_error("QX4 frame address overflows (top byte >= 128)");
  Address = MakeLongFromBytes(at(8), at(7), at(6), at(5));
}

}  // namespace qordtcon
