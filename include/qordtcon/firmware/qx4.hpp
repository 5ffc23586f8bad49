// The loader protocol of QX4 controller boards: one frame object that a request is built
// in and an answer's header is read into. A frame is "~", command, status, a 16-bit
// length, a 32-bit address, the data and a 16-bit check value, all low byte first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qordtcon {

enum FDL_COMMAND : std::uint8_t {
  FDL_QUERY = 1,
  FDL_RAM_LOADER = 2,
  FDL_RAM_SIZE = 3,
  FDL_FLASH_CODE = 4,
  FDL_RUN_RAM = 5,
  FDL_REBOOT = 6,
  FDL_DEBUG = 7,
  FDL_USER_BLOCK = 8
};

enum FST_STATUS : std::uint8_t {
  FST_NOT_SET = 0,
  FST_NEED_LOADER = 1,
  FST_HAVE_LOADER = 2,
  FST_LOADER_RUNNING = 3,
  FST_NO_MEMORY = 4,
  FST_REBOOTING = 5,
  FST_ACK = 6,
  FST_NACK = 7,
  FST_SEQ_ERROR = 8,
  FST_RAM_IN_FLASH = 9,
  FST_FRAG_PACKET = 16
};

// The frame's start mark, "~".
inline constexpr std::uint8_t kQX4Flag = 126;
// Header bytes before the data: flag, command, status, length (2), address (4).
inline constexpr std::size_t kQX4HeaderSize = 9;

// The frame check value over `bytes` (0 for none): "abc" gives 0xF76D.
std::uint16_t QX4FrameCheck(std::string_view bytes);

class FirmwareDLQX4 {
 public:
  std::uint8_t Flag = 0;
  std::uint8_t Command = 0;
  std::uint8_t Status = 0;
  // Only the low 16 bits travel.
  std::int32_t Length = 0;
  // Travels as a 32-bit value: std::overflow_error outside the range of a Long.
  double Address = 0;
  std::string Data;

  // A fresh request: flag "~", everything else 0 or empty.
  void NewCMD();
  // Everything but Length to 0 or empty, before an answer is read in.
  void ClearCMD();
  // The whole frame with its check value.
  std::string GetStreamData() const;
  // Reads a received header: the flag from a non-empty text; command, status, length and
  // address from a text of 9 bytes or more. Data is left alone. A length whose high byte
  // is 128 or more, or an address whose top byte is, throws std::overflow_error (the
  // fields before it are already set).
  void SetStreamData(std::string_view sData);
};

}  // namespace qordtcon
