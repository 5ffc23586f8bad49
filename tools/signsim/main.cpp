// signsim: the emulated sign as a program. Serves TCP, a direct-serial pty and a modem
// pty until SIGINT or SIGTERM, then reports its counters.
#include <pthread.h>

#include <csignal>
#include <cstdint>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "signsim/simulator.hpp"
#include "tcp_server.hpp"

namespace {

constexpr int kUsage = 2;
constexpr int kFailed = 1;

void PrintCounters(const signsim::Counters& counters) {
  std::cout << "signsim: counters";
  for (const auto& [name, field] : signsim::CounterFields()) {
    std::cout << ' ' << name << '=' << counters.*field;
  }
  std::cout << "\nsignsim: faults applied";
  for (const signsim::FaultKind kind : signsim::AllFaultKinds()) {
    const auto it = counters.faults.find(kind);
    std::cout << ' ' << signsim::FaultKindName(kind) << '='
              << (it == counters.faults.end() ? 0 : it->second);
  }
  std::cout << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  signsim::Options options;
  int node = options.node;
  std::vector<std::string> faultSpecs;
  std::string dialResult = options.dialResult;

  CLI::App app{"signsim - an emulated LED message sign on TCP, a serial pty and a modem pty",
               "signsim"};
  app.add_option("--tcp", options.tcp, "Listen address ADDR:PORT ('' or off: no TCP)")
      ->capture_default_str();
  app.add_option("--http", options.http,
                 "Serve a web page that draws the sign, live, at ADDR:PORT (a PORT alone: on "
                 "127.0.0.1; 0: a free port)");
  app.add_option("--pty", options.ptyLink, "Direct serial line: link the pty's device here");
  app.add_option("--modem-pty", options.modemPtyLink, "Hayes modem: link the pty's device here");
  app.add_option("--node", node, "This sign's node address (0..254)")
      ->check(CLI::Range(0, 254))
      ->capture_default_str();
  app.add_option("--appl-name", options.applName, "Application name in the statistics (16 max)")
      ->capture_default_str();
  app.add_option("--dump-state", options.dumpState, "Rewrite this JSON file after every command");
  app.add_option("--file", options.files,
                 "Put this file's 8.3 name, size and time into the "
                 "directory; repeatable")
      ->check(CLI::ExistingFile);
  app.add_option("--memory", options.memory,
                 "Bytes for files, those of --file included; a larger file is refused")
      ->check(CLI::Range(std::int64_t{0}, std::numeric_limits<std::int64_t>::max()))
      ->capture_default_str();
  app.add_option("--store", options.store,
                 "Also write every received file into this directory (deleted ones are "
                 "removed)")
      ->check(CLI::ExistingDirectory);
  std::string board = "menu";
  app.add_option("--board", board,
                 "What answers a reset: menu (boot loader with a text menu and XMODEM) or qx4 "
                 "(the same loader, and QX4 loader frames)")
      ->check(CLI::IsMember({"menu", "qx4"}))
      ->capture_default_str();
  app.add_option("--firmware-out", options.firmwareOut,
                 "Write every image written to flash to this file once it is whole (replaced "
                 "whole)");
  app.add_option("--fault", faultSpecs,
                 "KIND[=VALUE][@CMD/FNC][:COUNT|:always], repeatable. Frame faults: drop-ack, "
                 "nak, bad-bcc, silent, error=CODE, delay=MS, foreign[=NODE] (@CMD/FNC: only "
                 "that command's frames); line faults: echo, drop-after=N (bytes), reorder; boot "
                 "loader faults: no-menu (a reset's visit prints nothing), slow-boot=MS (a "
                 "reset's banner comes after MS), no-xmodem (an L is ignored; :3 = the receiver "
                 "starts on the 4th L), xmodem-nak[=BLOCK] (NAK that block, COUNT times), "
                 "xmodem-drop[=BLOCK] (that block and the NAKs for it lost on the line), "
                 "xmodem-cancel[=BLOCK] (CAN CAN at that block), flash-stall[=MS] (marks for "
                 "MS, then silence, nothing written), slow-flash=MS (a '.' every second for "
                 "MS), loader-silent[@CMD] (a QX4 loader frame is neither heard nor answered), "
                 "loader-bad-length[@CMD] (the answer's header says a length of 32768 or "
                 "more). COUNT: applications (frames, resets, L commands, blocks, writes); "
                 "always: every one");
  app.add_option("--dial-result", dialResult,
                 "Modem answer to a dial: CONNECT, BUSY, NO CARRIER, NO DIALTONE, NO ANSWER")
      ->capture_default_str();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "signsim: " << e.what() << " (see signsim --help)\n";
    return kUsage;
  }

  options.node = static_cast<std::uint8_t>(node);
  options.board = board == "qx4" ? signsim::Board::Qx4 : signsim::Board::Menu;
  options.dialResult = dialResult;
  if (options.tcp == "off") options.tcp.clear();
  try {
    if (!options.tcp.empty()) signsim::ParseTcpEndpoint(options.tcp);
  } catch (const std::invalid_argument& e) {
    std::cerr << "signsim: --tcp: " << e.what() << '\n';
    return kUsage;
  }
  // A port alone is a port on loopback.
  if (!options.http.empty() && options.http.find_first_not_of("0123456789") == std::string::npos) {
    options.http = "127.0.0.1:" + options.http;
  }
  try {
    if (!options.http.empty()) signsim::ParseTcpEndpoint(options.http);
  } catch (const std::invalid_argument& e) {
    std::cerr << "signsim: --http: " << e.what() << '\n';
    return kUsage;
  }
  if (options.tcp.empty() && options.ptyLink.empty() && options.modemPtyLink.empty()) {
    std::cerr << "signsim: --tcp: no transport left: give --tcp ADDR:PORT, --pty PATH or "
                 "--modem-pty PATH\n";
    return kUsage;
  }
  for (const std::string& spec : faultSpecs) {
    try {
      options.faults.push_back(signsim::ParseFault(spec));
    } catch (const std::invalid_argument& e) {
      std::cerr << "signsim: --fault: " << e.what() << '\n';
      return kUsage;
    }
  }

  // Blocked before the simulator's thread starts, so that only sigwait sees them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::optional<signsim::Simulator> simulator;
  try {
    simulator.emplace(options);
  } catch (const std::invalid_argument& e) {
    std::cerr << "signsim: --dial-result: " << e.what() << '\n';
    return kUsage;
  } catch (const std::runtime_error& e) {
    std::cerr << "signsim: " << e.what() << '\n';
    return kFailed;
  }
  try {
    simulator->Start();
  } catch (const std::exception& e) {
    std::cerr << "signsim: " << e.what() << '\n';
    return kFailed;
  }
  if (!options.tcp.empty()) {
    const auto endpoint = signsim::ParseTcpEndpoint(options.tcp);
    std::cout << "signsim: tcp " << endpoint.address().to_string() << ':' << simulator->TcpPort()
              << '\n';
  }
  if (!options.http.empty()) {
    const auto endpoint = signsim::ParseTcpEndpoint(options.http);
    const std::string host = endpoint.address().is_v6() ? "[" + endpoint.address().to_string() + "]"
                                                        : endpoint.address().to_string();
    std::cout << "signsim: page http://" << host << ':' << simulator->HttpPort() << "/\n";
  }
  if (!options.ptyLink.empty()) std::cout << "signsim: serial " << simulator->PtyPath() << '\n';
  if (!options.modemPtyLink.empty()) {
    std::cout << "signsim: modem " << simulator->ModemPtyPath() << '\n';
  }
  std::cout << std::flush;

  int signal = 0;
  sigwait(&stopSignals, &signal);
  simulator->Stop();
  PrintCounters(simulator->GetCounters());
  return 0;
}
