// Help for a person at a shell: a bash completion script made from signctl's own command
// table, and "did you mean" messages for a mistyped command or option.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

namespace signctl {

// A bash completion script for the command line `app`, ending in `complete -F _signctl
// signctl`: the commands, each command's options and the global options (before or after
// the command), file names where a file on this computer is wanted, and the kinds of
// connection after --connect. Options that may be given once are not offered again.
std::string BashCompletion(const CLI::App& app);

// The candidates nearest to a mistyped word, nearest first and then by name, at most `most`
// of them; none when nothing is reasonably near. Leading dashes take no part.
std::vector<std::string> Closest(std::string_view word, const std::vector<std::string>& candidates,
                                 std::size_t most = 3);

// "unknown command 'WORD': did you mean A, B? (see signctl --help)".
std::string UnknownCommand(const CLI::App& app, std::string_view word);

// "unknown option 'OPTION' for SUB: did you mean A? (see signctl SUB --help)"; the candidates
// are the options of `sub` (when not null) and the global ones.
std::string UnknownOption(const CLI::App& app, const CLI::App* sub, std::string_view option);

// The message for an error from parsing `app`'s command line: an unknown command or option is
// explained as above (an unknown word is the likely cause of whatever else went wrong), any
// other error is its own text and the help to see.
std::string ExplainParseError(const CLI::App& app, const CLI::ParseError& e);

}  // namespace signctl
