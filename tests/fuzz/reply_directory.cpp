// Decoders of the directory answers (CMD 8): first, next, one file, and an entry of the
// whole directory.
#include <qordtcon/qordtcon.hpp>

#include "fuzz.hpp"

using namespace qordtcon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string data = fuzz::Input(bytes, size).Rest();

  fuzz::ShortAnswerAllowed([&] { classDIR_FIRST().GetDataFromString(data); });
  fuzz::ShortAnswerAllowed([&] { classDIR_NEXT().GetDataFromString(data); });
  classDIR_FILE file;
  file.GetDataFromString(data);
  classDIR_ALL all;
  all.num_entries(2);
  all.GetDataFromString(2, data);
  return 0;
}
