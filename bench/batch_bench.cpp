// What a batch saves an operator: ten signctl operations as one `signctl batch` over one
// connection against the same ten as separate runs, each of which pays the control's
// pauses on open and close, measured side by side against one emulated sign; and one
// command on a fleet of eight signs at once against the same command sign after sign.
//
//   build/bench/batch_bench [rounds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "signsim/simulator.hpp"

namespace {

const std::string kSignctl = SIGNCTL_PROGRAM;

const char* const kOperations[] = {
    "text --row 1 OPEN", "time --get", "get-display-version",   "set-display-scan --on",
    "get-display-name",  "stats",      "text --row 2 'FROM 9'", "set-display-dst --off",
    "get-display-type",  "clear",
};

double Run(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  if (std::system((command + " > /dev/null").c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
  const auto dir = std::filesystem::temp_directory_path() / "qordtcon-batch-bench";
  std::filesystem::create_directories(dir);
  ::setenv("QORDTCON_SETTINGS_DIR", dir.c_str(), 1);
  ::setenv("QORDTCON_LOG_DIR", dir.c_str(), 1);

  std::vector<std::unique_ptr<signsim::Simulator>> signs;
  std::ofstream fleet(dir / "fleet.txt");
  for (int i = 0; i < 8; ++i) {
    signsim::Options options;
    options.tcp = "127.0.0.1:0";
    signs.push_back(std::make_unique<signsim::Simulator>(options));
    signs.back()->Start();
    fleet << "tcp://127.0.0.1:" << signs.back()->TcpPort() << '\n';
  }
  fleet.close();
  const std::string first = "--connect tcp://127.0.0.1:" + std::to_string(signs[0]->TcpPort());
  std::ofstream batch(dir / "batch.txt");
  for (const char* op : kOperations)
    batch << op << '\n';
  batch.close();

  double separate = 0, together = 0, oneByOne = 0, side = 0;
  for (int r = 0; r < rounds; ++r) {
    for (const char* op : kOperations)
      separate += Run(kSignctl + " " + first + " " + op);
    together += Run(kSignctl + " " + first + " batch " + (dir / "batch.txt").string());
    for (const auto& sign : signs)
      oneByOne += Run(kSignctl + " --connect tcp://127.0.0.1:" + std::to_string(sign->TcpPort()) +
                      " time --get");
    side += Run(kSignctl + " --fleet " + (dir / "fleet.txt").string() + " time --get");
  }
  std::printf("10 operations, mean of %d rounds:\n", rounds);
  std::printf("  ten separate runs   %6.2f s\n", separate / rounds);
  std::printf("  one batch           %6.2f s   (goal: within 2.5 s)\n", together / rounds);
  std::printf("  separate / batch    %6.1fx\n", separate / together);
  std::printf("time --get on 8 signs, mean of %d rounds:\n", rounds);
  std::printf("  sign after sign     %6.2f s\n", oneByOne / rounds);
  std::printf("  --fleet             %6.2f s\n", side / rounds);
  std::printf("  one by one / fleet  %6.1fx\n", oneByOne / side);
  std::filesystem::remove_all(dir);
  return together / rounds <= 2.5 ? 0 : 1;
}
