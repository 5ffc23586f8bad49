// signsim, the emulated sign: a sign that answers the control's frames on TCP, on a
// pseudo-terminal (a direct serial line) and behind an emulated Hayes modem on a
// pseudo-terminal, keeps real state, and misbehaves on cue. Tests start one in-process
// (`127.0.0.1` port 0); the `signsim` program wraps the same class.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace signsim {

// Misbehaviour on cue. Frame faults (DropAck to Foreign, but Echo) apply to the next
// frames addressed to this sign; Echo is a property of the line; DropAfter cuts the next
// connection that receives bytes; Reorder answers the next frames that arrive together (a
// burst) last first. The boot loader's faults follow Reorder: each says in its comment
// what one application of it is.
enum class FaultKind {
  DropAck,
  Nak,
  BadBcc,
  Silent,
  ErrorReply,
  Echo,
  Delay,
  Foreign,
  DropAfter,
  Reorder,
  NoMenu,          // a boot loader visit (one reset) prints nothing at all
  SlowBoot,        // a boot loader visit (one reset) boots for `value` ms before its banner
  NoXmodem,        // an "L" is ignored: the receiver does not start
  XmodemNak,       // block number `value` arrives whole and is refused (NAK)
  XmodemDrop,      // block number `value` is lost on the line, and the receiver's NAKs for it
                   // until the sender sends it again
  XmodemCancel,    // block number `value` arrives and the receiver cancels (CAN CAN)
  FlashStall,      // a flash write prints its marks for `value` ms, then nothing: not written
  SlowFlash,       // a flash write prints "." every second for `value` ms, then completes
  LoaderSilent,    // a QX4 loader frame (of command `cmd`) goes unanswered and unheard
  LoaderBadLength  // the answer to a QX4 loader frame (of command `cmd`) says a length of
                   // 32768 or more in its header
};
inline constexpr int kAlways = -1;
struct Fault {
  FaultKind kind;
  int value = 0;  // error code, delay in ms, foreign node, byte budget, block number
  int count = 1;  // frames (or resets, commands, blocks, writes) it applies to, or kAlways
  int cmd = -1;   // only frames of this command (-1: any); a loader command for the Loader kinds
  int fnc = -1;   // only frames of this function (-1: any)
};

// Parses KIND[=VALUE][@CMD/FNC][:COUNT|:always]; throws std::invalid_argument with a text that
// says what was wrong and what is accepted.
Fault ParseFault(std::string_view spec);
// The spelling of a kind in fault specs, dumps and reports ("drop-ack").
std::string_view FaultKindName(FaultKind kind);
// Every kind, in report order.
const std::vector<FaultKind>& AllFaultKinds();

// What answers after a reset: a boot loader with a text menu and an XMODEM receiver
// (Menu), or the same loader on a QX4 board, which also takes QX4 loader frames ("~")
// wherever the sign protocol waits for a frame.
enum class Board { Menu, Qx4 };
std::string_view BoardName(Board board);  // "menu", "qx4"

struct Options {
  std::string tcp = "127.0.0.1:3001";  // "" = no TCP; port 0 = ephemeral
  std::string ptyLink;                 // "" = no direct-serial pty
  std::string modemPtyLink;            // "" = no modem pty
  std::uint8_t node = 1;
  std::string applName = "SIGNSIM";  // statistics appl_name
  std::string dumpState;             // "" = no dump
  std::string dialResult = "CONNECT";
  std::vector<Fault> faults;
  std::string serialNumber = "SIM000001";
  // Files the directory holds at start: each one's 8.3 name, size and modification time.
  std::vector<std::string> files;
  std::int64_t memory = 16 << 20;  // room for files, those above included
  std::string store;  // "" = files live in memory only; else also written into this directory
  std::chrono::milliseconds guardTime{1000};  // modem escape guard time around "+++"
  Board board = Board::Menu;
  std::string firmwareOut;  // "" = none; else every image written to flash goes here
  // How long a QX4 board takes to start its RAM loader (silent meanwhile).
  std::chrono::milliseconds loaderStartTime{1000};
  // "" = no web page; else ADDR:PORT of the page that draws the sign (port 0 = ephemeral).
  std::string http;
};

// A frame for this sign as it crossed the line.
struct TrafficLine {
  bool fromHost = true;
  std::string bytes;
  std::chrono::system_clock::time_point at;
};

struct Counters {
  int frames = 0;         // frames addressed to this sign or to all signs
  int acks = 0;           // DLE ACK sent for a frame
  int naks = 0;           // DLE NAK sent for a frame (bad BCC or the nak fault)
  int inquiries = 0;      // DLE ENQ for this sign
  int executed = 0;       // commands carried out
  int repeats = 0;        // repeated transaction numbers answered again
  int broadcasts = 0;     // frames for all signs
  int otherNode = 0;      // frames for other signs, ignored
  int hostAcks = 0;       // DLE ACK from the host
  int hostNaks = 0;       // DLE NAK from the host
  int connections = 0;    // TCP accepts and pty opens by the host
  int dials = 0;          // modem dial commands
  int connects = 0;       // modem dials answered CONNECT
  int hangups = 0;        // modem calls ended (ATH, host closed the port, carrier dropped)
  int disconnects = 0;    // host connections that ended
  int badBcc = 0;         // frames whose block check was wrong
  int replies = 0;        // reply frames sent
  int oversized = 0;      // frames dropped for exceeding the frame bound
  int filesReceived = 0;  // files stored by their last block
  int fileBlocks = 0;     // data blocks taken, the last ones included
  int filesDeleted = 0;   // files deleted by the host
  int fileRequests = 0;   // blocks of stored files sent to the host
  int boots = 0;          // boot loader visits (resets addressed to this sign or to all)
  int xmodemBlocks = 0;   // XMODEM blocks taken (duplicates not counted)
  int xmodemNaks = 0;     // XMODEM NAKs sent for a bad or refused block, or a silent sender
  int flashWrites = 0;    // images written to flash whole (either board)
  int loaderFrames = 0;   // QX4 loader frames with a good check value
  std::map<FaultKind, int> faults;  // applications per fault kind
};

// Each counter with its name, in report order (dumps, the program's exit report).
const std::vector<std::pair<const char*, int Counters::*>>& CounterFields();

class Simulator {
 public:
  explicit Simulator(Options options);
  ~Simulator();  // Stop()
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  void Start();  // throws std::runtime_error naming what failed
  void Stop();

  std::uint16_t TcpPort() const;
  std::uint16_t HttpPort() const;    // 0 without a web page
  std::string PtyPath() const;       // path the host opens (the link)
  std::string ModemPtyPath() const;  // path the host opens (the link)

  void AddFault(Fault fault);
  void ClearFaults();
  // One of CONNECT, BUSY, NO CARRIER, NO DIALTONE, NO ANSWER; else std::invalid_argument.
  void SetDialResult(std::string result);

  Counters GetCounters() const;
  // Blocks until pred(counters) holds or the timeout passes; woken by every change.
  bool WaitFor(const std::function<bool(const Counters&)>& pred,
               std::chrono::milliseconds timeout) const;
  nlohmann::json State() const;  // what --dump-state writes (state + counters)
  // Frames (unstuffed, whole) received for this sign or for all signs, oldest first;
  // the most recent 4096 are kept.
  std::vector<std::string> ReceivedFrames() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace signsim
