#include <gtest/gtest.h>

#include <qordtcon/firmware/qx4.hpp>
#include <qordtcon/firmware/xmodem.hpp>

#include "peer.hpp"
#include "run_command.hpp"
#include "signsim/sha256.hpp"
#include "signsim/simulator.hpp"
#include "temp_dir.hpp"

using namespace std::chrono_literals;
using qordtcon::FirmwareDLQX4;

namespace {

const std::string kReset = Command(1, 0, 0xAA, 7);
const std::string kBanner = "\r\nORVANE BOOT LOADER V2.10\r\n>";
const std::string kAckByte = "\x06", kNakByte = "\x15", kEot = "\x04";
// A QX4 board's answers to a QUERY, loader wanted and loader running.
const std::string kNeedLoader = Bytes("7E 01 01 08 00 00 00 00 00 51 58 34 2D 53 49 4D 00 41 D0");
const std::string kLoaderRuns = Bytes("7E 01 03 08 00 00 00 00 00 51 58 34 2D 53 49 4D 00 4B 07");

// An XMODEM block with CRC-16: SOH and 128 bytes, or STX and 1024, padded with SUB.
std::string Block(char start, int number, std::string data) {
  data.resize(start == 2 ? 1024 : 128, '\x1A');
  const std::uint16_t crc = qordtcon::XModemCrc16(data);
  return std::string{start, static_cast<char>(number), static_cast<char>(255 - number)} + data +
         static_cast<char>(crc >> 8) + static_cast<char>(crc & 0xFF);
}

std::string Pattern(std::size_t size, int seed) {
  std::string out;
  for (std::size_t i = 0; i < size; ++i)
    out += static_cast<char>(i * 7 + seed);
  return out;
}

// What the host writes, the exact answer it reads within `wait` ("" = nothing comes).
struct Step {
  std::string write, read;
  std::chrono::milliseconds wait = 8s;
};

void Talk(Peer& host, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    host.Write(s.write);
    EXPECT_EQ(host.Read(std::max<std::size_t>(s.read.size(), 1), s.wait), s.read)
        << "after writing " << testing::PrintToString(s.write.substr(0, 16));
  }
}

signsim::Options On(signsim::Board board, const std::string& fault = "") {
  signsim::Options o;
  o.tcp = "127.0.0.1:0";
  o.board = board;
  if (!fault.empty()) o.faults.push_back(signsim::ParseFault(fault));
  return o;
}

std::string Qx4(std::uint8_t command, std::uint8_t status = 0, double address = 0,
                const std::string& data = {}) {
  const auto length = static_cast<std::int32_t>(data.size());
  return FirmwareDLQX4{qordtcon::kQX4Flag, command, status, length, address, data}.GetStreamData();
}

}  // namespace

// Each case on a fresh sign over TCP: the boot loader as the firmware upload and the reset
// drive it, its XMODEM receiver (CRC-16, 1024- and 128-byte blocks, a duplicate, a damaged
// block), the flash write, and each of its faults.
TEST(SignsimBoot, DialoguesOverTcp) {
  ASSERT_EQ(qordtcon::XModemCrc16("123456789"), 0x31C3);
  using signsim::Board;
  const std::string image = Pattern(1100, 3);
  std::string damaged = Block(1, 2, image.substr(1024));
  damaged[50] ^= 1;
  const std::string menu =
      "\r\nORVANE BOOT LOADER V2.10\r\n  M  THIS MENU\r\n  L  LOAD AN IMAGE BY XMODEM\r\n  W  "
      "WRITE THE IMAGE TO FLASH\r\n  G  GO TO THE FIRMWARE\r\n>";
  const std::vector<Step> boot = {{kReset, kBanner}, {"L\r", "C"}};
  const std::string two = Block(1, 2, "second");
  std::vector<Step> loaded = boot;
  loaded.insert(loaded.end(),
                {{Block(1, 1, "image"), kAckByte}, {kEot, kAckByte + "\r\nLOADED 5 BYTES\r\n>"}});
  struct Case {
    const char* name;
    signsim::Options options;
    std::vector<Step> before, steps;
    int boots, applied, writes;
  };
  // clang-format off
  const Case cases[] = {
      {"prepare", On(Board::Menu), {}, {{Command(1, 0, 0xAB, 1) + kClockSet, kClockSetAnswer}}, 0, 0, 0},
      {"reset, a command at once", On(Board::Menu), {}, {{kReset + kClockSet, kClockSetAnswer}}, 1, 0, 0},
      {"reset, banner, a command", On(Board::Menu), {}, {{kReset, kBanner}, {kClockSet, kClockSetAnswer}}, 1, 0, 0},
      {"qx4: a loader frame leaves the menu", On(Board::Qx4), {},
       {{kReset, "\r\nQX4 BOOT LOADER V2.10\r\n>"}, {Qx4(1), kNeedLoader}}, 1, 0, 0},
      {"upload", On(Board::Menu), {},
       {{kReset, kBanner}, {std::string(9, '\x18') + "\r", "\r\n>"}, {"M\r", menu}, {"x\r", "\r\n?\r\n>"},
        {"W\r", "\r\n? NO IMAGE LOADED\r\n>"}, {"L\r", "C"},
        {Block(2, 1, image.substr(0, 1024)), kAckByte}, {Block(2, 1, image.substr(0, 1024)), kAckByte},
        {damaged, kNakByte}, {Block(1, 2, image.substr(1024)), kAckByte},
        {kEot, kAckByte + "\r\nLOADED 1100 BYTES\r\n>"},
        {"W\r", ":.......\r\nFLASH WRITTEN, 1100 BYTES\r\n>"}, {"G\r" + kClockSet, kClockSetAnswer}}, 1, 0, 1},
      {"no-menu", On(Board::Menu, "no-menu"), {},
       {{kReset + "\r", "", 1s}, {"M\r", "", 1s}, {kClockSet, kClockSetAnswer}}, 1, 1, 0},
      {"no-xmodem:2", On(Board::Menu, "no-xmodem:2"), {},
       {{kReset, kBanner}, {"L\r", "", 1s}, {"L\r", "", 1s}, {"L\r", "C"}}, 1, 2, 0},
      {"xmodem-nak=2:2", On(Board::Menu, "xmodem-nak=2:2"),
       boot, {{Block(1, 1, "first"), kAckByte}, {two, kNakByte}, {two, kNakByte}, {two, kAckByte}}, 1, 2, 0},
      {"xmodem-cancel=2", On(Board::Menu, "xmodem-cancel=2"),
       boot, {{Block(1, 1, "first"), kAckByte}, {two, "\x18\x18\r\nTRANSFER ABORTED\r\n>"}}, 1, 1, 0},
      {"flash-stall=600", On(Board::Menu, "flash-stall=600"),
       loaded, {{"W\r", ":.."}, {"", "", 1s}, {"\r", "\r\n>"}}, 1, 1, 0},
      {"slow-flash=2500", On(Board::Menu, "slow-flash=2500"),
       loaded, {{"W\r", ":..\r\nFLASH WRITTEN, 5 BYTES\r\n>"}}, 1, 1, 1},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    signsim::Simulator sim(c.options);
    sim.Start();
    Peer host = Peer::Tcp(sim.TcpPort());
    Talk(host, c.before);
    Talk(host, c.steps);
    const signsim::Counters counters = sim.GetCounters();
    EXPECT_EQ(counters.boots, c.boots);
    if (!c.options.faults.empty()) {
      EXPECT_EQ(counters.faults.at(c.options.faults[0].kind), c.applied);
    }
    EXPECT_EQ(counters.flashWrites, c.writes);
    if (c.name == std::string("upload")) {
      EXPECT_EQ(std::pair(counters.xmodemBlocks, counters.xmodemNaks), std::pair(2, 1));
      EXPECT_EQ(sim.State()["firmware"]["sha256"], signsim::Sha256Hex(image));
    }
  }
}

// lrzsz's sx on the serial line: the receiver falls back to checksums after five "C"s.
TEST(SignsimBoot, ChecksumBlocksFromARealSenderOnAPty) {
  TempDir dir;
  signsim::Options options;
  options.tcp.clear();
  options.ptyLink = (dir.path() / "sign.tty").string();
  options.firmwareOut = (dir.path() / "firmware.bin").string();
  const std::string image = Pattern(3000, 5);
  dir.Write("image.bin", image);
  signsim::Simulator sim(options);
  sim.Start();
  Peer host = Peer::Pty(sim.PtyPath());
  Talk(host, {{kReset, kBanner}, {"L\r", "CCCCC" + kNakByte}});
  const CommandResult sx = RunCommand("sx -q " + (dir.path() / "image.bin").string() + " <" +
                                      options.ptyLink + " >" + options.ptyLink);
  EXPECT_EQ(sx.status, 0) << sx.out;
  host.Read(100, 1s);  // what sx left of the line after the end of the transfer
  Talk(host, {{"W\r", ":.......\r\nFLASH WRITTEN, 3000 BYTES\r\n>"}});
  EXPECT_TRUE(dir.Read("firmware.bin") == image);
}

// A QX4 board's loader protocol as the firmware upload drives it, with the board's
// refusals on the way; the image goes into flash as it comes, whole with no reboot heard.
TEST(SignsimQx4, LoaderAndImageArriveInOrderAndFlashAsTheyCome) {
  signsim::Simulator sim(On(signsim::Board::Qx4));
  sim.Start();
  Peer host = Peer::Tcp(sim.TcpPort());
  const std::string loader = Pattern(1500, 1), image = Pattern(1224, 2);
  std::string damaged = Qx4(2, 0, 1024, loader.substr(1024));
  damaged.back() ^= 1;
  Talk(host, {{Qx4(1), kNeedLoader},
              {Qx4(3), Qx4(3, 6, 256 * 1024)},
              {Qx4(4, 0, 0, image.substr(0, 1024)), Qx4(4, 1)},
              {Qx4(2, 0, 0, loader.substr(0, 1024)), Qx4(2, 6)},
              {Qx4(2, 0, 2048, loader.substr(1024)), Qx4(2, 8, 2048)},
              {damaged, Qx4(2, 7)},
              {Qx4(2, 0, 1024, loader.substr(1024)), Qx4(2, 6, 1024)},
              {Qx4(5) + Qx4(1), "", 300ms}});
  std::string answer;
  for (int i = 0; i < 20 && answer.empty(); ++i) {
    host.Write(Qx4(1));
    answer = host.Read(kLoaderRuns.size(), 500ms);
  }
  EXPECT_EQ(answer, kLoaderRuns);
  Talk(host, {{Qx4(4, 0, 0, image.substr(0, 1024)), Qx4(4, 6)}});
  EXPECT_EQ(sim.State()["firmware"]["size"], 1024);
  sim.AddFault(signsim::ParseFault("loader-silent@6"));
  Talk(host, {{Qx4(4, 0, 1024, image.substr(1024)), Qx4(4, 6, 1024)}, {Qx4(6), "", 1s}});
  EXPECT_EQ(sim.State()["firmware"]["flashWrites"], 1);
  Talk(host, {{Qx4(6), Qx4(6, 5)}, {Qx4(1), kNeedLoader}, {kClockSet, kClockSetAnswer}});
  EXPECT_EQ(sim.State()["firmware"].dump(), R"({"board":"qx4","flashWrites":1,"loaderBytes":0,)"
                                            R"("loaderRunning":false,"sha256":")" +
                                                signsim::Sha256Hex(image) + R"(","size":1224})");
}
