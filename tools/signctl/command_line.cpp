#include "command_line.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iostream>
#include <mutex>
#include <thread>

#include "guide.hpp"
#include "interrupt.hpp"

namespace signctl {

namespace {

using Seconds = std::chrono::duration<double>;

// A usage error's pointer to the help that explains it: the command's, unless the error
// is about an option given before any command.
std::string WithHelp(CommandLine& line, const std::string& text) {
  if (text.find("(see signctl") != std::string::npos) return text;
  const std::string option = text.substr(0, text.find(':'));
  const auto subs = line.App().get_subcommands();
  const bool global = option.rfind("--", 0) == 0 && line.App().get_option_no_throw(option);
  const std::string command = subs.empty() || global ? "" : subs.front()->get_name() + " ";
  return text + " (see signctl " + command + "--help)";
}

// Runs `body`, turning the errors of a command line into their exit status and message.
template <class Body>
int Guarded(CommandLine& line, bool json, const std::string& where, Body body) {
  try {
    return body();
  } catch (const CLI::Success&) {
    throw;  // --help, --version
  } catch (const CLI::ParseError& e) {
    return Fail(kUsage, ExplainParseError(line.App(), e), json, where);
  } catch (const UsageError& e) {
    return Fail(kUsage, WithHelp(line, e.what()), json, where);
  }
}

}  // namespace

CommandLine::CommandLine(const Globals& defaults) : globals(defaults) {
  BuildCommandLine(app_, globals, registry_);
  const std::string group = "Many operations, many signs";
  batch_ = app_.add_subcommand("batch",
                               "Run the signctl commands of FILE (- or none: standard input), one "
                               "per line, over one connection");
  batch_->group(group);
  batch_->add_option("FILE", batchFile, "The commands, one per line; # starts a comment");
  batch_->add_flag("--keep-going", keepGoing, "Go on after a line that failed");
  completion_ = app_.add_subcommand("completion", "Print the shell completion script");
  completion_->group("Offline helpers");
  completion_->add_option("SHELL", "The shell: bash")->required()->check(CLI::IsMember({"bash"}));
}

void CommandLine::Parse(std::vector<std::string> words) {
  std::reverse(words.begin(), words.end());  // CLI11 takes them last first
  app_.parse(words);
  if (!globals.fleet.empty() && (BatchChosen() || CompletionChosen() || Chosen() == nullptr)) {
    throw UsageError("--fleet runs a command that talks to a sign: give one");
  }
}

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quote == '\'') {
      if (c == '\'') {
        quote = 0;
      } else {
        word += c;
      }
    } else if (quote == '"') {
      if (c == '"') {
        quote = 0;
      } else if (c == '\\' && i + 1 < line.size() &&
                 std::string_view("\"\\$`").find(line[i + 1]) != std::string_view::npos) {
        word += line[++i];
      } else {
        word += c;
      }
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else if (c == '#' && !inWord) {
      break;
    } else {
      inWord = true;
      if (c == '\'' || c == '"') {
        quote = c;
      } else if (c == '\\' && i + 1 < line.size()) {
        word += line[++i];
      } else {
        word += c;
      }
    }
  }
  if (quote != 0) {
    throw UsageError(std::string("the quote ") + quote +
                     " is not closed: close it on the same line");
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

int Main(const std::vector<std::string>& words) {
  // Known before parsing, so that a usage error is reported as JSON too.
  const bool json = std::find(words.begin(), words.end(), "--json") != words.end();
  CommandLine line;
  try {
    return Guarded(line, json, "", [&] {
      line.Parse(words);
      if (!line.globals.settingsDir.empty()) UseSettingsDirectory(line.globals.settingsDir);
      if (line.BatchChosen()) return RunBatch(line.globals, line.batchFile, line.keepGoing);
      if (line.CompletionChosen()) {
        std::cout << BashCompletion(line.App());
        return static_cast<int>(kDone);
      }
      const Registry::Entry* chosen = line.Chosen();
      if (chosen == nullptr) return static_cast<int>(kDone);  // an offline command ran
      const std::string command = chosen->sub->get_name();
      if (!line.globals.fleet.empty()) return RunFleet(line.globals, words, command);
      return Execute(line.globals, command, chosen->action);
    });
  } catch (const CLI::Success& e) {
    return line.App().exit(e);  // --help, --version
  }
}

// --- batch

namespace {

// One line of a batch: the operation on the batch's open connection (opened by the first
// line that needs the sign).
int RunBatchLine(Session& session, const Globals& batch, const std::vector<std::string>& words,
                 const std::string& where) {
  CommandLine line(batch);
  const bool json = batch.json || std::find(words.begin(), words.end(), "--json") != words.end();
  try {
    return Guarded(line, json, where, [&] {
      line.Parse(words);
      const Globals& g = line.globals;
      if (line.BatchChosen() || line.CompletionChosen() || !g.fleet.empty()) {
        throw UsageError("a batch line runs one command: batch, completion and --fleet do not fit");
      }
      if (g.connect != batch.connect || g.log != batch.log || g.settingsDir != batch.settingsDir) {
        throw UsageError(
            "--connect, --log and --settings-dir hold for the whole batch: give them before "
            "`batch`, and run another batch for another sign");
      }
      const Registry::Entry* chosen = line.Chosen();
      if (chosen == nullptr) return static_cast<int>(kDone);
      const std::string command = chosen->sub->get_name();
      CheckBeforeSending(g, command, chosen->action);
      if (!session.IsOpen()) {
        if (const auto failure = session.Open()) return Fail(kNoConnection, *failure, json, where);
      }
      return Emit(session.Run(g, command, chosen->action), g.json, command, where);
    });
  } catch (const CLI::Success& e) {
    return line.App().exit(e);  // --help on a line
  }
}

}  // namespace

int RunBatch(const Globals& globals, const std::string& file, bool keepGoing) {
  std::ifstream opened;
  if (file != "-") {
    opened.open(file);
    if (!opened) throw UsageError("batch: cannot read " + file + ": give a file of commands or -");
  }
  std::istream& in = file == "-" ? std::cin : opened;
  if (!globals.log.empty()) qordtcon::LogToFile(globals.log);
  Session session(globals, false);
  const InterruptGuard interrupt([&session] { session.Cancel(); });
  int worst = kDone;
  int number = 0;
  for (std::string text; std::getline(in, text);) {
    const std::string where = "line " + std::to_string(++number) + ": ";
    std::vector<std::string> words;
    try {
      words = SplitWords(text);
    } catch (const UsageError& e) {
      worst = std::max(worst, Fail(kUsage, e.what(), globals.json, where));
      if (!keepGoing) break;
      continue;
    }
    if (words.empty()) continue;
    const int status = RunBatchLine(session, globals, words, where);
    worst = std::max(worst, status);
    if (interrupt.Interrupted()) return kInterrupted;
    // Without a connection every later line would fail the same way.
    if (status == kNoConnection || (status != kDone && !keepGoing)) break;
  }
  return worst;
}

// --- fleet

namespace {

struct FleetSign {
  std::string connect;
  std::optional<int> node;
};

// The signs of a fleet file: per line a sign address (alone or after --connect) and an
// optional --node N; # starts a comment.
std::vector<FleetSign> ReadFleet(const std::string& file) {
  std::ifstream in(file);
  if (!in) throw UsageError("--fleet: cannot read " + file + ": give a file of sign addresses");
  std::vector<FleetSign> signs;
  int number = 0;
  for (std::string text; std::getline(in, text);) {
    const std::string where = "--fleet " + file + " line " + std::to_string(++number) + ": ";
    std::vector<std::string> words;
    try {
      words = SplitWords(text);
    } catch (const UsageError& e) {
      throw UsageError(where + e.what());
    }
    if (words.empty()) continue;
    FleetSign sign;
    for (std::size_t i = 0; i < words.size(); ++i) {
      const bool valued = i + 1 < words.size();
      if (words[i] == "--node" && valued) {
        const std::string& n = words[++i];
        const auto node = Decimal(n, 0, 255);
        if (!node) throw UsageError(where + "--node '" + n + "' is not a node address 0..255");
        sign.node = static_cast<int>(*node);
      } else if (words[i] == "--connect" && valued && sign.connect.empty()) {
        sign.connect = words[++i];
      } else if (words[i].rfind("--", 0) != 0 && sign.connect.empty()) {
        sign.connect = words[i];
      } else {
        throw UsageError(where + "'" + words[i] +
                         "' does not fit: give a sign address and optionally --node N");
      }
    }
    if (sign.connect.empty()) throw UsageError(where + "gives no sign address");
    try {
      (void)ParseAddress(sign.connect);
    } catch (const UsageError& e) {
      throw UsageError(where + e.what());
    }
    signs.push_back(std::move(sign));
  }
  if (signs.empty()) throw UsageError("--fleet: " + file + " lists no sign");
  return signs;
}

struct FleetResult {
  Outcome outcome{false, "not run: interrupted", Json::object()};
  bool connected = false;
  double seconds = 0;
};

// A result as one cell: "done", the fields as name=value, or the failure's text.
std::string Summary(const Outcome& outcome) {
  if (!outcome.ok) return OneLine(outcome.error);
  if (outcome.fields.empty()) return "done";
  std::string text;
  for (const auto& [key, value] : outcome.fields.items()) {
    text += (text.empty() ? "" : " ") + key + "=" +
            (value.is_array() ? std::to_string(value.size()) + " entries" : Plain(value));
  }
  return text;
}

}  // namespace

int RunFleet(const Globals& globals, const std::vector<std::string>& words,
             const std::string& command) {
  const std::vector<FleetSign> signs = ReadFleet(globals.fleet);
  // The same command line for every sign: checked once, before any sign is called.
  {
    CommandLine line;
    line.Parse(words);
    for (const FleetSign& sign : signs) {
      Globals g = globals;
      g.connect = sign.connect;
      g.node = sign.node.value_or(globals.node);
      CheckBeforeSending(g, command, line.Chosen()->action);
    }
  }
  if (!globals.log.empty()) qordtcon::LogToFile(globals.log);

  std::vector<FleetResult> results(signs.size());
  std::vector<Session*> running;
  std::mutex mutex;  // guards running
  std::atomic<bool> stopping{false};
  std::atomic<std::size_t> next{0};
  const InterruptGuard interrupt([&] {
    stopping = true;
    const std::lock_guard lock(mutex);
    for (Session* session : running)
      session->Cancel();
  });
  const auto work = [&] {
    for (std::size_t i; !stopping && (i = next++) < signs.size();) {
      const auto start = std::chrono::steady_clock::now();
      CommandLine line;
      line.Parse(words);
      line.globals.connect = signs[i].connect;
      line.globals.node = signs[i].node.value_or(globals.node);
      Session session(line.globals, true);
      {
        const std::lock_guard lock(mutex);
        running.push_back(&session);
      }
      FleetResult& result = results[i];
      if (const auto failure = session.Open()) {
        result.outcome = {false, *failure, Json::object()};
      } else {
        result.connected = true;
        try {
          result.outcome = session.Run(line.globals, command, line.Chosen()->action);
        } catch (const UsageError& e) {
          result.outcome = {false, e.what(), Json::object()};
        }
        session.Close();
      }
      {
        const std::lock_guard lock(mutex);
        running.erase(std::find(running.begin(), running.end(), &session));
      }
      result.seconds = Seconds(std::chrono::steady_clock::now() - start).count();
    }
  };
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  const std::size_t count =
      std::min<std::size_t>(static_cast<std::size_t>(globals.parallel), signs.size());
  for (std::size_t w = 0; w < count; ++w)
    workers.emplace_back(work);
  for (std::thread& worker : workers)
    worker.join();
  const double total = Seconds(std::chrono::steady_clock::now() - start).count();

  std::size_t failed = 0;
  Json rows = Json::array();
  for (std::size_t i = 0; i < signs.size(); ++i) {
    const FleetResult& r = results[i];
    const int node = signs[i].node.value_or(globals.node);
    const double seconds = std::round(r.seconds * 100) / 100;
    failed += r.outcome.ok ? 0 : 1;
    if (globals.json) {
      Json object =
          ToJson(r.outcome, OneLine(r.outcome.error), {{"sign", signs[i].connect}, {"node", node}});
      object["seconds"] = seconds;
      std::cout << object.dump() << '\n';
    } else {
      char secondsText[32];
      std::snprintf(secondsText, sizeof secondsText, "%.2f", r.seconds);
      rows.push_back(Json{{"sign", signs[i].connect},
                          {"node", node},
                          {"result", TextValue(Summary(r.outcome))},
                          {"seconds", secondsText}});
    }
  }
  if (!globals.json) {
    PrintTable(rows);
    char line[128];
    std::snprintf(line, sizeof line, "%zu signs: %zu done, %zu failed, %.2f s\n", signs.size(),
                  signs.size() - failed, failed, total);
    std::cout << line;
  }
  std::cout.flush();
  if (interrupt.Interrupted()) return kInterrupted;
  return failed == 0 ? kDone : kRefused;
}

}  // namespace signctl
