#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <utility>

#include "bytes.hpp"
#include "peer.hpp"
#include "run_command.hpp"
#include "temp_dir.hpp"

namespace {

const std::string kSignsim = SIGNSIM_PATH;

// The program in the background: its output on a pipe, its process id on the first line.
struct Program {
  explicit Program(const std::string& args)
      : out(::popen(("sh -c 'echo $$; exec " + kSignsim + " " + args + "'").c_str(), "r")),
        pid(std::stoi(Line())) {}
  ~Program() {
    if (out != nullptr) ::pclose(out);
  }
  std::string Line() {
    char buf[512];
    return std::fgets(buf, sizeof buf, out) != nullptr ? buf : "";
  }
  // Sends SIGTERM; the rest of the output, and the exit status.
  std::pair<std::string, int> Terminate() {
    ::kill(pid, SIGTERM);
    std::string rest;
    for (std::string line; !(line = Line()).empty();)
      rest += line;
    const int status = ::pclose(std::exchange(out, nullptr));
    return {rest, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  }

  FILE* out;
  pid_t pid;
};

}  // namespace

TEST(SignsimProgram, BadOptionsGiveOneLineAndStatus2) {
  struct Case {
    const char* args;
    const char* out;
  };
  const Case cases[] = {
      {"--node 300", "signsim: --node: Value 300 not in range 0 to 254 (see signsim --help)\n"},
      {"--fault nak=1", "signsim: --fault: bad fault 'nak=1': 'nak' takes no value\n"},
      {"--board qx5", "signsim: --board: qx5 not in {menu,qx4} (see signsim --help)\n"},
      {"--tcp localhost",
       "signsim: --tcp: 'localhost' is not ADDR:PORT: give an IP address and a port 0..65535, "
       "e.g. 127.0.0.1:3001 or [::1]:3001\n"},
      {"--http 127.0.0.1",
       "signsim: --http: '127.0.0.1' is not ADDR:PORT: give an IP address and a port "
       "0..65535, e.g. 127.0.0.1:3001 or [::1]:3001\n"},
      {"--tcp off",
       "signsim: --tcp: no transport left: give --tcp ADDR:PORT, --pty PATH or "
       "--modem-pty PATH\n"},
      {"--dial-result RING",
       "signsim: --dial-result: 'RING' is not a dial result: use CONNECT, BUSY, NO CARRIER, "
       "NO DIALTONE or NO ANSWER\n"},
      {"--bogus",
       "signsim: The following argument was not expected: --bogus (see signsim "
       "--help)\n"},
  };
  for (const Case& c : cases) {
    const CommandResult r = RunCommand(kSignsim + " " + c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.out, c.out) << c.args;
  }
}

TEST(SignsimProgram, ServesUntilSigtermThenReportsItsCounters) {
  TempDir dir;
  const std::string serial = (dir.path() / "sign.tty").string();
  const std::string modem = (dir.path() / "modem.tty").string();
  const std::string dump = (dir.path() / "state.json").string();
  Program program("--tcp 127.0.0.1:0 --http 0 --pty " + serial + " --modem-pty " + modem +
                  " --fault nak --dump-state " + dump + " --appl-name LOBBY");
  const std::string tcpLine = program.Line();
  ASSERT_EQ(tcpLine.rfind("signsim: tcp 127.0.0.1:", 0), 0u) << tcpLine;
  const std::string pageLine = program.Line();
  EXPECT_EQ(pageLine.rfind("signsim: page http://127.0.0.1:", 0), 0u) << pageLine;
  EXPECT_EQ(program.Line(), "signsim: serial " + serial + "\n");
  EXPECT_EQ(program.Line(), "signsim: modem " + modem + "\n");

  const auto port = static_cast<std::uint16_t>(std::stoi(tcpLine.substr(23)));
  Peer peer = Peer::Tcp(port);
  peer.Write(kClockSet);
  EXPECT_EQ(peer.Read(2), Bytes("10 15"));
  peer.Write(kClockSet);
  EXPECT_EQ(peer.Read(14), kClockSetAnswer);
  EXPECT_NE(dir.Read("state.json").find("\"applName\": \"LOBBY\""), std::string::npos);

  const auto [rest, status] = program.Terminate();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(rest,
            "signsim: counters frames=2 acks=1 naks=1 inquiries=0 executed=1 repeats=0 "
            "broadcasts=0 otherNode=0 hostAcks=0 hostNaks=0 connections=1 dials=0 connects=0 "
            "hangups=0 disconnects=1 badBcc=0 replies=1 oversized=0 filesReceived=0 fileBlocks=0 "
            "filesDeleted=0 fileRequests=0 boots=0 xmodemBlocks=0 xmodemNaks=0 flashWrites=0 "
            "loaderFrames=0\n"
            "signsim: faults applied drop-ack=0 nak=1 bad-bcc=0 silent=0 error=0 echo=0 delay=0 "
            "foreign=0 drop-after=0 reorder=0 no-menu=0 slow-boot=0 no-xmodem=0 xmodem-nak=0 "
            "xmodem-drop=0 xmodem-cancel=0 flash-stall=0 slow-flash=0 loader-silent=0 "
            "loader-bad-length=0\n");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(serial)));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(modem)));
}
