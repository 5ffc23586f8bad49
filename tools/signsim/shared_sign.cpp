#include "shared_sign.hpp"

#include "atomic_file.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <qordtcon/firmware/qx4.hpp>

namespace signsim {

namespace {

constexpr std::size_t kFramesKept = 4096;
constexpr std::size_t kTrafficKept = 50;

constexpr std::array<std::string_view, 5> kDialResults = {"CONNECT", "BUSY", "NO CARRIER",
                                                          "NO DIALTONE", "NO ANSWER"};

nlohmann::json CountersJson(const Counters& c) {
  nlohmann::json out = nlohmann::json::object();
  for (const auto& [name, field] : CounterFields())
    out[name] = c.*field;
  nlohmann::json faults = nlohmann::json::object();
  for (const FaultKind kind : AllFaultKinds()) {
    const auto it = c.faults.find(kind);
    faults[std::string(FaultKindName(kind))] = it == c.faults.end() ? 0 : it->second;
  }
  out["faults"] = std::move(faults);
  return out;
}

}  // namespace

const std::vector<std::pair<const char*, int Counters::*>>& CounterFields() {
  static const std::vector<std::pair<const char*, int Counters::*>> fields = {
      {"frames", &Counters::frames},
      {"acks", &Counters::acks},
      {"naks", &Counters::naks},
      {"inquiries", &Counters::inquiries},
      {"executed", &Counters::executed},
      {"repeats", &Counters::repeats},
      {"broadcasts", &Counters::broadcasts},
      {"otherNode", &Counters::otherNode},
      {"hostAcks", &Counters::hostAcks},
      {"hostNaks", &Counters::hostNaks},
      {"connections", &Counters::connections},
      {"dials", &Counters::dials},
      {"connects", &Counters::connects},
      {"hangups", &Counters::hangups},
      {"disconnects", &Counters::disconnects},
      {"badBcc", &Counters::badBcc},
      {"replies", &Counters::replies},
      {"oversized", &Counters::oversized},
      {"filesReceived", &Counters::filesReceived},
      {"fileBlocks", &Counters::fileBlocks},
      {"filesDeleted", &Counters::filesDeleted},
      {"fileRequests", &Counters::fileRequests},
      {"boots", &Counters::boots},
      {"xmodemBlocks", &Counters::xmodemBlocks},
      {"xmodemNaks", &Counters::xmodemNaks},
      {"flashWrites", &Counters::flashWrites},
      {"loaderFrames", &Counters::loaderFrames},
  };
  return fields;
}

SharedSign::SharedSign(const Options& options)
    : node_(options.node),
      dumpPath_(options.dumpState),
      sign_(options, counters_),
      firmware_(options) {
  for (const Fault& fault : options.faults)
    faults_.Add(fault);
  SetDialResult(options.dialResult);
  std::lock_guard lock(mutex_);
  DumpLocked();
}

void SharedSign::AddFault(const Fault& fault) {
  std::lock_guard lock(mutex_);
  faults_.Add(fault);
}

void SharedSign::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.Clear();
}

bool SharedSign::FaultArmed(FaultKind kind) const {
  std::lock_guard lock(mutex_);
  return faults_.Armed(kind);
}

std::optional<Fault> SharedSign::TakeFault(FaultKind kind, int cmd, int fnc, int value) {
  std::lock_guard lock(mutex_);
  auto fault = faults_.Take(kind, cmd, fnc, value);
  if (fault) {
    ++counters_.faults[kind];
    Changed();
  }
  return fault;
}

void SharedSign::Count(int Counters::*counter) {
  std::lock_guard lock(mutex_);
  ++(counters_.*counter);
  Changed();
}

Counters SharedSign::GetCounters() const {
  std::lock_guard lock(mutex_);
  return counters_;
}

bool SharedSign::WaitFor(const std::function<bool(const Counters&)>& pred,
                         std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return pred(counters_); });
}

void SharedSign::RecordFrame(std::string frame) {
  std::lock_guard lock(mutex_);
  frames_.push_back(std::move(frame));
  if (frames_.size() > kFramesKept) frames_.pop_front();
}

void SharedSign::RecordTraffic(bool fromHost, std::string bytes) {
  std::lock_guard lock(mutex_);
  traffic_.push_back({fromHost, std::move(bytes), std::chrono::system_clock::now()});
  if (traffic_.size() > kTrafficKept) traffic_.pop_front();
  Changed();
}

std::vector<TrafficLine> SharedSign::RecentTraffic() const {
  std::lock_guard lock(mutex_);
  return {traffic_.begin(), traffic_.end()};
}

std::uint64_t SharedSign::WaitForChange(std::uint64_t seen,
                                        std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return revision_ != seen; });
  return revision_;
}

Face SharedSign::GetFace(std::chrono::steady_clock::time_point now) const {
  std::lock_guard lock(mutex_);
  return sign_.GetFace(now);
}

std::vector<std::string> SharedSign::ReceivedFrames() const {
  std::lock_guard lock(mutex_);
  return {frames_.begin(), frames_.end()};
}

SessionId SharedSign::OpenSession() {
  std::lock_guard lock(mutex_);
  return ++lastSession_;
}

void SharedSign::CloseSession(SessionId session) {
  std::lock_guard lock(mutex_);
  if (sign_.EndSession(session)) DumpLocked();
}

Reply SharedSign::Execute(std::uint8_t cmd, std::uint8_t fnc, std::string_view data,
                          SessionId session) {
  std::lock_guard lock(mutex_);
  Reply reply = sign_.Execute(cmd, fnc, data, session);
  if (reply.ok) {
    ++counters_.executed;
    DumpLocked();
    Changed();
  }
  return reply;
}

void SharedSign::WriteFlash(std::string image) {
  std::lock_guard lock(mutex_);
  firmware_.Write(std::move(image), counters_);
  DumpLocked();
  Changed();
}

std::optional<std::string> SharedSign::LoaderFrame(std::string_view frame) {
  std::lock_guard lock(mutex_);
  if (faults_.Take(FaultKind::LoaderSilent, static_cast<std::uint8_t>(frame[1]))) {
    ++counters_.faults[FaultKind::LoaderSilent];
    Changed();
    return std::nullopt;
  }
  const std::uint64_t flash = firmware_.Changes();
  auto answer = firmware_.LoaderFrame(frame, Firmware::Clock::now(), counters_);
  if (answer && faults_.Take(FaultKind::LoaderBadLength, static_cast<std::uint8_t>(frame[1]))) {
    ++counters_.faults[FaultKind::LoaderBadLength];
    // The length's high byte gets its top bit; the check value still fits what is sent.
    (*answer)[4] = static_cast<char>((*answer)[4] | 0x80);
    const std::uint16_t check =
        qordtcon::QX4FrameCheck(std::string_view(*answer).substr(0, answer->size() - 2));
    (*answer)[answer->size() - 2] = static_cast<char>(check & 0xFF);
    (*answer)[answer->size() - 1] = static_cast<char>(check >> 8);
  }
  if (firmware_.Changes() != flash) DumpLocked();
  Changed();
  return answer;
}

void SharedSign::SetDialResult(std::string result) {
  std::transform(result.begin(), result.end(), result.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (std::find(kDialResults.begin(), kDialResults.end(), result) == kDialResults.end()) {
    throw std::invalid_argument("'" + result +
                                "' is not a dial result: use CONNECT, BUSY, NO CARRIER, "
                                "NO DIALTONE or NO ANSWER");
  }
  std::lock_guard lock(mutex_);
  dialResult_ = std::move(result);
}

std::string SharedSign::DialResult() const {
  std::lock_guard lock(mutex_);
  return dialResult_;
}

nlohmann::json SharedSign::State() const {
  std::lock_guard lock(mutex_);
  return StateLocked();
}

nlohmann::json SharedSign::StateLocked() const {
  nlohmann::json state = sign_.State();
  state["firmware"] = firmware_.State(Firmware::Clock::now());
  state["counters"] = CountersJson(counters_);
  return state;
}

// Written to a temporary file and renamed, so a reader never sees half a dump.
void SharedSign::DumpLocked() const {
  if (dumpPath_.empty()) return;
  const std::string text =
      StateLocked().dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  WriteFileAtomically(dumpPath_, text);
}

}  // namespace signsim
