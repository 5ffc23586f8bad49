// The sign protocol's frame: DLE STX, a stuffed body of seven header bytes and the
// payload, DLE ETX, and a block check character (BCC) that is never stuffed. Every
// command, reply and inquiry goes through these routines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qordtcon {

inline constexpr char DLE = 0x10;
inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;
inline constexpr char ENQ = 0x05;
inline constexpr char ACK = 0x06;
inline constexpr char NAK = 0x15;

// Status byte that tells the sign which block check the host uses.
inline constexpr std::uint8_t kStsNewBcc = 0xAA;
inline constexpr std::uint8_t kStsOldBcc = 0x00;

// Reply command codes with a meaning of their own.
inline constexpr std::uint8_t kReplyOk = 0xF0;
inline constexpr std::uint8_t kReplyError = 0xF1;

// Node 255 addresses every sign; such frames get no reply.
inline constexpr std::uint8_t kBroadcastNode = 255;

// Doubles every 0x10 of the body, header bytes included.
std::string StuffBody(std::string_view body);

// Removes the second 0x10 of every DLE DLE pair of a received frame; a 0x10 in the
// last position is kept.
std::string UnstuffFrame(std::string_view frame);

// Block check over a stuffed body, as the sender computes it: each logical 0x10 counts
// once; with the new method a 0x00 byte counts as 1. Body sum + BCC = 0 (mod 256).
std::uint8_t SenderBcc(std::string_view stuffedBody, bool newBcc);

// Block check over an unstuffed body, as the receiver checks it: a plain sum, with
// 0x00 counted as 1 under the new method.
std::uint8_t ReceiverBcc(std::string_view body, bool newBcc);

// Header and payload of a command, before stuffing.
struct CommandHeader {
  std::uint8_t dst = 0;
  std::uint8_t cmd = 0;
  std::uint8_t fnc = 0;
  std::uint16_t transNum = 0;
  bool newBcc = false;
};

// The unstuffed body: DST, SRC 0, CMD, STS, TNL, TNH, FNC, then the payload.
std::string CommandBody(const CommandHeader& header, std::string_view data);

// A whole command frame on the wire: DLE STX, stuffed body, DLE ETX, BCC.
std::string BuildCommandFrame(const CommandHeader& header, std::string_view data);

// The inquiry about a transaction whose acknowledge was missed: DLE ENQ, the node
// (never stuffed), and the block check over that one byte.
std::string BuildInquiryFrame(std::uint8_t dst, bool newBcc);

}  // namespace qordtcon
