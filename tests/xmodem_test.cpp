// XModemSender against receivers we did not write (rx of lrzsz, python3-xmodem) on a pty,
// and against a scripted receiver for the faults.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>
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
  sender.OnGetData = [from](std::int16_t count) {
    std::string got(count > 0 ? count : 4096, '\0');
    pollfd in{from, POLLIN, 0};
    const ssize_t n = ::poll(&in, 1, 50) > 0 ? ::read(from, got.data(), got.size()) : 0;
    if (n < 0) throw std::runtime_error("the receiver is gone");
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
        SCOPED_TRACE(std::string(receiver.argv[0]) + (receiver.crc ? " CRC" : " checksum") +
                     ", mode " + std::to_string(mode) + ", " + std::to_string(size) + " bytes");
        TempDir dir;
        dir.Write("in", file);
        ASSERT_TRUE(SendOverPty(mode, (dir.path() / "in").string(), receiver.argv, dir.path()));
        const std::size_t whole = mode == 3 && receiver.crc ? size / 1024 * 1024 : 0;
        const std::size_t padded = whole + (size - whole + 127) / 128 * 128;
        EXPECT_EQ(dir.Read("out"), file + std::string(padded - size, '\x1A'));
      }
    }
  }
}

}  // namespace
