// The transaction engine of one control: builds command frames, checks the sign's
// replies and turns its result codes into texts. Every routine class sends through it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "qordtcon/link/output_routines.hpp"
#include "qordtcon/protocol/trans_vars.hpp"

namespace qordtcon {

class classrTransRoutines {
 public:
  classrTransRoutines(classrTransVars& vars, classrOutPutRoutines& link)
      : vars_(vars), link_(link) {}

  // Raised before every send of a command packet (and by CreatePacket with retry 0).
  std::function<void(std::int16_t transNum, std::int16_t retry)> OnPacketSent;

  // Builds the next command frame followed by DLE ACK, for callers that drive the link
  // themselves. Empty when the link is aborted. Forces NoReply for node 255.
  std::string CreatePacket(std::int16_t Cmd, std::uint8_t Fnc, std::int32_t Reserved,
                           const std::string& Data, std::int32_t Reserved2, bool& NoReply);

  // Whether Response is a whole, intact answer to Cmd/Fnc; records the reply's codes
  // and writes the link's ErrorMessage when it is not.
  bool CheckPacket(std::uint8_t Cmd, std::uint8_t Fnc, const std::string& Response);
  // The last reply was an "OK command".
  bool LastCommandGood() const;
  void GetLastResponseCodes(std::uint8_t& Cmd, std::uint8_t& Fnc) const;
  static std::string LookUpCommandErrorCode(std::uint8_t code);
  static std::string LookUpFunctionErrorCode(std::uint8_t code);

 private:
  classrTransVars& vars_;
  classrOutPutRoutines& link_;
};

}  // namespace qordtcon
