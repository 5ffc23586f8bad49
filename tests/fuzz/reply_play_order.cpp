// Decoders of the play-order answers (CMD 7): an entry, the poll, the description and
// the play counter.
#include <qordtcon/qordtcon.hpp>

#include "fuzz.hpp"

using namespace qordtcon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string data = fuzz::Input(bytes, size).Rest();

  classPLAY_GET_NEXT next;
  next.num_entries(2);
  next.GetDataFromString(2, data);
  classPLAY_POLL().GetDataFromString(data);
  classPLAY_DESC_READ().GetDataFromString(data);
  fuzz::ShortAnswerAllowed([&] { classPLAY_COUNT_READ().GetDataFromString(data); });
  return 0;
}
