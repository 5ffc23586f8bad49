#include <gtest/gtest.h>

#include "run_command.hpp"
#include "signctl/command_line.hpp"
#include "signctl/guide.hpp"
#include "temp_dir.hpp"

// COMP_WORDS as bash splits a line (at blanks, '=', ':'), the cursor last; what is offered.
TEST(SignctlGuide, BashCompletionOffersCommandsOptionsAndFiles) {
  const TempDir dir;
  dir.Write("signctl.bash", signctl::BashCompletion(signctl::CommandLine().App()));
  for (const char* file : {"logo.bmp", "sign.bin"})
    dir.Write(file, "");
  dir.Write("drive.bash",
            ". ./signctl.bash\nCOMP_WORDS=(\"$@\")\nCOMP_CWORD=$(($# - 1))\n_signctl\n"
            "printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort | paste -sd ' '\n");
  const std::string cd = "cd '" + dir.path().string() + "' && ";
  EXPECT_EQ(RunCommand(cd + "/bin/bash -n signctl.bash && tail -1 signctl.bash").out,
            "complete -F _signctl signctl\n");
  const std::pair<std::string, std::string> cases[] = {
      {"set-display-te",
       "set-display-temp-adjust set-display-test set-display-text-message set-display-text-tabs"},
      {"set-display-test --ro", "--row"},
      {"--js", "--json"},
      {"stats --js", "--json"},
      {"--json stats --",
       "--connect --fleet --help --log --new-bcc --node --parallel --progress --retry "
       "--settings-dir --timeout --version"},
      {"ba", "batch"},
      {"batch --k", "--keep-going"},
      {"set-display-test --row 1 --ro", ""},
      {"append-display-play-order --entry A --en", "--entry"},
      {"--connect ''", "modem: serial: tcp://127.0.0.1:"},
      {"--connect tcp : //127.0.0.1 : 3001 --timeout 9 sta",
       "start-stop-paged-text-message-on-display stats"},
      {"transfer-file-to-display lo", "logo.bmp"},
      {"send-files logo.bmp s", "sign.bin signctl.bash"},
      {"--log =", "drive.bash logo.bmp sign.bin signctl.bash"},
      {"qx4-firmware sign.bin --loader lo", "logo.bmp"},
      {"get-file lo", ""},
      {"get-file LOGO.BMP lo", "logo.bmp"},
  };
  for (const auto& [words, offered] : cases) {
    EXPECT_EQ(RunCommand(cd + "/bin/bash drive.bash signctl " + words).out, offered + "\n")
        << words;
  }
}

TEST(SignctlGuide, ParseErrorsNameTheNearestCommandOrOption) {
  const std::pair<const char*, const char*> cases[] = {
      {"set-dispaly-text --row 1",
       "unknown command 'set-dispaly-text': did you mean set-display-text-message, "
       "set-display-text-tabs, set-display-test? (see signctl --help)"},
      {"tiem", "unknown command 'tiem': did you mean time? (see signctl --help)"},
      {"hw-temp",
       "unknown command 'hw-temp': did you mean set-display-hw-temp? (see signctl --help)"},
      {"get",
       "unknown command 'get': did you mean get-all-display-dir-info, get-display-cell, "
       "get-display-counter? (see signctl --help)"},
      {"xyzzy", "unknown command 'xyzzy' (see signctl --help for the list)"},
      {"set-display-text-message --rwo 1",
       "unknown option '--rwo' for set-display-text-message: did you mean --row? (see signctl "
       "set-display-text-message --help)"},
      {"stats --jsno",
       "unknown option '--jsno' for stats: did you mean --json? (see signctl stats --help)"},
      {"stats --rwo=3", "unknown option '--rwo' for stats (see signctl stats --help)"},
      {"--nod 3", "unknown option '--nod': did you mean --node? (see signctl --help)"},
      {"clear foo", "The following argument was not expected: foo (see signctl clear --help)"},
      {"", "A subcommand is required (see signctl --help)"},
  };
  for (const auto& [line, message] : cases) {
    signctl::CommandLine command;
    try {
      command.App().parse(line, false);
      ADD_FAILURE() << line << " was accepted";
    } catch (const CLI::ParseError& e) {
      EXPECT_EQ(signctl::ExplainParseError(command.App(), e), message) << line;
    }
  }
}
