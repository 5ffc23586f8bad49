// The sign side of the frame protocol on one connection, over any byte stream: it
// assembles frames, checks their block check, acknowledges or refuses them, runs the
// command once and answers, re-answers a repeated transaction, answers inquiries,
// counts the host's acknowledges, and applies the armed faults. After a reset the board's
// boot loader has the line until it leaves; a QX4 board also takes its loader frames
// where a frame may start. The transport hands it received bytes and gives it a Line to
// answer on.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "boot_loader.hpp"
#include "line.hpp"
#include "shared_sign.hpp"

namespace signsim {

// Frames longer than this (stuffed, on the wire) are dropped unread, so a peer that
// streams without end cannot eat memory.
inline constexpr std::size_t kMaxFrame = 1 << 20;

class Session {
 public:
  Session(SharedSign& sign, Line& line)
      : sign_(sign), line_(line), id_(sign.OpenSession()), boot_(sign, line) {}
  ~Session() { sign_.CloseSession(id_); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  void Receive(std::string_view bytes);
  bool Dropped() const { return dropped_; }

 private:
  enum class State { Idle, IdleDle, Frame, FrameDle, FrameBcc, EnqNode, EnqBcc, LoaderFrame };

  // The answered transaction that a repeat of its number gets again.
  struct Transaction {
    std::uint16_t number = 0;
    std::uint8_t cmd = 0;
    std::uint8_t fnc = 0;
    std::string replyBody;  // unstuffed, DST to the end of the data
  };

  void Step(char c);
  void Echo(char c);
  void BeginFrame();
  void StartFrame();
  void HandleFrame();
  void LoaderByte(char c);
  void HandleInquiry(std::uint8_t node, std::uint8_t bcc);
  void Answer(const std::string& replyBody, bool newBcc, int cmd, int fnc);
  std::string ReplyFrame(std::string_view body, bool newBcc, bool corrupt) const;
  void Flush();

  SharedSign& sign_;
  Line& line_;
  const SessionId id_;
  State state_ = State::Idle;
  std::string frame_;  // the frame being assembled, as received (stuffed)
  std::string out_;    // output gathered while handling one batch of bytes
  // Where each answer (acknowledge and reply) of the batch lies in out_: a reorder fault
  // swaps them around.
  std::vector<std::pair<std::size_t, std::size_t>> answers_;
  std::uint8_t enqNode_ = 0;
  bool echoArmed_ = false;     // an echo fault waits (checked once per batch)
  bool echoPeriod_ = false;    // this frame's period echoes, up to the next frame
  bool silentPeriod_ = false;  // this frame's period ignores inquiries and acknowledges
  bool lastAnswered_ = false;  // the last frame for this sign was acknowledged and answered
  std::optional<Transaction> last_;
  std::optional<int> dropBudget_;  // bytes still taken before the line is dropped
  bool dropped_ = false;
  BootLoader boot_;          // takes the line after a reset, until it leaves
  std::string loaderFrame_;  // a QX4 loader frame being assembled, from its "~"
};

}  // namespace signsim
