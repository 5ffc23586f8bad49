// The answer to a block request of a fetch (CMD 2): its number and its bytes. A text that
// is refused must stay as it was; one that is taken loses exactly its two number bytes.
#include <qordtcon/qordtcon.hpp>

#include "fuzz.hpp"

using namespace qordtcon;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string data = fuzz::Input(bytes, size).Rest();
  std::string text = data;
  classGRAPHIC_GET_RES block{"before", 7};
  if (block.SetDataByStr(text)) {
    FUZZ_REQUIRE(text == data.substr(2) && block.FileData == text);
  } else {
    FUZZ_REQUIRE(text == data && block.FileData == "before" && block.blocknum == 7);
  }
  return 0;
}
