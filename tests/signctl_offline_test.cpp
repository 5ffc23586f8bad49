#include <gtest/gtest.h>

#include "run_command.hpp"

namespace {
const std::string kSignctl = SIGNCTL_PATH;
}

TEST(SignctlOffline, FrameAndDumpOutputAndUsageErrors) {
  struct Case {
    const char* args;
    int status;
    const char* out;
  };
  const Case cases[] = {
      {"frame --node 1 --cmd 9 --fnc 1 --tn 5 --data 41", 0,
       "10 02 01 00 09 00 05 00 01 41 10 03 AF\n"
       "DLE=[10] STX=[2] DST=[1] SRC=[0] CMD=[9] STS=[0] TNL=[5] TNH=[0] FNC=[1] A(65) DLE=[10] "
       "ETX=[3] BCC=[AF] \n"},
      {"frame --node 1 --cmd 9 --fnc 1 --tn 5 --new-bcc --data '4 1'", 0,
       "10 02 01 00 09 AA 05 00 01 41 10 03 03\n"
       "DLE=[10] STX=[2] DST=[1] SRC=[0] CMD=[9] STS=[AA] TNL=[5] TNH=[0] FNC=[1] A(65) DLE=[10] "
       "ETX=[3] BCC=[3] \n"},
      {"dump 10 06 1005 01FF", 0, "DLE=[10] ACK=[6] DLE=[10] ENQ=[5] DST=[1] BCC=[FF] \n"},
      {"frame --node 300 --cmd 9 --fnc 1", 2,
       "signctl: --node: Value 300 not in range 0 to 255 (see signctl frame --help)\n"},
      {"dump 10 0", 2,
       "signctl: '0' has an odd number of hex digits: give every byte as two digits, e.g. 0A (see "
       "signctl dump --help)\n"},
      {"frame --cmd 1 --fnc 2 --data zz", 2,
       "signctl: 'zz' is not hex: give bytes as pairs of hex digits, e.g. 10 02 (see signctl frame "
       "--help)\n"},
  };
  for (const Case& c : cases) {
    const CommandResult r = RunCommand(kSignctl + " " + c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.out, c.out) << c.args;
  }
}
