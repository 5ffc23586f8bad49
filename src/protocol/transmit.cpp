// The transaction: send, acknowledge, reply, check, answer, retry.
#include <stdexcept>

#include "qordtcon/link/log.hpp"
#include "qordtcon/link/settings.hpp"
#include "qordtcon/payloads/fields.hpp"
#include "qordtcon/protocol/frame.hpp"
#include "qordtcon/protocol/trans_routines.hpp"

namespace qordtcon {

namespace {

// The sign acknowledged: DLE ACK, or a reply that starts at once (DLE STX).
bool IsAck(const std::string& s) {
  return s.size() >= 2 && s[0] == DLE && (s[1] == ACK || s[1] == STX);
}

// The sign's answer to an inquiry (DLE ACK or DLE NAK), and how long it may take.
constexpr std::size_t kAnswerSize = 2;
constexpr std::chrono::milliseconds kInquiryAnswerWait{250};

std::string Codes(std::int32_t cmd, std::uint8_t fnc) {
  return "CMD:[" + HexText(static_cast<std::uint32_t>(cmd)) + "] FNC:[" + HexText(fnc) + "]";
}

}  // namespace

std::string classrTransRoutines::ReportedErrorMessage(const std::string& reply, std::int32_t Cmd,
                                                      std::uint8_t Fnc) {
  const auto rc = static_cast<std::uint8_t>(reply.at(4));
  const auto rf = static_cast<std::uint8_t>(reply.at(8));
  return "Display Reported Error [" + HexText(rc) + "]-" + LookUpCommandErrorCode(rc) + " [" +
         HexText(rf) + "]-" + LookUpFunctionErrorCode(rf) + " for last " + Codes(Cmd, Fnc);
}

void classrTransRoutines::WaitUntiTransmittionIsDone() {
  const auto deadline = Clock::now() + std::chrono::seconds(8);
  while (vars_.Transmitting) {
    link_.Pump();
    if (!vars_.Connected || vars_.Cancel || Clock::now() > deadline) break;
    link_.Sleep(10);
  }
}

std::string classrTransRoutines::BuildFrame(std::int32_t Cmd, std::uint8_t Fnc,
                                            const std::string& Data) const {
  if (Cmd >= 255) return {};  // 255 only listens for a reply
  if (Cmd < 0) throw std::overflow_error("Overflow: command code " + std::to_string(Cmd));
  return BuildCommandFrame({vars_.DestNode, static_cast<std::uint8_t>(Cmd), Fnc,
                            static_cast<std::uint16_t>(vars_.TransNum), vars_.NewBcc},
                           Data);
}

void classrTransRoutines::SendAfterAbort(std::int32_t Cmd, std::uint8_t Fnc,
                                         const std::string& Data) {
  if (!vars_.Connected) return;
  vars_.IncTransNum();
  if (OnPacketSent) OnPacketSent(vars_.TransNum, 0);
  link_.SendAfterAbort(BuildFrame(Cmd, Fnc, Data));
  link_.ErrorMessage = "User Canceled";
}

std::string classrTransRoutines::Refusal() const {
  if (vars_.Cancel) return "User Canceled";  // until the next open
  if (link_.Abort) {
    return "Not Connected - the connection could not be opened; call OpenConnectionToDisplay "
           "again";
  }
  if (!link_.Opened()) return "Not Connected - call OpenConnectionToDisplay first";
  // Only a network link is called again; a closed serial line has nothing to re-open.
  if (!vars_.Connected && !link_.Reconnects()) {
    return "Not Connected - the line was closed; call OpenConnectionToDisplay again";
  }
  return {};
}

void classrTransRoutines::Inquire() {
  const std::string text =
      "Ack was not received - Inquiring Trans: " + std::to_string(vars_.TransNum) + "  ";
  if (OnStatus) OnStatus(text);
  link_.Log(text, 2);
  link_.Pump();
  std::string inquiry = BuildInquiryFrame(vars_.DestNode, vars_.NewBcc);
  link_.TransmitOutStr(inquiry);
  // The answer is not read, but it must not be taken for the answer to the resend: it
  // gets a moment to arrive, so that the flush before the resend drops it.
  link_.AwaitInput(kAnswerSize, kInquiryAnswerWait);
}

bool classrTransRoutines::Awaited(const std::string& frame, bool matchTransNum) const {
  if (frame[2] != 0) return false;  // for another node
  if (!matchTransNum) return true;
  return frame.size() > 7 && MakeSignedWord(static_cast<std::uint8_t>(frame[7]),
                                            static_cast<std::uint8_t>(frame[6])) == vars_.TransNum;
}

std::string classrTransRoutines::CollectReply(std::string s, bool matchTransNum) {
  link_.Pump();
  if (link_.LinkTransferMode == 0) link_.Sleep(2);
  s = link_.GetPacket(s);
  if (s.size() > 3) {
    const std::int32_t timeout = link_.LinkTransferMode != 0
                                     ? link_.CachedResponseTime
                                     : GetSettingLong("MessageResponseTime", "5000");
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout);
    while (Clock::now() <= deadline && !vars_.Cancel) {
      if (s.size() < 4) {
        link_.Sleep(5);
        s = link_.GetPacket(s);
      } else if (!Awaited(s, matchTransNum)) {
        s = link_.GetPacket(s);  // a frame for another node, or a late answer
      } else {
        break;
      }
    }
  }
  if (s.empty()) {
    link_.Pump();
    link_.Sleep(500);
    s = link_.GetPacket({});
    if (matchTransNum && s.size() > 3 && !Awaited(s, true)) s.clear();
  }
  return s;
}

bool classrTransRoutines::TransmitPacket(std::int32_t Cmd, std::uint8_t Fnc,
                                         std::int32_t /*Reserved*/, const std::string& Data,
                                         std::string& Response, bool& NoReply,
                                         const std::string& Prefix) {
  if (vars_.Transmitting) WaitUntiTransmittionIsDone();
  std::string& error = link_.ErrorMessage;
  error.clear();
  std::int32_t attempts = RetryCount;
  std::int32_t retry = 0;
  bool echoSeen = false;
  // Refused at once, nothing sent: an abort still pending, or no connection to re-open.
  if (error = Refusal(); !error.empty()) return false;
  vars_.Transmitting = true;
  try {
    if (!vars_.Connected) link_.OpenWinConnection();
    // Whatever already waits is no answer to this frame: read as one, it would shift
    // every later transaction onto its predecessor's reply. Only a call that sends a
    // burst (a prefix) or only listens expects answers to frames built before.
    if (Prefix.empty() && Cmd < 255) link_.DropStaleInput();
    NoReply = NoReply || vars_.DestNode == kBroadcastNode;
    vars_.IncTransNum();
    // Only a frame sent here has a number to match: a call that only listens (Cmd 255,
    // the bursts) waits for answers to frames built before.
    const bool matchTransNum = Cmd < 255 && GetSettingBool("MatchTransactionNumber", "False");

    bool ackOk = false;
    bool replyOk = false;
    std::string s;
    while (!vars_.Cancel && !(ackOk && replyOk)) {
      ackOk = false;
      replyOk = false;
      bool inquired = false;
      s.clear();
      if (OnPacketSent) OnPacketSent(vars_.TransNum, static_cast<std::int16_t>(retry));
      // Built for every attempt: a transaction run by the host's message pump in between
      // moves the number on, and the frame carries the number just reported.
      std::string sent = Prefix + BuildFrame(Cmd, Fnc, Data);
      link_.TransmitOutStr(sent);
      if (NoReply) {
        link_.Sleep(settings_.NoReplyPause());
        break;
      }

      // Acknowledge wait: at most one inquiry per attempt. Bytes that are no acknowledge
      // keep it going for one read time-out at most; then it counts as silence.
      const auto ackDeadline = Clock::now() + std::chrono::milliseconds(link_.MessageResponseTime);
      while (!vars_.Cancel && !ackOk) {
        s = link_.GetAck();
        ackOk = IsAck(s);
        const bool echo = sent.size() >= 2 && s == sent.substr(0, 2);
        if (!ackOk && (s.size() < 2 || Clock::now() >= ackDeadline)) {
          s.clear();  // bytes that are no acknowledge count as silence
          Inquire();
          inquired = true;
          break;
        }
        if (!ackOk && !echo) {
          if (s[0] == DLE && s[1] == NAK) {
            error = NakMessage(Cmd, Fnc);
            break;
          }
          continue;
        }
        if (!ackOk) {
          // The line echoes our own bytes: swallow the echo, then read the real answer.
          s += link_.InputStr(static_cast<std::int16_t>(sent.size() - 2));
          if (s != sent) continue;
          echoSeen = true;
          s = link_.InputStr(2);
          if (!IsAck(s)) continue;
          ackOk = true;
        }

        s = CollectReply(s, matchTransNum);
        if (s.size() > 9 && static_cast<std::uint8_t>(s[4]) == kReplyError) {
          // The sign refuses the command: acknowledge, and do not resend.
          ackOk = false;
          if (error.empty()) error = ReportedErrorMessage(s, Cmd, Fnc);
          link_.SendAck();
          attempts = 0;
        }
        break;
      }

      if (ackOk) {
        replyOk = CheckPacket(static_cast<std::uint8_t>(Cmd), Fnc, s);
        if (replyOk) {
          link_.SendAck();
        } else if (!s.empty()) {
          link_.SendNak();
          s.clear();
        }
        if (echoSeen) link_.InputStr(2);  // the echo of our DLE ACK or DLE NAK
      }
      link_.Pump();
      if (vars_.Cancel || link_.Abort) break;
      if (!vars_.Connected) {
        link_.OpenWinConnection();
        link_.Sleep(1000);
      }
      if (vars_.Cancel) break;
      if (++retry >= attempts) {
        // The answer to the last inquiry goes as the flush before a resend would take it:
        // the next call must not read it as its own acknowledge.
        if (inquired && Prefix.empty()) link_.InputStr(0);
        break;
      }
      if (ackOk && replyOk) continue;
      if (Prefix.empty()) link_.ClearInputBuffer();
      const std::string text = "Retrying - Transaction: " + std::to_string(vars_.TransNum) + "  " +
                               std::to_string(retry) + " time(s)";
      if (OnStatus) OnStatus(text);
      link_.Log(text, 2);
    }

    if (vars_.Cancel && !(ackOk && replyOk)) {
      s = " ";
      error = "User Canceled";
    }
    if (s.empty() && error.empty()) {
      error = "Timed Out " + std::to_string(attempts) + " time(s) for " +
              DecimalText(link_.MessageResponseTime / 1000.0) + " sec. for " + Codes(Cmd, Fnc);
      link_.Log(error, 2);
    }
    bool result;
    if (NoReply) {
      result = true;
      Response.clear();
    } else {
      result = ackOk && replyOk;
      Response = s;
    }
    vars_.Transmitting = false;
    return result;
  } catch (const std::exception& e) {
    link_.Log(std::string("DTCon:Transmit Packet - Unexpected Error Occurred ") + e.what(), 2);
    vars_.Transmitting = false;
    return false;
  }
}

}  // namespace qordtcon
