// signctl's command groups: each adds its subcommands to the application.
#pragma once

#include <CLI/CLI.hpp>

namespace signctl {

// Exit statuses shared by every subcommand.
enum Exit : int { kDone = 0, kRefused = 1, kUsage = 2, kNoConnection = 3 };

// A usage error found after parsing (bad hex, for example); main prints it on one line
// and exits with kUsage.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// `frame` and `dump`: build and annotate frames without a sign.
void AddOfflineCommands(CLI::App& app);

}  // namespace signctl
