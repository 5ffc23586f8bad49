#include <functional>
#include <regex>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "signctl/command_line.hpp"
#include "signctl_run.hpp"
#include "signsim/simulator.hpp"

namespace {

struct Sim {
  explicit Sim(std::vector<signsim::Fault> faults = {}) : sim(Options()) {
    sim.Start();
    for (const auto& fault : faults)
      sim.AddFault(fault);
  }
  static signsim::Options Options() {
    signsim::Options o;
    o.tcp = "127.0.0.1:0";
    return o;
  }
  std::string Url() { return "tcp://127.0.0.1:" + std::to_string(sim.TcpPort()); }
  signsim::Simulator sim;
};

}  // namespace

TEST(SignctlRunner, WordsSplitAsAShellSplitsThem) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(signctl::SplitWords(R"(text  'b c' "d \"e\" \n" f\ g#x # comment)"),
            (Words{"text", "b c", R"(d "e" \n)", "f g#x"}));
  EXPECT_EQ(signctl::SplitWords("   # only a comment"), Words{});
  EXPECT_THROW(signctl::SplitWords("text 'open"), signctl::UsageError);
}

// Batches over one connection, fleets side by side, broadcasts and reads to all signs,
// each through the built binary against emulated signs.
TEST(SignctlRunner, BatchesFleetsAndBroadcasts) {
  TempDir dir;
  dir.Write("Lumarco3.ini",
            "[Settings]\nMessageResponseTime=400\nNetworkRetryInterval=300\nConnectTimeOut=500\n");
  std::filesystem::create_directory(dir.path() / "other");
  dir.Write("other/Lumarco3.ini", "[Settings]\nMessageResponseTime=300\n");
  Sim good;
  Sim silent({{signsim::FaultKind::Silent, 0, signsim::kAlways}});
  const std::string absent = "tcp://127.0.0.1:" + std::to_string(UnusedPort());
  const std::string refused = "Could Not Connect Could not open Network Connection - 127.0.0.1 (" +
                              absent + ": connection refused)";
  const std::string to = "--connect " + good.Url() + " ";
  const std::string note =
      "signctl: sent to all signs; no reply is awaited, so it cannot be confirmed\n";
  dir.Write("stop.txt",
            "# stops at the first failure\n"
            "--json --node 255 clear\n"
            "text --row 2 'HI THERE'\n"
            "--json time --get\n"
            "\n"
            "set-display-scan --on --connect " +
                absent +
                "\n"
                "text NOT-RUN\n");
  dir.Write("go.txt", "text 'open\nstats --jsno\n--retry 1 text LAST\n");
  dir.Write("fleet.txt", "# two good, one silent, one absent\n" + good.Url() + "\n--connect " +
                             good.Url() + " --node 1\n" + silent.Url() + "  # silent\n" + absent +
                             "\n");
  dir.Write("small.txt", good.Url() + "\n" + absent + "\n");
  const std::string batchLine5 =
      "signctl: line 6: --connect, --log and --settings-dir hold for the whole batch: give them "
      "before `batch`, and run another batch for another sign (see signctl set-display-scan "
      "--help)\n";

  struct Case {
    std::string args;
    int status;
    std::string out;  // a regular expression
    std::string err;
    std::function<void()> check;
  };
  // clang-format off
  const Case cases[] = {
      {to + "batch " + (dir.path() / "stop.txt").string(), 2,
       R"(\{"ok":true\}\n\{"ok":true,"hour":\d+,"min":\d+,"sec":\d+,"mday":\d+,"mon":\d+,"year":\d+,"wday":\d\}\n)",
       note + batchLine5,
       [&] {
         const auto state = good.sim.State();
         EXPECT_EQ(state["text"]["msg"], "HI THERE") << "the lines before ran";
         EXPECT_EQ(state["counters"]["broadcasts"], 1);
         EXPECT_EQ(state["counters"]["connections"], 1) << "one connection for the batch";
       }},
      {to + "batch --keep-going - < " + (dir.path() / "go.txt").string(), 2, "",
       "signctl: line 1: the quote ' is not closed: close it on the same line\n"
       "signctl: line 2: unknown option '--jsno' for stats: did you mean --json? (see signctl stats --help)\n",
       [&] { EXPECT_EQ(good.sim.State()["text"]["msg"], "LAST") << "--keep-going went on"; }},
      {"--retry 1 --json --fleet " + (dir.path() / "fleet.txt").string() + " text HI", 1,
       R"(\{"sign":")" + good.Url() + R"(","node":1,"ok":true,"seconds":[0-9.]+\}\n)"
       R"(\{"sign":")" + good.Url() + R"(","node":1,"ok":true,"seconds":[0-9.]+\}\n)"
       R"(\{"sign":")" + silent.Url() + R"(","node":1,"ok":false,"error":"Timed Out 1 time\(s\) for 0.4 sec. for CMD:\[1\] FNC:\[0\]","seconds":[0-9.]+\}\n)"
       R"(\{"sign":")" + absent + R"(","node":1,"ok":false,"error":")" + std::regex_replace(refused, std::regex(R"([().\[\]])"), R"(\$&)") + R"(","seconds":[0-9.]+\}\n)",
       "", nullptr},
      {"--fleet " + (dir.path() / "small.txt").string() + " --parallel 1 clear", 1,
       "sign +node +result +seconds\n" + good.Url() + " +1 +done +[0-9.]+\n" + absent +
           " +1 +Could Not Connect .*connection refused\\) +[0-9.]+\n2 signs: 1 done, 1 failed, [0-9.]+ s\n",
       "", nullptr},
      {to + "--node 255 --json stats", 2,
       R"re(\{"ok":false,"error":"stats reads an answer, and no sign answers a message to all signs \(--node 255\): give one sign's node \(see signctl stats --help\)"\}\n)re",
       "signctl: stats reads an answer, and no sign answers a message to all signs (--node 255): give one sign's node (see signctl stats --help)\n",
       nullptr},
      // The settings of --settings-dir, not those of the environment, time the read out.
      {"--connect " + silent.Url() + " --retry 1 --settings-dir " + (dir.path() / "other").string() + " connect", 1, "",
       "signctl: Timed Out 1 time(s) for 0.3 sec. for CMD:[0] FNC:[15]\n", nullptr},
      {to + "--progress dir", 0, "num_entries: 0\n", "signctl: Receiving Entry 1 of the Directory\n", nullptr},
      {"--version", 0, R"(signctl \d+\.\d+\.\d+\n)", "", nullptr},
  };
  // clang-format on
  for (const Case& c : cases) {
    const SignctlRun r = Signctl(dir, c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex(c.out))) << c.args << "\n" << r.out;
    EXPECT_EQ(r.err, c.err) << c.args;
    if (c.check) c.check();
  }
}
