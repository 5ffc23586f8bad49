// XModemSender against receivers we did not write (rx of lrzsz, python3-xmodem) on ptys, and
// against scripted receivers for the faults.
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

#include <qordtcon/firmware/xmodem.hpp>

#include "bytes.hpp"
#include "temp_dir.hpp"

using qordtcon::XModemSender;
using namespace std::chrono_literals;

namespace {

const char* const kPythonReceiver = R"(import os, sys, xmodem
modem = xmodem.XMODEM(lambda n, t=1: sys.stdin.buffer.read(n), lambda d, t=1: os.write(1, d))
with open(sys.argv[2], "wb") as out:
    sys.exit(modem.recv(out, crc_mode=int(sys.argv[1])) is None))";

// Whether process `pid` is blocked (or gone) rather than running.
bool Blocked(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  const std::string line(std::istreambuf_iterator<char>(stat), {});
  const std::size_t end = line.rfind(") ");
  return end == std::string::npos || (line[end + 2] != 'R' && line[end + 2] != 'D');
}

// Sends `dir`/`name` to `argv` run in `dir`, its stdin and stdout on a pty each; true when
// both ends succeeded. (rx flushes its stdin's tty both ways as it exits: on one pty that
// would race its last ACK away.)
bool SendOverPty(int mode, const std::filesystem::path& dir, const std::string& name,
                 std::vector<const char*> argv) {
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
    for (auto limit = std::chrono::steady_clock::now() + 5s;
         n > 0 && !Blocked(pid) && std::chrono::steady_clock::now() < limit;) {
      std::this_thread::sleep_for(100us);
    }
    return got.substr(0, n);
  };
  sender.OnSendData = [to](const std::string& data) {
    if (::write(to, data.data(), data.size()) != std::ssize(data)) throw std::exception();
  };
  const bool sent = sender.SendFile(mode, (dir / name).string());
  if (!sent) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(to), ::close(from);
  EXPECT_EQ(sender.ErrorMessage, "") << argv[0];
  return sent && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(XModem, ForeignReceiversGetTheFileExactly) {
  if (::access("/usr/bin/rx", X_OK) != 0 ||
      ::system("/usr/bin/python3 -c 'import xmodem' 2>/dev/null") != 0) {
    GTEST_SKIP() << "rx (lrzsz) or python3-xmodem is missing: run scripts/deps";
  }
  const std::pair<std::vector<const char*>, bool> receivers[] = {
      {{"rx", "-c", "-b", "-q"}, true},
      {{"rx", "-b", "-q"}, false},
      {{"/usr/bin/python3", "-c", kPythonReceiver, "1"}, true},
      {{"/usr/bin/python3", "-c", kPythonReceiver, "0"}, false}};
  TempDir dir;
  std::mt19937 random(7);
  std::vector<std::pair<std::string, std::future<bool>>> runs;  // all at once: rx idles 1 s
  for (const std::size_t size : {0, 1, 127, 128, 129, 1024, 1025, 100000}) {
    std::string file(size, '\0');
    for (char& c : file)
      c = static_cast<char>(random());
    // Bytes a receiver could take for a cancel, an answer or padding, at the end.
    if (size >= 3) file.replace(size - 3, 3, "\x18\x06\x1A");
    for (const int mode : {XModemSender::kXModem, XModemSender::kXModem1K}) {
      for (const auto& [argv, crc] : receivers) {
        if (size == 0 && argv[0][0] == '/') continue;  // python3-xmodem wants a block first
        const std::size_t tail = mode == 3 && crc ? size % 1024 : size;  // in 128-byte blocks
        const std::string padded = file + std::string((128 - tail % 128) % 128, '\x1A');
        const std::string name = std::to_string(runs.size());
        dir.Write(name, file);
        runs.emplace_back(
            std::string(argv[0]) + (crc ? " CRC" : " checksum") + ", mode " + std::to_string(mode) +
                ", " + std::to_string(size) + " bytes",
            std::async(std::launch::async, [&dir, argv = argv, mode, name, padded]() mutable {
              const std::string out = name + ".out";
              argv.push_back(out.c_str());
              return SendOverPty(mode, dir.path(), name, argv) && dir.Read(out) == padded;
            }));
      }
    }
  }
  for (auto& [what, run] : runs)
    EXPECT_TRUE(run.get()) << what;
}

TEST(XModem, ScriptedReceiversGetTheRightBytesAndTexts) {
  // The receiver says `start`, then answers each send with the next of `answers` (the last
  // repeats). `sends` lists what we sent: "b<n>" a 128-byte block, else its bytes in hex.
  struct Fault {
    std::string file, start;  // file "-": one that does not exist
    std::vector<std::string> answers;
    std::string sends, error, first = "";           // the first send's exact bytes, if given
    int mode = 1, cancel_after = -1, retries = 10;  // Canceled() true after that many sends
    std::chrono::milliseconds wait = 3s;
  };
  const std::string pad(127, '\x1A'), x(1025, 'x'),
      again =
          "; the transfer was abandoned and CAN sent to the receiver. Check the line (speed, "
          "parity, noise) and that the receiver is still in its receive mode, then start again";
  // clang-format off
  const Fault faults[] = {
      {"A", "\x15\x15", {"C\x06"}, "b1 04", "", Bytes("01 01 FE 41") + pad + Bytes("27"), 3},
      {"A", "C", {"\x06", "\x15", "\x06"}, "b1 04 04", "", Bytes("01 01 FE 41") + pad + Bytes("F2 DD"), 3},
      {x, "C", {"\x06", "\x06", "\x15"}, "b1 b2 b3 b3 b3 b3 b3 b3 b3 b3 b3 b3 181818",
       "block 3 was refused 10 times" + again},
      {"A", "C", {"\x15", ""}, "b1 b1 b1 181818",
       "block 1 was refused once and went unanswered 2 times (0.3 s each)" + again, "", 1, -1, 3, 300ms},
      {"A", "", {""}, "", "the receiver never asked for the file: no \"C\" or NAK within 0.3 s; is it "
       "in its receive mode, and do speed and parity match?", "", 1, -1, 10, 300ms},
      {x, "\x15", {"\x06", "\x18\x18"}, "b1 b2", "the receiver cancelled the transfer (CAN CAN) at "
       "block 2; see its display or log for the reason, then start again"},
      {x, "C", {"\x06"}, "b1 181818", "the transfer was cancelled at block 1; the receiver was sent "
       "CAN, so the upload has to start again from the beginning", "", 1, 1},
      {"-", "C", {"\x06"}, "", "cannot read the file \"/nonexistent/firmware.bin\": No such file or "
       "directory; check the path and its permissions"},
  };
  // clang-format on
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.sends);
    TempDir dir;
    dir.Write("in", fault.file);
    std::string to_read = fault.start, sends, first;
    int count = 0;
    XModemSender sender;
    sender.OnGetData = [&](std::int16_t count) {
      if (to_read.empty()) std::this_thread::sleep_for(2ms);  // a port's own short wait
      const std::string got = to_read.substr(0, count > 0 ? count : to_read.size());
      to_read.erase(0, got.size());
      return got;
    };
    sender.OnSendData = [&](const std::string& data) {
      to_read += fault.answers[std::min<std::size_t>(count++, fault.answers.size() - 1)];
      first = count == 1 ? data : first;
      sends += sends.empty() ? "" : " ";
      if (data[0] == 1) sends += "b" + std::to_string(static_cast<unsigned char>(data[1]));
      for (unsigned char c : data[0] == 1 ? "" : data) {
        sends += "0123456789ABCDEF"[c >> 4], sends += "0123456789ABCDEF"[c & 15];
      }
    };
    sender.Canceled = [&] { return fault.cancel_after >= 0 && count >= fault.cancel_after; };
    sender.StartWait = sender.AnswerWait = fault.wait;
    sender.MaxRetries = fault.retries;
    const std::string path =
        fault.file == "-" ? "/nonexistent/firmware.bin" : (dir.path() / "in").string();
    EXPECT_EQ(sender.SendFile(fault.mode, path), fault.error.empty());
    EXPECT_EQ(sender.ErrorMessage, fault.error);
    EXPECT_EQ(sends, fault.sends);
    EXPECT_EQ(fault.first.empty() ? "" : first, fault.first);
    EXPECT_THROW(sender.SendFile(2, path), std::invalid_argument);
  }
}

}  // namespace
