// Transaction latency over loopback TCP against its floor (the engine's 2 ms pause after
// an acknowledge plus a raw loopback round trip of the same bytes, measured in the same
// run), and the CPU a control uses while it waits for a sign that stays silent.
//
//   build/bench/transaction_bench [transactions]
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <qordtcon/qordtcon.hpp>

#include "loopback.hpp"
#include "signsim/simulator.hpp"

using namespace qordtcon;
using namespace std::chrono;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_THREAD, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 300;
  // A private settings directory: defaults, log off.
  char dirTemplate[] = "/tmp/qordtcon-bench-XXXXXX";
  const std::string dir = mkdtemp(dirTemplate);
  setenv("QORDTCON_SETTINGS_DIR", dir.c_str(), 1);
  setenv("QORDTCON_LOG_DIR", dir.c_str(), 1);

  signsim::Options options;
  options.tcp = "127.0.0.1:0";
  signsim::Simulator sim(options);
  sim.Start();

  EngineOnTcp control;
  if (!control.Open(sim.TcpPort())) {
    std::fprintf(stderr, "cannot open: %s\n", control.link->ErrorMessage.c_str());
    return 1;
  }
  // The raw round trip carries what a clock read carries: the command frame out, the
  // acknowledge and the reply back.
  const std::string frame = BuildCommandFrame({1, 0, 1, 1, false}, "");
  std::string reply;
  control.Transact(0, 1, &reply);
  const std::string answer = std::string{DLE, ACK} + StuffBody(reply);
  PingPong raw(frame.size(), answer);

  std::vector<double> transaction, roundTrip;
  for (int i = 0; i < count; ++i) {
    const auto start = steady_clock::now();
    if (!control.Transact(0, 1)) {
      std::fprintf(stderr, "transaction failed: %s\n", control.link->ErrorMessage.c_str());
      return 1;
    }
    transaction.push_back(duration<double, std::milli>(steady_clock::now() - start).count());
    roundTrip.push_back(raw.RoundTrip(frame, answer.size()));
  }
  const double t = Median(transaction);
  const double floor = 2.0 + Median(roundTrip);
  std::printf(
      "transaction latency  median %.3f ms over %d, floor %.3f ms (2 ms + raw %.3f ms)"
      "  ratio %.3f (goal <= 1.10)\n",
      t, count, floor, floor - 2.0, t / floor);

  // A silent sign: one attempt that waits out a 5 s read.
  sim.AddFault({signsim::FaultKind::Silent, 0, signsim::kAlways});
  control.engine->RetryCount = 1;
  control.link->MessageResponseTime = 5000;
  SaveSetting("Lumarco3", "Settings", "MessageResponseTime", "5000");
  const double cpuStart = CpuSeconds();
  const auto wallStart = steady_clock::now();
  control.Transact(0, 1);
  const double wall = duration<double>(steady_clock::now() - wallStart).count();
  const double cpu = CpuSeconds() - cpuStart;
  std::printf(
      "waiting for a silent sign  %.2f s wall, %.4f s CPU  = %.3f %% of a core"
      " (goal <= 1 %%)\n",
      wall, cpu, 100.0 * cpu / wall);
  sim.Stop();
  std::filesystem::remove_all(dir);
  return 0;
}
