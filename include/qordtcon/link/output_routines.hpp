// The link layer of one control: the byte stream to the sign and its error text.
#pragma once

#include <atomic>
#include <string>

namespace qordtcon {

class classrOutPutRoutines {
 public:
  // True after a close or a user abort: no packet goes out while it stays set.
  std::atomic<bool> Abort{false};
  // Last error text of the link or the transaction; cleared at the start of each one.
  std::string ErrorMessage;
};

}  // namespace qordtcon
