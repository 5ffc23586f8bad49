// The XMODEM sender that carries a firmware file to a sign's boot loader.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qordtcon {

// The CRC-16 of an XMODEM block's data: polynomial 0x1021, initial value 0, not reflected,
// sent high byte first ("123456789" gives 0x31C3).
std::uint16_t XModemCrc16(std::string_view data);

// An XMODEM sender that talks through two callbacks instead of a port: OnGetData pulls the
// receiver's bytes and OnSendData pushes ours, so the same sender runs over a serial line,
// a modem or a TCP connection, whichever the caller has open.
//
// The receiver leads: its first "C" asks for CRC-16 checks, its first NAK for 8-bit
// checksums. Blocks carry 128 bytes (SOH), or 1024 (STX) in mode kXModem1K with a CRC
// receiver while a whole 1024 bytes are left; the last block is padded with 0x1A. A block
// is sent again on NAK or when no answer comes within AnswerWait; after MaxRetries failed
// tries of one block (or of the EOT) the sender gives up. Every wait has a deadline on the
// steady clock.
//
// Cancelling: when Canceled() turns true, or when the sender gives up, it sends CAN three
// times (a receiver stops on two in a row; the third covers one lost on the line) and
// returns false. Before the receiver has asked for the file nothing at all is sent. When the
// receiver sends CAN CAN, the sender stops without answering.
//
// An exception thrown by a callback leaves SendFile as it is, with nothing more sent.
class XModemSender {
 public:
  // Modes of SendFile's first argument.
  static constexpr std::int32_t kXModem = 1;    // 128-byte blocks
  static constexpr std::int32_t kXModem1K = 3;  // 1024-byte blocks while a whole one is left,
                                                // 128 for the tail

  // Asks for up to `count` bytes from the receiver; returns what has arrived (possibly empty
  // after the callback's own short wait). Count 0: whatever is waiting. The sender calls it
  // again and again until its deadline, so it must wait briefly (some 10 to 100 ms) when
  // nothing has arrived rather than return at once. Required.
  std::function<std::string(std::int16_t count)> OnGetData;
  // Sends bytes to the receiver. Required.
  std::function<void(const std::string& data)> OnSendData;
  // Polled before every block and on every pass of a wait: true stops the transfer. May
  // stay empty (never cancelled).
  std::function<bool()> Canceled;

  // Longest wait for the receiver's first "C" or NAK, and for the answer to one block or EOT.
  std::chrono::milliseconds StartWait{60000};
  std::chrono::milliseconds AnswerWait{10000};
  // A block (or the EOT) refused (NAK) or unanswered this many times ends the transfer.
  // Values below 1 count as 1.
  int MaxRetries = 10;

  // Sends the file at `path`; true when the receiver acknowledged every block and the end of
  // transmission. On false, ErrorMessage says what happened and what to check. A mode other
  // than kXModem or kXModem1K, or a missing OnGetData or OnSendData, throws
  // std::invalid_argument. The whole file is read before anything is sent: one that cannot
  // be read returns false without touching the line.
  bool SendFile(std::int32_t mode, const std::string& path);
  std::string ErrorMessage;
};

}  // namespace qordtcon
