// The control's life: wiring at construction, properties, connection, abort and the
// diagnostic calls.
#include "qordtcon/control/disp_trans.hpp"

#include <stdexcept>

#include "qordtcon/link/log.hpp"
#include "qordtcon/link/settings.hpp"

namespace qordtcon {

namespace {

std::uint8_t ToByte(std::int16_t value, const char* what) {
  if (value < 0 || value > 255) {
    throw std::overflow_error("Overflow: " + std::string(what) + " " + std::to_string(value) +
                              " does not fit a byte (0..255)");
  }
  return static_cast<std::uint8_t>(value);
}

}  // namespace

qorDispTrans::qorDispTrans() {
  FlushLog();
  m_TransVars.SerialPort = MakeSerialPort();
  m_TransVars.NetSocket = std::make_shared<TcpSocket>();
  if (GetControlSetting("SignTypeModem", "False") == "True") {
    SerialChannel& port = *m_TransVars.SerialPort;
    for (const int id : {6, 11, 124, 80, 126})
      port.Preset(id, 0);
    port.Preset(117, 1);
    port.Preset(65, GetSettingLong("MessageResponseTime", "5000"));
  }
  m_TransVars.DestNode = 1;

  m_OutPutRoutines = std::make_unique<classrOutPutRoutines>(m_TransVars);
  m_TransRoutines = std::make_unique<classrTransRoutines>(m_TransVars, *m_OutPutRoutines);
  classrTransRoutines& engine = *m_TransRoutines;
  m_DirRoutines = std::make_unique<classrDirCmdTransRoutines>(engine);
  m_PlayRoutines = std::make_unique<classrPlayCmdTransRoutines>(engine);
  m_DiagRoutines = std::make_unique<classrDiagTransRoutines>(engine);
  m_TextRoutines = std::make_unique<classrTextTransRoutines>(engine);
  m_FontRoutines = std::make_unique<classrFontTransRoutines>(engine);
  m_DefaultMsgRoutines = std::make_unique<classrDefaultMsgTransRoutines>(engine);
  m_SchedMsgRoutines = std::make_unique<classrSchedMsgTransRoutines>(engine);
  m_PagedTextRoutines = std::make_unique<classrPagedTextTransRoutines>(engine);
  m_VariableRoutines = std::make_unique<classrVariableCmdsRoutines>(engine);
  m_CellRoutines = std::make_unique<classrCellCmdsTransRoutines>(engine);
  m_CounterRoutines = std::make_unique<classrCounterCmdTransRoutines>(engine);
  m_GraphicRoutines = std::make_unique<classrGraphicTransRoutines>(engine);
  m_FirmWare = std::make_unique<classrFirmWareUL>(*m_OutPutRoutines, *m_DiagRoutines);

  // The inner objects' events, relayed as the control's own.
  m_TransRoutines->OnPacketSent = [this](std::int16_t tn, std::int16_t retry) {
    if (OnPacketSent) OnPacketSent(tn, retry);
  };
  // The engine's texts reach the host through the file routines, which pass them on as
  // their own Message; so a Disconnect text arrives twice, as Status and as Message.
  const auto fileMessage = [this](const std::string& text) {
    if (m_GraphicRoutines->OnMessage) m_GraphicRoutines->OnMessage(text);
  };
  m_TransRoutines->OnStatus = fileMessage;
  m_TransRoutines->OnDisconnect = [this, fileMessage](const std::string& text) {
    if (OnStatus) OnStatus(text);
    fileMessage(text);
  };
  m_GraphicRoutines->OnMessage = [this](const std::string& text) {
    if (OnMessage) OnMessage(text);
  };
  m_GraphicRoutines->OnStatus = [this](const std::string& text) {
    if (OnStatus) OnStatus(text);
    Yield();
  };
  m_GraphicRoutines->OnFileTransferStatus = [this](std::int32_t packet, std::int32_t packets,
                                                   std::int32_t sent, std::int32_t total) {
    if (OnFileTransferStatus) OnFileTransferStatus(packet, packets, sent, total);
  };
  m_FirmWare->OnStatus = [this](const std::string& text) {
    if (OnFirmwareStatus) OnFirmwareStatus(text);
  };
  m_OutPutRoutines->OnStatus = [this](const std::string& text) {
    if (OnStatus) OnStatus(text);
  };
  // Progress of the long directory and play-order reads: the host may repaint after each.
  const auto progress = [this](const std::string& text) {
    if (OnMessage) OnMessage(text);
    Yield();
  };
  m_DirRoutines->OnMessage = progress;
  m_PlayRoutines->OnMessage = progress;

  // Every key exists in the store after the first start.
  for (const auto& [name, def] : {std::pair{"MessageResponseTime", "5000"},
                                  {"NetworkRetryInterval", "4000"},
                                  {"ConnectTimeOut", "5000"},
                                  {"TransmitRetry", "3"}}) {
    SaveSetting(kSettingsApp, kSettingsSection, name, GetControlSetting(name, def));
  }
}

qorDispTrans::~qorDispTrans() {
  if (m_TransVars.Connected) m_OutPutRoutines->CloseConnection();
}

void qorDispTrans::Yield() {
  if (MessagePump) MessagePump();
}

void qorDispTrans::DestinationNode(std::int16_t n) {
  if (n != m_TransVars.DestNode && useNewBccMethod_) {
    // Negotiated with the node still selected.
    m_TransVars.NewBcc = m_DiagRoutines->SetBCCMode() == 2;
  }
  m_TransVars.DestNode = ToByte(n, "node");
}

void qorDispTrans::UseNewBccMethod(bool value) {
  if (value == useNewBccMethod_ || !m_TransVars.Connected) return;
  useNewBccMethod_ = value;
  m_TransVars.NewBcc = (value ? m_DiagRoutines->SetBCCMode() : 0) == 2;
}

bool qorDispTrans::OpenConnectionToDisplay(classCONNECTION_METHOD& connMethod) {
  fileBlockSize_ = 1000;
  m_GraphicRoutines->FileBlockSize = fileBlockSize_;
  m_TransVars.Cancel = false;
  if (!m_OutPutRoutines->OpenConnection(connMethod)) {
    m_OutPutRoutines->ErrorMessage = "Could Not Connect \r\n" + m_OutPutRoutines->ErrorMessage;
    return false;
  }
  const std::int16_t mode =
      connMethod.dispID > 0 && useNewBccMethod_ ? m_DiagRoutines->SetBCCMode() : 1;
  m_TransVars.NewBcc = mode == 2;
  // Large signs take large file blocks.
  if (GetDisplayStats().appl_name.rfind("VHD", 0) == 0) fileBlockSize_ = 16000;
  m_GraphicRoutines->FileBlockSize = fileBlockSize_;
  return true;
}

void qorDispTrans::CloseConnectionToDisplay() {
  if (!m_TransVars.PendingOut.empty()) {
    std::string nothing;
    m_OutPutRoutines->TransmitOutStr(nothing);  // the held-back acknowledge goes out
  }
  m_OutPutRoutines->Sleep(200);
  m_OutPutRoutines->CloseConnection();
  m_OutPutRoutines->Abort = false;
}

void qorDispTrans::UserAbort() {
  m_TransVars.Cancel = true;
  m_OutPutRoutines->Abort = true;
  m_OutPutRoutines->Interrupt();
}

bool qorDispTrans::WasLastTransmitionGood() {
  return m_TransRoutines->LastCommandGood();
}

void qorDispTrans::GetDispLastResponseCodes(std::int16_t& bCMD, std::int16_t& bFNC) {
  std::uint8_t cmd = 0;
  std::uint8_t fnc = 0;
  m_TransRoutines->GetLastResponseCodes(cmd, fnc);
  bCMD = cmd;
  bFNC = fnc;
}

std::string qorDispTrans::LookupDispCommandCode(std::int16_t bCMD) {
  return classrTransRoutines::LookUpCommandErrorCode(ToByte(bCMD, "command code"));
}

std::string qorDispTrans::LookupDispFunctionCode(std::int16_t bFNC) {
  return classrTransRoutines::LookUpFunctionErrorCode(ToByte(bFNC, "function code"));
}

void qorDispTrans::DebugSax(std::shared_ptr<SerialChannel> sCon) {
  if (!sCon) throw std::invalid_argument("DebugSax needs a serial port object, not an empty one");
  m_TransVars.SerialPort = std::move(sCon);
}

}  // namespace qordtcon
