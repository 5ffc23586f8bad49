// Files to and from the sign: sent block by block or with one block in flight, a file the
// host cut itself, delete, show and fetch.
#include "qordtcon/filetransfer/graphic_routines.hpp"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <vector>

#include "qordtcon/link/settings.hpp"
#include "qordtcon/payloads/directory.hpp"
#include "qordtcon/payloads/fields.hpp"
#include "qordtcon/protocol/frame.hpp"
#include "qordtcon/routines/command_routine.hpp"

namespace qordtcon {

namespace fs = std::filesystem;

namespace {

constexpr std::uint8_t kFileCmd = 2;
constexpr std::uint8_t kBlockFnc = 0;
constexpr std::uint8_t kDeleteFnc = 1;
constexpr std::uint8_t kShowFnc = 2;
constexpr std::int32_t kFileNumber = 12;  // what the file commands pass the engine as Reserved
// A fetch asks for blocks of this size, whatever the sign takes when it receives.
constexpr std::int64_t kFetchBlock = 1000;
// A sign's reply frame around its payload: ten characters before it, DLE ETX BCC after.
constexpr std::size_t kFrameTail = 3;

// The sign acknowledged (DLE ACK), or its reply started at once (DLE STX).
bool IsAckReply(const std::string& s) {
  return s.size() >= 2 && s[0] == DLE && (s[1] == ACK || s[1] == STX);
}

bool ShortNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x80 && (std::isalnum(u) || std::strchr("!#$%&'()-@^_`{}~", c) != nullptr);
}

bool FitsShortName(std::string_view name) {
  const auto dot = name.find('.');
  const std::string_view base = name.substr(0, dot);
  const std::string_view ext = dot == std::string_view::npos ? "" : name.substr(dot + 1);
  return !base.empty() && base.size() <= 8 && ext.size() <= 3 &&
         ext.find('.') == std::string_view::npos &&
         std::all_of(base.begin(), base.end(), ShortNameChar) &&
         std::all_of(ext.begin(), ext.end(), ShortNameChar);
}

// Up to `room` characters of `part` as a short name holds them: blanks and dots left
// out, characters a short name cannot hold turned into '_'.
std::string ShortPart(std::string_view part, std::size_t room) {
  std::string out;
  for (const char c : part) {
    if (out.size() == room) break;
    if (c == ' ' || c == '.') continue;
    out += ShortNameChar(c) ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : '_';
  }
  return out;
}

DateTime ModificationTime(const fs::path& file) {
  const auto written = std::chrono::file_clock::to_sys(fs::last_write_time(file));
  const std::time_t seconds = std::chrono::system_clock::to_time_t(written);
  std::tm t{};
  ::localtime_r(&seconds, &t);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

std::string Read(std::ifstream& in, std::int16_t count) {
  std::string chunk(static_cast<std::size_t>(std::max<std::int16_t>(count, 0)), '\0');
  in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  chunk.resize(static_cast<std::size_t>(in.gcount()));
  return chunk;
}

}  // namespace

std::string ShortName(std::string_view name, const std::function<bool(const std::string&)>& taken) {
  if (FitsShortName(name)) {
    std::string same(name);
    for (char& c : same)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return same;
  }
  const auto dot = name.rfind('.');
  const bool hasExt = dot != std::string_view::npos && dot != 0;
  const std::string base = ShortPart(hasExt ? name.substr(0, dot) : name, 6);
  const std::string ext = hasExt ? ShortPart(name.substr(dot + 1), 3) : "";
  for (int n = 1;; ++n) {
    const std::string tail = "~" + std::to_string(n);
    std::string alias = base.substr(0, 8 - tail.size()) + tail + (ext.empty() ? "" : "." + ext);
    if (!taken(alias)) return alias;
  }
}

std::string ShortPathName(const fs::path& file) {
  const std::string name = file.filename().string();
  if (FitsShortName(name)) return ShortName(name, [](const std::string&) { return false; });
  // The files before it in its directory that would take the same alias first.
  std::vector<std::string> earlier;
  std::error_code ec;
  const fs::path dir = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const std::string other = entry.path().filename().string();
    if (other < name && !FitsShortName(other)) earlier.push_back(other);
  }
  std::sort(earlier.begin(), earlier.end());
  std::vector<std::string> aliases;
  for (const std::string& other : earlier) {
    aliases.push_back(ShortName(other, [&](const std::string& a) {
      return std::find(aliases.begin(), aliases.end(), a) != aliases.end();
    }));
  }
  return ShortName(name, [&](const std::string& a) {
    return std::find(aliases.begin(), aliases.end(), a) != aliases.end();
  });
}

classrGraphicTransRoutines::classrGraphicTransRoutines(classrTransRoutines& engine)
    : m_TransmitionRoutines(engine) {
  settings_.FileName = "LumarcoLite.ini";
}

bool classrGraphicTransRoutines::TransmitPacket(std::int32_t Cmd, std::uint8_t Fnc,
                                                std::int32_t Reserved, const std::string& Data,
                                                std::string& Response, bool& NoReply,
                                                const std::string& Prefix) {
  return m_TransmitionRoutines.TransmitPacket(Cmd, Fnc, Reserved, Data, Response, NoReply, Prefix);
}

std::string classrGraphicTransRoutines::CreatePacket(std::int16_t Cmd, std::uint8_t Fnc,
                                                     std::int32_t Reserved, const std::string& Data,
                                                     std::int32_t Reserved2, bool& NoReply) {
  return m_TransmitionRoutines.CreatePacket(Cmd, Fnc, Reserved, Data, Reserved2, NoReply);
}

bool classrGraphicTransRoutines::IsCommandForFileAcceptable(const std::string& reply) {
  return reply.size() >= 6 && static_cast<std::uint8_t>(reply[4]) == kReplyOk;
}

void classrGraphicTransRoutines::Message(const std::string& text) {
  if (OnMessage) OnMessage(text);
}

void classrGraphicTransRoutines::Progress(std::int32_t block, std::int32_t blocks,
                                          std::int64_t sent, std::int64_t size) {
  if (OnFileTransferStatus) {
    OnFileTransferStatus(block, blocks, static_cast<std::int32_t>(sent),
                         static_cast<std::int32_t>(size));
  }
}

bool classrGraphicTransRoutines::Confirmed(std::uint8_t Fnc, const std::string& payload,
                                           bool (*judge)(const std::string&)) {
  std::string reply;
  bool noReply = false;
  const bool ok = TransmitPacket(kFileCmd, Fnc, kFileNumber, payload, reply, noReply);
  if (!noReply) return judge(reply);
  // A sign that sends no replies still needs time to store what came.
  m_TransmitionRoutines.Link().Sleep(settings_.NoReplyPause());
  return ok;
}

std::optional<classrGraphicTransRoutines::FileToSend> classrGraphicTransRoutines::Prepare(
    const std::string& sFileName, const std::string& sSignFileName,
    std::optional<DateTime>& CustomFileTime) {
  std::error_code ec;
  if (!fs::is_regular_file(sFileName, ec)) return std::nullopt;
  if (!CustomFileTime) CustomFileTime = ModificationTime(sFileName);
  FileToSend f;
  f.in.open(sFileName, std::ios::binary);
  if (!f.in) {
    throw std::runtime_error("File not found: cannot open " + sFileName +
                             " for reading: " + std::strerror(errno));
  }
  f.length = static_cast<std::int64_t>(fs::file_size(sFileName));
  if (f.length > 0x7FFFFFFF) {
    throw std::overflow_error("Overflow: " + sFileName + " has " + std::to_string(f.length) +
                              " bytes; a sign takes files of at most 2147483647");
  }
  classGRAPHIC_REC_1stBLK& r = f.record;
  r.blk_num = 1;
  r.FileName = sSignFileName.empty() ? ShortPathName(sFileName) : sSignFileName.substr(0, 12);
  r.size = static_cast<std::int32_t>(f.length);
  const DateTime& t = *CustomFileTime;
  r.hour = static_cast<std::int16_t>(t.hour);
  r.min = static_cast<std::int16_t>(t.minute);
  r.sec = static_cast<std::int16_t>(t.second);
  r.mon = static_cast<std::int16_t>(t.month);
  r.mday = static_cast<std::int16_t>(t.day);
  r.year = static_cast<std::int16_t>(t.year % 100);
  const std::int64_t block = std::max<std::int16_t>(FileBlockSize, 1);
  f.blocks = static_cast<std::int32_t>((f.length + block - 1) / block);
  return f;
}

bool classrGraphicTransRoutines::TransferGraphicFileToSignByFileName(
    const std::string& sFileName, const std::string& sSignFileName,
    std::optional<DateTime>& CustomFileTime) {
  std::error_code ec;
  if (!fs::is_regular_file(sFileName, ec)) return false;
  // A file goes out quietly: the data lines stay out of the log unless it logs everything,
  // and the engine keeps the read time-out of the transfer's start.
  classrOutPutRoutines& link = m_TransmitionRoutines.Link();
  std::string mode = GetControlSetting("DebugMode", "Off");
  std::transform(mode.begin(), mode.end(), mode.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  link.LinkTransferMode = mode.rfind("ON", 0) == 0 ? 1 : 2;
  link.CachedResponseTime = GetSettingLong("MessageResponseTime", "5000");
  return SendFile(sFileName, sSignFileName, CustomFileTime, false);
}

bool classrGraphicTransRoutines::TransferFileAssync(const std::string& sFileName,
                                                    const std::string& sSignFileName,
                                                    std::optional<DateTime>& CustomFileTime) {
  return SendFile(sFileName, sSignFileName, CustomFileTime, true);
}

bool classrGraphicTransRoutines::SendFile(const std::string& sFileName,
                                          const std::string& sSignFileName,
                                          std::optional<DateTime>& CustomFileTime, bool inFlight) {
  std::optional<FileToSend> f = Prepare(sFileName, sSignFileName, CustomFileTime);
  if (!f) return false;
  const std::int32_t n = f->blocks;
  classGRAPHIC_REC_FLWBLK blocks;
  blocks.FileBlockSize = FileBlockSize;
  if (inFlight) {
    // The one-in-flight transfer numbers its blocks in 16 bits.
    if (n > 32767) {
      throw std::overflow_error("Overflow: " + sFileName + " needs " + std::to_string(n) +
                                " blocks; a transfer with one block in flight takes at most "
                                "32766; send it block by block");
    }
    blocks.TotalBlocks(static_cast<std::int16_t>(n));
  } else {
    blocks.TotalBlocksEx(n);
  }
  if (OnStatus) OnStatus("Creating File " + sFileName);
  if (!Confirmed(kBlockFnc, f->record.GetStringFromData(), IsOkReply)) return false;

  classrOutPutRoutines& link = m_TransmitionRoutines.Link();
  classrTransVars& vars = link.Vars();
  std::string chunk = Read(f->in, FileBlockSize);
  std::int64_t sent = 0;
  std::string inFlightFrame;  // the block sent and not confirmed yet
  bool toAll = false;         // no sign answers: each block gets its pause instead
  // An abort ends the loop, and the block next in turn then closes the file short, only
  // after a block the sign confirmed: one refused or unanswered would leave a gap.
  for (std::int32_t i = 1; i <= n - 1; ++i) {
    blocks.DataEx(i + 1, chunk);
    sent += FileBlockSize;
    Progress(i, n, sent, f->length);
    if (!inFlight) {
      const bool ok =
          Confirmed(kBlockFnc, blocks.GetStringFromDataEx(i + 1), IsCommandForFileAcceptable);
      chunk = Read(f->in, FileBlockSize);
      blocks.DataEx(i + 1, {});
      if (!ok) return false;
      if (link.Abort) break;
      continue;
    }
    std::string frame =
        CreatePacket(kFileCmd, kBlockFnc, kFileNumber,
                     blocks.GetStringFromData(static_cast<std::int16_t>(i + 1)), 0, toAll);
    if (!inFlightFrame.empty()) {
      if (!ConfirmInFlight(inFlightFrame, i)) return false;
      inFlightFrame.clear();
      if (vars.Cancel) break;
    }
    if (frame.empty()) {
      // Not built: the link was stopped, and the block never went out.
      link.ErrorMessage = vars.Cancel ? "User Canceled"
                                      : "Not Connected - the connection was closed during the "
                                        "transfer; call OpenConnectionToDisplay again";
      return false;
    }
    link.TransmitOutStr(frame);
    if (toAll) {
      link.Sleep(settings_.NoReplyPause());
    } else {
      inFlightFrame = std::move(frame);
    }
    chunk = Read(f->in, FileBlockSize);
    if (link.Abort) break;
  }
  // The last block in flight is confirmed, and resent, as the others are: a lost answer
  // must not fail the file here when it would not one block earlier.
  if (!inFlightFrame.empty() && !ConfirmInFlight(inFlightFrame, n)) return false;
  return SendLastBlock(*f, blocks, chunk, sent);
}

classrGraphicTransRoutines::Answer classrGraphicTransRoutines::AnswerInFlight() {
  classrOutPutRoutines& link = m_TransmitionRoutines.Link();
  const std::string ack = link.GetAck();
  if (ack.size() >= 2 && ack[0] == DLE && ack[1] == NAK) return Answer::kNak;
  if (!IsAckReply(ack)) return Answer::kNone;
  // Frames for other nodes are passed over, as the engine does: a two-wire line's echo of
  // the block is one of them, and another sign's confirmation is none of ours.
  std::string reply = link.GetPacket(ack);
  const auto deadline = Clock::now() + std::chrono::milliseconds(link.MessageResponseTime);
  while (reply.size() > 3 && reply[2] != 0 && Clock::now() < deadline && !link.Vars().Cancel)
    reply = link.GetPacket({});
  // A reply whose block check fails is no confirmation: the block is sent again, and the
  // sign answers a repeated transaction without storing it twice.
  if (m_TransmitionRoutines.CheckPacket(kFileCmd, kBlockFnc, reply) &&
      IsCommandForFileAcceptable(reply)) {
    return Answer::kConfirmed;
  }
  // An error report is no confirmation either; its text says why if it stays the last.
  if (reply.size() > 9 && link.Vars().LastRespCmd == kReplyError)
    link.ErrorMessage = classrTransRoutines::ReportedErrorMessage(reply, kFileCmd, kBlockFnc);
  return Answer::kNone;
}

bool classrGraphicTransRoutines::ConfirmInFlight(const std::string& frame, std::int32_t block) {
  classrOutPutRoutines& link = m_TransmitionRoutines.Link();
  Answer answer = Answer::kNone;
  // Sent once, then resent at most three times, each after a pause and a cleared input.
  for (int k = 0; !link.Vars().Cancel && answer != Answer::kConfirmed && k < 4; ++k) {
    if (k > 0) {
      Message("Retrying Packet # " + std::to_string(block) + " - " + std::to_string(k) +
              " time(s)");
      link.Pump();
      // A network sign that hung up is called again, as the engine calls it.
      if (!link.Vars().Connected && link.Reconnects()) link.OpenWinConnection();
      link.ClearInputBuffer();
      link.Sleep(500);
      std::string again = frame;
      link.TransmitOutStr(again);
    }
    link.Pump();
    link.ErrorMessage.clear();
    answer = AnswerInFlight();
  }
  if (answer == Answer::kConfirmed) return true;
  if (link.Vars().Cancel) {
    link.ErrorMessage = "User Canceled";
  } else if (answer == Answer::kNak) {
    link.ErrorMessage = classrTransRoutines::NakMessage(kFileCmd, kBlockFnc);
  } else if (link.ErrorMessage.empty()) {
    // As the engine says it of a command that got no answer.
    link.ErrorMessage = "Timed Out 4 time(s) for " +
                        DecimalText(link.MessageResponseTime / 1000.0) +
                        " sec. for CMD:[2] FNC:[0]";
  }
  return false;
}

bool classrGraphicTransRoutines::SendLastBlock(FileToSend& f, classGRAPHIC_REC_FLWBLK& blocks,
                                               const std::string& chunk, std::int64_t sent) {
  blocks.DataEx(0, chunk);
  Progress(f.blocks, f.blocks, sent + static_cast<std::int64_t>(chunk.size()), f.length);
  const std::string payload = blocks.GetStringFromData(0);
  if (m_TransmitionRoutines.Link().Vars().Cancel) {
    // Told to stop: the block next in turn closes the file on the sign, which ends short.
    m_TransmitionRoutines.SendAfterAbort(kFileCmd, kBlockFnc, payload);
    return false;
  }
  return Confirmed(kBlockFnc, payload, IsCommandForFileAcceptable);
}

bool classrGraphicTransRoutines::OkReply(std::uint8_t Fnc, const std::string& payload) {
  std::string reply;
  bool noReply = false;
  TransmitPacket(kFileCmd, Fnc, kFileNumber, payload, reply, noReply);
  return IsOkReply(reply);
}

bool classrGraphicTransRoutines::TransferGraphicFileToSign(classGRAPHIC_REC_1stBLK& firstRecord,
                                                           classGRAPHIC_REC_FLWBLK& blocks) {
  blocks.FileBlockSize = FileBlockSize;
  if (!OkReply(kBlockFnc, firstRecord.GetStringFromData())) return false;
  const std::int16_t total = blocks.TotalBlocks();
  for (std::int16_t i = 2; i <= total; ++i) {
    if (!OkReply(kBlockFnc, blocks.GetStringFromData(i))) return false;
    if (m_TransmitionRoutines.Link().Abort) break;
  }
  return OkReply(kBlockFnc, blocks.GetStringFromData(0));
}

bool classrGraphicTransRoutines::DeleteFileFromSign(classGRAPHIC_DEL& file) {
  return OkReply(kDeleteFnc, file.GetStringFromData());
}

bool classrGraphicTransRoutines::ShowGraphicFileOnSign(classGRAPHIC_DSP& file) {
  return OkReply(kShowFnc, file.GetStringFromData());
}

bool classrGraphicTransRoutines::GetFileFromSign(const std::string& sSignFileName,
                                                 const std::string& destination) {
  std::string reply;
  bool noReply = false;
  const bool found = TransmitPacket(8, 3, 41, sSignFileName, reply, noReply);
  classDIR_FILE entry;
  entry.GetDataFromString(ReplyPayload(reply));
  std::string& error = m_TransmitionRoutines.Link().ErrorMessage;
  // The destination starts new and empty whatever the lookup found.
  std::ofstream out(destination, std::ios::binary | std::ios::trunc);
  if (!out) {
    throw std::runtime_error("Path not found: cannot write " + destination + ": " +
                             std::strerror(errno));
  }
  if (!found) return false;  // the engine's text says why
  if (entry.CMDFailed) {
    // The sign's error report has its text already; an answer that is no entry has none.
    if (error.empty()) {
      error = "Bad Directory Entry for CMD:[8] FNC:[3] - the answer for " + sSignFileName +
              " was not a directory entry; try again";
    }
    return false;
  }
  const std::int64_t size = entry.size;
  const std::int64_t blocks = size > 0 ? (size - 1) / kFetchBlock + 1 : 0;
  for (std::int64_t b = 1; b <= blocks; ++b) {
    classGRAPHIC_GET_REQ request;
    request.FileName = sSignFileName;
    request.BlockNumber = static_cast<std::int16_t>(b);
    if (!TransmitPacket(kFileCmd, kBlockFnc, 0,
                        request.GetStringFromData(static_cast<std::int16_t>(blocks)), reply,
                        noReply) ||
        !IsCommandForFileAcceptable(reply)) {
      return false;
    }
    // The answer is the block's number as asked for, then exactly the block's bytes.
    std::string text = ReplyPayload(reply);
    text.resize(text.size() - std::min(text.size(), kFrameTail));
    classGRAPHIC_GET_RES block;
    if (!block.SetDataByStr(text) && text.size() >= 2) {  // a short last block
      block.blocknum =
          MakeSignedWord(static_cast<std::uint8_t>(text[1]), static_cast<std::uint8_t>(text[0]));
      block.FileData = text.substr(2);
    }
    const std::int64_t want = b < blocks ? kFetchBlock : size - kFetchBlock * (blocks - 1);
    if (block.blocknum != request.BlockNumber ||
        static_cast<std::int64_t>(block.FileData.size()) != want) {
      error = "Bad File Block for CMD:[2] FNC:[0] - block " + std::to_string(b) + " of " +
              std::to_string(blocks) + " of " + sSignFileName + " came back as block " +
              std::to_string(block.blocknum) + " with " + std::to_string(block.FileData.size()) +
              " bytes, not " + std::to_string(want);
      return false;
    }
    out.write(block.FileData.data(), static_cast<std::streamsize>(block.FileData.size()));
  }
  return static_cast<bool>(out.flush());
}

}  // namespace qordtcon
