// qorDispTrans: the control a host application embeds to drive one sign. It owns the
// link state, the link layer, the transaction engine and one object of every command
// routine class, wires them at construction, relays their progress as its five events,
// and offers every operation as a method. Transaction failures never throw: methods
// return False or an unfilled result object and leave the reason in LastErrorMessage().
// A value that does not fit its field (a byte outside 0..255) throws.
//
// One call at a time per control; UserAbort() may come from an event handler, the
// message pump or another thread. Many controls, one per sign, may run in one process.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "qordtcon/filetransfer/graphic.hpp"
#include "qordtcon/filetransfer/graphic_routines.hpp"
#include "qordtcon/firmware/firmware_ul.hpp"
#include "qordtcon/link/connection_method.hpp"
#include "qordtcon/link/output_routines.hpp"
#include "qordtcon/payloads/datetime.hpp"
#include "qordtcon/payloads/diag.hpp"
#include "qordtcon/payloads/directory.hpp"
#include "qordtcon/payloads/messages.hpp"
#include "qordtcon/payloads/play_order.hpp"
#include "qordtcon/payloads/stats.hpp"
#include "qordtcon/payloads/variables.hpp"
#include "qordtcon/protocol/trans_routines.hpp"
#include "qordtcon/protocol/trans_vars.hpp"
#include "qordtcon/routines/diag_routines.hpp"
#include "qordtcon/routines/dir_routines.hpp"
#include "qordtcon/routines/message_routines.hpp"
#include "qordtcon/routines/play_routines.hpp"
#include "qordtcon/routines/text_routines.hpp"
#include "qordtcon/routines/variable_routines.hpp"

namespace qordtcon {

// The clock payload for the local date and time `when` moved by `iTimeAdjust` hours
// (Sunday = 0 ... Saturday = 6, the year's last two digits).
classDIAG_STIME ClockPayload(const DateTime& when, std::int16_t iTimeAdjust);

class qorDispTrans {
 public:
  qorDispTrans();
  ~qorDispTrans();
  qorDispTrans(const qorDispTrans&) = delete;
  qorDispTrans& operator=(const qorDispTrans&) = delete;

 private:
  // Declared first: every other member refers to it.
  classrTransVars m_TransVars;

 public:
  // --- Events (an empty handler is skipped).
  std::function<void(const std::string& sStatus)> OnFirmwareStatus;
  std::function<void(std::int16_t iTransactionNumber, std::int16_t iRetryCount)> OnPacketSent;
  std::function<void(std::int32_t iPacketNumber, std::int32_t iTotalPackets,
                     std::int32_t iBytesSent, std::int32_t iTotalBytes)>
      OnFileTransferStatus;
  std::function<void(const std::string& sStatus)> OnStatus;
  std::function<void(const std::string& sMessage)> OnMessage;
  // The host's message pump: run inside every wait, at least every 10 ms, when set.
  std::function<void()>& MessagePump = m_TransVars.MessagePump;
  // The communication log's lines of this control, as the log file gets them (level 1:
  // data traffic and socket events, 2: connection steps, retries, time-outs, failures),
  // for a host's own logging. DebugMode (or LogToFile) chooses which lines are produced;
  // it runs on the thread of the call that produced the line.
  std::function<void(std::int16_t level, const std::string& line)>& OnLog = m_TransVars.LogSink;

  // --- Properties.
  bool ShowTransmission() const { return showTransmission_; }
  void ShowTransmission(bool value) { showTransmission_ = value; }
  std::string LastErrorMessage() const { return m_OutPutRoutines->ErrorMessage; }
  std::int32_t RetryCount() const { return m_TransRoutines->RetryCount; }
  void RetryCount(std::int32_t value) { m_TransRoutines->RetryCount = value; }
  // Time-out of one read, in milliseconds.
  std::int32_t TransmitTimeOut() const { return m_OutPutRoutines->MessageResponseTime; }
  void TransmitTimeOut(std::int32_t value) { m_OutPutRoutines->MessageResponseTime = value; }
  std::int16_t DestinationNode() const { return m_TransVars.DestNode; }
  // Selects the sign (255 = all); std::overflow_error outside 0..255. With the new block
  // check wanted, the mode is negotiated again (with the old node) first.
  void DestinationNode(std::int16_t n);
  bool UseNewBccMethod() const { return useNewBccMethod_; }
  // Takes effect only while a connection is open; otherwise the assignment is ignored.
  void UseNewBccMethod(bool value);
  // File bytes per data block: 1000, or 16000 after opening a sign whose statistics
  // name begins with "VHD".
  std::int16_t FileBlockSize() const { return fileBlockSize_; }

  // --- Connection, abort, diagnostics.
  bool OpenConnectionToDisplay(classCONNECTION_METHOD& connMethod);
  void CloseConnectionToDisplay();
  void UserAbort();
  bool WasLastTransmitionGood();
  void GetDispLastResponseCodes(std::int16_t& bCMD, std::int16_t& bFNC);
  std::string LookupDispCommandCode(std::int16_t bCMD);
  std::string LookupDispFunctionCode(std::int16_t bFNC);
  // Routes all serial traffic through the host's own serial port object from now on.
  void DebugSax(std::shared_ptr<SerialChannel> sCon);

  // --- Composite operations.
  bool SetDisplayToCurrentTime(std::int16_t iTimeAdjust);
  bool SetDisplayInfo(std::int16_t iTimeAdjust, const classDIAG_BRIGHTNESS& bBrightLevel,
                      const classDIAG_BRIGHTNESS_RANGE& bBrightRange,
                      classDIAG_BRIGHTNESS_SCHEDULE& bBrightSchedule,
                      const classDIAG_TEMP_CALIBRATION& sTempProbeAdjust, bool bDSTEnabled,
                      const classTEXT_SCRSPEED& sSpeed);
  bool ClearDisplayAndPlayOrder();

  // --- Counters, cells, variables.
  classCOUNTER_READ_Res GetDisplayCounter(const classCOUNTER_READ_Req& sVar);
  bool DefineDisplayCounter(const classCOUNTER_DEFINE& sVar);
  bool ControlDisplayCounter(const classCOUNTER_CONTROL& sVar);
  bool ClearDisplayCounters();
  classCELL_READ_Res GetDisplayCell(const classCELL_READ_Req& sVar);
  bool SetDisplayLocalCellWrite(const classCELL_LOCAL_WRITE& sVar);
  bool SetDisplayCell(const classCELL_WRITE& sVar);
  bool SetDisplayCellAttributes(const classVARIABLE_ATTRIBUTES& sVar);
  bool ClearDisplayCells();
  bool SetDisplayVariable(const classVARIABLE_WRITE& sVar);
  bool SetDisplayMultipleVariable(const classVARIABLE_MULTIWRITE& sVar);
  bool SetDisplayMultipleVariablesAutoProcess(const classVARIABLE_MULTIWRITE& sVar);
  bool SetDisplayVariableAttributes(const classVARIABLE_ATTRIBUTES& sVar);
  classVARIABLE_READ_Res GetDisplayVariable(const classVARIABLE_READ_Req& sVar);
  bool ClearDisplayVariable();

  // --- Directory.
  bool ClearDisplayDirInfo();
  classDIR_ALL GetAllDisplayDirInfo();
  classDIR_NEXT GetNextDisplayDirInfo();
  classDIR_FIRST GetFirstDisplayDirInfo();
  classDIR_FILE GetDisplayDirInfo(const std::string& sFileName);

  // --- Play order.
  // A play order of more than 40 entries is left holding its last chunk.
  bool TransmitDisplayPlayOrder(classPLAY_ORDER& pOrder);
  bool SetDisplayPlayOrder(const classPLAY_ORDER& pOrder);
  bool AppendDisplayPlayOrder(const classPLAY_ORDER_APP& pOrder);
  bool ClearDisplayPlayOrder();
  classPLAY_GET_NEXT GetDisplayPlayOrder();
  bool RestartPlayOnDisplay(const classPLAY_RESTART& rPlay);
  bool ResumePlayOnDisplay();
  bool StopPlayOnDisplay();
  bool PausePlayOnDisplay();
  bool StopPlayOnDisplayImmediately();
  bool PausePlayOnDisplayImmediately();
  classPLAY_POLL PollPlayOnDisplay();
  bool WritePlayOrderDescriptionOnDisplay(const classPLAY_DESC_WRITE& dWrite);
  classPLAY_DESC_READ GetPlayOrderDescriptionOnDisplay();
  bool SetAutoPlayOnDisplay(bool Enabled);
  bool PlaySubPlayOrder(std::int16_t nPlayOrder);
  bool PlayCountClear();
  std::int32_t PlayCountRead();

  // --- Files. A file named on this computer that does not exist gives False (or an empty
  // text) at once, with nothing sent and LastErrorMessage untouched. An omitted file time
  // is the file's modification time.
  // A file the host cut into blocks (entries 2..TotalBlocks, then entry 0 last).
  bool TransferGraphicFileToDisplay(classGRAPHIC_REC_1stBLK& gFirstRec,
                                    classGRAPHIC_REC_FLWBLK& gFollRecs);
  // Sends a file block by block, or with one block in flight while the next is read.
  // sSignFileName names it on the sign (its first 12 characters); empty, the default,
  // takes the file's 8.3 alias.
  bool TransferFileToDisplay(const std::string& sFileName,
                             std::optional<DateTime> CustomFileTime = std::nullopt,
                             bool bAssync = false, const std::string& sSignFileName = {});
  // TransferFileToDisplay with one block in flight.
  bool TransferGraphicFileToDisplayByFileName(
      const std::string& sFileName, std::optional<DateTime> CustomFileTime = std::nullopt);
  // Buffers a small file (its record and first block) for TransferBufferedFile; returns
  // the frames added.
  std::string AddFileToBuffer(const std::string& sFileName,
                              std::optional<DateTime> CustomFileTime = std::nullopt);
  // Deprecated: says so (Status) and returns an empty text; use AddFileToBuffer.
  std::string CreateBufferedFile(const std::string& sFileName,
                                 std::optional<DateTime> CustomFileTime = std::nullopt);
  // Sends the buffered files in one write. iNumOfAckToWait 0 waits for every file, any
  // other value for the first; sBuffer is not used.
  bool TransferBufferedFile(const std::string& sBuffer, std::int16_t iNumOfAckToWait);
  bool ClearBuffer();
  // The bytes the buffered files take (their frames and 5 each).
  std::int16_t BufferSize() const { return m_GraphicRoutines->BufferCount; }
  bool DeleteFileFromDisplay(classGRAPHIC_DEL& gFile);
  bool ShowGraphicFileOnDisplay(classGRAPHIC_DSP& gFile);
  // Fetches a file from the sign into sDestFileName, which is deleted first.
  bool GetFileFromSignByFileName(const std::string& sFileName, const std::string& sDestFileName);

  // --- Firmware (progress as FirmwareStatus texts).
  // Through the sign's boot menu with XMODEM; true once the flash write was confirmed.
  bool TransmitFirmware(const std::string& sFileName);
  // Resets the sign into its boot menu and starts it again; true when the menu was found.
  bool ResetAndClearSign();
  // Ends a running firmware call at its next check; callable from any thread, an event
  // handler or the message pump.
  void CancelFirmwareTransmit();
  // A QX4 board: the RAM loader sLoaderFile first, then the image sFileName. An answer
  // whose header cannot be read (a length or address that does not fit) throws
  // std::overflow_error saying so.
  bool TransmitQX4Firmware(const std::string& sFileName, const std::string& sLoaderFile);

  // --- Paged, scheduled and default messages, fonts.
  bool SetDisplayPagedTextMessage(const classPAGE_MSG& tMessage);
  bool StartStopPagedTextMessageOnDisplay(bool Start);
  bool ShowPagedTextOnDisplay(const classPAGE_DSP& tMessage);
  classPAGE_GET_Resp GetDisplayPagedMessage(const classPAGE_GET_Req& tMessage);
  bool SetDisplayScheduledMessageOnDisplay(const classSCHMSG_MSG& sMsg);
  bool SetScheduledMessageAutoManualOnDisplay(bool Auto);
  bool SetScheduledMsgPrefixOnDisplay(const classSCHMSG_PREFIX& sPref);
  bool SetScheduledMsgSuffixOnDisplay(const classSCHMSG_SUFFIX& sSuff);
  bool SetScheduleMsgFormatOnDisplay(const classSCHMSG_FORMAT& sFormat);
  bool ClearDisplayScheduledMessages();
  bool SetScheduledMsgDelayOnDisplay(const classSCHMSG_DELAY& sDelay);
  bool SetDefaultMessageOnDisplay(const classDEFMSG_MSG& dMsg);
  bool SetDefaultMsgHorzVertOnDisplay(const classDEFMSG_HORZVERT& dHV);
  bool ClearDisplayFonts();

  // --- Text.
  bool SetDisplayTextMessage(const classTEXT_MSG& tMessage);
  bool SetDisplayScrollMessage(const classTEXT_SCRMSG& tMessage);
  bool ClearDisplay();
  bool SetDisplayScrollSpeed(const classTEXT_SCRSPEED& sSpeed);
  bool SetDisplayTextTabs(const classTEXT_SETTABS& tTabs);
  bool SetDisplayPauseRate(const classTEXT_PAUSE_RATE& pRate);
  bool SetDisplayBlinkRate(const classTEXT_BLINK_RATE& bRate);

  // --- Clock, identity, configuration, statistics.
  bool ResetDisplay();
  bool PrepareForDownload();
  bool SetDisplayDefault(bool EnableDefault);
  bool SetDisplayPixel_Control(const classDIAG_PIXEL_CONTROL& pControl);
  bool SetDisplayScrollOptions(const classDIAG_SCROLL_OPTIONS& sOptions);
  bool ClearDisplay_RXTX_Counts();
  classDIAG_STATS GetDisplayStats();
  // Writes the padded group text back into gMaster.
  bool SetDisplayGroupMaster(classDIAG_GROUP_MASTERS& gMaster);
  bool SetDisplayHWTemp(const classDIAG_HWTEMP& hTemp);
  bool SetDisplayDST(bool DSTEnabled);
  bool SetDisplaySoftSwitches(const classDIAG_SOFT_SWITCHES& sSwitches);
  bool SetDisplayTempAdjust(const classDIAG_TEMP_CALIBRATION& tTempCal);
  bool SetDisplayScan(bool ScanOn);
  bool SetDisplayTest(const classDIAG_TEST& tTest);
  classDIAG_VERSION GetDisplayVersion();
  bool SetDisplayGroups(const classDIAG_GROUPS& gGroups);
  bool SetDisplayBrightnessSchedule(const classDIAG_BRIGHTNESS_SCHEDULE& bSchedule);
  bool SetDisplayBrightnessRange(const classDIAG_BRIGHTNESS_RANGE& bRange);
  bool SetDisplayBrightness(const classDIAG_BRIGHTNESS& bLevel);
  classDIAG_SIGNTYPE GetDisplayType();
  classDIAG_GTIME GetDisplayTime();
  bool SetDisplayTime(const classDIAG_STIME& tInfo);
  // The caller's string comes back upper-cased and cut to 32 characters.
  bool SetSerialNumber(std::string& strSerialNum);
  std::string GetSerialNumber();
  // The caller's string comes back upper-cased and cut to 32 characters.
  bool SetDisplayName(std::string& strDisplayName);
  std::string GetDisplayName();

 private:
  void Yield();
  // Sends frames built with CreatePacket as one write; the engine handles the first reply.
  bool SendBurst(const std::string& frames, std::string& reply, bool& noReply);

  bool showTransmission_ = false;
  bool useNewBccMethod_ = false;
  std::int16_t fileBlockSize_ = 1000;

  std::unique_ptr<classrOutPutRoutines> m_OutPutRoutines;
  std::unique_ptr<classrTransRoutines> m_TransRoutines;
  std::unique_ptr<classrDirCmdTransRoutines> m_DirRoutines;
  std::unique_ptr<classrPlayCmdTransRoutines> m_PlayRoutines;
  std::unique_ptr<classrDiagTransRoutines> m_DiagRoutines;
  std::unique_ptr<classrTextTransRoutines> m_TextRoutines;
  std::unique_ptr<classrFontTransRoutines> m_FontRoutines;
  std::unique_ptr<classrDefaultMsgTransRoutines> m_DefaultMsgRoutines;
  std::unique_ptr<classrSchedMsgTransRoutines> m_SchedMsgRoutines;
  std::unique_ptr<classrPagedTextTransRoutines> m_PagedTextRoutines;
  std::unique_ptr<classrVariableCmdsRoutines> m_VariableRoutines;
  std::unique_ptr<classrCellCmdsTransRoutines> m_CellRoutines;
  std::unique_ptr<classrCounterCmdTransRoutines> m_CounterRoutines;
  std::unique_ptr<classrGraphicTransRoutines> m_GraphicRoutines;
  std::unique_ptr<classrFirmWareUL> m_FirmWare;
};

}  // namespace qordtcon
