// Decoders of the variable, cell and counter answers (CMD 9, 10, 11).
#include <qordtcon/qordtcon.hpp>

#include "fuzz.hpp"

using namespace qordtcon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string data = fuzz::Input(bytes, size).Rest();

  fuzz::ShortAnswerAllowed([&] { classVARIABLE_READ_Res().GetDataFromString(data); });
  fuzz::ShortAnswerAllowed([&] { classCELL_READ_Res().GetDataFromString(data); });
  fuzz::ShortAnswerAllowed([&] { classCOUNTER_READ_Res().GetDataFromString(data); });
  return 0;
}
