// The control's command methods: each hands the host's object, unchanged, to one routine
// and hands the routine's result back.
#include "qordtcon/control/disp_trans.hpp"

namespace qordtcon {

// Counters, cells, variables.
classCOUNTER_READ_Res qorDispTrans::GetDisplayCounter(const classCOUNTER_READ_Req& sVar) {
  return m_CounterRoutines->GetSignCounter(sVar);
}
bool qorDispTrans::DefineDisplayCounter(const classCOUNTER_DEFINE& sVar) {
  return m_CounterRoutines->DefineSignCounter(sVar);
}
bool qorDispTrans::ControlDisplayCounter(const classCOUNTER_CONTROL& sVar) {
  return m_CounterRoutines->ControlSignCounter(sVar);
}
bool qorDispTrans::ClearDisplayCounters() {
  return m_CounterRoutines->ClearSignCounters();
}
classCELL_READ_Res qorDispTrans::GetDisplayCell(const classCELL_READ_Req& sVar) {
  return m_CellRoutines->GetSignCell(sVar);
}
bool qorDispTrans::SetDisplayLocalCellWrite(const classCELL_LOCAL_WRITE& sVar) {
  return m_CellRoutines->SetSignLocalCellWrite(sVar);
}
bool qorDispTrans::SetDisplayCell(const classCELL_WRITE& sVar) {
  return m_CellRoutines->SetSignCell(sVar);
}
bool qorDispTrans::SetDisplayCellAttributes(const classVARIABLE_ATTRIBUTES& sVar) {
  return m_CellRoutines->SetSignCellAttributes(sVar);
}
bool qorDispTrans::ClearDisplayCells() {
  return m_CellRoutines->ClearSignCells();
}
bool qorDispTrans::SetDisplayVariable(const classVARIABLE_WRITE& sVar) {
  return m_VariableRoutines->SetSignVariable(sVar);
}
bool qorDispTrans::SetDisplayMultipleVariable(const classVARIABLE_MULTIWRITE& sVar) {
  return m_VariableRoutines->SetSignMultipleVariable(sVar);
}
bool qorDispTrans::SetDisplayMultipleVariablesAutoProcess(const classVARIABLE_MULTIWRITE& sVar) {
  return m_VariableRoutines->SetSignMultipleVariablesAutoProcess(sVar);
}
bool qorDispTrans::SetDisplayVariableAttributes(const classVARIABLE_ATTRIBUTES& sVar) {
  return m_VariableRoutines->SetSignVariableAttributes(sVar, false);
}
classVARIABLE_READ_Res qorDispTrans::GetDisplayVariable(const classVARIABLE_READ_Req& sVar) {
  return m_VariableRoutines->GetSignVariable(sVar);
}
bool qorDispTrans::ClearDisplayVariable() {
  return m_VariableRoutines->ClearSignVariable();
}

// Directory.
bool qorDispTrans::ClearDisplayDirInfo() {
  return m_DirRoutines->ClearSignDirInfo();
}
classDIR_ALL qorDispTrans::GetAllDisplayDirInfo() {
  return m_DirRoutines->GetAllSignDirInfo();
}
classDIR_NEXT qorDispTrans::GetNextDisplayDirInfo() {
  return m_DirRoutines->GetNextSignDirInfo();
}
classDIR_FIRST qorDispTrans::GetFirstDisplayDirInfo() {
  return m_DirRoutines->GetFirstSignDirInfo();
}
classDIR_FILE qorDispTrans::GetDisplayDirInfo(const std::string& sFileName) {
  return m_DirRoutines->GetSignDirInfo(sFileName);
}

// Play order.
bool qorDispTrans::TransmitDisplayPlayOrder(classPLAY_ORDER& pOrder) {
  return m_PlayRoutines->TransmitSignPlayOrder(pOrder);
}
bool qorDispTrans::SetDisplayPlayOrder(const classPLAY_ORDER& pOrder) {
  return m_PlayRoutines->SetSignPlayOrder(pOrder);
}
bool qorDispTrans::AppendDisplayPlayOrder(const classPLAY_ORDER_APP& pOrder) {
  return m_PlayRoutines->AppendSignPlayOrder(pOrder);
}
bool qorDispTrans::ClearDisplayPlayOrder() {
  return m_PlayRoutines->ClearSignPlayOrder();
}
classPLAY_GET_NEXT qorDispTrans::GetDisplayPlayOrder() {
  return m_PlayRoutines->GetSignPlayOrder();
}
bool qorDispTrans::RestartPlayOnDisplay(const classPLAY_RESTART& rPlay) {
  return m_PlayRoutines->RestartPlayOnSign(rPlay);
}
bool qorDispTrans::ResumePlayOnDisplay() {
  return m_PlayRoutines->ResumePlayOnSign();
}
bool qorDispTrans::StopPlayOnDisplay() {
  return m_PlayRoutines->StopPlayOnSign();
}
bool qorDispTrans::PausePlayOnDisplay() {
  return m_PlayRoutines->PausePlayOnSign();
}
bool qorDispTrans::StopPlayOnDisplayImmediately() {
  return m_PlayRoutines->StopPlayOnSignImmediately();
}
bool qorDispTrans::PausePlayOnDisplayImmediately() {
  return m_PlayRoutines->PausePlayOnSignImmediately();
}
classPLAY_POLL qorDispTrans::PollPlayOnDisplay() {
  return m_PlayRoutines->PollPlayOnSign();
}
bool qorDispTrans::WritePlayOrderDescriptionOnDisplay(const classPLAY_DESC_WRITE& dWrite) {
  return m_PlayRoutines->WritePlayOrderDescriptionOnSign(dWrite);
}
classPLAY_DESC_READ qorDispTrans::GetPlayOrderDescriptionOnDisplay() {
  return m_PlayRoutines->GetPlayOrderDescriptionOnSign();
}
bool qorDispTrans::SetAutoPlayOnDisplay(bool Enabled) {
  return m_PlayRoutines->SetAutoPlayOnSign(Enabled);
}
bool qorDispTrans::PlaySubPlayOrder(std::int16_t nPlayOrder) {
  return m_PlayRoutines->SetSignSubPlayOrder(nPlayOrder);
}
bool qorDispTrans::PlayCountClear() {
  return m_PlayRoutines->PlayCountClear();
}
std::int32_t qorDispTrans::PlayCountRead() {
  return m_PlayRoutines->PlayCountRead();
}

// Paged, scheduled and default messages, fonts.
bool qorDispTrans::SetDisplayPagedTextMessage(const classPAGE_MSG& tMessage) {
  return m_PagedTextRoutines->SetSignPagedTextMessage(tMessage);
}
bool qorDispTrans::StartStopPagedTextMessageOnDisplay(bool Start) {
  return m_PagedTextRoutines->StartStopPagedTextMessageOnSign(Start);
}
bool qorDispTrans::ShowPagedTextOnDisplay(const classPAGE_DSP& tMessage) {
  return m_PagedTextRoutines->ShowPagedTextOnSign(tMessage);
}
classPAGE_GET_Resp qorDispTrans::GetDisplayPagedMessage(const classPAGE_GET_Req& tMessage) {
  return m_PagedTextRoutines->GetSignPagedMessage(tMessage);
}
bool qorDispTrans::SetDisplayScheduledMessageOnDisplay(const classSCHMSG_MSG& sMsg) {
  return m_SchedMsgRoutines->SetSignScheduledMessageOnSign(sMsg);
}
bool qorDispTrans::SetScheduledMessageAutoManualOnDisplay(bool Auto) {
  return m_SchedMsgRoutines->SetScheduledMessageAutoManualOnSign(Auto);
}
bool qorDispTrans::SetScheduledMsgPrefixOnDisplay(const classSCHMSG_PREFIX& sPref) {
  return m_SchedMsgRoutines->SetScheduledMsgPrefixOnSign(sPref);
}
bool qorDispTrans::SetScheduledMsgSuffixOnDisplay(const classSCHMSG_SUFFIX& sSuff) {
  return m_SchedMsgRoutines->SetScheduledMsgSuffixOnSign(sSuff);
}
bool qorDispTrans::SetScheduleMsgFormatOnDisplay(const classSCHMSG_FORMAT& sFormat) {
  return m_SchedMsgRoutines->SetScheduleMsgFormatOnSign(sFormat);
}
bool qorDispTrans::ClearDisplayScheduledMessages() {
  return m_SchedMsgRoutines->ClearSignScheduledMessages();
}
bool qorDispTrans::SetScheduledMsgDelayOnDisplay(const classSCHMSG_DELAY& sDelay) {
  return m_SchedMsgRoutines->SetScheduledMsgDelayOnSign(sDelay);
}
bool qorDispTrans::SetDefaultMessageOnDisplay(const classDEFMSG_MSG& dMsg) {
  return m_DefaultMsgRoutines->SetDefaultMessageOnSign(dMsg);
}
bool qorDispTrans::SetDefaultMsgHorzVertOnDisplay(const classDEFMSG_HORZVERT& dHV) {
  return m_DefaultMsgRoutines->SetDefaultMsgHorzVertOnSign(dHV);
}
bool qorDispTrans::ClearDisplayFonts() {
  return m_FontRoutines->ClearSignFonts();
}

// Text.
bool qorDispTrans::SetDisplayTextMessage(const classTEXT_MSG& tMessage) {
  return m_TextRoutines->SetSignTextMessage(tMessage);
}
bool qorDispTrans::SetDisplayScrollMessage(const classTEXT_SCRMSG& tMessage) {
  return m_TextRoutines->SetSignScrollMessage(tMessage);
}
bool qorDispTrans::ClearDisplay() {
  return m_TextRoutines->ClearSign();
}
bool qorDispTrans::SetDisplayScrollSpeed(const classTEXT_SCRSPEED& sSpeed) {
  return m_TextRoutines->SetSignScrollSpeed(sSpeed);
}
bool qorDispTrans::SetDisplayTextTabs(const classTEXT_SETTABS& tTabs) {
  return m_TextRoutines->SetSignTextTabs(tTabs);
}
bool qorDispTrans::SetDisplayPauseRate(const classTEXT_PAUSE_RATE& pRate) {
  return m_TextRoutines->SetSignPauseRate(pRate);
}
bool qorDispTrans::SetDisplayBlinkRate(const classTEXT_BLINK_RATE& bRate) {
  return m_TextRoutines->SetSignBlinkRate(bRate);
}

// Clock, identity, configuration, statistics.
bool qorDispTrans::ResetDisplay() {
  return m_DiagRoutines->ResetSign();
}
bool qorDispTrans::PrepareForDownload() {
  return m_DiagRoutines->PrepareForDownload();
}
bool qorDispTrans::SetDisplayDefault(bool EnableDefault) {
  return m_DiagRoutines->SetSignDefault(EnableDefault);
}
bool qorDispTrans::SetDisplayPixel_Control(const classDIAG_PIXEL_CONTROL& pControl) {
  return m_DiagRoutines->SetSignPixel_Control(pControl);
}
bool qorDispTrans::SetDisplayScrollOptions(const classDIAG_SCROLL_OPTIONS& sOptions) {
  return m_DiagRoutines->SetSignScrollOptions(sOptions);
}
bool qorDispTrans::ClearDisplay_RXTX_Counts() {
  return m_DiagRoutines->ClearSign_RXTX_Counts();
}
classDIAG_STATS qorDispTrans::GetDisplayStats() {
  return m_DiagRoutines->GetSignStats();
}
bool qorDispTrans::SetDisplayGroupMaster(classDIAG_GROUP_MASTERS& gMaster) {
  return m_DiagRoutines->SetSignGroupMaster(gMaster);
}
bool qorDispTrans::SetDisplayHWTemp(const classDIAG_HWTEMP& hTemp) {
  return m_DiagRoutines->SetSignHWTemp(hTemp);
}
bool qorDispTrans::SetDisplayDST(bool DSTEnabled) {
  return m_DiagRoutines->SetSignDST(DSTEnabled);
}
bool qorDispTrans::SetDisplaySoftSwitches(const classDIAG_SOFT_SWITCHES& sSwitches) {
  return m_DiagRoutines->SetSignSoftSwitches(sSwitches);
}
bool qorDispTrans::SetDisplayTempAdjust(const classDIAG_TEMP_CALIBRATION& tTempCal) {
  return m_DiagRoutines->SetSignTempAdjust(tTempCal);
}
bool qorDispTrans::SetDisplayScan(bool ScanOn) {
  return m_DiagRoutines->SetSignScan(ScanOn);
}
bool qorDispTrans::SetDisplayTest(const classDIAG_TEST& tTest) {
  return m_DiagRoutines->SetSignTest(tTest);
}
classDIAG_VERSION qorDispTrans::GetDisplayVersion() {
  return m_DiagRoutines->GetSignVersion();
}
bool qorDispTrans::SetDisplayGroups(const classDIAG_GROUPS& gGroups) {
  return m_DiagRoutines->SetSignGroups(gGroups);
}
bool qorDispTrans::SetDisplayBrightnessSchedule(const classDIAG_BRIGHTNESS_SCHEDULE& bSchedule) {
  return m_DiagRoutines->SetSignBrightnessSchedule(bSchedule);
}
bool qorDispTrans::SetDisplayBrightnessRange(const classDIAG_BRIGHTNESS_RANGE& bRange) {
  return m_DiagRoutines->SetSignBrightnessRange(bRange);
}
bool qorDispTrans::SetDisplayBrightness(const classDIAG_BRIGHTNESS& bLevel) {
  return m_DiagRoutines->SetSignBrightness(bLevel);
}
classDIAG_SIGNTYPE qorDispTrans::GetDisplayType() {
  return m_DiagRoutines->GetSignType();
}
classDIAG_GTIME qorDispTrans::GetDisplayTime() {
  return m_DiagRoutines->GetSignTime();
}
bool qorDispTrans::SetDisplayTime(const classDIAG_STIME& tInfo) {
  return m_DiagRoutines->SetSignTime(tInfo);
}
bool qorDispTrans::SetSerialNumber(std::string& strSerialNum) {
  return m_DiagRoutines->SetSerialNumber(strSerialNum);
}
std::string qorDispTrans::GetSerialNumber() {
  return m_DiagRoutines->GetSerialNumber();
}
bool qorDispTrans::SetDisplayName(std::string& strDisplayName) {
  return m_DiagRoutines->SetDisplayName(strDisplayName);
}
std::string qorDispTrans::GetDisplayName() {
  return m_DiagRoutines->GetDisplayName();
}

}  // namespace qordtcon
