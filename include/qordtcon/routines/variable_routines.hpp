// Commands on the sign's numbered data: text variables (CMD 9), cells that the sign resets
// on a schedule (CMD 10) and counters that it counts by itself (CMD 11).
#pragma once

#include "qordtcon/payloads/variables.hpp"
#include "qordtcon/routines/command_routine.hpp"

namespace qordtcon {

// Variables (CMD 9). Writes count as done when sent to every sign at once.
class classrVariableCmdsRoutines : private CommandRoutine {
 public:
  // A batch of SetSignMultipleVariablesAutoProcess stays below this many bytes: a 16-byte
  // allowance for the frame, then Length + 5 per variable.
  static constexpr int kBatchLimit = 1000;

  explicit classrVariableCmdsRoutines(classrTransRoutines& engine) : CommandRoutine(engine, 9) {}

  // Filled only when the transaction succeeded.
  classVARIABLE_READ_Res GetSignVariable(const classVARIABLE_READ_Req& tRequest);
  bool SetSignVariable(const classVARIABLE_WRITE& tVariable);
  bool ClearSignVariable();
  bool SetSignMultipleVariable(const classVARIABLE_MULTIWRITE& tVariables);
  // Sends the whole list in as many packets as the batch limit needs; False from the
  // first packet the sign did not confirm (the rest is not sent). A variable too long
  // for any batch throws std::invalid_argument before anything goes out.
  bool SetSignMultipleVariablesAutoProcess(const classVARIABLE_MULTIWRITE& tVariables);
  bool SetSignVariableAttributes(const classVARIABLE_ATTRIBUTES& tAttributes, bool NoReply = false);
};

// Cells (CMD 10).
class classrCellCmdsTransRoutines : private CommandRoutine {
 public:
  explicit classrCellCmdsTransRoutines(classrTransRoutines& engine)
      : CommandRoutine(engine, 0x0A) {}

  // Filled only when the transaction succeeded.
  classCELL_READ_Res GetSignCell(const classCELL_READ_Req& tRequest);
  bool SetSignCell(const classCELL_WRITE& tCell);
  bool ClearSignCells();
  bool SetSignCellAttributes(const classVARIABLE_ATTRIBUTES& tAttributes);
  bool SetSignLocalCellWrite(const classCELL_LOCAL_WRITE& tSchedule);
};

// Counters (CMD 11).
class classrCounterCmdTransRoutines : private CommandRoutine {
 public:
  explicit classrCounterCmdTransRoutines(classrTransRoutines& engine)
      : CommandRoutine(engine, 0x0B) {}

  // Filled only when the transaction succeeded.
  classCOUNTER_READ_Res GetSignCounter(const classCOUNTER_READ_Req& tRequest);
  bool DefineSignCounter(const classCOUNTER_DEFINE& tDefinition);
  bool ControlSignCounter(const classCOUNTER_CONTROL& tControl);
  bool ClearSignCounters();
};

}  // namespace qordtcon
