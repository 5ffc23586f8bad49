#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "bytes.hpp"
#include "run_command.hpp"
#include "sign_peer.hpp"
#include "temp_dir.hpp"

extern char** environ;

namespace {

const std::string kSignsim = SIGNSIM_PATH;

// The program running in the background, its standard output on a pipe.
class Program {
 public:
  explicit Program(std::vector<std::string> args) {
    args.insert(args.begin(), kSignsim);
    std::vector<char*> argv;
    for (std::string& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    EXPECT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    EXPECT_EQ(::posix_spawn(&pid_, kSignsim.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = ::fdopen(out[0], "r");
  }
  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ != nullptr) ::fclose(out_);
  }

  std::string Line() {
    char buf[512];
    return std::fgets(buf, sizeof buf, out_) != nullptr ? buf : "";
  }

  // Sends SIGTERM; returns the rest of the output and the exit status.
  std::pair<std::string, int> Terminate() {
    ::kill(pid_, SIGTERM);
    std::string rest;
    for (std::string line; !(line = Line()).empty();)
      rest += line;
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return {rest, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
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
      {"--tcp localhost",
       "signsim: --tcp: 'localhost' is not ADDR:PORT: give an IP address and a port 0..65535, "
       "e.g. 127.0.0.1:3001 or [::1]:3001\n"},
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
  Program program({"--tcp", "127.0.0.1:0", "--pty", serial, "--modem-pty", modem, "--fault", "nak",
                   "--dump-state", dump, "--appl-name", "LOBBY"});
  const std::string tcpLine = program.Line();
  ASSERT_EQ(tcpLine.rfind("signsim: tcp 127.0.0.1:", 0), 0u) << tcpLine;
  EXPECT_EQ(program.Line(), "signsim: serial " + serial + "\n");
  EXPECT_EQ(program.Line(), "signsim: modem " + modem + "\n");

  const auto port = static_cast<std::uint16_t>(std::stoi(tcpLine.substr(23)));
  SignPeer peer = SignPeer::Tcp(port);
  const std::string clockSet = Command(1, 0, 0, 1, Bytes("0D 05 09 18 0C 1A 05"));
  peer.Write(clockSet);
  EXPECT_EQ(peer.Read(2), Bytes("10 15"));
  peer.Write(clockSet);
  EXPECT_EQ(peer.Read(14), Bytes("10 06 10 02 00 01 F0 00 01 00 00 10 03 0E"));
  EXPECT_NE(dir.Read("state.json").find("\"applName\": \"LOBBY\""), std::string::npos);

  const auto [rest, status] = program.Terminate();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(rest,
            "signsim: counters frames=2 acks=1 naks=1 inquiries=0 executed=1 repeats=0 "
            "broadcasts=0 otherNode=0 hostAcks=0 hostNaks=0 connections=1 dials=0 connects=0 "
            "hangups=0 disconnects=1 badBcc=0 replies=1 oversized=0\n"
            "signsim: faults applied drop-ack=0 nak=1 bad-bcc=0 silent=0 error=0 echo=0 delay=0 "
            "foreign=0 drop-after=0\n");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(serial)));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(modem)));
}
