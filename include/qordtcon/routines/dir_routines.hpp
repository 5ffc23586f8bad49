// Directory commands (CMD 8): the sign's file directory entry by entry, one named file's
// entry, the whole directory, and clearing it.
#pragma once

#include <functional>
#include <string>

#include "qordtcon/payloads/directory.hpp"
#include "qordtcon/routines/command_routine.hpp"

namespace qordtcon {

class classrDirCmdTransRoutines : private CommandRoutine {
 public:
  explicit classrDirCmdTransRoutines(classrTransRoutines& engine) : CommandRoutine(engine, 8) {}

  // Progress of GetAllSignDirInfo: "Receiving Entry N of the Directory".
  std::function<void(const std::string&)> OnMessage;

  // The first and next entries decode whatever came back; these decoders check no
  // length, so a failed transaction (no reply) throws std::invalid_argument.
  classDIR_FIRST GetFirstSignDirInfo();
  classDIR_NEXT GetNextSignDirInfo();
  bool ClearSignDirInfo();
  // CMDFailed tells whether the sign knew the file.
  classDIR_FILE GetSignDirInfo(const std::string& sFileName);
  // Reads the directory entry by entry, up to the entry with an empty name and size 0.
  classDIR_ALL GetAllSignDirInfo();
};

}  // namespace qordtcon
