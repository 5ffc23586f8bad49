// The control's file and firmware methods: forwarders to the file routines and the
// firmware uploader, and the entry points that check a file on this computer before it
// is sent.
#include <filesystem>

#include "qordtcon/control/disp_trans.hpp"

namespace qordtcon {

namespace {

bool Exists(const std::string& file) {
  std::error_code ec;
  return std::filesystem::is_regular_file(file, ec);
}

}  // namespace

bool qorDispTrans::TransferGraphicFileToDisplay(classGRAPHIC_REC_1stBLK& gFirstRec,
                                                classGRAPHIC_REC_FLWBLK& gFollRecs) {
  return m_GraphicRoutines->TransferGraphicFileToSign(gFirstRec, gFollRecs);
}

bool qorDispTrans::TransferFileToDisplay(const std::string& sFileName,
                                         std::optional<DateTime> CustomFileTime, bool bAssync,
                                         const std::string& sSignFileName) {
  if (!Exists(sFileName)) return false;
  return bAssync ? m_GraphicRoutines->TransferFileAssync(sFileName, sSignFileName, CustomFileTime)
                 : m_GraphicRoutines->TransferGraphicFileToSignByFileName(sFileName, sSignFileName,
                                                                          CustomFileTime);
}

bool qorDispTrans::TransferGraphicFileToDisplayByFileName(const std::string& sFileName,
                                                          std::optional<DateTime> CustomFileTime) {
  return TransferFileToDisplay(sFileName, CustomFileTime, true);
}

std::string qorDispTrans::AddFileToBuffer(const std::string& sFileName,
                                          std::optional<DateTime> CustomFileTime) {
  if (!Exists(sFileName)) return {};
  return m_GraphicRoutines->CreateBufferedFile(sFileName, {}, CustomFileTime);
}

std::string qorDispTrans::CreateBufferedFile(const std::string& /*sFileName*/,
                                             std::optional<DateTime> /*CustomFileTime*/) {
  if (OnStatus)
    OnStatus("CreateBufferedFile() function is deprecated, use AddFileToBuffer() instead");
  return {};
}

bool qorDispTrans::TransferBufferedFile(const std::string& /*sBuffer*/,
                                        std::int16_t iNumOfAckToWait) {
  m_GraphicRoutines->WaitForAll = iNumOfAckToWait == 0;
  return m_GraphicRoutines->TransferBufferedFile();
}

bool qorDispTrans::ClearBuffer() {
  return m_GraphicRoutines->ClearBuffer();
}

bool qorDispTrans::DeleteFileFromDisplay(classGRAPHIC_DEL& gFile) {
  return m_GraphicRoutines->DeleteFileFromSign(gFile);
}

bool qorDispTrans::ShowGraphicFileOnDisplay(classGRAPHIC_DSP& gFile) {
  return m_GraphicRoutines->ShowGraphicFileOnSign(gFile);
}

bool qorDispTrans::GetFileFromSignByFileName(const std::string& sFileName,
                                             const std::string& sDestFileName) {
  std::error_code ec;
  std::filesystem::remove(sDestFileName, ec);  // gone also when the fetch then fails
  return m_GraphicRoutines->GetFileFromSign(sFileName, sDestFileName);
}

bool qorDispTrans::TransmitFirmware(const std::string& sFileName) {
  return m_FirmWare->LoadFirmwareToDisplay(sFileName);
}

bool qorDispTrans::ResetAndClearSign() {
  return m_FirmWare->ResetAndClearSign();
}

void qorDispTrans::CancelFirmwareTransmit() {
  m_FirmWare->CancelCommand();
}

bool qorDispTrans::TransmitQX4Firmware(const std::string& sFileName,
                                       const std::string& sLoaderFile) {
  return m_FirmWare->LoadQX4FirmwareToDisplay(sFileName, sLoaderFile);
}

}  // namespace qordtcon
