// Several small files in one burst: each file is buffered as two ready frames (its first
// record and its first block), all go out in one write, and the sign's OK commands are
// matched to their files by transaction number; what stays unconfirmed is sent again.
#include <cmath>
#include <stdexcept>

#include "qordtcon/filetransfer/graphic_routines.hpp"
#include "qordtcon/link/log.hpp"
#include "qordtcon/payloads/fields.hpp"
#include "qordtcon/protocol/frame.hpp"
#include "qordtcon/routines/command_routine.hpp"

namespace qordtcon {

namespace {

// Each buffered file costs its frames and this much more of the count.
constexpr std::int32_t kEntryOverhead = 5;
constexpr int kAttempts = 3;

// The transaction number a frame carries, low byte first: characters 7 and 8, or 7 and 9
// when the low byte is a DLE and so doubled.
std::string FrameTransaction(const std::string& frame) {
  if (frame.size() < 9) return {};
  return frame[6] == DLE ? std::string{frame[6], frame[8]} : frame.substr(6, 2);
}

std::string HexPair(const std::string& pair) {
  if (pair.size() < 2) return {};
  return HexText(static_cast<std::uint8_t>(pair[0])) + " " +
         HexText(static_cast<std::uint8_t>(pair[1]));
}

}  // namespace

std::string classrGraphicTransRoutines::CreateBufferedFile(
    const std::string& sFileName, const std::string& sSignFileName,
    std::optional<DateTime>& CustomFileTime) {
  std::optional<FileToSend> f = Prepare(sFileName, sSignFileName, CustomFileTime);
  if (!f) return {};
  bool noReply = false;
  clsBufferEntry entry;
  const std::string first = CreatePacket(2, 0, 12, f->record.GetStringFromData(), 0, noReply);
  entry.FirstTransaction = FrameTransaction(first);
  m_TransmitionRoutines.Link().Log("Send Command for " + HexPair(entry.FirstTransaction), 2);
  // Only the first block: a longer file is announced whole but buffered cut to one block.
  classGRAPHIC_REC_FLWBLK block;
  block.FileBlockSize = FileBlockSize;
  block.TotalBlocks(1);
  std::string chunk(static_cast<std::size_t>(std::max<std::int16_t>(FileBlockSize, 0)), '\0');
  f->in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  chunk.resize(static_cast<std::size_t>(f->in.gcount()));
  block.Data(0, chunk);
  const std::string second = CreatePacket(2, 0, 12, block.GetStringFromData(0), 0, noReply);
  entry.SecTransaction = FrameTransaction(second);
  m_TransmitionRoutines.Link().Log("Send Command for " + HexPair(entry.SecTransaction), 2);
  entry.BufferString = first + second;
  entry.ItemStatus = "NEW";
  const std::int32_t count =
      BufferCount + static_cast<std::int32_t>(entry.BufferString.size()) + kEntryOverhead;
  if (count > 32767) {
    throw std::overflow_error("Overflow: the buffered files would take " + std::to_string(count) +
                              " bytes, more than 32767; send the buffer before adding more");
  }
  BufferCount = static_cast<std::int16_t>(count);
  buffer_.push_back(entry);
  return entry.BufferString;
}

bool classrGraphicTransRoutines::ClearBuffer() {
  buffer_.clear();
  BufferCount = 0;
  return true;
}

void classrGraphicTransRoutines::AdaptResponseTime() {
  // A quarter of the way towards the longest wait, each time an answer was missed.
  classrOutPutRoutines& link = m_TransmitionRoutines.Link();
  const double now = link.MessageResponseTime;
  link.MessageResponseTime =
      static_cast<std::int32_t>(std::nearbyint(((link.ResponseLongestWait + now) / 2 + now) / 2));
}

void classrGraphicTransRoutines::HandleReply(const std::string& reply, bool collecting,
                                             bool storeError) {
  classrOutPutRoutines& link = m_TransmitionRoutines.Link();
  if (IsOkReply(reply)) {
    const std::string number = reply.size() >= 8 ? reply.substr(6, 2) : std::string();
    m_TransmitionRoutines.Link().Log("OK Command for " + HexPair(number), 2);
    for (auto it = buffer_.begin(); it != buffer_.end(); ++it) {
      if (it->FirstTransaction == number) {
        it->FirstTransOK = true;
      } else if (it->SecTransaction == number) {
        it->SecTransOK = true;
      } else {
        continue;
      }
      if (it->FirstTransOK && it->SecTransOK) {
        BufferCount = static_cast<std::int16_t>(
            BufferCount - static_cast<std::int32_t>(it->BufferString.size()) - kEntryOverhead);
        buffer_.erase(it);
        ++completed_;
      }
      break;
    }
    return;
  }
  std::string text;
  if (reply.size() >= 5 && static_cast<std::uint8_t>(reply[4]) == kReplyError) {
    text = reply.size() >= 9 ? "Invalid Command Received [" +
                                   classrTransRoutines::LookUpFunctionErrorCode(
                                       static_cast<std::uint8_t>(reply[8])) +
                                   "]"
                             : "Invalid Command Received [Message Truncated]";
    Message(text);
    if (collecting) {
      std::string inquiry = BuildInquiryFrame(link.Vars().DestNode, link.Vars().NewBcc);
      link.TransmitOutStr(inquiry);
    }
  } else {
    text = "Timed out waiting for OK Command (OK CMD Missed)";
    Message(text);
    AdaptResponseTime();
  }
  if (storeError) link.ErrorMessage = text;
}

bool classrGraphicTransRoutines::TransferBufferedFile() {
  classrOutPutRoutines& link = m_TransmitionRoutines.Link();
  const classrTransVars& vars = link.Vars();
  completed_ = 0;
  bool result = false;
  for (int r = 0; r < kAttempts && !buffer_.empty() && !vars.Cancel; ++r) {
    if (r > 0) Message("Retrying " + std::to_string(buffer_.size()) + " buffered packets");
    std::string out;
    for (clsBufferEntry& e : buffer_) {
      if (r == 0 && e.ItemStatus != "NEW") continue;
      out += e.BufferString;
      e.FirstTransOK = false;
      e.SecTransOK = false;
      e.ItemStatus = "SENT";
    }
    // The burst goes out and the first answer comes back in one engine call.
    std::string reply;
    bool noReply = false;
    const bool ok = TransmitPacket(255, 255, 12, {}, reply, noReply, out);
    HandleReply(reply, false, true);
    if (!ok) {
      Message("Timed out waiting for ACK (ACK Missed)");
      link.ErrorMessage = "Timed out waiting for ACK";
      AdaptResponseTime();
    }
    if (IsOkReply(reply) && !noReply) {
      for (int pass = 0; pass < 2 && !buffer_.empty() && !vars.Cancel; ++pass) {
        if (!WaitForAll && completed_ > 0) break;
        const std::size_t replies = 2 * buffer_.size() - 1;
        for (std::size_t k = 0; k < replies && !buffer_.empty() && !vars.Cancel; ++k) {
          if (!WaitForAll && completed_ > 0) break;
          link.Pump();
          const std::string ack = link.GetAck();
          if (ack.size() < 2 || ack[0] != DLE || (ack[1] != ACK && ack[1] != STX)) {
            Message("Timed out waiting for Ack (Ack Missed).");
            link.ErrorMessage = "Timed out waiting for ACK";
            AdaptResponseTime();
            break;
          }
          HandleReply(link.GetPacket(ack), true, false);
        }
      }
    }
    if (WaitForAll) {
      result = buffer_.empty();
      if (r == kAttempts - 1 && !result) ClearBuffer();
    } else if (completed_ > 0) {
      return true;
    } else {
      result = false;
    }
  }
  return result;
}

}  // namespace qordtcon
