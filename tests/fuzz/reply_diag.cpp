// Decoders of the diagnostic answers (CMD 0): clock, sign type, version, statistics.
// Every decoder reads every input; a clock or sign type answer that is refused must leave
// the object untouched.
#include <qordtcon/qordtcon.hpp>

#include "fuzz.hpp"

using namespace qordtcon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string data = fuzz::Input(bytes, size).Rest();

  classDIAG_GTIME clock;
  if (!clock.SetDataByStr(data)) FUZZ_REQUIRE(clock == classDIAG_GTIME{});
  classDIAG_SIGNTYPE type;
  if (!type.SetDataByStr(data)) FUZZ_REQUIRE(type == classDIAG_SIGNTYPE{});
  classDIAG_STATS().SetDataByStr(data);
  classDIAG_VERSION version;
  std::string frame = data;
  version.SetDataByStr(frame);
  return 0;
}
