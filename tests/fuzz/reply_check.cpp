// The reply check: CheckPacket on any unstuffed answer, for any command, with either
// block check in force.
#include <qordtcon/qordtcon.hpp>

#include "fuzz.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static qordtcon::classrTransVars vars;
  static qordtcon::classrOutPutRoutines link(vars);
  static qordtcon::classrTransRoutines engine(vars, link);
  fuzz::Input in(bytes, size);
  const std::uint8_t cmd = in.Byte();
  const std::uint8_t fnc = in.Byte();
  vars.NewBcc = in.Byte() & 1;
  engine.CheckPacket(cmd, fnc, in.Rest());
  return 0;
}
