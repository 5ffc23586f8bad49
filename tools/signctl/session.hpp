// signctl against a sign: the global options, the sign's address, one open control that
// runs operations, and printing what came back as text or JSON.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>
#include <qordtcon/qordtcon.hpp>

namespace signctl {

using Json = nlohmann::ordered_json;

// The options before the subcommand.
struct Globals {
  std::string connect = "tcp://127.0.0.1:3001";
  int node = 1;
  bool newBcc = false;
  bool json = false;
  std::string log;
  std::optional<int> timeout;
  std::optional<int> retry;
  std::string settingsDir;
  bool progress = false;
  std::string fleet;
  int parallel = 16;
};

// The connection method for a sign address: tcp://HOST[:PORT], serial:DEVICE[?baud=N] or
// modem:DEVICE?dial=NUMBER. Throws UsageError naming --connect and what it accepts.
qordtcon::classCONNECTION_METHOD ParseAddress(const std::string& url);

// The control's texts may hold line breaks ("Could Not Connect " CR LF ...); stderr gets
// one line.
std::string OneLine(std::string_view text);
// Decimal digits only, within lo..hi; nullopt otherwise.
std::optional<long> Decimal(const std::string& text, long lo, long hi);

// What an operation came back with: whether the sign did it, the reason when not, and the
// result's fields.
struct Outcome {
  bool ok = true;
  std::string error;
  Json fields = Json::object();
  // A failure's reply codes when the sign answered with them (command 0xF1 and its reason).
  std::optional<std::pair<int, int>> codes = std::nullopt;
};

// A Boolean method's result, with the control's reason when False.
Outcome Judged(qordtcon::qorDispTrans& control, bool ok, Json fields = Json::object());
// A read's result: good when the last transaction left no error and its reply was an OK.
Outcome Read(qordtcon::qorDispTrans& control, Json fields);

// A value as text: strings as they are, other values as JSON.
std::string Plain(const Json& value);
// Rows of fields as columns under their names.
void PrintTable(const Json& rows);

// The outcome as JSON after the members `object` already has: "ok", the failure's
// `reason` and reply codes, then the result's fields.
Json ToJson(const Outcome& outcome, const std::string& reason, Json object = Json::object());

// Prints the outcome (text or one JSON object on stdout; a failure also as one line on
// stderr, after `where`) and gives the exit status.
int Emit(const Outcome& outcome, bool json, const std::string& command,
         const std::string& where = "");
// A failure that ends a run before any sign answered (a usage error, no connection): one
// line on stderr, and with --json also {"ok":false,"error":...} on stdout.
int Fail(int status, const std::string& text, bool json, const std::string& where = "");

// What a subcommand that needs a sign does once its options are parsed: `check` runs
// before connecting and throws for values that do not fit their fields; `run` gets the
// open control; `cancel` is what a Ctrl-C asks of the control while it runs (default:
// UserAbort); `reads` says whether the sign's answer is the result (no sign answers a
// broadcast, so those are refused for node 255).
struct Action {
  std::function<void()> check;
  std::function<Outcome(qordtcon::qorDispTrans&)> run;
  std::function<void(qordtcon::qorDispTrans&)> cancel = nullptr;
  std::function<bool()> reads = nullptr;
};

// How the running operation shows its progress on stderr: a bar redrawn on a terminal,
// plain lines with --progress, else nothing; kQuiet when signs work side by side (a
// fleet), where not even status lines go to stderr.
enum class Progress { kNone, kBar, kLines, kQuiet };
Progress ProgressShown();

// One control and its connection, for one operation or a batch of them.
class Session {
 public:
  // `quiet`: no progress and no notes on stderr (the signs of a fleet run side by side).
  Session(const Globals& globals, bool quiet);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Opens the sign; when it cannot, the reason: the control's text with the address and
  // the system's reason added.
  std::optional<std::string> Open();
  bool IsOpen() const { return open_; }
  // Runs one operation, checked before (CheckBeforeSending), with the options of its line
  // (node, time-out, retries and block check may differ from line to line in a batch).
  // Throws UsageError for a value that no field can carry.
  Outcome Run(const Globals& line, const std::string& command, const Action& action);
  // Asks the running operation to stop; from any thread.
  void Cancel();
  void Close();

 private:
  const Globals& globals_;
  bool quiet_;
  qordtcon::qorDispTrans control_;
  bool open_ = false;
  bool progressDrawn_ = false;
  std::int32_t defaultTimeout_ = 0;
  std::int32_t defaultRetries_ = 0;
  std::mutex mutex_;  // guards running_
  const Action* running_ = nullptr;
};

// Checks a read against the node before anything is sent: no sign answers a broadcast.
void RefuseBroadcastRead(const Globals& globals, const std::string& command, const Action& action);
// Everything found before connecting: the address, a read to all signs, values that do not
// fit their fields. Throws UsageError.
void CheckBeforeSending(const Globals& globals, const std::string& command, const Action& action);

// Applies --settings-dir: the control's settings and its fixed log file are read and
// written there for this run.
void UseSettingsDirectory(const std::string& dir);

// Opens the sign, runs the action, closes, prints; gives the exit status (130 when a Ctrl-C
// or SIGTERM ended the run).
int Execute(const Globals& globals, const std::string& command, const Action& action);

}  // namespace signctl
