// Many controls in one process, one thread each, against one emulated sign: the wall time
// of N controls doing the same work side by side, relative to one control, and the memory
// each control costs.
//
//   build/bench/many_controls_bench [max-controls] [transactions-per-control]
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <qordtcon/qordtcon.hpp>

#include "signsim/simulator.hpp"

using namespace qordtcon;
using namespace std::chrono;

namespace {

// Resident memory of this process in KiB.
long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

void RaiseFileLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

struct Run {
  double seconds = 0;
  double kibPerControl = 0;
  int failures = 0;
};

// N controls, each on its own thread: open, `transactions` clock reads, close.
Run RunControls(int count, int transactions, std::uint16_t port) {
  const long before = ResidentKiB();
  std::vector<std::unique_ptr<qorDispTrans>> controls;
  for (int i = 0; i < count; ++i)
    controls.push_back(std::make_unique<qorDispTrans>());
  std::atomic<int> failures{0};
  std::atomic<int> opened{0};
  std::atomic<long> peak{0};
  const auto start = steady_clock::now();
  std::vector<std::thread> threads;
  for (auto& control : controls) {
    threads.emplace_back([&, c = control.get()] {
      classCONNECTION_METHOD cm;
      cm.HowToConnect = NetworkConnect;
      cm.IPAddress = "127.0.0.1";
      cm.CommPort = std::to_string(port);
      cm.dispID = 1;
      if (!c->OpenConnectionToDisplay(cm)) {
        ++failures;
        return;
      }
      // Memory is read while every control holds its connection.
      if (++opened == count) peak = ResidentKiB();
      for (int t = 0; t < transactions; ++t) {
        if (!c->GetDisplayTime().year && !c->WasLastTransmitionGood()) ++failures;
      }
      c->CloseConnectionToDisplay();
    });
  }
  for (auto& t : threads)
    t.join();
  Run run;
  run.seconds = duration<double>(steady_clock::now() - start).count();
  run.kibPerControl = static_cast<double>(std::max(peak.load(), ResidentKiB()) - before) / count;
  run.failures = failures;
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  const int maxControls = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int transactions = argc > 2 ? std::atoi(argv[2]) : 20;
  RaiseFileLimit();
  char dirTemplate[] = "/tmp/qordtcon-bench-XXXXXX";
  const std::string dir = mkdtemp(dirTemplate);
  setenv("QORDTCON_SETTINGS_DIR", dir.c_str(), 1);
  setenv("QORDTCON_LOG_DIR", dir.c_str(), 1);
  // Many clients at once: reads may queue behind each other at the one sign.
  SaveSetting(kSettingsApp, kSettingsSection, "MessageResponseTime", "20000");
  SaveSetting(kSettingsApp, kSettingsSection, "ConnectTimeOut", "60000");
  SaveSetting(kSettingsApp, kSettingsSection, "NetworkRetryInterval", "30000");

  signsim::Options options;
  options.tcp = "127.0.0.1:0";
  signsim::Simulator sim(options);
  sim.Start();

  const Run one = RunControls(1, transactions, sim.TcpPort());
  std::printf("controls  wall s  vs one  KiB/control  failures   (%d clock reads each)\n",
              transactions);
  for (int n = 1; n <= maxControls; n *= 10) {
    const Run run = n == 1 ? one : RunControls(n, transactions, sim.TcpPort());
    std::printf("%8d  %6.2f  %5.2fx  %11.1f  %8d\n", n, run.seconds, run.seconds / one.seconds,
                run.kibPerControl, run.failures);
  }
  std::printf("goals: <= 1.5x the wall time of one control, <= 100 KiB per control\n");
  sim.Stop();
  std::filesystem::remove_all(dir);
  return 0;
}
