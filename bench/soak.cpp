// Soak: many transactions of every command group from several controls, each on its own
// thread against its own emulated sign, with frame faults armed at random. It reports
// calls that outlive their worst-case bound (hangs), a crash of the process doing the
// work, read-backs that do not match what was written (wrong results), and resident
// memory at start and end. Exit status 0 only with no hang, no crash, no wrong result and
// no corrupted file.
//
//   build/bench/soak [--transactions N] [--controls K] [--serial-controls M]
//                    [--fault-rate P] [--faults KIND,...] [--max-delay MS]
//                    [--burst-faults 0|1] [--match-transaction-number] [--seed S]
//                    [--max-seconds T]
//                    [--ops NAME,...] [--skip NAME,...] [--only I] [--log FILE] [--verbose]
//
// Every control has a sign of its own: faults are per sign, so a fault armed before a
// call hits that call, and what one control wrote is what it reads back. The first M
// controls talk over the sign's direct-serial pseudo-terminal, the others over TCP.
// A transaction is one call of the control (a play-order read is one call of several
// frames). Before each call, with probability P, one fault of the KINDs is armed, now
// and then tied to one of the call's commands or repeated for every attempt.
//
// Each control draws its calls and faults from its own random stream (seed and index),
// so `--only I` with the same seed, --controls and --transactions replays control I
// alone, and `--log FILE` keeps its communication log with a line per call.
//
// Files: a call sends one of a few files of this soak's own (random bytes, up to 20 blocks)
// block by block or with one block in flight, looks at the sign's entry for it and fetches
// it back; its fault may be armed at any block. A file the sign lists as whole with other
// bytes than a send put there, or one fetched back with bytes no send put there, is a
// corrupted file.
//
// The work runs in a child process, so that a crash is seen and reported with what was
// in flight.
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <qordtcon/qordtcon.hpp>

#include "signsim/sha256.hpp"
#include "signsim/simulator.hpp"

using namespace qordtcon;
using namespace std::chrono;
namespace fs = std::filesystem;

namespace {

// --- Settings ------------------------------------------------------------------------------

// Short time-outs, so that a faulted call ends soon; long enough for 2 loaded cores.
constexpr int kResponseMs = 400;  // MessageResponseTime: one read, one reply wait
constexpr int kConnectMs = 3000;  // ConnectTimeOut
constexpr int kRetryIntervalMs = 1500;
constexpr int kNoReplyPauseMs = 20;
constexpr int kTransmitRetry = 3;       // attempts = 4
constexpr int kBurstResponseMs = 3000;  // SetDisplayInfo's own read time-out
// The soak's own files on each sign: few names, so that they are replaced and the sign's
// memory never fills.
constexpr int kFileNames = 8;
constexpr int kMaxFileBytes = 20000;
constexpr int kMaxFileBlocks = kMaxFileBytes / 1000;

struct Args {
  long transactions = 2000;
  int controls = 8;
  int serialControls = 1;
  double faultRate = 0.05;
  std::vector<signsim::FaultKind> kinds = {
      signsim::FaultKind::DropAck, signsim::FaultKind::Nak,        signsim::FaultKind::BadBcc,
      signsim::FaultKind::Silent,  signsim::FaultKind::ErrorReply, signsim::FaultKind::Delay,
      signsim::FaultKind::Foreign};
  int maxDelayMs = 3 * kResponseMs;
  bool burstFaults = true;  // faults also for the calls that send several frames in one write
  // The setting that skips late answers to earlier transactions instead of taking them.
  bool matchTransactionNumber = false;
  std::uint64_t seed = 1;
  double maxSeconds = 3600;
  bool verbose = false;
  int only = -1;                       // run only this control (its own share and random stream)
  std::vector<std::string> ops, skip;  // only these calls; not these calls
  std::string log;                     // keep the communication log (every line) in this file
};

[[noreturn]] void Usage(const std::string& what) {
  std::fprintf(stderr,
               "soak: %s\nusage: soak [--transactions N] [--controls K] [--serial-controls M] "
               "[--fault-rate P] [--faults KIND,...] [--max-delay MS] [--burst-faults 0|1] "
               "[--match-transaction-number] [--seed S] "
               "[--max-seconds T] [--ops NAME,...] [--skip NAME,...] [--only I] [--log FILE] "
               "[--verbose]\n"
               "  KIND: drop-ack nak bad-bcc silent error delay foreign\n",
               what.c_str());
  std::exit(2);
}

Args ParseArgs(int argc, char** argv) {
  Args a;
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    if (opt == "--verbose") {
      a.verbose = true;
      continue;
    }
    if (opt == "--match-transaction-number") {
      a.matchTransactionNumber = true;
      continue;
    }
    if (i + 1 >= argc) Usage(opt + " needs a value");
    const std::string v = argv[++i];
    char* end = nullptr;
    const double number = std::strtod(v.c_str(), &end);
    const bool isNumber = end && *end == '\0' && !v.empty();
    if (opt == "--log") {
      a.log = fs::absolute(v).string();
      continue;
    }
    if (opt == "--ops" || opt == "--skip") {
      std::stringstream list(v);
      for (std::string name; std::getline(list, name, ',');)
        (opt == "--ops" ? a.ops : a.skip).push_back(name);
      continue;
    }
    if (opt == "--faults") {
      a.kinds.clear();
      std::stringstream list(v);
      for (std::string kind; std::getline(list, kind, ',');) {
        if (kind.empty() || kind == "none") continue;
        // The value given here is a placeholder: each armed fault draws its own.
        const std::string spec = kind == "error" ? "error=1" : kind == "delay" ? "delay=1" : kind;
        try {
          a.kinds.push_back(signsim::ParseFault(spec).kind);
        } catch (const std::invalid_argument&) {
          Usage("--faults: unknown kind '" + kind + "'");
        }
      }
      continue;
    }
    if (!isNumber) Usage(opt + ": '" + v + "' is not a number");
    if (opt == "--transactions" && number >= 1) {
      a.transactions = static_cast<long>(number);
    } else if (opt == "--controls" && number >= 1 && number <= 64) {
      a.controls = static_cast<int>(number);
    } else if (opt == "--serial-controls" && number >= 0) {
      a.serialControls = static_cast<int>(number);
    } else if (opt == "--fault-rate" && number >= 0 && number <= 1) {
      a.faultRate = number;
    } else if (opt == "--max-delay" && number >= 0 && number <= 600000) {
      a.maxDelayMs = static_cast<int>(number);
    } else if (opt == "--only" && number >= 0 && number < 64) {
      a.only = static_cast<int>(number);
    } else if (opt == "--burst-faults" && (number == 0 || number == 1)) {
      a.burstFaults = number == 1;
    } else if (opt == "--seed") {
      a.seed = static_cast<std::uint64_t>(number);
    } else if (opt == "--max-seconds" && number > 0) {
      a.maxSeconds = number;
    } else {
      Usage("unknown option or value out of range: " + opt + " " + v);
    }
  }
  a.serialControls = std::min(a.serialControls, a.controls);
  return a;
}

// --- What a crash leaves behind: shared with the supervising parent --------------------------

struct InFlight {
  char op[40];
  char fault[48];
  long call;
  long startMs;  // 0: idle
};
struct Shared {
  std::atomic<long> done;
  InFlight slots[64];
};
Shared* shared = nullptr;

long NowMs() {
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// --- Findings ------------------------------------------------------------------------------

// A fault armed for an earlier call.
struct EarlierFault {
  std::string spec;
  long call;
  std::string op;
  std::string Text() const { return spec + " in call " + std::to_string(call) + " " + op; }
  // Its kind and the call it was armed for: where a trail of wrong results starts.
  std::string Origin() const { return spec.substr(0, spec.find_first_of("=@: ")) + " in " + op; }
};

struct Finding {
  std::string kind;  // "hang", "wrong", "corrupted"
  int control;
  long call;
  std::string op, fault;
  std::vector<EarlierFault> earlier;  // faults of earlier calls since the last good read-back
  std::string detail;
};

std::mutex findingsMutex;
std::vector<Finding> findings;

void Record(Finding f) {
  std::lock_guard lock(findingsMutex);
  findings.push_back(std::move(f));
}

std::string FaultSpec(const signsim::Fault& f) {
  std::string s(signsim::FaultKindName(f.kind));
  if (f.kind == signsim::FaultKind::ErrorReply || f.kind == signsim::FaultKind::Delay ||
      f.kind == signsim::FaultKind::Foreign) {
    s += "=" + std::to_string(f.value);
  }
  if (f.cmd >= 0) s += "@" + std::to_string(f.cmd) + "/" + std::to_string(f.fnc);
  if (f.count != 1) s += ":" + std::to_string(f.count);
  return s;
}

// --- The sign's state as this control last left it ----------------------------------------------

struct PlayEntry {
  std::string name;
  std::int32_t delay;
  std::int16_t prefix, suffix;
  bool operator==(const PlayEntry&) const = default;
};

struct CounterDef {
  std::int16_t operation, frequency, clearMode, incdec, format, autoreload;
  std::int32_t start, stop;
  bool operator==(const CounterDef&) const = default;
};

// One of the soak's files on the sign: what it may hold.
struct SignFile {
  bool known = true;  // false after an abort: anything
  bool mayBeAbsent = true;
  std::vector<std::string> whole;  // contents it may hold
  // Contents of sends that failed: it may hold one whole, or a first part of one.
  std::vector<std::string> begun;

  bool Holds(const std::string& bytes) const {
    return !known || std::find(whole.begin(), whole.end(), bytes) != whole.end() ||
           std::any_of(begun.begin(), begun.end(),
                       [&](const std::string& b) { return b.starts_with(bytes); });
  }
  bool HoldsWhole(const std::string& sha256) const {
    const auto same = [&](const std::string& b) { return signsim::Sha256Hex(b) == sha256; };
    return !known || std::any_of(whole.begin(), whole.end(), same) ||
           std::any_of(begun.begin(), begun.end(), same);
  }
  bool MayHaveSize(std::size_t size) const {
    return !known || std::any_of(whole.begin(), whole.end(), [&](const std::string& w) {
      return w.size() == size;
    }) || std::any_of(begun.begin(), begun.end(), [&](const std::string& b) {
      return size <= b.size();
    });
  }
  bool MayBeShort(std::size_t size) const {
    return !known || std::any_of(begun.begin(), begun.end(),
                                 [&](const std::string& b) { return size < b.size(); });
  }
};

// What the sign holds, as far as this control knows: a value that a failed write may or
// may not have changed is unknown (nullopt or absent) until the next successful write.
struct Model {
  std::optional<std::pair<long long, steady_clock::time_point>> clock;  // seconds at a moment
  std::map<int, std::string> variables, cells;
  std::map<int, CounterDef> counters;
  std::optional<std::vector<PlayEntry>> play = std::vector<PlayEntry>{};
  std::optional<std::string> description;
  std::optional<std::string> serial;
  std::map<std::string, SignFile> files;  // by name; one not here is absent
};

std::string SoakFileName(int n) {
  return "SOAK" + std::to_string(n) + ".BIN";
}

struct DirFile {
  std::string name;
  std::int32_t size;
};

// --- One control, its sign and its calls ---------------------------------------------------

constexpr std::uint8_t kNode = 1;
constexpr int kShown = 40;  // findings printed in full without --verbose

class Soaker;
struct Op {
  const char* name;
  int weight;
  std::vector<std::pair<int, int>> frames;  // CMD/FNC a fault may be tied to
  std::function<void(Soaker&)> run;
  bool burst = false;  // several frames in one write
  // The call arms its fault itself (ArmFault), where it chooses: inside a file transfer.
  bool armsFault = false;
};

struct FileCounts {
  long tried = 0, sent = 0, inFlight = 0, fetched = 0, deleted = 0;
};

class Soaker {
 public:
  Soaker(int index, const Args& args, const fs::path& dir, const std::vector<std::string>& files,
         const std::vector<DirFile>& dirFiles)
      : index_(index), args_(args), dir_(dirFiles), rng_(args.seed * 1000003 + index) {
    signsim::Options options;
    options.tcp = "127.0.0.1:0";
    options.files = files;
    options.node = kNode;
    serial_ = index < args.serialControls;
    if (serial_) options.ptyLink = (dir / ("sign" + std::to_string(index) + ".tty")).string();
    sim_ = std::make_unique<signsim::Simulator>(options);
    sim_->Start();
    control_ = std::make_unique<qorDispTrans>();
    work_ = dir / ("control" + std::to_string(index));
    fs::create_directory(work_);
  }

  bool Open() {
    classCONNECTION_METHOD cm;
    cm.dispID = kNode;
    if (serial_) {
      cm.HowToConnect = DirectConnect;
      cm.CommPort = sim_->PtyPath();
      cm.BaudRate = "9600";
    } else {
      cm.HowToConnect = NetworkConnect;
      cm.IPAddress = "127.0.0.1";
      cm.CommPort = std::to_string(sim_->TcpPort());
    }
    return control_->OpenConnectionToDisplay(cm);
  }

  // Runs `calls` transactions, or fewer when `stopAtMs` comes first.
  void Run(long calls, long stopAtMs, const std::vector<Op>& ops, std::atomic<long>& done);

  qorDispTrans& control() { return *control_; }
  signsim::Simulator& sim() { return *sim_; }
  Model& model() { return model_; }
  const std::vector<DirFile>& dir() const { return dir_; }
  bool faulted() const { return !fault_.empty(); }
  const fs::path& work() const { return work_; }
  FileCounts& files() { return files_; }

  int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  std::string Word(int minLength, int maxLength, const char* alphabet = "ABCDEFGHJKLMNPRSTUVWXYZ") {
    const int n = Uniform(minLength, maxLength);
    const int letters = static_cast<int>(std::strlen(alphabet));
    std::string s;
    for (int i = 0; i < n; ++i)
      s += alphabet[Uniform(0, letters - 1)];
    return s;
  }

  // A read is trusted only when the call reports success and left no error behind.
  bool ReadOk() {
    return control_->WasLastTransmitionGood() && control_->LastErrorMessage().empty();
  }
  void Wrong(const std::string& detail) {
    wrongInCall_ = true;
    Record({"wrong", index_, call_, op_, fault_, earlier_, detail});
  }
  void Corrupted(const std::string& detail) {
    wrongInCall_ = true;
    Record({"corrupted", index_, call_, op_, fault_, earlier_, detail});
  }
  // Arms the fault drawn for a call that arms its own, `where` said in the reports.
  void ArmFault(const std::string& where) {
    if (!deferred_) return;
    sim_->AddFault(*deferred_);
    deferred_.reset();
    fault_ += " " + where;
    std::snprintf(shared->slots[index_].fault, sizeof shared->slots[index_].fault, "%s",
                  fault_.c_str());
    std::lock_guard lock(currentMutex);
    current.fault = fault_;
  }
  // A read-back through the control was compared with what was written. A look at the
  // sign's state does not count: it passes although the control took a stale reply.
  void Checked() { checkedInCall_ = true; }
  void Failed() {
    if (fault_.empty() && earlier_.empty()) {
      ++failedWithoutFault_;
      if (args_.verbose) {
        std::printf("control %d call %ld %s failed without a fault: %s\n", index_, call_, op_,
                    control_->LastErrorMessage().c_str());
      }
    }
  }

  // Worst case of one call, from the settings. A transaction makes `attempts` attempts,
  // each waiting out the acknowledge, the reply, a 500 ms pause and a last look, then
  // maybe reconnects (connect time-out, a second's pause, a second in the open). Half as
  // much again, and 3 s, for a loaded machine.
  long BoundMs(const Op& op) const {
    const auto transaction = [](long response) {
      return (kTransmitRetry + 1) * (3 * response + 500 + 50) + kConnectMs + 2000;
    };
    const std::string name = op.name;
    long bound = transaction(kResponseMs);
    if (name == "get-play-order") {
      // The first entry, each next one and the end marker.
      bound *= (model_.play ? static_cast<long>(model_.play->size()) : 40) + 2;
    } else if (name == "get-dir") {
      bound *= static_cast<long>(dir_.size()) + kFileNames + 2;
    } else if (name == "send-file") {
      // A first record and 20 blocks out, a directory entry and 20 blocks back in. The
      // fault hits at most kTransmitRetry + 1 frames, so at most as many transactions wait
      // out their worst case; each of the others gets a second.
      bound = (kTransmitRetry + 1) * bound + 2 * (kMaxFileBlocks + 1) * 1000;
    } else if (name == "reopen") {
      bound += 200 + 1000 + 1000 + kConnectMs;  // close, open's pause, connect, then statistics
    } else if (name == "call-after-close") {
      bound = 2 * bound + 2 * 200 + 1000 + 1000 + kConnectMs;  // and a close and open after it
    } else if (name == "clear-display-and-play-order") {
      bound += 2 * kResponseMs;  // the second frame's acknowledge and reply
    } else if (name == "set-display-info") {
      // The burst with its own read time-out, then for each of six more frames up to
      // three looks for the acknowledge and three for the reply.
      bound = transaction(kBurstResponseMs) + 6 * 6 * kBurstResponseMs;
    }
    return bound * 3 / 2 + 3000;
  }

  int index() const { return index_; }
  bool serial() const { return serial_; }
  long failedWithoutFault() const { return failedWithoutFault_; }
  long calls() const { return calls_; }
  long faultsArmed() const { return faultsArmed_; }

 private:
  signsim::Fault DrawFault(const Op& op);

  int index_;
  const Args& args_;
  const std::vector<DirFile>& dir_;
  std::mt19937_64 rng_;
  bool serial_ = false;
  std::unique_ptr<signsim::Simulator> sim_;
  std::unique_ptr<qorDispTrans> control_;
  fs::path work_;  // the files this control sends and fetches
  Model model_;
  std::optional<signsim::Fault> deferred_;  // drawn, for the call to arm
  FileCounts files_;
  long call_ = 0;
  const char* op_ = "";
  std::string fault_;
  std::vector<EarlierFault> earlier_;  // faults since the last read-back that matched
  bool checkedInCall_ = false, wrongInCall_ = false;
  long failedWithoutFault_ = 0, calls_ = 0, faultsArmed_ = 0;

 public:
  // The watchdog's view of the call in flight.
  std::atomic<long> startMs{0}, boundMs{0};
  std::atomic<bool> flagged{false};
  std::atomic<bool> finished{false};
  std::mutex currentMutex;
  Finding current;
};

signsim::Fault Soaker::DrawFault(const Op& op) {
  using K = signsim::FaultKind;
  signsim::Fault f{
      args_.kinds[static_cast<std::size_t>(Uniform(0, static_cast<int>(args_.kinds.size()) - 1))]};
  if (f.kind == K::ErrorReply) {
    static constexpr int kCodes[] = {0, 1, 2, 3, 0xF9};
    f.value = kCodes[Uniform(0, 4)];
  } else if (f.kind == K::Delay) {
    f.value = Uniform(1, std::max(1, args_.maxDelayMs));
  } else if (f.kind == K::Foreign) {
    f.value = Uniform(2, 254);
  }
  // Mostly one frame; sometimes every attempt of a transaction.
  static constexpr int kCounts[] = {1, 1, 1, 2, kTransmitRetry + 1};
  f.count = kCounts[Uniform(0, 4)];
  if (!op.frames.empty() && Uniform(0, 1) == 1) {
    const auto& [cmd, fnc] =
        op.frames[static_cast<std::size_t>(Uniform(0, static_cast<int>(op.frames.size()) - 1))];
    f.cmd = cmd;
    f.fnc = fnc;
  }
  return f;
}

void Soaker::Run(long calls, long stopAtMs, const std::vector<Op>& ops, std::atomic<long>& done) {
  int total = 0;
  for (const Op& op : ops)
    total += op.weight;
  for (call_ = 1; call_ <= calls && NowMs() < stopAtMs; ++call_) {
    int pick = Uniform(0, total - 1);
    const Op* op = &ops.front();
    for (const Op& o : ops) {
      if (pick < o.weight) {
        op = &o;
        break;
      }
      pick -= o.weight;
    }
    op_ = op->name;
    fault_.clear();
    checkedInCall_ = wrongInCall_ = false;
    if (std::uniform_real_distribution<double>(0, 1)(rng_) < args_.faultRate &&
        (args_.burstFaults || !op->burst) && !args_.kinds.empty()) {
      const signsim::Fault f = DrawFault(*op);
      fault_ = FaultSpec(f);
      if (op->armsFault) {
        deferred_ = f;
      } else {
        sim_->AddFault(f);
      }
      ++faultsArmed_;
    }
    {
      std::lock_guard lock(currentMutex);
      current = {"hang", index_, call_, op_, fault_, earlier_, ""};
    }
    if (!args_.log.empty()) {
      WriteLog("soak: control " + std::to_string(index_) + " call " + std::to_string(call_) + " " +
                   op_ + " fault " + (fault_.empty() ? "none" : fault_),
               2);
    }
    InFlight& slot = shared->slots[index_];
    std::snprintf(slot.op, sizeof slot.op, "%s", op_);
    std::snprintf(slot.fault, sizeof slot.fault, "%s", fault_.c_str());
    slot.call = call_;
    const long start = NowMs();
    slot.startMs = start;
    boundMs = BoundMs(*op);
    startMs = start;
    try {
      op->run(*this);
    } catch (const std::exception& e) {
      Wrong(std::string("threw ") + e.what());
    }
    {
      std::lock_guard lock(currentMutex);  // the watchdog aborts only a call still running
      startMs = 0;
    }
    slot.startMs = 0;
    const long took = NowMs() - start;
    deferred_.reset();
    sim_->ClearFaults();  // a fault the call never reached must not hit the next one
    // A read-back that matched ends the trail of earlier faults a wrong result may owe to.
    if (checkedInCall_ && !wrongInCall_ && fault_.empty()) earlier_.clear();
    if (!fault_.empty()) earlier_.push_back({fault_, call_, op_});
    ++calls_;
    ++done;
    if (flagged) {
      // The watchdog aborted the call: say how long it took after all, and start afresh.
      {
        std::lock_guard lock(findingsMutex);
        for (Finding& f : findings) {
          if (f.kind == "hang" && f.control == index_ && f.call == call_) {
            f.detail += "; returned after " + std::to_string(took) + " ms (" +
                        control_->LastErrorMessage() + ")";
          }
        }
      }
      flagged = false;
      // The abort holds until the connection is opened again; what the sign holds now
      // is not known.
      control_->CloseConnectionToDisplay();
      if (!Open()) Wrong("cannot open again after an abort: " + control_->LastErrorMessage());
      model_ = Model{};
      model_.play.reset();
      for (int i = 0; i < kFileNames; ++i)
        model_.files[SoakFileName(i)].known = false;
    }
  }
  finished = true;
}

// --- The calls -----------------------------------------------------------------------------

long long Seconds(int year, int mon, int mday, int hour, int min, int sec) {
  std::tm t{};
  t.tm_year = 100 + year;
  t.tm_mon = mon - 1;
  t.tm_mday = mday;
  t.tm_hour = hour;
  t.tm_min = min;
  t.tm_sec = sec;
  return ::timegm(&t);
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (const char c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
      out += hex;
    }
  }
  return out + "'";
}

// The text the sign shows, from its state dump.
std::string SignText(signsim::Simulator& sim) {
  const nlohmann::json state = sim.State();
  if (state["text"].is_null()) return "(none)";
  return state["text"]["msg"].get<std::string>() + " @" + state["text"]["row"].dump();
}

bool IsSoakFile(const std::string& name) {
  for (int i = 0; i < kFileNames; ++i) {
    if (name == SoakFileName(i)) return true;
  }
  return false;
}

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Describe(const std::string& bytes) {
  return std::to_string(bytes.size()) + " bytes, sha256 " +
         signsim::Sha256Hex(bytes).substr(0, 16) + "...";
}

// The sign's own entry for one of the soak's files: whole, it holds what a send put there;
// short, a send that failed left it so.
void CheckOnSign(Soaker& s, const std::string& name, const std::string& after) {
  const SignFile& m = s.model().files[name];
  if (!m.known) return;
  const nlohmann::json state = s.sim().State();
  for (const auto& f : state["directory"]) {
    if (f["name"] != name) continue;
    const auto size = f["size"].get<std::size_t>();
    const std::string listed = std::to_string(size) + " of " + f["announcedSize"].dump() +
                               " bytes, sha256 " + f["sha256"].get<std::string>().substr(0, 16) +
                               "...";
    if (f["short"].get<bool>() ? !m.MayBeShort(size)
                               : !m.HoldsWhole(f["sha256"].get<std::string>())) {
      s.Corrupted(after + ", the sign lists " + name + (f["short"].get<bool>() ? " short" : "") +
                  " with " + listed);
    }
    return;
  }
  if (!m.mayBeAbsent) s.Corrupted(after + ", " + name + " is not on the sign");
}

void SendFile(Soaker& s) {
  const std::string name = SoakFileName(s.Uniform(0, kFileNames - 1));
  std::string bytes(static_cast<std::size_t>(s.Uniform(0, kMaxFileBytes)), '\0');
  for (char& c : bytes)
    c = static_cast<char>(s.Uniform(0, 255));
  const bool inFlight = s.Uniform(0, 1) == 1;
  const fs::path source = s.work() / "send.bin", back = s.work() / "back.bin";
  std::ofstream(source, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  // The fault, if any, comes before the first record, before one of the data blocks (each
  // announced by a progress event) or before the fetch.
  const int events = std::max<int>(1, static_cast<int>((bytes.size() + 999) / 1000));
  const int armAt = s.Uniform(0, events + 1);
  if (armAt == 0) s.ArmFault("before the first record");
  int event = 0;
  s.control().OnFileTransferStatus = [&](std::int32_t block, std::int32_t blocks, std::int32_t,
                                         std::int32_t) {
    if (++event == armAt) {
      s.ArmFault("before data block " + std::to_string(block) + " of " + std::to_string(blocks));
    }
  };
  ++s.files().tried;
  const bool sent =
      s.control().TransferFileToDisplay(source.string(), std::nullopt, inFlight, name);
  s.control().OnFileTransferStatus = nullptr;
  SignFile& m = s.model().files[name];
  const std::string what = std::string(inFlight ? "with one block in flight" : "block by block") +
                           " (" + Describe(bytes) + ")";
  if (sent) {
    ++s.files().sent;
    s.files().inFlight += inFlight;
    m = SignFile{};
    m.mayBeAbsent = false;
    m.whole = {bytes};
    CheckOnSign(s, name, "sent " + what);
  } else {
    s.Failed();
    if (m.begun.size() < 8) m.begun.push_back(bytes);
    m.known = m.known && m.begun.size() < 8;
    CheckOnSign(s, name, "a send that failed " + what);
  }
  s.ArmFault("before the fetch");
  if (!s.control().GetFileFromSignByFileName(name, back.string()) || !s.ReadOk()) {
    if (sent) s.Failed();
    return;
  }
  if (!m.known) return;
  ++s.files().fetched;
  s.Checked();
  const std::string got = Contents(back);
  if (!m.Holds(got)) {
    s.Corrupted("fetched " + name + " with " + Describe(got) + " after " +
                (sent ? "it was sent " : "a send that failed ") + what);
  }
}

void DeleteFile(Soaker& s) {
  // Mostly one that may be there.
  std::vector<std::string> there;
  for (const auto& [name, f] : s.model().files) {
    if (!f.known || !f.whole.empty() || !f.begun.empty()) there.push_back(name);
  }
  classGRAPHIC_DEL del;
  del.FileName =
      there.empty() || s.Uniform(0, 4) == 0
          ? SoakFileName(s.Uniform(0, kFileNames - 1))
          : there[static_cast<std::size_t>(s.Uniform(0, static_cast<int>(there.size()) - 1))];
  SignFile& m = s.model().files[del.FileName];
  const bool absent = m.known && m.whole.empty() && m.begun.empty();
  if (s.control().DeleteFileFromDisplay(del)) {
    ++s.files().deleted;
    if (absent) s.Wrong("deleted " + del.FileName + ", which was not there");
    m = SignFile{};
    const nlohmann::json state = s.sim().State();
    for (const auto& f : state["directory"]) {
      if (f["name"] == del.FileName)
        s.Wrong("deleted " + del.FileName + ", but it is still listed");
    }
    return;
  }
  // The sign's answer for a file it does not have; an injected error report may say so too.
  const bool notFound = s.control().LastErrorMessage() ==
                        "Display Reported Error [F1]- [F9]-File Not Found for last CMD:[2] FNC:[1]";
  if (s.faulted() || (!notFound && !absent)) {
    m.mayBeAbsent = true;
    s.Failed();
  } else if (notFound ? m.known && !m.mayBeAbsent : absent) {
    s.Wrong("delete of " + del.FileName +
            (absent ? ", which is not there: " : ", which is there: ") +
            s.control().LastErrorMessage());
  }
}

std::vector<Op> Ops() {
  std::vector<Op> ops;
  // Clock.
  ops.push_back({"set-time", 4, {{0, 0}}, [](Soaker& s) {
                   classDIAG_STIME t;
                   t.year = static_cast<std::int16_t>(s.Uniform(20, 40));
                   t.mon = static_cast<std::int16_t>(s.Uniform(1, 12));
                   t.mday = static_cast<std::int16_t>(s.Uniform(1, 28));
                   t.hour = static_cast<std::int16_t>(s.Uniform(0, 23));
                   t.min = static_cast<std::int16_t>(s.Uniform(0, 59));
                   t.sec = static_cast<std::int16_t>(s.Uniform(0, 59));
                   t.wday = static_cast<std::int16_t>(s.Uniform(0, 6));
                   const auto at = steady_clock::now();
                   if (s.control().SetDisplayTime(t)) {
                     s.model().clock = {{Seconds(t.year, t.mon, t.mday, t.hour, t.min, t.sec), at}};
                   } else {
                     s.model().clock.reset();
                     s.Failed();
                   }
                 }});
  ops.push_back({"set-current-time", 1, {{0, 0}}, [](Soaker& s) {
                   const auto at = steady_clock::now();
                   const std::time_t now = std::time(nullptr);
                   std::tm local{};
                   ::localtime_r(&now, &local);
                   if (s.control().SetDisplayToCurrentTime(0)) {
                     s.model().clock = {{::timegm(&local), at}};
                   } else {
                     s.model().clock.reset();
                     s.Failed();
                   }
                 }});
  const auto getTime = [](Soaker& s) {
    const auto start = steady_clock::now();
    const classDIAG_GTIME t = s.control().GetDisplayTime();
    if (!s.ReadOk()) return s.Failed();
    if (!s.model().clock) return;
    s.Checked();
    const auto& [set, at] = *s.model().clock;
    const double before = duration<double>(start - at).count();
    const double after = duration<double>(steady_clock::now() - at).count();
    const long long got = Seconds(t.year, t.mon, t.mday, t.hour, t.min, t.sec);
    // The sign's clock ticks in whole seconds: one second either side.
    if (got < set + static_cast<long long>(before) - 1 ||
        got > set + static_cast<long long>(after) + 1) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "clock read %02d-%02d-%02d %02d:%02d:%02d, %lld s from the "
                    "time set %.1f s before",
                    t.year, t.mon, t.mday, t.hour, t.min, t.sec, got - set, after);
      s.Wrong(text);
    }
  };
  ops.push_back({"get-time", 4, {{0, 1}}, getTime});
  // Text: the sign has no read command for it; its state shows what it holds.
  ops.push_back({"text", 4, {{1, 0}}, [](Soaker& s) {
                   classTEXT_MSG m;
                   m.row = static_cast<std::int16_t>(s.Uniform(1, 4));
                   m.col = 1;
                   m.msg = s.Word(1, 40, "ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789-:");
                   if (!s.control().SetDisplayTextMessage(m)) return s.Failed();
                   const std::string want = m.msg + " @" + std::to_string(m.row);
                   const std::string held = SignText(s.sim());
                   if (held != want)
                     s.Wrong("text written " + Quote(want) + ", sign shows " + Quote(held));
                 }});
  ops.push_back({"clear", 1, {{1, 4}}, [](Soaker& s) {
                   if (!s.control().ClearDisplay()) return s.Failed();
                   const std::string held = SignText(s.sim());
                   if (held != "(none)") s.Wrong("sign cleared, but it shows " + Quote(held));
                 }});
  ops.push_back({"scroll-speed", 1, {{1, 5}}, [](Soaker& s) {
                   classTEXT_SCRSPEED speed;
                   speed.speed = static_cast<std::int16_t>(s.Uniform(0, 9));
                   if (!s.control().SetDisplayScrollSpeed(speed)) s.Failed();
                 }});
  // Configuration and identity.
  ops.push_back({"brightness", 2, {{0, 3}}, [](Soaker& s) {
                   classDIAG_BRIGHTNESS b;
                   b.dimlevel = static_cast<std::int16_t>(s.Uniform(0, 20));
                   if (!s.control().SetDisplayBrightness(b)) return s.Failed();
                   const int held = s.sim().State()["config"]["brightness"]["level"].get<int>();
                   if (held != b.dimlevel) {
                     s.Wrong("brightness " + std::to_string(b.dimlevel) + " set, sign holds " +
                             std::to_string(held));
                   }
                 }});
  ops.push_back({"stats", 2, {{0, 0x15}}, [](Soaker& s) {
                   const classDIAG_STATS stats = s.control().GetDisplayStats();
                   if (!s.ReadOk()) return s.Failed();
                   s.Checked();
                   if (stats.appl_name.rfind("SIGNSIM", 0) != 0) {
                     s.Wrong("statistics name " + Quote(stats.appl_name));
                   }
                 }});
  ops.push_back({"type", 1, {{0, 2}}, [](Soaker& s) {
                   s.control().GetDisplayType();
                   if (!s.ReadOk()) s.Failed();
                 }});
  ops.push_back({"set-serial", 1, {{0, 0xDB}}, [](Soaker& s) {
                   std::string serial = "SN" + s.Word(1, 20, "ABCDEF0123456789");
                   if (s.control().SetSerialNumber(serial)) {
                     s.model().serial = serial;
                   } else {
                     s.model().serial.reset();
                     s.Failed();
                   }
                 }});
  ops.push_back({"get-serial", 1, {{0, 0x29}}, [](Soaker& s) {
                   std::string got = s.control().GetSerialNumber();
                   got = got.substr(0, got.find('\0'));  // the field comes padded
                   if (!s.ReadOk()) return s.Failed();
                   if (!s.model().serial) return;
                   s.Checked();
                   if (got != *s.model().serial) {
                     s.Wrong("serial number read " + Quote(got) + ", written " +
                             Quote(*s.model().serial));
                   }
                 }});
  // Variables and cells.
  for (const bool cell : {false, true}) {
    ops.push_back({cell ? "set-cell" : "set-variable", 3, {{cell ? 10 : 9, 1}}, [cell](Soaker& s) {
                     const int n = s.Uniform(1, 8);
                     const std::string text = s.Word(0, 24, "ABCXYZ0123456789 .:");
                     auto& table = cell ? s.model().cells : s.model().variables;
                     bool ok;
                     if (cell) {
                       classCELL_WRITE w;
                       w.cell_num = static_cast<std::int16_t>(n);
                       w.cell_variable = text;
                       ok = s.control().SetDisplayCell(w);
                     } else {
                       classVARIABLE_WRITE w;
                       w.variable_num = static_cast<std::int16_t>(n);
                       w.text_variable = text;
                       ok = s.control().SetDisplayVariable(w);
                     }
                     if (ok) {
                       table[n] = text;
                     } else {
                       table.erase(n);
                       s.Failed();
                     }
                   }});
    ops.push_back({cell ? "get-cell" : "get-variable", 3, {{cell ? 10 : 9, 0}}, [cell](Soaker& s) {
                     const int n = s.Uniform(1, 8);
                     std::string got;
                     if (cell) {
                       classCELL_READ_Req r;
                       r.cell_num = static_cast<std::int16_t>(n);
                       got = s.control().GetDisplayCell(r).cell_variable;
                     } else {
                       classVARIABLE_READ_Req r;
                       r.variable_num = static_cast<std::int16_t>(n);
                       got = s.control().GetDisplayVariable(r).text_variable;
                     }
                     if (!s.ReadOk()) return s.Failed();
                     const auto& table = cell ? s.model().cells : s.model().variables;
                     const auto it = table.find(n);
                     if (it == table.end()) return;
                     s.Checked();
                     if (it->second != got) {
                       s.Wrong(std::string(cell ? "cell " : "variable ") + std::to_string(n) +
                               " read " + Quote(got) + ", written " + Quote(it->second));
                     }
                   }});
  }
  // Counters.
  ops.push_back({"define-counter", 2, {{11, 1}}, [](Soaker& s) {
                   const int n = s.Uniform(1, 4);
                   classCOUNTER_DEFINE d;
                   d.counter_num = static_cast<std::int16_t>(n);
                   const CounterDef def{static_cast<std::int16_t>(s.Uniform(0, 1)),
                                        static_cast<std::int16_t>(s.Uniform(0, 3)),
                                        static_cast<std::int16_t>(s.Uniform(0, 1)),
                                        static_cast<std::int16_t>(s.Uniform(1, 100)),
                                        static_cast<std::int16_t>(s.Uniform(0, 2)),
                                        static_cast<std::int16_t>(s.Uniform(0, 1)),
                                        s.Uniform(0, 100000),
                                        s.Uniform(100001, 2000000)};
                   d.operation = def.operation;
                   d.frequency = def.frequency;
                   d.clear_mode = def.clearMode;
                   d.incdec_value = def.incdec;
                   d.format_mode = def.format;
                   d.autoreload = def.autoreload;
                   d.start_value = def.start;
                   d.stop_value = def.stop;
                   if (s.control().DefineDisplayCounter(d)) {
                     s.model().counters[n] = def;
                   } else {
                     s.model().counters.erase(n);
                     s.Failed();
                   }
                 }});
  ops.push_back(
      {"get-counter", 2, {{11, 0}}, [](Soaker& s) {
         const int n = s.Uniform(1, 4);
         classCOUNTER_READ_Req r;
         r.counter_num = static_cast<std::int16_t>(n);
         const classCOUNTER_READ_Res c = s.control().GetDisplayCounter(r);
         if (!s.ReadOk()) return s.Failed();
         const auto it = s.model().counters.find(n);
         if (it == s.model().counters.end()) return;
         s.Checked();
         const CounterDef got{c.operation,   c.frequency,  c.clear_mode,  c.incdec_value,
                              c.format_mode, c.autoreload, c.start_value, c.stop_value};
         if (got != it->second || c.counter_num != n || c.current_value != it->second.start) {
           s.Wrong("counter " + std::to_string(n) + " read back as counter " +
                   std::to_string(c.counter_num) + " start " + std::to_string(c.start_value) +
                   " stop " + std::to_string(c.stop_value) + " current " +
                   std::to_string(c.current_value) + "; defined start " +
                   std::to_string(it->second.start) + " stop " + std::to_string(it->second.stop));
         }
       }});
  // Play order: set or append, then read back entry by entry.
  const auto writePlay = [](Soaker& s, bool append) {
    std::vector<PlayEntry> entries(static_cast<std::size_t>(s.Uniform(1, append ? 2 : 5)));
    for (PlayEntry& e : entries) {
      e = {s.Word(1, 8) + ".QFX", s.Uniform(0, 300), static_cast<std::int16_t>(s.Uniform(0, 9)),
           static_cast<std::int16_t>(s.Uniform(0, 9))};
    }
    const auto fill = [&](auto& order) {
      order.num_entries(static_cast<std::int16_t>(entries.size()));
      for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto n = static_cast<std::int16_t>(i + 1);
        order.FileName(n, entries[i].name);
        order.delay(n, entries[i].delay);
        order.prefix(n, entries[i].prefix);
        order.suffix(n, entries[i].suffix);
      }
    };
    bool ok;
    if (append) {
      classPLAY_ORDER_APP order;
      fill(order);
      ok = s.control().AppendDisplayPlayOrder(order);
    } else {
      classPLAY_ORDER order;
      fill(order);
      ok = s.control().SetDisplayPlayOrder(order);
    }
    auto& model = s.model().play;
    if (!ok) {
      model.reset();
      return s.Failed();
    }
    if (append && model) {
      model->insert(model->end(), entries.begin(), entries.end());
    } else if (!append) {
      model = entries;
    }
  };
  ops.push_back({"set-play-order", 2, {{7, 0}}, [writePlay](Soaker& s) { writePlay(s, false); }});
  ops.push_back({"append-play-order", 1, {{7, 2}}, [writePlay](Soaker& s) {
                   // Appends keep the order short, so that reading it back stays quick.
                   writePlay(s, s.model().play && s.model().play->size() < 8);
                 }});
  ops.push_back({"get-play-order", 2, {{7, 3}, {7, 4}}, [](Soaker& s) {
                   classPLAY_GET_NEXT got = s.control().GetDisplayPlayOrder();
                   if (!s.ReadOk()) return s.Failed();
                   if (!s.model().play) return;
                   s.Checked();
                   const std::vector<PlayEntry>& want = *s.model().play;
                   std::vector<PlayEntry> read;
                   for (std::int16_t i = 1; i <= got.num_entries(); ++i) {
                     read.push_back({got.FileName(i), got.delay(i), got.prefix(i), got.suffix(i)});
                   }
                   if (read != want) {
                     std::string text = "play order read " + std::to_string(read.size()) +
                                        " entries, written " + std::to_string(want.size());
                     for (std::size_t i = 0; i < std::min(read.size(), want.size()); ++i) {
                       if (!(read[i] == want[i])) {
                         text += "; entry " + std::to_string(i + 1) + " read " +
                                 Quote(read[i].name) + ", written " + Quote(want[i].name);
                         break;
                       }
                     }
                     s.Wrong(text);
                   }
                 }});
  ops.push_back({"play-description", 1, {{7, 0x0D}}, [](Soaker& s) {
                   classPLAY_DESC_WRITE d;
                   d.descriptor = s.Word(1, 60);
                   if (s.control().WritePlayOrderDescriptionOnDisplay(d)) {
                     s.model().description = d.descriptor;
                   } else {
                     s.model().description.reset();
                     s.Failed();
                   }
                 }});
  ops.push_back({"get-play-description", 1, {{7, 0x0E}}, [](Soaker& s) {
                   const classPLAY_DESC_READ d = s.control().GetPlayOrderDescriptionOnDisplay();
                   if (!s.ReadOk()) return s.Failed();
                   if (!s.model().description) return;
                   s.Checked();
                   const std::string got = d.descriptor.substr(0, d.descriptor.find('\0'));
                   if (got != *s.model().description || d.descriptor.size() != 256) {
                     s.Wrong("description read " + Quote(got) + " (" +
                             std::to_string(d.descriptor.size()) + " bytes), written " +
                             Quote(*s.model().description));
                   }
                 }});
  ops.push_back({"poll-play", 1, {{7, 0x0A}}, [](Soaker& s) {
                   s.control().PollPlayOnDisplay();
                   if (!s.ReadOk()) s.Failed();
                 }});
  ops.push_back({"stop-play", 1, {{7, 7}}, [](Soaker& s) {
                   if (!s.control().StopPlayOnDisplay()) s.Failed();
                 }});
  // Directory: the files the sign was started with.
  ops.push_back(
      {"get-dir", 2, {{8, 0}, {8, 1}}, [](Soaker& s) {
         const classDIR_ALL all = s.control().GetAllDisplayDirInfo();
         if (!s.ReadOk()) return s.Failed();
         // The files the sign started with exactly; the soak's own files as
         // their sends may have left them.
         std::vector<std::string> got, want, odd;
         std::set<std::string> listed;
         for (std::int16_t i = 1; i <= all.num_entries(); ++i) {
           const std::string name = all.fname(i), entry = name + " " + std::to_string(all.size(i));
           const auto own = s.model().files.find(name);
           if (!IsSoakFile(name)) {
             got.push_back(entry);
           } else if (!listed.insert(name).second ||
                      (own != s.model().files.end() && !own->second.MayHaveSize(all.size(i)))) {
             odd.push_back(entry);
           }
         }
         for (const auto& [name, f] : s.model().files) {
           if (f.known && !f.mayBeAbsent && !listed.contains(name))
             odd.push_back(name + " missing");
         }
         for (const DirFile& f : s.dir())
           want.push_back(f.name + " " + std::to_string(f.size));
         s.Checked();
         std::sort(got.begin(), got.end());
         std::sort(want.begin(), want.end());
         if (got != want || !odd.empty()) {
           std::string text = "directory read:";
           for (const auto& g : got)
             text += " " + Quote(g);
           for (const auto& o : odd)
             text += " " + Quote(o);
           s.Wrong(text);
         }
       }});
  ops.push_back(
      {"get-dir-file", 1, {{8, 3}}, [](Soaker& s) {
         const DirFile& f =
             s.dir()[static_cast<std::size_t>(s.Uniform(0, static_cast<int>(s.dir().size()) - 1))];
         const classDIR_FILE got = s.control().GetDisplayDirInfo(f.name);
         if (!s.ReadOk() || got.CMDFailed) return s.Failed();
         s.Checked();
         if (got.fname != f.name || got.size != f.size) {
           s.Wrong("directory entry of " + f.name + " read as " + Quote(got.fname) + " size " +
                   std::to_string(got.size));
         }
       }});
  // Messages.
  ops.push_back({"default-message", 1, {{4, 0}}, [](Soaker& s) {
                   classDEFMSG_MSG m;
                   m.msg_num = static_cast<std::int16_t>(s.Uniform(1, 9));
                   m.msg = s.Word(1, 30);
                   if (!s.control().SetDefaultMessageOnDisplay(m)) s.Failed();
                 }});
  // Composites: several frames in one write.
  ops.push_back({"clear-display-and-play-order",
                 1,
                 {{1, 4}, {7, 1}},
                 [](Soaker& s) {
                   if (s.control().ClearDisplayAndPlayOrder()) {
                     if (!s.faulted()) s.model().play = std::vector<PlayEntry>{};
                   } else {
                     s.Failed();
                   }
                   // Whether the second frame ran is not known after a fault.
                   if (s.faulted()) s.model().play.reset();
                 },
                 true});
  ops.push_back({"set-display-info",
                 1,
                 {{0, 0}, {0, 3}, {1, 5}},
                 [](Soaker& s) {
                   classDIAG_BRIGHTNESS level;
                   level.dimlevel = static_cast<std::int16_t>(s.Uniform(0, 20));
                   classDIAG_BRIGHTNESS_RANGE range;
                   range.low_level = 0;
                   range.hi_level = 20;
                   classDIAG_BRIGHTNESS_SCHEDULE schedule;
                   classDIAG_TEMP_CALIBRATION temp;
                   classTEXT_SCRSPEED speed;
                   speed.speed = 3;
                   const auto at = steady_clock::now();
                   const std::time_t now = std::time(nullptr);
                   std::tm local{};
                   ::localtime_r(&now, &local);
                   const bool ok =
                       s.control().SetDisplayInfo(0, level, range, schedule, temp, false, speed);
                   // Its result is the last frame's: a fault on another frame leaves the
                   // clock unknown.
                   if (ok && !s.faulted()) {
                     s.model().clock = {{::timegm(&local), at}};
                     const int held = s.sim().State()["config"]["brightness"]["level"].get<int>();
                     if (held != level.dimlevel) {
                       s.Wrong("display info with brightness " + std::to_string(level.dimlevel) +
                               ", sign holds " + std::to_string(held));
                     }
                   } else {
                     s.model().clock.reset();
                     if (!ok) s.Failed();
                   }
                 },
                 true});
  // Connection: close and open again (each pauses about a second).
  ops.push_back({"reopen", 1, {{0, 0x15}}, [](Soaker& s) {
                   s.control().CloseConnectionToDisplay();
                   if (!s.Open()) s.Wrong("cannot open again: " + s.control().LastErrorMessage());
                 }});
  // A call after the connection was closed: it must reconnect or fail, in bounded time.
  // A network sign is called again; a closed serial line refuses the call at once.
  ops.push_back({"call-after-close", 1, {{0, 1}}, [getTime](Soaker& s) {
                   s.control().CloseConnectionToDisplay();
                   if (!s.serial()) {
                     getTime(s);
                   } else if (s.control().GetDisplayTime().hour != 0 ||
                              s.control().LastErrorMessage() !=
                                  "Not Connected - the line was closed; call "
                                  "OpenConnectionToDisplay again") {
                     s.Wrong("a call on a closed line: " + s.control().LastErrorMessage());
                   }
                   s.control().CloseConnectionToDisplay();
                   if (!s.Open()) s.Wrong("cannot open again: " + s.control().LastErrorMessage());
                 }});
  // Files: one of the soak's own sent, block by block or with one block in flight, looked
  // at on the sign and fetched back; deleted now and then.
  ops.push_back({"send-file", 3, {{2, 0}, {8, 3}}, SendFile, false, true});
  ops.push_back({"delete-file", 1, {{2, 1}}, DeleteFile});
  return ops;
}

// --- The run -------------------------------------------------------------------------------

int Soak(const Args& args) {
  const long rssAtStart = ResidentKiB();
  char dirTemplate[] = "/tmp/qordtcon-soak-XXXXXX";
  const fs::path dir = mkdtemp(dirTemplate);
  setenv("QORDTCON_SETTINGS_DIR", dir.c_str(), 1);
  setenv("QORDTCON_LOG_DIR", dir.c_str(), 1);
  SaveSetting(kSettingsApp, kSettingsSection, "MessageResponseTime", std::to_string(kResponseMs));
  SaveSetting(kSettingsApp, kSettingsSection, "ConnectTimeOut", std::to_string(kConnectMs));
  SaveSetting(kSettingsApp, kSettingsSection, "NetworkRetryInterval",
              std::to_string(kRetryIntervalMs));
  SaveSetting(kSettingsApp, kSettingsSection, "TransmitRetry", std::to_string(kTransmitRetry));
  SaveSetting(kSettingsApp, kSettingsSection, "MatchTransactionNumber",
              args.matchTransactionNumber ? "True" : "False");
  if (!args.log.empty()) {
    SaveSetting(kSettingsApp, kSettingsSection, "DebugMode", "ON");
    SaveSetting(kSettingsApp, kSettingsSection, "DebugLog", args.log);
  }
  std::ofstream(dir / "LumarcoLite.ini") << "[Settings]\nNoReplyPause=" << kNoReplyPauseMs << "\n";

  // The directory every sign starts with.
  fs::create_directory(dir / "files");
  const std::vector<DirFile> dirFiles = {{"LOGO.BMP", 1234}, {"INTRO.QFX", 77}, {"DATA.TXT", 4000}};
  std::vector<std::string> files;
  for (const DirFile& f : dirFiles) {
    std::string name = f.name;
    std::transform(name.begin(), name.end(), name.begin(), ::tolower);
    const fs::path path = dir / "files" / name;
    std::ofstream(path) << std::string(static_cast<std::size_t>(f.size), 'x');
    files.push_back(path.string());
  }

  std::vector<Op> ops = Ops();
  for (const auto& name : args.ops.empty() ? args.skip : args.ops) {
    if (std::none_of(ops.begin(), ops.end(), [&](const Op& op) { return name == op.name; })) {
      std::string names;
      for (const Op& op : ops)
        names += std::string(" ") + op.name;
      std::printf("soak: no call named '%s'; the calls are:%s\n", name.c_str(), names.c_str());
      return 2;
    }
  }
  std::erase_if(ops, [&](const Op& op) {
    const auto named = [&](const std::vector<std::string>& list) {
      return std::find(list.begin(), list.end(), op.name) != list.end();
    };
    return args.ops.empty() ? named(args.skip) : !named(args.ops);
  });
  if (ops.empty()) {
    std::printf("soak: --skip left no call to make\n");
    return 2;
  }
  std::vector<std::unique_ptr<Soaker>> soakers;
  std::vector<int> indexes;
  for (int i = 0; i < args.controls; ++i) {
    if (args.only < 0 || args.only == i) indexes.push_back(i);
  }
  for (const int i : indexes)
    soakers.push_back(std::make_unique<Soaker>(i, args, dir, files, dirFiles));
  {
    // Side by side: each open pauses about a second.
    std::vector<std::thread> opening;
    std::atomic<bool> opened{true};
    for (auto& soaker : soakers) {
      opening.emplace_back([&opened, s = soaker.get()] {
        if (s->Open()) return;
        std::printf("soak: control %d cannot open: %s\n", s->index(),
                    s->control().LastErrorMessage().c_str());
        opened = false;
      });
    }
    for (auto& t : opening)
      t.join();
    if (!opened) return 1;
  }
  const long rssOpen = ResidentKiB();

  const long start = NowMs();
  const long stopAt = start + static_cast<long>(args.maxSeconds * 1000);
  std::vector<std::thread> threads;
  long planned = 0;
  for (auto& soaker : soakers) {
    const int i = soaker->index();
    const long calls = args.transactions / args.controls + (i < args.transactions % args.controls);
    planned += calls;
    threads.emplace_back(
        [&, s = soaker.get(), calls] { s->Run(calls, stopAt, ops, shared->done); });
  }

  // The watchdog: a call past its bound is a hang; it is recorded and aborted.
  long longestBound = 0;
  for (const Op& op : ops)
    longestBound = std::max(longestBound, soakers.front()->BoundMs(op));
  long lastProgress = 0;
  for (;;) {
    std::this_thread::sleep_for(milliseconds(50));
    bool all = true;
    for (auto& s : soakers) {
      all = all && s->finished;
      std::lock_guard lock(s->currentMutex);
      const long began = s->startMs;
      if (began && !s->flagged && NowMs() - began > s->boundMs) {
        s->flagged = true;
        Finding f = s->current;
        f.detail = "still running after " + std::to_string(NowMs() - began) + " ms (bound " +
                   std::to_string(s->boundMs.load()) + " ms); aborted";
        Record(f);
        s->control().UserAbort();
      }
    }
    if (all) break;
    if (args.verbose && NowMs() - lastProgress > 10000) {
      lastProgress = NowMs();
      std::printf("soak: %ld transactions after %.0f s\n", shared->done.load(),
                  (NowMs() - start) / 1000.0);
      std::fflush(stdout);
    }
    // A call that an abort cannot end holds its thread for good: report and leave.
    if (NowMs() > stopAt + 2 * longestBound) {
      std::printf("soak: controls still busy %ld ms after the end; not waiting\n",
                  NowMs() - stopAt);
      break;
    }
  }
  const double seconds = (NowMs() - start) / 1000.0;
  const long rssEnd = ResidentKiB();

  // The report.
  long calls = 0, failedWithoutFault = 0, armed = 0;
  FileCounts sent;
  for (auto& s : soakers) {
    calls += s->calls();
    failedWithoutFault += s->failedWithoutFault();
    armed += s->faultsArmed();
    sent.tried += s->files().tried;
    sent.sent += s->files().sent;
    sent.inFlight += s->files().inFlight;
    sent.fetched += s->files().fetched;
    sent.deleted += s->files().deleted;
  }
  std::map<signsim::FaultKind, int> applied;
  long frames = 0;
  for (auto& s : soakers) {
    const signsim::Counters c = s->sim().GetCounters();
    frames += c.frames;
    for (const auto& [kind, n] : c.faults)
      applied[kind] += n;
  }
  long hangs = 0, wrong = 0, corrupted = 0;
  {
    std::lock_guard lock(findingsMutex);
    for (const Finding& f : findings) {
      (f.kind == "hang" ? hangs : f.kind == "wrong" ? wrong : corrupted) += 1;
    }
    std::sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
      return std::tie(a.kind, a.control, a.call) < std::tie(b.kind, b.control, b.call);
    });
    int shown = 0;
    std::map<std::string, int> origins;  // wrong results by the fault their trail starts with
    for (const Finding& f : findings) {
      if (f.kind == "wrong") {
        ++origins[!f.earlier.empty() ? f.earlier.front().Origin()
                  : !f.fault.empty()
                      ? f.fault.substr(0, f.fault.find_first_of("=@: ")) + " in " + f.op + " itself"
                      : "no fault before it"];
      }
      if (++shown > kShown && !args.verbose) continue;
      std::string earlier;
      for (const EarlierFault& e : f.earlier)
        earlier += (earlier.empty() ? "" : "; ") + e.Text();
      std::printf(
          "%s: control %d call %ld %s, fault %s, earlier faults since the last good "
          "read-back: %s: %s\n",
          f.kind.c_str(), f.control, f.call, f.op.c_str(),
          f.fault.empty() ? "none" : f.fault.c_str(), earlier.empty() ? "none" : earlier.c_str(),
          f.detail.c_str());
    }
    if (shown > kShown && !args.verbose) {
      std::printf("... %zu findings in all (--verbose shows every one)\n", findings.size());
    }
    for (const auto& [origin, n] : origins)
      std::printf("wrong results after %s: %d\n", origin.c_str(), n);
  }
  std::printf("transactions  %ld of %ld (%ld frames) from %d controls (%d serial, %d TCP)%s\n",
              calls, planned, frames, args.controls, args.serialControls,
              args.controls - args.serialControls,
              calls < planned ? ", stopped at --max-seconds" : "");
  std::printf("faults        %ld armed (rate %.3f, seed %llu), applied:", armed, args.faultRate,
              static_cast<unsigned long long>(args.seed));
  for (const auto& [kind, n] : applied)
    std::printf(" %s=%d", std::string(signsim::FaultKindName(kind)).c_str(), n);
  std::printf("\nhangs         %ld\ncrashes       0\nwrong results %ld\n", hangs, wrong);
  std::printf(
      "files         %ld sent of %ld (%ld with one block in flight), %ld fetched back and "
      "compared, %ld deleted\ncorrupted files %ld\n",
      sent.sent, sent.tried, sent.inFlight, sent.fetched, sent.deleted, corrupted);
  std::printf("failed calls without a fault in them or the call before: %ld\n", failedWithoutFault);
  std::printf(
      "memory        VmRSS %ld KiB at start, %ld KiB with every control open, %ld KiB "
      "at the end\n",
      rssAtStart, rssOpen, rssEnd);
  std::printf("wall time     %.1f s, %.0f transactions/s\n", seconds, calls / seconds);
  std::fflush(stdout);

  const bool stuck =
      std::any_of(soakers.begin(), soakers.end(), [](auto& s) { return !s->finished; });
  if (stuck) std::_Exit(1);  // a thread that cannot be joined: leave without unwinding
  for (auto& t : threads)
    t.join();
  for (auto& s : soakers)
    s->control().CloseConnectionToDisplay();
  soakers.clear();
  fs::remove_all(dir);
  return hangs == 0 && wrong == 0 && corrupted == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const Args args = ParseArgs(argc, argv);
  std::signal(SIGPIPE, SIG_IGN);
  void* memory =
      mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return 1;
  shared = new (memory) Shared{};

  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) std::_Exit(Soak(args));

  // The parent watches: a crash is reported with what each control had in flight, and
  // a child that outlives every bound is killed.
  const long deadline = NowMs() + static_cast<long>(args.maxSeconds * 1000) + 30 * 60 * 1000;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (NowMs() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      std::printf("hangs         the soak did not end; killed after %ld transactions\n",
                  shared->done.load());
      status = -1;
      break;
    }
    std::this_thread::sleep_for(milliseconds(100));
  }
  if (status != -1) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    const int sig = WTERMSIG(status);
    std::printf("crashes       1: the soak died of signal %d (%s) after %ld transactions\n", sig,
                strsignal(sig), shared->done.load());
  }
  for (int i = 0; i < args.controls; ++i) {
    const InFlight& slot = shared->slots[i];
    if (slot.startMs == 0) continue;
    std::printf("  in flight: control %d call %ld %s, fault %s, for %ld ms\n", i, slot.call,
                slot.op, slot.fault[0] ? slot.fault : "none", NowMs() - slot.startMs);
  }
  return 1;
}
