// One signctl run against a sign: the global options, the sign's address, opening and
// closing the control around one operation, and printing what came back as text or JSON.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

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
};

// The connection method for a sign address: tcp://HOST[:PORT], serial:DEVICE[?baud=N] or
// modem:DEVICE?dial=NUMBER. Throws UsageError naming --connect and what it accepts.
qordtcon::classCONNECTION_METHOD ParseAddress(const std::string& url);

// The control's texts may hold line breaks ("Could Not Connect " CR LF ...); stderr gets
// one line.
std::string OneLine(std::string_view text);

// What an operation came back with: whether the sign did it, the reason when not, and the
// result's fields.
struct Outcome {
  bool ok = true;
  std::string error;
  Json fields = Json::object();
};

// A Boolean method's result, with the control's reason when False.
Outcome Judged(qordtcon::qorDispTrans& control, bool ok, Json fields = Json::object());
// A read's result: good when the last transaction left no error and its reply was an OK.
Outcome Read(qordtcon::qorDispTrans& control, Json fields);

// Prints the outcome (text or one JSON object on stdout; a failure also as one line on
// stderr) and gives the exit status.
int Emit(const Outcome& outcome, bool json, const std::string& command);

// What a subcommand that needs a sign does once its options are parsed: `check` runs
// before connecting and throws for values that do not fit their fields; `run` gets the
// open control; `cancel` is what a Ctrl-C asks of the control while it runs (default:
// UserAbort).
struct Action {
  std::function<void()> check;
  std::function<Outcome(qordtcon::qorDispTrans&)> run;
  std::function<void(qordtcon::qorDispTrans&)> cancel = nullptr;
};

// Whether stderr is a terminal (a progress bar then redraws one line).
bool ErrIsTerminal();

// Opens the sign, runs the action, closes, prints; gives the exit status (130 when a Ctrl-C
// or SIGTERM ended the run).
int Execute(const Globals& globals, const std::string& command, const Action& action);

}  // namespace signctl
