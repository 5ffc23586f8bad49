// XModemSender against receivers we did not write (rx of lrzsz, python3-xmodem) on a pty,
// and against a scripted receiver for the faults.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <random>
#include <thread>
#include <vector>

#include <qordtcon/firmware/xmodem.hpp>

#include "bytes.hpp"
#include "temp_dir.hpp"

using qordtcon::XModemSender;
using namespace std::chrono_literals;

namespace {

const char* const kPythonReceiver = R"(import os, select, sys, xmodem
def getc(size, timeout=1):
    data = b""
    while len(data) < size and select.select([0], [], [], timeout)[0]:
        data += os.read(0, size - len(data))
    return data if len(data) == size else None
with open("out", "wb") as out:
    sys.exit(xmodem.XMODEM(getc, lambda d, t=1: os.write(1, d)).recv(out, crc_mode=int(sys.argv[1])) is None))";

// Whether process `pid` is blocked (or gone) rather than running.
bool Blocked(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const std::size_t end = line.rfind(") ");
  return end == std::string::npos || (line[end + 2] != 'R' && line[end + 2] != 'D');
}

// Sends `path` to `argv` run in `dir`, its stdin and stdout on a pty each; true when both
// ends succeeded. rx flushes its stdin's pty both ways as it exits, which on one pty would
// race its last ACK away.
bool SendOverPty(int mode, const std::string& path, std::vector<const char*> argv,
                 const std::filesystem::path& dir) {
  termios raw{};
  ::cfmakeraw(&raw);
  int to, rx_in, from, rx_out;
  if (::openpty(&to, &rx_in, nullptr, &raw, nullptr) != 0 ||
      ::openpty(&from, &rx_out, nullptr, &raw, nullptr) != 0) {
    return false;
  }
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(rx_in, 0), ::dup2(rx_out, 1), ::dup2(::open("/dev/null", O_WRONLY), 2);
    if (::chdir(dir.c_str()) == 0) ::execvp(argv[0], const_cast<char**>(argv.data()));
    ::_exit(127);
  }
  ::close(rx_in), ::close(rx_out);
  XModemSender sender;
  sender.OnGetData = [from, pid](std::int16_t count) {
    std::string got(count > 0 ? count : 4096, '\0');
    pollfd in{from, POLLIN, 0};
    const ssize_t n = ::poll(&in, 1, 50) > 0 ? ::read(from, got.data(), got.size()) : 0;
    if (n < 0) throw std::runtime_error("the receiver is gone");
    // rx drops its unread input right after each answer, against line noise. On a real line
    // our next block is still on its way then; on a pty it would be lost. So an answer
    // counts only once the receiver is blocked again, reading.
    const auto limit = std::chrono::steady_clock::now() + 5s;
    while (n > 0 && !Blocked(pid) && std::chrono::steady_clock::now() < limit) {
      std::this_thread::sleep_for(100us);
    }
    return got.substr(0, n);
  };
  sender.OnSendData = [to](const std::string& data) {
    for (ssize_t n, done = 0; done < std::ssize(data); done += n) {
      if ((n = ::write(to, data.data() + done, data.size() - done)) <= 0) throw std::exception();
    }
  };
  const bool sent = sender.SendFile(mode, path);
  if (!sent) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(to), ::close(from);
  EXPECT_EQ(sender.ErrorMessage, "");
  return sent && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(XModem, ForeignReceiversGetTheFileExactly) {
  if (::access("/usr/bin/rx", X_OK) != 0 ||
      ::system("/usr/bin/python3 -c 'import xmodem' 2>/dev/null") != 0) {
    GTEST_SKIP() << "rx (lrzsz) or python3-xmodem is missing: run scripts/deps";
  }
  struct Receiver {
    std::vector<const char*> argv;
    bool crc;
  };
  const Receiver receivers[] = {{{"rx", "-c", "-b", "-q", "out"}, true},
                                {{"rx", "-b", "-q", "out"}, false},
                                {{"/usr/bin/python3", "-c", kPythonReceiver, "1"}, true},
                                {{"/usr/bin/python3", "-c", kPythonReceiver, "0"}, false}};
  struct Run {
    const Receiver& receiver;
    int mode;
    std::string file;
    std::unique_ptr<TempDir> dir = std::make_unique<TempDir>();
    std::future<bool> sent;
  };
  std::vector<Run> runs;
  std::mt19937 random(7);
  for (const std::size_t size : {0, 1, 127, 128, 129, 1024, 1025, 100000}) {
    std::string file(size, '\0');
    for (char& c : file)
      c = static_cast<char>(random());
    // The bytes a receiver could mistake for padding, an answer or a cancel, at the end.
    for (std::size_t i = 0; i < std::min<std::size_t>(size, 3); ++i)
      file[size - 1 - i] = "\x1A\x06\x18"[i];
    for (int mode : {XModemSender::kXModem, XModemSender::kXModem1K}) {
      for (const Receiver& receiver : receivers) {
        if (size == 0 && receiver.argv[0][0] == '/') continue;  // takes no EOT before a block
        runs.push_back({receiver, mode, file, std::make_unique<TempDir>(), {}});
        runs.back().dir->Write("in", file);
      }
    }
  }
  // All at once: rx alone waits a second after the EOT before it answers.
  for (Run& run : runs) {
    run.sent = std::async(std::launch::async, SendOverPty, run.mode,
                          (run.dir->path() / "in").string(), run.receiver.argv, run.dir->path());
  }
  for (Run& run : runs) {
    const std::size_t size = run.file.size();
    const std::size_t whole = run.mode == 3 && run.receiver.crc ? size / 1024 * 1024 : 0;
    const std::size_t padded = whole + (size - whole + 127) / 128 * 128;
    const bool sent = run.sent.get();
    const std::string got = run.dir->Read("out");
    EXPECT_TRUE(sent && got == run.file + std::string(padded - size, '\x1A'))
        << run.receiver.argv[0] << (run.receiver.crc ? " CRC" : " checksum") << ", mode "
        << run.mode << ", " << size << " bytes: received " << got.size();
  }
}

}  // namespace
