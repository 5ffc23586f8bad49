#include "qordtcon/routines/dir_routines.hpp"

#include "entry_walk.hpp"

namespace qordtcon {

classDIR_FIRST classrDirCmdTransRoutines::GetFirstSignDirInfo() {
  return ReadResult<classDIR_FIRST>(0, Decode::kAlways);
}

classDIR_NEXT classrDirCmdTransRoutines::GetNextSignDirInfo() {
  return ReadResult<classDIR_NEXT>(1, Decode::kAlways);
}

bool classrDirCmdTransRoutines::ClearSignDirInfo() {
  return SendReplyRule(2);
}

classDIR_FILE classrDirCmdTransRoutines::GetSignDirInfo(const std::string& sFileName) {
  return ReadResult<classDIR_FILE>(3, Decode::kAlways, sFileName);
}

classDIR_ALL classrDirCmdTransRoutines::GetAllSignDirInfo() {
  // A file may be stored without a name; only an empty name of size 0 ends the directory.
  return detail::ReadEntries<classDIR_ALL>(
      [this](std::uint8_t Fnc, bool& ok) { return Read(Fnc, ok); }, 0, 1, "Directory", OnMessage,
      [](const classDIR_ALL& dir, std::int16_t i) {
        return dir.fname(i).empty() && dir.size(i) == 0;
      });
}

}  // namespace qordtcon
