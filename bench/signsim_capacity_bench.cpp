// How many transactions per second one signsim serves over loopback TCP, for 1, 10 and
// 100 clients measured side by side in one run, against a goal for 100 clients.
//
// The clients are lean: each sends a command frame, reads DLE ACK and the whole reply
// frame, checks it (CMD 0xF0, its transaction number and FNC, the block check), answers
// DLE ACK and goes on with the next transaction number. They alternate a clock read
// (CMD 0 FNC 1) and a text write (CMD 1 FNC 0). A full control would measure its own
// fixed 2 ms pause after every acknowledge, not the sign. Clients share a few threads,
// each polling its non-blocking sockets, so that the client side is not the bottleneck.
//
// Both the sign in this process (signsim::Simulator on its own thread) and the signsim
// program (a separate process) are measured.
//
//   build/bench/signsim_capacity_bench [seconds-per-run] [client-threads]
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <qordtcon/protocol/frame.hpp>

#include "signsim/simulator.hpp"

using namespace std::chrono;
using qordtcon::ACK;
using qordtcon::DLE;
using qordtcon::ETX;
using qordtcon::STX;

namespace {

constexpr double kGoal = 20000;  // transactions per second with 100 clients
constexpr std::uint8_t kNode = 1;

int Connect(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    std::perror("connect");
    std::exit(1);
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

// One lean client: a transaction in flight and the bytes received for it.
struct Client {
  int fd = -1;
  std::uint16_t number = 0;
  std::uint8_t cmd = 0, fnc = 0;
  std::string in;
  long done = 0;
};

// Whole writes only: the bytes are few and the socket buffer is empty between them.
void SendAll(int fd, const std::string& bytes) {
  if (send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size())) {
    std::fprintf(stderr, "short send: %s\n", std::strerror(errno));
    std::exit(1);
  }
}

void SendNext(Client& c) {
  ++c.number;
  const bool text = c.number % 2 == 0;
  c.cmd = text ? 1 : 0;
  c.fnc = text ? 0 : 1;
  static const std::string kText = std::string("\x01\x01\x00", 3) + "OPEN 9-5" + '\0';
  SendAll(c.fd, qordtcon::BuildCommandFrame({kNode, c.cmd, c.fnc, c.number, false},
                                            text ? kText : std::string()));
}

// The length of the DLE ACK and reply frame at the start of `in` once they are whole, else 0.
std::size_t AnswerLength(const std::string& in) {
  if (in.size() < 4) return 0;
  for (std::size_t i = 4; i + 1 < in.size(); ++i) {
    if (in[i] != DLE) continue;
    if (in[i + 1] == ETX) return i + 3 <= in.size() ? i + 3 : 0;
    ++i;  // a stuffed DLE
  }
  return 0;
}

// The reply must be this client's: DLE ACK, then a good frame CMD 0xF0 with its number and FNC.
bool AnswerIsRight(const Client& c, std::string_view answer) {
  if (answer[0] != DLE || answer[1] != ACK || answer[2] != DLE || answer[3] != STX) return false;
  const std::string frame = qordtcon::UnstuffFrame(answer.substr(2));
  if (frame.size() < 12) return false;
  const std::string_view body(frame.data() + 2, frame.size() - 5);
  const auto u = [&](std::size_t i) { return static_cast<std::uint8_t>(body[i]); };
  return u(2) == qordtcon::kReplyOk && (u(4) | u(5) << 8) == c.number && u(6) == c.fnc &&
         qordtcon::ReceiverBcc(body, false) == static_cast<std::uint8_t>(frame.back());
}

// Runs the clients until `stop`, polling their sockets.
void Drive(std::vector<Client*> clients, const std::atomic<bool>& stop) {
  std::vector<pollfd> fds;
  for (Client* c : clients)
    fds.push_back({c->fd, POLLIN, 0});
  for (Client* c : clients)
    SendNext(*c);
  char buffer[4096];
  while (!stop.load(std::memory_order_relaxed)) {
    if (poll(fds.data(), fds.size(), 100) < 0 && errno != EINTR) std::exit(1);
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Client& c = *clients[i];
      const ssize_t n = recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n <= 0) {
        if (n < 0 && errno == EAGAIN) continue;
        std::fprintf(stderr, "the sign closed a client\n");
        std::exit(1);
      }
      c.in.append(buffer, static_cast<std::size_t>(n));
      const std::size_t length = AnswerLength(c.in);
      if (length == 0) continue;
      if (length != c.in.size() || !AnswerIsRight(c, c.in)) {
        std::fprintf(stderr, "wrong answer to transaction %u\n", c.number);
        std::exit(1);
      }
      c.in.clear();
      ++c.done;
      SendAll(c.fd, std::string{DLE, ACK});
      SendNext(c);
    }
  }
}

struct Run {
  int clients = 0;
  long transactions = 0;
  double seconds = 0;
  double PerSecond() const { return transactions / seconds; }
};

Run Measure(std::uint16_t port, int count, int threads, double seconds) {
  std::vector<Client> clients(static_cast<std::size_t>(count));
  for (Client& c : clients)
    c.fd = Connect(port);
  threads = std::min(threads, count);
  std::vector<std::vector<Client*>> shares(static_cast<std::size_t>(threads));
  for (std::size_t i = 0; i < clients.size(); ++i)
    shares[i % shares.size()].push_back(&clients[i]);
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  const auto start = steady_clock::now();
  for (auto& share : shares)
    workers.emplace_back(Drive, share, std::cref(stop));
  std::this_thread::sleep_for(duration<double>(seconds));
  stop = true;
  for (auto& w : workers)
    w.join();
  Run run{count, 0, duration<double>(steady_clock::now() - start).count()};
  for (Client& c : clients) {
    run.transactions += c.done;
    close(c.fd);
  }
  return run;
}

void Report(const char* sign, const std::vector<Run>& runs) {
  for (const Run& r : runs) {
    std::printf("%-8s %7d  %12ld  %7.2f  %14.0f  %7.2fx\n", sign, r.clients, r.transactions,
                r.seconds, r.PerSecond(), r.PerSecond() / kGoal);
  }
}

// The signsim program on an ephemeral port; its port is read from its first line.
struct Program {
  pid_t pid = -1;
  std::uint16_t port = 0;
  explicit Program(const char* path) {
    int out[2];
    if (pipe(out) != 0) std::exit(1);
    pid = fork();
    if (pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      execl(path, path, "--tcp", "127.0.0.1:0", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    std::string line;
    char ch;
    while (read(out[0], &ch, 1) == 1 && ch != '\n')
      line += ch;
    close(out[0]);
    const auto colon = line.rfind(':');
    if (line.rfind("signsim: tcp ", 0) != 0 || colon == std::string::npos) {
      std::fprintf(stderr, "signsim did not start: '%s'\n", line.c_str());
      std::exit(1);
    }
    port = static_cast<std::uint16_t>(std::atoi(line.c_str() + colon + 1));
  }
  ~Program() {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  const int threads = argc > 2 ? std::atoi(argv[2]) : 2;
  const int counts[] = {1, 10, 100};

  std::printf("sign     clients  transactions  seconds  transactions/s  vs goal\n");
  std::vector<Run> runs;
  {
    signsim::Options options;
    options.tcp = "127.0.0.1:0";
    signsim::Simulator sim(options);
    sim.Start();
    for (const int n : counts)
      runs.push_back(Measure(sim.TcpPort(), n, threads, seconds));
    sim.Stop();
  }
  Report("in-proc", runs);
  runs.clear();
  {
    const Program program(SIGNSIM_PROGRAM);
    for (const int n : counts)
      runs.push_back(Measure(program.port, n, threads, seconds));
  }
  Report("program", runs);
  std::printf("goal: >= %.0f transactions/s with 100 clients (%d client threads, %.1f s a run)\n",
              kGoal, threads, seconds);
  return 0;
}
