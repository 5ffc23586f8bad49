// The board's boot loader, on the line that reset the sign. It boots, prints its banner
// and a ">" prompt, and serves a menu of one-letter commands ended by CR: M prints the
// menu, L receives an image by XMODEM, W writes it to flash, G starts the firmware (the
// sign protocol again). A frame start (DLE STX) leaves it at once, so that a host that
// reset the sign and goes on with its commands is served. Its texts hold neither an
// upper-case C nor NAK: a host watches for those to see the XMODEM receiver start.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "line.hpp"
#include "shared_sign.hpp"

namespace signsim {

class BootLoader {
 public:
  BootLoader(SharedSign& sign, Line& line) : sign_(sign), line_(line) {}
  ~BootLoader();
  BootLoader(const BootLoader&) = delete;
  BootLoader& operator=(const BootLoader&) = delete;

  // The sign was reset: the board boots into the loader.
  void Start();
  bool Active() const { return state_ != State::Off; }

  struct Taken {
    std::size_t used = 0;     // bytes the loader took
    bool frameStart = false;  // they ended in a frame start (DLE STX): it has left
  };
  // Takes bytes while active. It stops short of a byte that belongs to the sign
  // protocol once it has left (a QX4 board's "~").
  Taken Receive(std::string_view bytes);

 private:
  enum class State { Off, Booting, Menu, XmodemWait, Xmodem, Draining, Flashing };
  enum class Flash { Normal, Stall, Slow };

  void Say(std::string text);
  void After(std::chrono::milliseconds delay);
  void Timer();
  void Leave();
  std::string Title() const;
  void Command(std::string_view line);
  void StartXmodem();
  void Poke();
  void XmodemByte(char c);
  std::size_t BlockLength() const;
  void HandleBlock();
  void Nak();
  void Abort(std::string text, bool cancel);
  void EndOfTransfer();
  void StartFlash();
  void FlashStep();

  SharedSign& sign_;
  Line& line_;
  State state_ = State::Off;
  bool mute_ = false;  // this visit prints nothing (the no-menu fault)
  bool dle_ = false;   // the menu's last byte was DLE
  std::string command_;
  std::string image_;  // the image received last, for W
  // The XMODEM receiver.
  bool crc_ = true;            // CRC-16 asked for ("C"), else the checksum (NAK)
  int pokes_ = 0;              // "C"s and NAKs sent before the first block
  int quietNaks_ = 0;          // NAKs for a sender gone quiet within the transfer
  int cans_ = 0;               // CAN in a row between blocks
  bool lost_ = false;          // the line loses what we send until the sender's next block
  std::uint8_t expected_ = 1;  // the next block's number
  int taken_ = 0;              // blocks taken in this transfer
  std::size_t lastBlock_ = 0;  // where the last block taken begins in image_
  std::string block_;          // the block being received, from its SOH or STX
  std::string abortText_;      // printed once the sender has gone quiet
  // The flash write.
  Flash flash_ = Flash::Normal;
  int flashMs_ = 0, flashLimitMs_ = 0, flashStepMs_ = 0;
};

}  // namespace signsim
