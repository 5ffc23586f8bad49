// The QX4 loader frame as the host reads a board's answer: any header either overflows
// (a length or address the host cannot hold) or reads back into the very bytes it came
// from, and a frame built from what was read checks as its own.
#include <qordtcon/qordtcon.hpp>

#include "fuzz.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  using namespace qordtcon;
  const std::string input = fuzz::Input(bytes, size).Rest();
  FirmwareDLQX4 frame;
  frame.Length = 0x1234;
  try {
    frame.SetStreamData(input);
  } catch (const std::overflow_error&) {
    FUZZ_REQUIRE(input.size() >= kQX4HeaderSize);
    FUZZ_REQUIRE(static_cast<std::uint8_t>(input[4]) >= 0x80 ||
                 static_cast<std::uint8_t>(input[8]) >= 0x80);
    return 0;
  }
  if (input.size() < kQX4HeaderSize) {
    FUZZ_REQUIRE(frame.Command == 0 && frame.Length == 0x1234);
    return 0;
  }
  frame.Data = input.substr(kQX4HeaderSize);
  const std::string built = frame.GetStreamData();
  FUZZ_REQUIRE(built.substr(0, built.size() - 2) == input);
  const std::uint16_t check = QX4FrameCheck(input);
  FUZZ_REQUIRE(static_cast<std::uint8_t>(built[built.size() - 2]) == (check & 0xFF));
  FUZZ_REQUIRE(static_cast<std::uint8_t>(built.back()) == check >> 8);
  return 0;
}
