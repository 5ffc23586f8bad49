#include "session.hpp"

#include <algorithm>
#include <utility>

#include <qordtcon/firmware/qx4.hpp>
#include <qordtcon/payloads/fields.hpp>
#include <qordtcon/protocol/frame.hpp>

namespace signsim {

namespace {

constexpr std::uint8_t kResetFnc = 0xAA;    // CMD 0
constexpr std::uint8_t kPrepareFnc = 0xAB;  // CMD 0: prepare for a download

}  // namespace

using qordtcon::ACK;
using qordtcon::DLE;
using qordtcon::ENQ;
using qordtcon::ETX;
using qordtcon::NAK;
using qordtcon::STX;

void Session::Receive(std::string_view bytes) {
  if (dropped_ || bytes.empty()) return;
  echoArmed_ = sign_.FaultArmed(FaultKind::Echo);
  if (!dropBudget_) {
    if (const auto fault = sign_.TakeFault(FaultKind::DropAfter)) dropBudget_ = fault->value;
  }
  std::size_t i = 0;
  while (i < bytes.size() && dropBudget_ != 0) {
    if (boot_.Active()) {
      Flush();  // what the sign said before goes out before the boot loader's words
      std::string_view rest = bytes.substr(i);
      if (dropBudget_) rest = rest.substr(0, static_cast<std::size_t>(*dropBudget_));
      const BootLoader::Taken taken = boot_.Receive(rest);
      i += taken.used;
      if (dropBudget_) *dropBudget_ -= static_cast<int>(taken.used);
      if (taken.frameStart) StartFrame();
      continue;
    }
    // Inside a frame, a run of bytes up to the next DLE goes in whole: a 16000-byte file
    // block is one copy, not sixteen thousand steps.
    if (state_ == State::Frame && !dropBudget_ && !echoPeriod_ && !echoArmed_ && bytes[i] != DLE) {
      const std::size_t end = std::min(bytes.find(DLE, i), bytes.size());
      const std::size_t room = kMaxFrame - std::min(kMaxFrame, frame_.size());
      if (end - i < room) {
        frame_.append(bytes.substr(i, end - i));
        i = end;
        continue;
      }
    }
    Step(bytes[i++]);
    if (dropBudget_) --*dropBudget_;
  }
  Flush();
  if (dropBudget_ == 0) {
    dropped_ = true;
    line_.Drop();
  }
}

void Session::Echo(char c) {
  if (echoPeriod_ || echoArmed_) out_ += c;
}

void Session::Step(char c) {
  switch (state_) {
    case State::Idle:
      // A DLE is echoed with the byte after it: a frame start first decides whether
      // the new frame's period echoes.
      if (c == DLE) {
        state_ = State::IdleDle;
      } else if (c == static_cast<char>(qordtcon::kQX4Flag) && sign_.GetBoard() == Board::Qx4) {
        loaderFrame_ = c;
        state_ = State::LoaderFrame;
      } else {
        Echo(c);
      }
      return;
    case State::LoaderFrame:
      LoaderByte(c);
      return;
    case State::IdleDle:
      state_ = State::Idle;
      if (c == STX) StartFrame();
      Echo(DLE);
      Echo(c);
      if (c == ACK) sign_.Count(&Counters::hostAcks);
      if (c == NAK) sign_.Count(&Counters::hostNaks);
      if (c == ENQ) state_ = State::EnqNode;
      return;
    case State::EnqNode:
      Echo(c);
      enqNode_ = static_cast<std::uint8_t>(c);
      state_ = State::EnqBcc;
      return;
    case State::EnqBcc:
      Echo(c);
      state_ = State::Idle;
      HandleInquiry(enqNode_, static_cast<std::uint8_t>(c));
      return;
    case State::Frame:
    case State::FrameDle:
    case State::FrameBcc:
      break;
  }
  Echo(c);
  frame_ += c;
  if (frame_.size() > kMaxFrame) {
    sign_.Count(&Counters::oversized);
    frame_.clear();
    state_ = State::Idle;
    return;
  }
  if (state_ == State::FrameBcc) {
    state_ = State::Idle;
    HandleFrame();
  } else if (state_ == State::FrameDle) {
    if (c == ETX) {
      state_ = State::FrameBcc;
    } else if (c == STX) {
      frame_ = {DLE, STX};  // a new frame cuts the unfinished one short
      state_ = State::Frame;
    } else {
      state_ = State::Frame;
    }
  } else if (c == DLE) {
    state_ = State::FrameDle;
  }
}

void Session::StartFrame() {
  BeginFrame();
  frame_ = {DLE, STX};
  state_ = State::Frame;
}

// A loader frame runs to the length its header gives; one that claims more than a
// signed 16-bit length holds is noise, and the line goes back to waiting for a frame.
void Session::LoaderByte(char c) {
  loaderFrame_ += c;
  const auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(loaderFrame_[i]); };
  if (loaderFrame_.size() == 5 && at(4) >= 0x80) {
    loaderFrame_.clear();
    state_ = State::Idle;
    return;
  }
  if (loaderFrame_.size() < qordtcon::kQX4HeaderSize) return;
  const std::size_t length = at(3) | at(4) << 8;
  if (loaderFrame_.size() < qordtcon::kQX4HeaderSize + length + 2) return;
  state_ = State::Idle;
  if (auto answer = sign_.LoaderFrame(std::exchange(loaderFrame_, {}))) out_ += *answer;
}

void Session::BeginFrame() {
  echoPeriod_ = sign_.TakeFault(FaultKind::Echo).has_value();
  silentPeriod_ = false;
}

void Session::HandleFrame() {
  const std::string wire = std::exchange(frame_, {});
  const std::string frame = qordtcon::UnstuffFrame(wire);
  // DLE STX, seven header bytes, DLE ETX, BCC at the least.
  if (frame.size() < 12) return;
  const std::string_view body(frame.data() + 2, frame.size() - 5);
  qordtcon::ByteReader header(body);
  const std::uint8_t dst = header.Byte();
  header.Skip(1);  // SRC
  const std::uint8_t cmd = header.Byte();
  const std::uint8_t sts = header.Byte();
  const auto number = static_cast<std::uint16_t>(header.UnsignedWord());
  const std::uint8_t fnc = header.Byte();
  const std::string_view data = body.substr(7);

  const bool broadcast = dst == qordtcon::kBroadcastNode;
  if (dst != sign_.Node() && !broadcast) {
    sign_.Count(&Counters::otherNode);
    return;
  }
  sign_.Count(&Counters::frames);
  sign_.RecordFrame(frame);
  sign_.RecordTraffic(true, wire);
  if (!broadcast && sign_.TakeFault(FaultKind::Silent, cmd, fnc)) {
    silentPeriod_ = true;
    lastAnswered_ = false;
    return;
  }
  const bool newBcc = sts == qordtcon::kStsNewBcc;
  if (qordtcon::ReceiverBcc(body, newBcc) != static_cast<std::uint8_t>(frame.back())) {
    sign_.Count(&Counters::badBcc);
    if (broadcast) return;
    out_ += {DLE, NAK};
    sign_.Count(&Counters::naks);
    lastAnswered_ = false;
    return;
  }
  if (cmd == 0 && (fnc == kResetFnc || fnc == kPrepareFnc)) {
    // The host sends these two without waiting: an answer would stay in its input and be
    // read as the answer to its next command. A reset reboots the board, which forgets
    // the last transaction and comes up in its boot loader.
    if (broadcast) sign_.Count(&Counters::broadcasts);
    const bool done = sign_.Execute(cmd, fnc, data, id_).ok;
    lastAnswered_ = false;
    if (done && fnc == kResetFnc) {
      last_.reset();
      boot_.Start();
    }
    return;
  }
  if (broadcast) {
    sign_.Count(&Counters::broadcasts);
    sign_.Execute(cmd, fnc, data, id_);
    return;
  }
  if (sign_.TakeFault(FaultKind::DropAck, cmd, fnc)) {
    lastAnswered_ = false;
    return;
  }
  if (sign_.TakeFault(FaultKind::Nak, cmd, fnc)) {
    out_ += {DLE, NAK};
    sign_.Count(&Counters::naks);
    lastAnswered_ = false;
    return;
  }
  if (last_ && last_->number == number && last_->cmd == cmd && last_->fnc == fnc) {
    // The host missed the answer and sent the same transaction again.
    sign_.Count(&Counters::repeats);
    // The repeat may announce the other block check: the reply's STS follows it, as
    // its block check does.
    std::string body = last_->replyBody;
    body[3] = static_cast<char>(sts);
    Answer(body, newBcc, cmd, fnc);
    return;
  }
  Reply reply;
  if (const auto fault = sign_.TakeFault(FaultKind::ErrorReply, cmd, fnc)) {
    reply = Reply::Error(static_cast<std::uint8_t>(fault->value));
  } else {
    reply = sign_.Execute(cmd, fnc, data, id_);
  }
  qordtcon::ByteWriter replyBody;
  replyBody.Byte(0).Byte(sign_.Node()).Byte(reply.ok ? qordtcon::kReplyOk : qordtcon::kReplyError);
  replyBody.Byte(sts).Word(number).Byte(reply.ok ? fnc : reply.code).Text(reply.data);
  last_ = Transaction{number, cmd, fnc, std::move(replyBody).str()};
  Answer(last_->replyBody, newBcc, cmd, fnc);
}

void Session::Answer(const std::string& replyBody, bool newBcc, int cmd, int fnc) {
  const std::size_t start = out_.size();
  out_ += {DLE, ACK};
  sign_.Count(&Counters::acks);
  lastAnswered_ = true;
  const auto delay = sign_.TakeFault(FaultKind::Delay, cmd, fnc);
  std::string reply;
  if (const auto foreign = sign_.TakeFault(FaultKind::Foreign, cmd, fnc)) {
    std::string body = replyBody;
    body[0] = static_cast<char>(foreign->value);
    reply += ReplyFrame(body, newBcc, false);
  }
  reply += ReplyFrame(replyBody, newBcc, sign_.TakeFault(FaultKind::BadBcc, cmd, fnc).has_value());
  sign_.Count(&Counters::replies);
  sign_.RecordTraffic(false, reply);
  if (delay) {
    Flush();
    line_.Send(std::move(reply), std::chrono::milliseconds(delay->value));
  } else {
    out_ += reply;
    answers_.emplace_back(start, out_.size() - start);
  }
}

std::string Session::ReplyFrame(std::string_view body, bool newBcc, bool corrupt) const {
  const std::string stuffed = qordtcon::StuffBody(body);
  std::uint8_t bcc = qordtcon::SenderBcc(stuffed, newBcc);
  if (corrupt) bcc ^= 0xFF;
  std::string frame{DLE, STX};
  frame += stuffed;
  frame += {DLE, ETX, static_cast<char>(bcc)};
  return frame;
}

void Session::HandleInquiry(std::uint8_t node, std::uint8_t bcc) {
  if (node != sign_.Node()) return;
  // The inquiry carries no status byte: either block check method will do.
  const char nodeByte = static_cast<char>(node);
  if (bcc != qordtcon::ReceiverBcc({&nodeByte, 1}, false) &&
      bcc != qordtcon::ReceiverBcc({&nodeByte, 1}, true)) {
    return;
  }
  sign_.Count(&Counters::inquiries);
  if (silentPeriod_) return;
  out_ += {DLE, lastAnswered_ ? ACK : NAK};
}

void Session::Flush() {
  if (answers_.size() > 1 && sign_.TakeFault(FaultKind::Reorder)) {
    // The same bytes, the answers' places taken by the answers in reverse order.
    std::string reordered;
    std::size_t at = 0;
    for (std::size_t i = 0; i < answers_.size(); ++i) {
      const auto [start, length] = answers_[answers_.size() - 1 - i];
      reordered.append(out_, at, answers_[i].first - at).append(out_, start, length);
      at = answers_[i].first + answers_[i].second;
    }
    out_ = reordered + out_.substr(at);
  }
  answers_.clear();
  if (out_.empty()) return;
  line_.Send(std::move(out_), std::chrono::milliseconds(0));
  out_.clear();
}

}  // namespace signsim
