#include "qordtcon/routines/variable_routines.hpp"

#include <stdexcept>
#include <string>

namespace qordtcon {

namespace {

// Bytes counted for a batch before its first variable, and for each variable on top of
// its Length.
constexpr int kBatchStart = 16;
constexpr int kPerVariable = 5;
constexpr int kLongestLength =
    classrVariableCmdsRoutines::kBatchLimit - kBatchStart - kPerVariable - 1;

// A variable longer than any batch would hold up the list for ever; refuse the whole
// list before anything is sent, so the sign never gets half of it.
void CheckEveryVariableFits(const classVARIABLE_MULTIWRITE& list) {
  for (std::int16_t i = 1; i <= list.num_vars(); ++i) {
    if (list.Length(i) > kLongestLength) {
      throw std::invalid_argument(
          "SetSignMultipleVariablesAutoProcess: entry " + std::to_string(i) + " (variable " +
          std::to_string(list.X(i)) + ") has Length " + std::to_string(list.Length(i)) +
          ", but a batch holds a Length of at most " + std::to_string(kLongestLength) +
          "; nothing was sent. Send that variable on its own with SetSignVariable");
    }
  }
}

}  // namespace

classVARIABLE_READ_Res classrVariableCmdsRoutines::GetSignVariable(
    const classVARIABLE_READ_Req& tRequest) {
  return ReadResult<classVARIABLE_READ_Res>(0, Decode::kOnSuccess, tRequest.GetStringFromData());
}

bool classrVariableCmdsRoutines::SetSignVariable(const classVARIABLE_WRITE& tVariable) {
  return SendBroadcastAware(1, tVariable.GetStringFromData());
}

bool classrVariableCmdsRoutines::ClearSignVariable() {
  return SendBroadcastAware(2);
}

bool classrVariableCmdsRoutines::SetSignMultipleVariable(
    const classVARIABLE_MULTIWRITE& tVariables) {
  return SendBroadcastAware(3, tVariables.GetStringFromData());
}

bool classrVariableCmdsRoutines::SetSignMultipleVariablesAutoProcess(
    const classVARIABLE_MULTIWRITE& tVariables) {
  CheckEveryVariableFits(tVariables);
  classVARIABLE_MULTIWRITE batch;
  std::int16_t i = 1;
  bool ok = false;
  do {
    int size = kBatchStart;
    std::int16_t k = 1;
    while (i <= tVariables.num_vars() && size < kBatchLimit) {
      size += tVariables.Length(i) + kPerVariable;
      if (size >= kBatchLimit) break;  // entry i opens the next batch
      batch.num_vars(k);
      batch.Length(k, tVariables.Length(i));
      batch.variable(k, tVariables.variable(i));
      batch.X(k, tVariables.X(i));
      ++i;
      ++k;
    }
    ok = SendBroadcastAware(3, batch.GetStringFromData());
  } while (i <= tVariables.num_vars() && ok);
  return ok;
}

bool classrVariableCmdsRoutines::SetSignVariableAttributes(
    const classVARIABLE_ATTRIBUTES& tAttributes, bool NoReply) {
  return SendBroadcastAware(4, tAttributes.GetStringFromData(), NoReply);
}

classCELL_READ_Res classrCellCmdsTransRoutines::GetSignCell(const classCELL_READ_Req& tRequest) {
  return ReadResult<classCELL_READ_Res>(0, Decode::kOnSuccess, tRequest.GetStringFromData());
}

bool classrCellCmdsTransRoutines::SetSignCell(const classCELL_WRITE& tCell) {
  return SendReplyRule(1, tCell.GetStringFromData());
}

bool classrCellCmdsTransRoutines::ClearSignCells() {
  return SendReplyRule(2);
}

bool classrCellCmdsTransRoutines::SetSignCellAttributes(
    const classVARIABLE_ATTRIBUTES& tAttributes) {
  return SendReplyRule(4, tAttributes.GetStringFromData());
}

bool classrCellCmdsTransRoutines::SetSignLocalCellWrite(const classCELL_LOCAL_WRITE& tSchedule) {
  return SendReplyRule(5, tSchedule.GetStringFromData());
}

classCOUNTER_READ_Res classrCounterCmdTransRoutines::GetSignCounter(
    const classCOUNTER_READ_Req& tRequest) {
  return ReadResult<classCOUNTER_READ_Res>(0, Decode::kOnSuccess, tRequest.GetStringFromData());
}

bool classrCounterCmdTransRoutines::DefineSignCounter(const classCOUNTER_DEFINE& tDefinition) {
  return SendReplyRule(1, tDefinition.GetStringFromData());
}

bool classrCounterCmdTransRoutines::ControlSignCounter(const classCOUNTER_CONTROL& tControl) {
  return SendReplyRule(2, tControl.GetStringFromData());
}

bool classrCounterCmdTransRoutines::ClearSignCounters() {
  return SendReplyRule(3);
}

}  // namespace qordtcon
