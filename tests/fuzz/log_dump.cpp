// The communication log's annotation of any bytes, as the link and `signctl dump` write it.
#include <qordtcon/qordtcon.hpp>

#include "fuzz.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  qordtcon::DumpFrame(fuzz::Input(bytes, size).Rest());
  return 0;
}
