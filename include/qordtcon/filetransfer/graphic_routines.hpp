// The file routines of one control (CMD 2): a file from disk sent as a first record and
// numbered blocks, confirmed block by block or with one block in flight; a file the host
// cut into blocks itself; several small files buffered and sent in one burst; delete,
// show and fetch. Every packet goes through the control's one transaction engine.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "qordtcon/filetransfer/graphic.hpp"
#include "qordtcon/link/settings_object.hpp"
#include "qordtcon/payloads/datetime.hpp"
#include "qordtcon/protocol/trans_routines.hpp"

namespace qordtcon {

// The Windows 8.3 alias of a file name: a name that fits stays as it is, upper-cased;
// another becomes up to six of its characters, "~N" and up to three of its extension,
// with the first N for which `taken` is false.
std::string ShortName(std::string_view name, const std::function<bool(const std::string&)>& taken);
// The alias a file has among the other files of its directory (N counts the files before
// it, in name order, that share its six characters and extension).
std::string ShortPathName(const std::filesystem::path& file);

// One buffered file: its two frames, and what the sign confirmed of them.
class clsBufferEntry {
 public:
  std::string BufferString;      // the first record's frame, then the data block's
  std::string FirstTransaction;  // transaction number of the first frame, low byte first
  std::string SecTransaction;    // of the second
  bool FirstTransOK = false;
  bool SecTransOK = false;
  std::string ItemStatus;  // "NEW" when added, "SENT" once written to the link
};

class classrGraphicTransRoutines {
 public:
  explicit classrGraphicTransRoutines(classrTransRoutines& engine);

  // The buffered files' bytes: each file's frames plus 5 (BufferSize reads it). Past
  // 32767 an added file fails with std::overflow_error.
  std::int16_t BufferCount = 0;
  // How TransferBufferedFile ends: True waits for every file, False for the first one.
  bool WaitForAll = true;
  classrTransRoutines& m_TransmitionRoutines;
  // File bytes per data block: the control's (1000, or 16000 for a large sign).
  std::int16_t FileBlockSize = 1000;

  // (block, blocks, bytes sent, bytes in all) before each data block.
  std::function<void(std::int32_t, std::int32_t, std::int32_t, std::int32_t)> OnFileTransferStatus;
  // Retries of the one-in-flight and buffered transfers, and the engine's texts.
  std::function<void(const std::string&)> OnMessage;
  // "Creating File <name>".
  std::function<void(const std::string&)> OnStatus;

  bool ClearBuffer();
  bool TransmitPacket(std::int32_t Cmd, std::uint8_t Fnc, std::int32_t Reserved,
                      const std::string& Data, std::string& Response, bool& NoReply,
                      const std::string& Prefix = {});
  std::string CreatePacket(std::int16_t Cmd, std::uint8_t Fnc, std::int32_t Reserved,
                           const std::string& Data, std::int32_t Reserved2, bool& NoReply);

  // A file the host cut into blocks itself: the record, entries 2..TotalBlocks, then
  // entry 0 as the last block. No events.
  bool TransferGraphicFileToSign(classGRAPHIC_REC_1stBLK& firstRecord,
                                 classGRAPHIC_REC_FLWBLK& blocks);
  // Sends the buffered files in one write and collects their confirmations.
  bool TransferBufferedFile();
  // Buffers a file's first record and first block as two frames; returns them, or empty
  // when no file is named sFileName.
  std::string CreateBufferedFile(const std::string& sFileName, const std::string& sSignFileName,
                                 std::optional<DateTime>& CustomFileTime);
  // A file from disk, each block confirmed before the next. An empty sign name takes the
  // file's 8.3 alias; CustomFileTime, when empty, takes the file's modification time.
  bool TransferGraphicFileToSignByFileName(const std::string& sFileName,
                                           const std::string& sSignFileName,
                                           std::optional<DateTime>& CustomFileTime);
  // The same with one block in flight while the next is read and framed.
  bool TransferFileAssync(const std::string& sFileName, const std::string& sSignFileName,
                          std::optional<DateTime>& CustomFileTime);
  bool DeleteFileFromSign(classGRAPHIC_DEL& file);
  bool ShowGraphicFileOnSign(classGRAPHIC_DSP& file);
  // An OK command of at least 6 characters.
  static bool IsCommandForFileAcceptable(const std::string& reply);
  // Fetches a file from the sign into `destination`, 1000-byte block after block.
  bool GetFileFromSign(const std::string& sSignFileName, const std::string& destination);

  // The buffered files, in the order they were added.
  const std::deque<clsBufferEntry>& Buffer() const { return buffer_; }

 private:
  // A file from disk, open, with its first record filled and its block count.
  struct FileToSend {
    std::ifstream in;
    classGRAPHIC_REC_1stBLK record;
    std::int64_t length = 0;
    std::int32_t blocks = 0;
  };
  std::optional<FileToSend> Prepare(const std::string& sFileName, const std::string& sSignFileName,
                                    std::optional<DateTime>& CustomFileTime);
  bool SendFile(const std::string& sFileName, const std::string& sSignFileName,
                std::optional<DateTime>& CustomFileTime, bool inFlight);
  // One transaction, judged by `judge` or, when it awaited no reply, by the engine after
  // the pause a sign without replies needs.
  bool Confirmed(std::uint8_t Fnc, const std::string& payload, bool (*judge)(const std::string&));
  // One transaction judged by its reply alone: a command to all signs, which no sign
  // answers, reports False.
  bool OkReply(std::uint8_t Fnc, const std::string& payload);
  // The last block always travels as block 0.
  bool SendLastBlock(FileToSend& f, classGRAPHIC_REC_FLWBLK& blocks, const std::string& chunk,
                     std::int64_t sent);
  // The block in flight (`frame`, block number `block`): confirmed, or resent up to three
  // times; an error report counts as no confirmation.
  bool ConfirmInFlight(const std::string& frame, std::int32_t block);
  enum class Answer { kConfirmed, kNak, kNone };
  // One look for the sign's answer to the block in flight.
  Answer AnswerInFlight();
  void Progress(std::int32_t block, std::int32_t blocks, std::int64_t sent, std::int64_t size);
  void Message(const std::string& text);
  // Buffered transfer.
  void HandleReply(const std::string& reply, bool collecting, bool storeError);
  void AdaptResponseTime();

  SettingsObject settings_;
  std::deque<clsBufferEntry> buffer_;
  std::int32_t completed_ = 0;  // buffered files confirmed during the current transfer
};

}  // namespace qordtcon
