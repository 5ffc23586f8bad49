// A 1 MiB file to the emulated sign over loopback TCP, block by block and with one block in
// flight, at 1000- and 16000-byte blocks, against a raw TCP ping-pong that carries the same
// frames and the same answers with none of the protocol's work: bytes per second of each and
// their ratios, measured side by side in one run (the median of the rounds). Between the two,
// a lean client that sends the same file's frames to the sign straight from a socket shows
// what the sign and the loopback alone cost, with no control in the way.
//
//   build/bench/file_transfer_bench [rounds]
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <qordtcon/qordtcon.hpp>

#include "loopback.hpp"
#include "signsim/simulator.hpp"

using namespace qordtcon;
using namespace std::chrono;

namespace {

constexpr std::size_t kFileSize = 1 << 20;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// What one data block costs on the wire: the frame of block 2 of `file` and the sign's
// answer to it (its acknowledge and reply frame), taken from a real exchange.
struct BlockExchange {
  std::string frame;
  std::string answer;
};

BlockExchange MeasureExchange(std::uint16_t port, const std::string& bytes, std::int16_t size) {
  EngineOnTcp engine;
  if (!engine.Open(port)) throw std::runtime_error("cannot open: " + engine.link->ErrorMessage);
  classGRAPHIC_REC_1stBLK record{
      1, "PROBE.BIN", static_cast<std::int32_t>(bytes.size()), 0, 0, 0, 1, 1, 26};
  classGRAPHIC_REC_FLWBLK blocks;
  blocks.FileBlockSize = size;
  blocks.TotalBlocks(static_cast<std::int16_t>((bytes.size() + size - 1) / size));
  blocks.Data(2, bytes.substr(0, static_cast<std::size_t>(size)));
  const std::string payload = blocks.GetStringFromData(2);
  std::string reply;
  if (!engine.Transact(2, 0, nullptr, record.GetStringFromData(), 12) ||
      !engine.Transact(2, 0, &reply, payload, 12)) {
    throw std::runtime_error("probe block refused: " + engine.link->ErrorMessage);
  }
  return {BuildCommandFrame({1, 2, 0, 1, false}, payload),
          std::string{DLE, ACK} + StuffBody(reply)};
}

// Reads one answer: DLE ACK, then a frame up to DLE ETX and its block check.
bool ReadAnswer(int fd, std::string& buf) {
  buf.clear();
  char chunk[4096];
  for (;;) {
    for (std::size_t i = 2; i + 2 < buf.size(); ++i) {
      if (buf[i] != DLE) continue;
      if (buf[i + 1] == ETX) return buf[0] == DLE && buf[1] == ACK;
      ++i;  // a doubled DLE or the DLE STX
    }
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buf.append(chunk, static_cast<std::size_t>(n));
  }
}

// Seconds for the whole file sent from a bare socket: each frame out, its answer in, the
// host's DLE ACK out, as the control does it block by block.
double LeanSeconds(std::uint16_t port, const std::string& bytes, std::int16_t size) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    throw std::runtime_error("lean client cannot connect");
  }
  const auto blocks = static_cast<std::int16_t>((bytes.size() + size - 1) / size);
  classGRAPHIC_REC_FLWBLK data;
  data.FileBlockSize = size;
  data.TotalBlocks(blocks);
  std::vector<std::string> frames;
  std::uint16_t tn = 1;
  classGRAPHIC_REC_1stBLK record{1, "LEAN.BIN", static_cast<std::int32_t>(bytes.size()), 0, 0, 0, 1,
                                 1, 26};
  frames.push_back(BuildCommandFrame({1, 2, 0, tn++, false}, record.GetStringFromData()));
  for (std::int16_t b = 2; b <= blocks + 1; ++b) {
    const std::int16_t number = b > blocks ? 0 : b;
    data.Data(number,
              bytes.substr(static_cast<std::size_t>(b - 2) * size, static_cast<std::size_t>(size)));
    frames.push_back(BuildCommandFrame({1, 2, 0, tn++, false}, data.GetStringFromData(number)));
  }
  const std::string ack{DLE, ACK};
  std::string answer;
  const auto start = steady_clock::now();
  for (const std::string& frame : frames) {
    if (send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) < 0 || !ReadAnswer(fd, answer) ||
        send(fd, ack.data(), ack.size(), MSG_NOSIGNAL) < 0) {
      close(fd);
      throw std::runtime_error("lean client: the sign did not answer a block");
    }
  }
  const double seconds = duration<double>(steady_clock::now() - start).count();
  close(fd);
  return seconds;
}

// Seconds to send the whole file through the control.
double SendSeconds(qorDispTrans& control, const std::string& file, bool oneInFlight) {
  const auto start = steady_clock::now();
  if (!control.TransferFileToDisplay(file, std::nullopt, oneInFlight)) {
    throw std::runtime_error("transfer failed: " + control.LastErrorMessage());
  }
  return duration<double>(steady_clock::now() - start).count();
}

void Run(std::int16_t blockSize, int rounds, const std::string& file, const std::string& bytes) {
  signsim::Options options;
  options.tcp = "127.0.0.1:0";
  // A sign whose application name begins with "VHD" takes 16000-byte blocks.
  options.applName = blockSize == 16000 ? "VHD-BENCH" : "SIGNSIM";
  signsim::Simulator sim(options);
  sim.Start();
  const BlockExchange exchange = MeasureExchange(sim.TcpPort(), bytes, blockSize);
  PingPong raw(exchange.frame.size(), exchange.answer);

  qorDispTrans control;
  classCONNECTION_METHOD cm;
  cm.HowToConnect = NetworkConnect;
  cm.IPAddress = "127.0.0.1";
  cm.CommPort = std::to_string(sim.TcpPort());
  cm.dispID = 1;
  if (!control.OpenConnectionToDisplay(cm)) {
    throw std::runtime_error("cannot open: " + control.LastErrorMessage());
  }
  const std::size_t blocks = (kFileSize + blockSize - 1) / blockSize;
  std::vector<double> rawRate, leanRate, syncRate, inFlightRate;
  for (int r = 0; r < rounds; ++r) {
    double rawSeconds = 0;
    for (std::size_t b = 0; b < blocks; ++b)
      rawSeconds += raw.RoundTrip(exchange.frame, exchange.answer.size()) / 1000.0;
    rawRate.push_back(kFileSize / rawSeconds);
    leanRate.push_back(kFileSize / LeanSeconds(sim.TcpPort(), bytes, blockSize));
    syncRate.push_back(kFileSize / SendSeconds(control, file, false));
    inFlightRate.push_back(kFileSize / SendSeconds(control, file, true));
  }
  control.CloseConnectionToDisplay();
  sim.Stop();
  const double rawMedian = Median(rawRate);
  const auto mib = [](double rate) { return rate / (1 << 20); };
  std::printf("%5d-byte blocks  raw ping-pong %7.2f MiB/s\n", blockSize, mib(rawMedian));
  std::printf("  lean client, sign  %7.2f MiB/s  ratio %.3f (no control: the sign's ceiling)\n",
              mib(Median(leanRate)), Median(leanRate) / rawMedian);
  std::printf("  block by block     %7.2f MiB/s  ratio %.3f (goal >= 0.80)\n",
              mib(Median(syncRate)), Median(syncRate) / rawMedian);
  std::printf("  one in flight      %7.2f MiB/s  ratio %.3f (goal >= 0.90)\n",
              mib(Median(inFlightRate)), Median(inFlightRate) / rawMedian);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  // A private settings directory: defaults, log off.
  char dirTemplate[] = "/tmp/qordtcon-bench-XXXXXX";
  const std::string dir = mkdtemp(dirTemplate);
  setenv("QORDTCON_SETTINGS_DIR", dir.c_str(), 1);
  setenv("QORDTCON_LOG_DIR", dir.c_str(), 1);

  std::string bytes(kFileSize, '\0');
  std::mt19937 random(7);
  for (char& c : bytes)
    c = static_cast<char>(random() & 0xFF);
  const std::string file = dir + "/bench.bin";
  std::ofstream(file, std::ios::binary) << bytes;
  try {
    Run(1000, rounds, file, bytes);
    Run(16000, rounds, file, bytes);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "file_transfer_bench: %s\n", e.what());
    return 1;
  }
  std::filesystem::remove_all(dir);
  return 0;
}
