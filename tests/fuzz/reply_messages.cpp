// Decoder of the paged-text answer (CMD 6).
#include <qordtcon/qordtcon.hpp>

#include "fuzz.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string data = fuzz::Input(bytes, size).Rest();
  fuzz::ShortAnswerAllowed([&] { qordtcon::classPAGE_GET_Resp().GetDataFromString(data); });
  return 0;
}
