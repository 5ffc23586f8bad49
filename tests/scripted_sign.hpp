// A scripted sign on loopback TCP for routine tests: it accepts the control's connection,
// reads every command frame, checks its block check, records what came, and answers as
// the test scripted it (per command and function code, or per call in order): DLE ACK and
// a reply frame for the same transaction, or nothing. Broadcasts (node 255) get no answer.
#pragma once

#include <qordtcon/protocol/frame.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "peer.hpp"

class ScriptedSign {
 public:
  // How the sign answers one command.
  struct Answer {
    std::uint8_t code = qordtcon::kReplyOk;  // reply CMD: 0xF0, 0xF1 or any other
    std::string payload;
    bool silent = false;  // neither acknowledge nor reply
  };
  static Answer Silent() { return {0, {}, true}; }

  // One command frame as the sign read it.
  struct Received {
    std::uint8_t dst = 0;
    std::uint8_t cmd = 0;
    std::uint8_t fnc = 0;
    std::string data;
    bool bccOk = false;
  };

  ScriptedSign() : thread_([this] { Serve(); }) {}
  ~ScriptedSign() {
    stop_ = true;
    thread_.join();
  }
  ScriptedSign(const ScriptedSign&) = delete;
  ScriptedSign& operator=(const ScriptedSign&) = delete;

  std::uint16_t port() const { return peer_.port(); }

  // The standing answer to every (cmd, fnc) command; the default is 0xF0, no payload.
  void On(std::uint8_t cmd, std::uint8_t fnc, Answer answer) {
    std::lock_guard lock(mutex_);
    standing_[{cmd, fnc}] = std::move(answer);
  }
  // Answers for the next calls, in order, before any standing answer.
  void Queue(Answer answer) {
    std::lock_guard lock(mutex_);
    queued_.push_back(std::move(answer));
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    standing_.clear();
    queued_.clear();
    received_.clear();
  }

  // The commands read so far, once at least `count` came (or after 5 s).
  std::vector<Received> Commands(std::size_t count = 0) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(5), [&] { return received_.size() >= count; });
    return received_;
  }

 private:
  void Serve() {
    using namespace std::chrono_literals;
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (!stop_ && !peer_.Accept(100ms)) {
      if (std::chrono::steady_clock::now() > until) return;
    }
    while (!stop_) {
      const std::string first = peer_.Read(1, 50ms);
      if (first.size() != 1 || first[0] != qordtcon::DLE) continue;
      // Inquiries (DLE ENQ), acknowledges and refusals of the control need no answer.
      if (peer_.Read(1, 2000ms) == std::string(1, qordtcon::STX)) ReadCommand();
    }
  }

  // Reads one frame after its DLE STX, records it, and answers it.
  void ReadCommand() {
    using namespace std::chrono_literals;
    const std::string rest = peer_.ReadToEnd(2000ms);
    if (rest.size() < 3 || rest.compare(rest.size() - 3, 2, {qordtcon::DLE, qordtcon::ETX}) != 0) {
      return;
    }
    const std::string body = qordtcon::UnstuffFrame(rest.substr(0, rest.size() - 3));
    const char bcc = rest.back();
    if (body.size() < 7) return;
    const bool newBcc = static_cast<std::uint8_t>(body[3]) == qordtcon::kStsNewBcc;
    Received r{static_cast<std::uint8_t>(body[0]), static_cast<std::uint8_t>(body[2]),
               static_cast<std::uint8_t>(body[6]), body.substr(7),
               static_cast<std::uint8_t>(bcc) == qordtcon::ReceiverBcc(body, newBcc)};
    const auto transNum = static_cast<std::uint16_t>(static_cast<std::uint8_t>(body[4]) |
                                                     static_cast<std::uint8_t>(body[5]) << 8);
    Answer answer;
    {
      std::lock_guard lock(mutex_);
      if (!queued_.empty()) {
        answer = queued_.front();
        queued_.pop_front();
      } else if (auto it = standing_.find({r.cmd, r.fnc}); it != standing_.end()) {
        answer = it->second;
      }
      if (r.dst == qordtcon::kBroadcastNode) answer.silent = true;
      received_.push_back(r);
    }
    changed_.notify_all();
    if (answer.silent) return;
    const std::string ack{qordtcon::DLE, qordtcon::ACK};
    peer_.Write(ack +
                qordtcon::BuildCommandFrame({0, answer.code, 0, transNum, newBcc}, answer.payload));
  }

  TcpListener peer_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::pair<std::uint8_t, std::uint8_t>, Answer> standing_;
  std::deque<Answer> queued_;
  std::vector<Received> received_;
  std::thread thread_;
};
