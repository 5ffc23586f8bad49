// signctl from the words typed to what runs: one operation, a batch of operations over one
// connection, or one operation on a fleet of signs at once.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "commands.hpp"

namespace signctl {

// One command line: its options and, when it needs a sign, its operation. Every line of a
// batch and every sign of a fleet gets its own, since the options fill the payloads.
class CommandLine {
 public:
  // `defaults`: the options a batch line starts from (those given before `batch`).
  explicit CommandLine(const Globals& defaults = {});
  // Parses the words after the program's name; throws CLI::ParseError or UsageError.
  // Offline commands run while they are parsed.
  void Parse(std::vector<std::string> words);

  CLI::App& App() { return app_; }
  const Registry::Entry* Chosen() const { return registry_.Chosen(); }
  bool BatchChosen() const { return batch_->parsed(); }
  bool CompletionChosen() const { return completion_->parsed(); }

  Globals globals;
  std::string batchFile = "-";
  bool keepGoing = false;

 private:
  CLI::App app_{"signctl - drive programmable LED message signs", "signctl"};
  Registry registry_{app_};
  CLI::App* batch_ = nullptr;
  CLI::App* completion_ = nullptr;
};

// The words of one line as a shell splits them: blanks separate, quotes ('...', "...")
// and backslashes keep them together, and a word starting with # begins a comment.
// Throws UsageError for an unfinished quote.
std::vector<std::string> SplitWords(const std::string& line);

// signctl's main: the exit status for the words after the program's name.
int Main(const std::vector<std::string>& words);

// `batch`: the lines of `file` ("-": standard input) over one connection.
int RunBatch(const Globals& globals, const std::string& file, bool keepGoing);
// --fleet: the command line `words` on every sign listed in globals.fleet, side by side.
int RunFleet(const Globals& globals, const std::vector<std::string>& words,
             const std::string& command);

}  // namespace signctl
