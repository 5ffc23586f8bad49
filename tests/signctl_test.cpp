#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <regex>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bytes.hpp"
#include "run_command.hpp"
#include "signctl/commands.hpp"
#include "signctl_run.hpp"
#include "signsim/simulator.hpp"
#include "temp_dir.hpp"

namespace {

using namespace std::chrono_literals;

}  // namespace

TEST(Signctl, UsageErrorsHelpAndLookups) {
  TempDir dir;
  const std::string address =
      ": give tcp://HOST[:PORT], serial:DEVICE[?baud=N] or modem:DEVICE?dial=NUMBER (see signctl "
      "--help)\n";
  std::string pixels;
  for (int i = 0; i < 256; ++i)
    pixels += " --pixel 1,1,1,1";
  struct Case {
    std::string args;
    int status;
    std::string out;
    std::string err;
  };
  // clang-format off
  const Case cases[] = {
      {"text --row 300 HI", 2, "", "signctl: --row: Value 300 not in range 0 to 255 (see signctl text --help)\n"},
      {"--connect foo://x stats", 2, "", "signctl: --connect: 'foo://x' is not a sign address" + address},
      {"--connect tcp://sign:5 stats", 2, "", "signctl: --connect: 'tcp://sign:5' has the port '5', not 10..65535" + address},
      {"--connect serial:/dev/ttyS0?baud=fast stats", 2, "", "signctl: --connect: 'serial:/dev/ttyS0?baud=fast' has the baud rate 'fast'" + address},
      {"--connect modem:/dev/ttyS0 stats", 2, "", "signctl: --connect: 'modem:/dev/ttyS0' gives no number to dial" + address},
      {"set-display-play-order --entry LOOP.QFX,x", 2, "",
       "signctl: --entry: 'LOOP.QFX,x' is not NAME[,DELAY[,PREFIX[,SUFFIX]]]: DELAY 'x' is not a number in -1..2147483647 (see signctl set-display-play-order --help)\n"},
      {"set-display-multiple-variable --entry 5,300,A,B", 2, "",
       "signctl: --entry: '5,300,A,B' is not X,LENGTH,TEXT: LENGTH 300 is not the length of TEXT 'A,B' (3); leave LENGTH empty to send the text's (see signctl set-display-multiple-variable --help)\n"},
      {"set-display-multiple-variables-auto-process --entry 1,,A --entry 7,," + std::string(979, 'x'), 2, "",
       "signctl: set-display-multiple-variables-auto-process: --entry 2 (variable 7) has 979 characters, but one packet holds 978 at most; nothing was sent. Send that variable on its own with set-display-variable --variable-num 7 (see signctl set-display-multiple-variables-auto-process --help)\n"},
      {"set-display-groups --groups ABCDEFGHIJK", 2, "", "signctl: --groups: 'ABCDEFGHIJK' has 11 characters; the field holds 10 (see signctl set-display-groups --help)\n"},
      {"delete-file ABCDEFGHIJKLMN", 2, "", "signctl: NAME: 'ABCDEFGHIJKLMN' has 14 characters; the field holds 13 (see signctl delete-file --help)\n"},
      {"set-display-test --testcode 1 --col 1 --row 32768", 2, "", "signctl: --row: Value 32768 not in range 0 to 32767 (see signctl set-display-test --help)\n"},
      {"time --time-adjust 25", 2, "", "signctl: --time-adjust: Value 25 not in range -24 to 24 (see signctl time --help)\n"},
      {"show-paged-text-on-display --page-num 1 --prefix-mode 0 --suffix-mode 0 --delay -257", 2, "",
       "signctl: --delay: Value -257 not in range -256 to 32767 (see signctl show-paged-text-on-display --help)\n"},
      {"set-display-info --low-level 1 --hi-level 9 --default-brightness 4 --speed 3 --no-dst", 2, "", "signctl: --dimlevel is required (see signctl set-display-info --help)\n"},
      {"set-display-info --dimlevel 5 --low-level 1 --hi-level 9 --default-brightness 4 --speed 3", 2, "", "signctl: --dst or --no-dst is required (see signctl set-display-info --help)\n"},
      {"set-display-scan --off --on", 2, "", "signctl: --on: given with --off, its opposite: give one of the two (see signctl set-display-scan --help)\n"},
      {"set-display-paged-text-message --page-num 1", 2, "",
       "signctl: set-display-paged-text-message: the sign has no command that takes a page of text, so nothing would be sent; write text with set-display-text-message and show a page the sign holds with show-paged-text-on-display (see signctl set-display-paged-text-message --help)\n"},
      {"get-display-paged-message --pagenum 1", 2, "",
       "signctl: get-display-paged-message: the sign has no command that gives a page back, so there is nothing to ask; keep a page's settings where you sent them from, and show the page with show-paged-text-on-display (see signctl get-display-paged-message --help)\n"},
      {"set-display-paged-text-message --page-num 1 --xs 2 --text 3,1,HI", 2, "",
       "signctl: --text: '3,1,HI' is not X,Y,TEXT: X '3' is not a number in 1..2 (see signctl set-display-paged-text-message --help)\n"},
      {"set-display-scan", 2, "", "signctl: --on or --off is required (see signctl set-display-scan --help)\n"},
      // Passes every option check, but 256 pixels do not fit the count byte: found before
      // any connection is tried.
      {"set-display-pixel-control" + pixels, 2, "",
       "signctl: set-display-pixel-control: Invalid argument: num_pixels = 256 does not fit a byte field (0..255) (see signctl set-display-pixel-control --help)\n"},
      {"lookup-disp-function-code --code 0xF9", 0, "File Not Found\n", ""},
      {"--json lookup-disp-command-code --code 240", 0, "{\"ok\":true,\"text\":\"MESSAGE OK\"}\n", ""},
      {"lookup-disp-command-code --code 5", 0, "", "signctl: no text is known for command code 0x05\n"},
      {"--json lookup-disp-command-code --code 5", 0, "{\"ok\":true,\"text\":null}\n", ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    const SignctlRun r = Signctl(dir, c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.out, c.out) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
  }

  const SignctlRun help = Signctl(dir, "--help");
  EXPECT_EQ(help.status, 0);
  std::size_t last = 0;
  for (const char* heading : {"Short forms:", "Clock, identity and configuration:", "Text:",
                              "Default, scheduled and paged messages:", "Play order:", "Directory:",
                              "Variables, cells and counters:", "Offline helpers:"}) {
    const std::size_t at = help.out.find(std::string("\n") + heading + "\n");
    EXPECT_NE(at, std::string::npos) << heading;
    EXPECT_GT(at, last) << heading << " out of order";
    last = at;
  }
  for (const char* name :
       {"  set-display-pixel-control ", "  clear-display-rxtx-counts ", "  set-display-hw-temp ",
        "  set-display-multiple-variables-auto-process", "  get-all-display-dir-info ",
        "  play-count-read "}) {
    EXPECT_NE(help.out.find(name), std::string::npos) << name;
  }
}

// Each run opens and closes a connection (a second's pause each way), so the runs are few.
TEST(Signctl, AgainstAnEmulatedSign) {
  TempDir dir;
  dir.Write("Lumarco3.ini", "[Settings]\nMessageResponseTime=1500\n");
  signsim::Options options;
  options.tcp = "127.0.0.1:0";
  options.applName = "LOBBY-1";
  signsim::Simulator sim(options);
  sim.Start();
  const std::string sign = "--connect tcp://127.0.0.1:" + std::to_string(sim.TcpPort()) + " ";
  const std::string log = (dir.path() / "signctl.log").string();
  dir.Write("logo.bmp", std::string(2500, 'L'));
  const std::string refusal =
      "Display Reported Error [F1]- [3]-Error Writing to Memory or Memory Full for last CMD:[1] "
      "FNC:[0]";

  struct Case {
    std::string args;
    int status;
    std::optional<std::string> out;  // nullopt: the check reads it
    std::string err;
    std::function<void(const nlohmann::json& state, const SignctlRun& run)> check;
  };
  const Case cases[] = {
      {"--new-bcc --log " + log + " time --time-adjust 2", 0, "", "",
       [&](const nlohmann::json& state, const SignctlRun&) {
         EXPECT_NEAR(state["clock"]["offsetSeconds"].get<int>(), 7200, 2);
         EXPECT_TRUE(state["newBcc"].get<bool>());
         EXPECT_EQ(static_cast<std::uint8_t>(sim.ReceivedFrames().back()[5]), 0xAA)
             << "the clock went out with the new block check";
         EXPECT_NE(dir.Read("signctl.log").find("Connection opened?True"), std::string::npos);
       }},
      {"set-display-name --display-name 'lobby sign'", 0, "LOBBY SIGN\n", "",
       [](const nlohmann::json& state, const SignctlRun&) {
         EXPECT_EQ(state["displayName"], "LOBBY SIGN");
       }},
      {"connect", 0,
       "appl_name: LOBBY-1\nserial_num: SIM000001\nsigntype: 1\npix_width: 96\npix_height: 16\n"
       "version: 1\n",
       "", nullptr},
      {"--json get-display-stats", 0, std::nullopt, "",
       [](const nlohmann::json&, const SignctlRun& run) {
         const auto stats = nlohmann::ordered_json::parse(run.out);
         EXPECT_EQ(stats.size(), 124u) << "ok, the record's 121 fields, its 2 clocks decoded";
         EXPECT_EQ(stats.begin().key(), "ok");
         EXPECT_EQ(stats["ok"], true);
         EXPECT_EQ(stats["appl_name"], "LOBBY-1");
         EXPECT_EQ(stats["node_address"], 1);
         EXPECT_TRUE(std::regex_match(stats["cur_datetime"].get<std::string>(),
                                      std::regex("([0-9A-F]{2} ){5}[0-9A-F]{2}")));
       }},
      // A file sent, fetched back and compared; a missing one is refused before the call.
      {"send-file " + (dir.path() / "logo.bmp").string() + " --verify", 0,
       "verified: true\nbytes: 2500\n", "",
       [](const nlohmann::json& state, const SignctlRun&) {
         EXPECT_EQ(state["directory"][0]["size"], 2500);
       }},
      {"send-file " + (dir.path() / "none.bmp").string(), 2, "",
       "signctl: no file " + (dir.path() / "none.bmp").string() +
           " on this computer: give the path of a file to send (see signctl send-file --help)\n",
       nullptr},
      // Every frame refused from here on: the open still succeeds, the command does not.
      {"--json set-display-text-message --row 1 --msg X", 1,
       "{\"ok\":false,\"error\":\"" + refusal + "\",\"cmd\":241,\"fnc\":3}\n",
       "signctl: " + refusal + "\n",
       [&](const nlohmann::json& state, const SignctlRun&) {
         EXPECT_EQ(state["text"], nullptr) << "not run";
       }},
  };
  for (const Case& c : cases) {
    if (c.status == 1) sim.AddFault({signsim::FaultKind::ErrorReply, 3, signsim::kAlways});
    const SignctlRun r = Signctl(dir, sign + c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    if (c.out) {
      EXPECT_EQ(r.out, *c.out) << c.args;
    }
    EXPECT_EQ(r.err, c.err) << c.args;
    if (c.check) c.check(sim.State(), r);
  }

  // No sign at the address: the open's own text, and status 3.
  dir.Write("Lumarco3.ini", "[Settings]\nNetworkRetryInterval=300\nConnectTimeOut=500\n");
  const std::string nowhere = "tcp://127.0.0.1:" + std::to_string(UnusedPort());
  const SignctlRun none = Signctl(dir, "--connect " + nowhere + " stats");
  EXPECT_EQ(none.status, 3);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "signctl: Could Not Connect Could not open Network Connection - 127.0.0.1 (" +
                          nowhere + ": connection refused)\n");
}

// Each address as its kind (1 direct, 2 network, 3 modem), IP address, port, baud rate
// and number to dial.
TEST(Signctl, AddressesBecomeConnectionMethods) {
  const std::pair<const char*, const char*> cases[] = {
      {"tcp://sign.local", "2|sign.local|3001||"},
      {"tcp://10.0.0.5:4000", "2|10.0.0.5|4000||"},
      {"tcp://[::1]:3002", "2|::1|3002||"},
      {"serial:/dev/ttyUSB0", "1||/dev/ttyUSB0|9600|"},
      {"serial:/dev/ttyS1?baud=19200", "1||/dev/ttyS1|19200|"},
      {"modem:/dev/ttyS0?dial=5551234", "3||/dev/ttyS0||5551234"},
  };
  for (const auto& [url, want] : cases) {
    const auto m = signctl::ParseAddress(url);
    EXPECT_EQ(std::to_string(m.HowToConnect) + "|" + m.IPAddress + "|" + m.CommPort + "|" +
                  m.BaudRate + "|" + m.PhoneNumber,
              want)
        << url;
  }
}

// Command lines parsed and run in-process on one open control (one open for all): each
// must put its command's exact bytes on the wire.
TEST(Signctl, OptionsBecomeTheCommandsBytes) {
  TempDir dir;
  dir.Write("Lumarco3.ini", "[Settings]\nMessageResponseTime=1500\n");
  signsim::Options options;
  options.tcp = "127.0.0.1:0";
  signsim::Simulator sim(options);
  sim.Start();
  qordtcon::qorDispTrans control;
  qordtcon::classCONNECTION_METHOD method =
      signctl::ParseAddress("tcp://127.0.0.1:" + std::to_string(sim.TcpPort()));
  method.dispID = 1;
  ASSERT_TRUE(control.OpenConnectionToDisplay(method)) << control.LastErrorMessage();

  const std::string name13 = "00 00 00 00 00 00 00 00 00 00 00 00";  // pads a 1-letter name
  struct Case {
    std::string args;
    int cmd;
    int fnc;
    std::string payload;
    std::size_t frames = 1;   // the burst of set-display-info is seven
    std::string fields = "";  // the result's fields, when given
    std::string err = "";
  };
  const Case cases[] = {
      {"set-display-text-message --row 2 --col 3 --mode 1 --msg HI", 1, 0, "02 03 01 48 49 00"},
      {"text --mode 4 HI THERE", 1, 0, "01 01 04 48 49 20 54 48 45 52 45 00"},
      {"set-display-scroll-message --row 1 --length 40 --msg X", 1, 1, "01 01 28 00 58 00"},
      {"set-display-scan --off", 0, 7, ""},
      {"set-display-dst --on", 0, 0x11, ""},
      {"set-display-temp-adjust --calibration -5", 0, 0x0F, "FB FF"},
      {"set-display-brightness-schedule --default-brightness 9 --period 6,30,20,0,15", 0, 0x0E,
       "01 00 09 06 1E 14 00 0F"},
      {"set-display-pixel-control --pixel 1,2,3,4", 0, 0x18, "01 01 00 02 00 04 00 03 00"},
      {"set-display-name --display-name abc", 0, 0x2A, "41 42 43 00"},
      {"show-paged-text-on-display --page-num 2 --prefix-mode 0 --suffix-mode 0 --delay -1", 6, 3,
       "02 00 00 FF FF"},
      {"set-scheduled-message-auto-manual-on-display --manual", 5, 2, ""},
      {"set-display-play-order --entry A,5 --entry B,-1,1,2", 7, 0,
       "02 00 41 " + name13 + " 05 00 00 00 00 00 00 00 42 " + name13 + " FF FF FF FF 01 00 02 00"},
      {"play-sub-play-order --play-order 12", 7, 0x0F, "31 32"},
      {"get-display-dir-info --file-name LOGO.QFX", 8, 3, "4C 4F 47 4F 2E 51 46 58"},
      {"get-first-display-dir-info", 8, 0, "", 1, "{\"num_entries\":0,\"entries\":[]}"},
      {"set-display-multiple-variable --entry 5,,A,B --entry 6,2,HI", 9, 3,
       "02 05 03 00 41 2C 42 06 02 00 48 49"},
      {"set-display-multiple-variables-auto-process --entry 5,,HI", 9, 3, "01 05 02 00 48 49"},
      {"set-display-cell-attributes --entry 3,1,0,1", 10, 4, "01 03 01 00 01"},
      {"set-display-local-cell-write --reset 8,12,31,26,23,59", 10, 5,
       std::string(80, '0') + " 0C 1F 1A 17 3B"},
      {"define-display-counter --counter-num 1 --operation 0 --frequency 0 --clear-mode 0 "
       "--format-mode 0 --autoreload 0 --incdec-value -1 --start-value 100000 --stop-value -1",
       11, 1, "01 00 00 00 FF FF 00 00 A0 86 01 00 FF FF FF FF"},
      {"get-display-counter --counter-num 7", 11, 0, "07"},
      {"set-display-info --dimlevel 5 --low-level 1 --hi-level 9 --default-brightness 4 --period "
       "6,0,8,0,30 --speed 3 --no-dst",
       0, 0x0E, "00 00 04", 7, "",
       "signctl: set-display-info: the --period schedule is not sent because --dimlevel is not 21 "
       "(follow the schedule)\n"},
  };
  for (const Case& c : cases) {
    CLI::App app;
    signctl::Globals globals;
    signctl::Registry registry(app);
    signctl::BuildCommandLine(app, globals, registry);
    app.parse(c.args, false);
    const signctl::Registry::Entry* chosen = registry.Chosen();
    ASSERT_NE(chosen, nullptr) << c.args;
    if (chosen->action.check) chosen->action.check();
    const std::size_t before = sim.ReceivedFrames().size();
    testing::internal::CaptureStderr();
    const signctl::Outcome outcome = chosen->action.run(control);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err) << c.args;
    if (!c.fields.empty()) {
      EXPECT_EQ(outcome.fields.dump(), c.fields) << c.args;
    }
    const auto frames = sim.ReceivedFrames();
    ASSERT_EQ(frames.size(), before + c.frames) << c.args;
    const auto f = std::find_if(frames.begin() + static_cast<std::ptrdiff_t>(before), frames.end(),
                                [&c](const std::string& f) {
                                  return static_cast<std::uint8_t>(f[4]) == c.cmd &&
                                         static_cast<std::uint8_t>(f[8]) == c.fnc;
                                });
    ASSERT_NE(f, frames.end()) << c.args;
    EXPECT_EQ(f->substr(9, f->size() - 12), Bytes(c.payload)) << c.args;
  }
  control.CloseConnectionToDisplay();
}

TEST(Signctl, ResultsPrintAsTablesTextAndJson) {
  qordtcon::classPLAY_GET_NEXT order;
  order.num_entries(2);
  order.FileName(1, "A.QFX");
  order.delay(1, 5);
  order.FileName(2, std::string("CAF\xC9.QFX\0\0", 10));  // a Latin-1 byte, padding
  order.delay(2, -1);
  order.prefix(2, 1);
  order.suffix(2, 2);
  struct Case {
    signctl::Outcome outcome;
    bool json;
    int status;
    std::string out;
    std::string err;
  };
  qordtcon::classDIAG_STATS stats;
  stats.cur_datetime = "\x17\x06\x0E\x07\x0C\x1A";
  stats.datetimelastload = std::string(6, '\0');  // never loaded: no time
  signctl::Json clocks;
  for (const char* key :
       {"cur_datetime", "cur_datetime_text", "datetimelastload", "datetimelastload_text"})
    clocks[key] = signctl::ToJson(stats)[key];
  const std::string table =
      "num_entries: 2\nFileName  delay  prefix  suffix\nA.QFX     5      0       0\n"
      "CAF\xC3\x89.QFX  -1     1       2\n";
  // clang-format off
  const Case cases[] = {
      {{true, {}, signctl::ToJson(order)}, false, 0, table, ""},
      {{true, {}, signctl::ToJson(order)}, true, 0,
       "{\"ok\":true,\"num_entries\":2,\"entries\":[{\"FileName\":\"A.QFX\",\"delay\":5,\"prefix\":0,\"suffix\":0},"
       "{\"FileName\":\"CAF\xC3\x89.QFX\",\"delay\":-1,\"prefix\":1,\"suffix\":2}]}\n", ""},
      {{true, {}, {{"display_name", "LOBBY"}}}, false, 0, "LOBBY\n", ""},
      {{true, {}, clocks}, false, 0,
       "cur_datetime: 17 06 0E 07 0C 1A\ncur_datetime_text: 2026-12-07 23:06:14\n"
       "datetimelastload: 00 00 00 00 00 00\ndatetimelastload_text: null\n", ""},
      {{true, {}, clocks}, true, 0,
       "{\"ok\":true,\"cur_datetime\":\"17 06 0E 07 0C 1A\",\"cur_datetime_text\":\"2026-12-07 23:06:14\","
       "\"datetimelastload\":\"00 00 00 00 00 00\",\"datetimelastload_text\":null}\n", ""},
      {{false, "Could Not Connect \r\nNo reply", {}}, true, 1,
       "{\"ok\":false,\"error\":\"Could Not Connect No reply\"}\n", "signctl: Could Not Connect No reply\n"},
      {{false, "", {}}, false, 1, "",
       "signctl: set-display-scan: the control reported failure and gave no reason\n"},
  };
  // clang-format on
  for (const Case& c : cases) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = signctl::Emit(c.outcome, c.json, "set-display-scan");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
    EXPECT_EQ(status, c.status);
  }
}

// A firmware upload to a sign whose menu never shows, ended by Ctrl-C: the cancel raises
// its status, the connection closes, and signctl exits 130. A missing image is a usage
// error before any sign is called; a QX4 answer that cannot be read, the sign's failure.
TEST(Signctl, FirmwareStatusesAndCtrlC) {
  TempDir dir;
  EXPECT_EQ(Signctl(dir, "firmware " + (dir.path() / "none.bin").string()).status, 2);
  signsim::Options qx4;
  qx4.tcp = "127.0.0.1:0";
  qx4.board = signsim::Board::Qx4;
  qx4.faults = {signsim::ParseFault("loader-bad-length@1")};
  signsim::Simulator board(qx4);
  board.Start();
  const std::string fw = (dir.path() / "fw.bin").string();
  dir.Write("fw.bin", "F");
  const SignctlRun bad =
      Signctl(dir, "--connect tcp://127.0.0.1:" + std::to_string(board.TcpPort()) +
                       " qx4-firmware " + fw + " --loader " + fw);
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("\nsignctl: QX4 download stopped: the board's"), std::string::npos)
      << bad.err;

  signsim::Options options;
  options.tcp = "127.0.0.1:0";
  signsim::Simulator sim(options);
  sim.Start();
  sim.AddFault({signsim::FaultKind::NoMenu, 0, signsim::kAlways});
  dir.Write("fw.bin", std::string(3000, 'F'));
  int err[2];
  ASSERT_EQ(::pipe(err), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::dup2(err[1], STDERR_FILENO);
    const std::string connect = "tcp://127.0.0.1:" + std::to_string(sim.TcpPort());
    const std::string file = (dir.path() / "fw.bin").string();
    ::execl(kSignctl.c_str(), "signctl", "--connect", connect.c_str(), "firmware", file.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(err[1]);
  std::string text;
  char buf[256];
  bool signalled = false;
  for (ssize_t n; (n = ::read(err[0], buf, sizeof buf)) > 0;) {
    text.append(buf, static_cast<std::size_t>(n));
    if (!signalled && text.find("Waiting for menu! Try #1") != std::string::npos) {
      ::kill(pid, SIGINT);
      signalled = true;
    }
  }
  ::close(err[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_NE(text.find("signctl: Sending reset\nsignctl: Waiting for menu! Try #1\n"
                      "signctl: Cancelling commands\n"),
            std::string::npos)
      << text;
  EXPECT_TRUE(sim.WaitFor([](const signsim::Counters& c) { return c.disconnects == 1; }, 5s));
}
