#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

#include <qordtcon/qordtcon.hpp>

#include "bytes.hpp"
#include "file_payloads.hpp"
#include "outcome.hpp"
#include "play_entries.hpp"
#include "signsim/sign.hpp"
#include "temp_dir.hpp"

using namespace qordtcon;
using signsim::Reply;

namespace {

constexpr int kOk = -1;

// A sign in this process, driven command by command.
struct Bench {
  explicit Bench(const signsim::Options& options = {}) : sign(options, counters) {}

  Reply Run(std::uint8_t cmd, std::uint8_t fnc, const std::string& data = {},
            signsim::SessionId session = 0) {
    return sign.Execute(cmd, fnc, data, session);
  }
  classDIAG_STATS Stats() {
    classDIAG_STATS stats;
    EXPECT_TRUE(stats.SetDataByStr(Run(0, 0x15).data));
    return stats;
  }
  classDIAG_SIGNTYPE Type() {
    classDIAG_SIGNTYPE type;
    EXPECT_TRUE(type.SetDataByStr(Run(0, 2).data));
    return type;
  }

  signsim::Counters counters;
  signsim::Sign sign;
};

using Probe = std::function<std::string(Bench&)>;

// One step of a scenario: a command, its answer (kOk or the error code) and a probe
// that reads the outcome back, through a read command where the sign has one.
struct Step {
  const char* name;
  std::uint8_t cmd, fnc;
  std::string data;
  int answer;
  Probe probe;
  std::string want;
};

void Play(Bench& bench, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    const Reply reply = bench.Run(s.cmd, s.fnc, s.data);
    EXPECT_EQ(reply.ok ? kOk : reply.code, s.answer);
    if (s.probe) {
      EXPECT_EQ(s.probe(bench), s.want);
    }
  }
}

// A part of the state dump, as JSON text.
Probe Dump(const char* pointer) {
  return
      [pointer](Bench& b) { return b.sign.State()[nlohmann::json::json_pointer(pointer)].dump(); };
}

// The number of elements of a part of the state dump.
Probe Size(const char* pointer) {
  return [pointer](Bench& b) {
    return std::to_string(b.sign.State()[nlohmann::json::json_pointer(pointer)].size());
  };
}

std::string Poll(Bench& b) {
  classPLAY_POLL poll;
  poll.GetDataFromString(b.Run(7, 0x0A).data);
  return Show(poll.play_loaded, poll.playing, poll.default_loaded, poll.default_enabled);
}

std::string Schedule(int periods) {
  classDIAG_BRIGHTNESS_SCHEDULE s;
  s.default_brightness = 9;
  s.Num_Periods(static_cast<std::int16_t>(periods));
  for (std::int16_t i = 1; i <= periods; ++i) {
    s.start_hour(i, 6);
    s.stop_hour(i, 18);
    s.brightness_level(i, i);
  }
  return s.GetStringFromData();
}

std::string Pixel(std::int16_t x, std::int16_t y) {
  classDIAG_PIXEL_CONTROL p;
  p.num_pixels(1);
  p.pixelx(1, x);
  p.pixely(1, y);
  p.pixelc(1, 2);
  p.pixels(1, 1);
  return p.GetStringFromData();
}

}  // namespace

TEST(SignsimState, ConfigurationReadsBackThroughTypeAndStatistics) {
  const Probe dim = [](Bench& b) {
    const auto s = b.Stats();
    return Show(s.autodim_enabled, s.dimlevel, s.dim_lowrange, s.dim_highrange, b.Type().cur_level);
  };
  const Probe schedule = [](Bench& b) {
    const auto s = b.Stats();
    return Show(s.dimsched_default, s.dimsched_periods) + " " + HexText(s.dimschedule[9]);
  };
  const Probe groups = [](Bench& b) {
    const auto s = b.Stats();
    const auto t = b.Type();
    return s.group_addresses + "|" + s.GROUP_MASTERS + "|" + TrimAtNul(t.groups) + "|" +
           TrimAtNul(t.GROUP_MASTERS) + "|" + std::to_string(t.broadcast_master);
  };
  const Probe switches = [](Bench& b) {
    const auto s = b.Stats();
    return Show(s.scan_enabled, s.dst_enabled, s.def_enabled, s.soft_enabled, s.softswitch5,
                s.scr_clear, s.scr_repeat, s.temp_adjust, s.tempc, s.resets_noinit);
  };
  // clang-format off
  const std::vector<Step> steps = {
      {"level", 0, 3, classDIAG_BRIGHTNESS{7}.GetStringFromData(), kOk, dim, "0 7 1 15 7"},
      {"level 21 hands over to the schedule", 0, 3, classDIAG_BRIGHTNESS{21}.GetStringFromData(), kOk, dim, "1 21 1 15 21"},
      {"range", 0, 0x0D, classDIAG_BRIGHTNESS_RANGE{3, 12}.GetStringFromData(), kOk, dim, "1 21 3 12 21"},
      {"upside-down range", 0, 0x0D, classDIAG_BRIGHTNESS_RANGE{12, 3}.GetStringFromData(), 2, dim, "1 21 3 12 21"},
      {"level of two bytes", 0, 3, "\x05\x06", 2, dim, "1 21 3 12 21"},
      {"schedule", 0, 0x0E, Schedule(2), kOk, schedule, "9 2 2"},
      {"schedule beyond eleven periods", 0, 0x0E, Schedule(12), 3, schedule, "9 2 2"},
      {"groups", 0, 4, classDIAG_GROUPS{"AB"}.GetStringFromData(), kOk, groups, "AB||AB||0"},
      {"group masters", 0, 0x14, classDIAG_GROUP_MASTERS{3, "CD"}.GetStringFromData(), kOk, groups, "AB|CD|AB|CD|3"},
      {"groups beyond ten", 0, 4, classDIAG_GROUPS{"ABCDEFGHIJK"}.GetStringFromData(), 2, groups, "AB|CD|AB|CD|3"},
      {"scan off", 0, 7, "", kOk, switches, "0 0 0 0 0 0 0 0 20 0"},
      {"daylight saving on", 0, 0x11, "", kOk, switches, "0 1 0 0 0 0 0 0 20 0"},
      {"default on", 0, 0x1E, "", kOk, switches, "0 1 1 0 0 0 0 0 20 0"},
      {"soft switches", 0, 0x10, classDIAG_SOFT_SWITCHES{1, 2, 3, 4, 5, 6}.GetStringFromData(), kOk, switches, "0 1 1 1 6 0 0 0 20 0"},
      {"scroll options", 0, 0x17, classDIAG_SCROLL_OPTIONS{1, 2, "END"}.GetStringFromData(), kOk, switches, "0 1 1 1 6 1 2 0 20 0"},
      {"temperature calibration", 0, 0x0F, classDIAG_TEMP_CALIBRATION{-3}.GetStringFromData(), kOk, switches, "0 1 1 1 6 1 2 -3 17 0"},
      {"scan on, daylight saving and default off", 0, 8, "", kOk, nullptr, ""},
      {"", 0, 0x12, "", kOk, nullptr, ""},
      {"", 0, 0x1F, "", kOk, switches, "1 0 0 1 6 1 2 -3 17 0"},
      {"reset", 0, 0xAA, "", kOk, switches, "1 0 0 1 6 1 2 -3 17 1"},
      {"prepare for download", 0, 0xAB, "", kOk, Dump("/config/downloadsPrepared"), "1"},
      {"scan with data", 0, 8, "\x01", 2, nullptr, ""},
      {"pixel", 0, 0x18, Pixel(95, 15), kOk, Dump("/config/pixels"), R"([{"c":2,"s":1,"x":95,"y":15}])"},
      {"pixel beyond the panel", 0, 0x18, Pixel(96, 0), 2, Size("/config/pixels"), "1"},
      {"test pattern", 0, 6, classDIAG_TEST{4, 256, 3}.GetStringFromData(), kOk, Dump("/config/test"), R"({"code":4,"col":3,"row":256})"},
      {"31 April", 0, 0, classDIAG_STIME{12, 0, 0, 31, 4, 26, 1}.ConvertDataIntoStr(), 2, nullptr, ""},
  };
  // clang-format on
  Bench bench;
  Play(bench, steps);

  // The communication counters count again from 0 after clearing.
  bench.counters.frames = 5;
  EXPECT_EQ(bench.Stats().umsgrec_me, 5);
  EXPECT_TRUE(bench.Run(0, 0x16).ok);
  EXPECT_EQ(bench.Stats().umsgrec_me, 0);
  bench.counters.frames = 7;
  EXPECT_EQ(bench.Stats().umsgrec_me, 2);
}

TEST(SignsimState, TextsDefaultScheduledAndPagedMessagesAreKept) {
  const Probe stats = [](Bench& b) {
    const auto s = b.Stats();
    return Show(s.scrolling, s.scrollspeed, s.blinkenabled, s.blinkrate, s.def_loaded);
  };
  classSCHMSG_MSG scheduled{2, 1, 3, 8, 30, 17, 0, 12, 24, 26, 5, "SALE"};
  // clang-format off
  const std::vector<Step> steps = {
      {"text", 1, 0, classTEXT_MSG{1, 2, 3, "HELLO"}.GetStringFromData(), kOk, Dump("/text/msg"), R"("HELLO")"},
      {"text without its byte 0", 1, 0, "\x01\x02\x03" "BYE", 2, Dump("/text/msg"), R"("HELLO")"},
      {"scroll", 1, 1, classTEXT_SCRMSG{0, 0, 10, 1, "NEWS"}.GetStringFromData(), kOk, Dump("/scrollText"), R"({"col":0,"length":10,"mode":1,"msg":"NEWS","row":0})"},
      {"scroll speed", 1, 5, classTEXT_SCRSPEED{9}.GetStringFromData(), kOk, stats, "1 9 0 0 0"},
      {"blink rate", 1, 0x0E, classTEXT_BLINK_RATE{4}.GetStringFromData(), kOk, stats, "1 9 1 4 0"},
      {"clear", 1, 4, "", kOk, [&stats](Bench& b) { return stats(b) + Dump("/text")(b); }, "0 9 1 4 0null"},
      {"tabs", 1, 6, classTEXT_SETTABS{2, "\x05\x0A"}.GetStringFromData(), kOk, Dump("/textSettings/tabs"), R"({"2":"\u0005\n"})"},
      {"default message", 4, 0, classDEFMSG_MSG{1, "WELCOME"}.GetStringFromData(), kOk, [&stats](Bench& b) { return stats(b) + " " + Poll(b); }, "0 9 1 4 1 0 0 1 0"},
      {"default placement", 4, 1, classDEFMSG_HORZVERT{1}.GetStringFromData(), kOk, Dump("/defaultMessage"), R"({"horzVert":1,"msg":"WELCOME","num":1})"},
      {"scheduled message", 5, 0, scheduled.GetStringFromData(), kOk, Dump("/scheduled/messages/2"), R"({"format":5,"mday":24,"month":12,"msg":"SALE","prefix":1,"startHour":8,"startMin":30,"stopHour":17,"stopMin":0,"suffix":3,"year":26})"},
      {"scheduled automatically", 5, 1, "", kOk, Dump("/scheduled/auto"), "true"},
      {"scheduled prefix", 5, 3, classSCHMSG_PREFIX{5}.GetStringFromData(), kOk, Dump("/scheduled/prefix"), "5"},
      {"scheduled suffix", 5, 4, classSCHMSG_SUFFIX{6}.GetStringFromData(), kOk, Dump("/scheduled/suffix"), "6"},
      {"scheduled format", 5, 5, classSCHMSG_FORMAT{1, 2, "\x10\x20", 9}.GetStringFromData(), kOk, Dump("/scheduled/format"), R"({"code":1,"lines":2,"maxlen":"1020","reserved":9})"},
      {"scheduled format too short", 5, 5, "\x01\x02", 2, nullptr, ""},
      {"scheduled manually, messages cleared", 5, 2, "", kOk, nullptr, ""},
      {"", 5, 6, "", kOk, Dump("/scheduled/messages"), "{}"},
      {"page shown", 6, 3, classPAGE_DSP{3, 1, 2, 300}.GetStringFromData(), kOk, Dump("/paged/shown"), R"({"delay":300,"num":3,"prefix":1,"suffix":2})"},
      {"page of four bytes", 6, 3, "\x03\x01\x02\x2C", 2, nullptr, ""},
  };
  // clang-format on
  Bench bench;
  Play(bench, steps);
  EXPECT_EQ(bench.sign.State()["scheduled"]["auto"], false);
}

TEST(SignsimState, PlayOrderControlsAndDescription) {
  const Probe counter = [](Bench& b) {
    classPLAY_COUNT_READ c;
    c.GetDataFromString(b.Run(7, 0x11).data);
    return Poll(b) + " " + std::to_string(c.PlayCounter);
  };
  const Probe description = [](Bench& b) {
    classPLAY_DESC_READ d;
    d.GetDataFromString(b.Run(7, 0x0E).data);
    return std::to_string(d.descriptor.size()) + " " + TrimAtNul(d.descriptor);
  };
  classPLAY_ORDER nameless = Entries<classPLAY_ORDER>(1, 2);
  nameless.FileName(2, "");
  std::string oneShort = Entries<classPLAY_ORDER>(1, 2).GetStringFromData();
  oneShort.pop_back();
  // clang-format off
  const std::vector<Step> steps = {
      {"nothing to play", 7, 5, classPLAY_RESTART{1}.GetStringFromData(), kOk, counter, "0 0 0 0 0"},
      {"play order loaded", 7, 0, Entries<classPLAY_ORDER>(1, 3).GetStringFromData(), kOk, counter, "1 0 0 0 0"},
      {"restart", 7, 5, classPLAY_RESTART{2}.GetStringFromData(), kOk, counter, "1 1 0 0 1"},
      {"pause", 7, 8, "", kOk, counter, "1 0 0 0 1"},
      {"resume goes on", 7, 6, "", kOk, counter, "1 1 0 0 1"},
      {"stop immediately", 7, 0x0B, "", kOk, Dump("/play/immediate"), "true"},
      {"pause a stopped player", 7, 0x0C, "", kOk, Dump("/play/mode"), R"("stopped")"},
      {"resume starts over", 7, 6, "", kOk, counter, "1 1 0 0 2"},
      {"stop", 7, 7, "", kOk, counter, "1 0 0 0 2"},
      {"counter cleared", 7, 0x12, "", kOk, counter, "1 0 0 0 0"},
      {"autoplay on", 7, 0x40, "", kOk, [](Bench& b) { return std::to_string(b.Stats().autoplay); }, "1"},
      {"a new play order starts", 7, 0, Entries<classPLAY_ORDER>(1, 1).GetStringFromData(), kOk, counter, "1 1 0 0 1"},
      {"autoplay off", 7, 0x41, "", kOk, [](Bench& b) { return std::to_string(b.Stats().autoplay); }, "0"},
      {"an entry without a name", 7, 2, nameless.GetStringFromData(), 2, Size("/play/entries"), "1"},
      {"an entry cut short", 7, 0, oneShort, 2, Size("/play/entries"), "1"},
      {"beyond the sign's memory", 7, 2, Entries<classPLAY_ORDER_APP>(1, 1000).GetStringFromData(), 3, Size("/play/entries"), "1"},
      {"cleared", 7, 1, "", kOk, counter, "0 0 0 0 1"},
      {"description", 7, 0x0D, classPLAY_DESC_WRITE{"LOBBY LOOP"}.GetStringFromData(), kOk, description, "256 LOBBY LOOP"},
      {"description beyond 256", 7, 0x0D, classPLAY_DESC_WRITE{std::string(257, 'X')}.GetStringFromData(), 2, description, "256 LOBBY LOOP"},
      {"sub play order", 7, 0x0F, "12", kOk, Dump("/play/subPlayOrder"), "12"},
      {"sub play order not a number", 7, 0x0F, "1x", 2, Dump("/play/subPlayOrder"), "12"},
  };
  // clang-format on
  Bench bench;
  Play(bench, steps);
}

TEST(SignsimState, VariablesCellsAndCountersReadBack) {
  const auto variable = [](std::int16_t num) -> Probe {
    return [num](Bench& b) {
      classVARIABLE_READ_Res v;
      v.GetDataFromString(b.Run(9, 0, classVARIABLE_READ_Req{num}.GetStringFromData()).data);
      return Show(v.color, v.blink, v.inverse) + " " + v.text_variable;
    };
  };
  const auto cell = [](std::int16_t num) -> Probe {
    return [num](Bench& b) {
      classCELL_READ_Res c;
      c.GetDataFromString(b.Run(10, 0, classCELL_READ_Req{num}.GetStringFromData()).data);
      return Show(c.color, c.blink, c.inverse) + " " + c.cell_variable;
    };
  };
  const Probe counter = [](Bench& b) {
    classCOUNTER_READ_Res c;
    c.GetDataFromString(b.Run(11, 0, classCOUNTER_READ_Req{6}.GetStringFromData()).data);
    return Show(c.counter_num, c.operation, c.incdec_value, c.autoreload, c.start_value,
                c.stop_value, c.current_value, c.Status, c.inverse);
  };
  classVARIABLE_MULTIWRITE multi;
  multi.num_vars(2);
  multi.X(1, 3), multi.Length(1, 3), multi.variable(1, "ONE");
  multi.X(2, 4), multi.Length(2, 3), multi.variable(2, "TWO");
  classVARIABLE_MULTIWRITE overlong = multi;  // the sign splits by Length, not by text
  overlong.Length(2, 2);
  classVARIABLE_ATTRIBUTES attributes;
  attributes.num_vars(1);
  attributes.X(1, 3), attributes.color(1, 2), attributes.blink(1, 1), attributes.inverse(1, 1);
  classCELL_LOCAL_WRITE resets;
  resets.cell_reset_month(8, 12), resets.cell_reset_minute(8, 59);
  // clang-format off
  const std::vector<Step> steps = {
      {"never written", 9, 1, classVARIABLE_WRITE{1, "X"}.GetStringFromData(), kOk, variable(3), "0 0 0 "},
      {"written", 9, 1, classVARIABLE_WRITE{3, "12:00"}.GetStringFromData(), kOk, variable(3), "0 0 0 12:00"},
      {"attributes", 9, 4, attributes.GetStringFromData(), kOk, variable(3), "2 1 1 12:00"},
      {"several at once", 9, 3, multi.GetStringFromData(), kOk, [&variable](Bench& b) { return variable(3)(b) + "|" + variable(4)(b); }, "2 1 1 ONE|0 0 0 TWO"},
      {"a Length short of its text", 9, 3, overlong.GetStringFromData(), 2, variable(4), "0 0 0 TWO"},
      {"cleared", 9, 2, "", kOk, variable(3), "0 0 0 "},
      {"write without byte 0", 9, 1, "\x03" "AB", 2, variable(3), "0 0 0 "},
      {"cell", 10, 1, classCELL_WRITE{3, "C3"}.GetStringFromData(), kOk, [&](Bench& b) { return cell(3)(b) + "|" + variable(3)(b); }, "0 0 0 C3|0 0 0 "},
      {"cell attributes", 10, 4, attributes.GetStringFromData(), kOk, cell(3), "2 1 1 C3"},
      {"cell resets", 10, 5, resets.GetStringFromData(), kOk, Dump("/data/cellResets/8"), R"("12/00/00 00:59")"},
      {"cell resets short", 10, 5, std::string(44, '\0'), 2, Dump("/data/cellResets/8"), R"("12/00/00 00:59")"},
      {"cells cleared", 10, 2, "", kOk, cell(3), "0 0 0 "},
      {"counter never defined", 11, 2, classCOUNTER_CONTROL{7, 1, 0, 0, 0}.GetStringFromData(), kOk, counter, "6 0 0 0 0 0 0 0 0"},
      {"counter defined", 11, 1, classCOUNTER_DEFINE{6, 1, 2, 3, -2, 4, 1, 40000, -1}.GetStringFromData(), kOk, counter, "6 1 -2 1 40000 -1 40000 0 0"},
      {"counter controlled", 11, 2, classCOUNTER_CONTROL{6, 1, 2, 3, 4}.GetStringFromData(), kOk, counter, "6 1 -2 1 40000 -1 40000 1 4"},
      {"definition of 15 bytes", 11, 1, std::string(15, '\x06'), 2, counter, "6 1 -2 1 40000 -1 40000 1 4"},
      {"counters cleared", 11, 3, "", kOk, counter, "6 0 0 0 0 0 0 0 0"},
  };
  // clang-format on
  Bench bench;
  Play(bench, steps);
}

// The digests of "abc" and "" are the FIPS 180-2 examples.
TEST(SignsimState, FilesArriveAndAreFetchedReplacedDeletedAndShown) {
  const Probe last = [](Bench& b) { return Hex(b.Run(2, 0, Block(0, Named("SHORT.PNG"))).data); };
  const std::string window = Bytes("00 00 5F 0F");
  // clang-format off
  const std::vector<Step> steps = {
      {"first record", 2, 0, FirstRecord("abc.bmp", 3), kOk, Dump("/files/receiving"), R"([{"announcedSize":3,"modified":"26-12-04 13:05:09","name":"ABC.BMP","nextBlock":2,"received":0}])"},
      {"the only block is the last", 2, 0, Block(0, "abc"), kOk, Dump("/directory/0"), R"({"announcedSize":3,"modified":"26-12-04 13:05:09","name":"ABC.BMP","sha256":"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad","short":false,"size":3})"},
      {"an empty file", 2, 0, FirstRecord("DATA.TXT", 0), kOk, nullptr, ""},
      {"", 2, 0, Block(0, ""), kOk, Dump("/directory/1/sha256"), R"("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855")"},
      {"an empty file has no block", 2, 0, Block(0, Named("DATA.TXT")), 0xF6, nullptr, ""},
      {"a block beyond the file", 2, 0, Block(2, Named("ABC.BMP")), 0xF6, nullptr, ""},
      {"a block of no file", 2, 0, Block(1, Named("NONE.BMP")), 0xF9, nullptr, ""},
      {"a name over 13", 2, 0, Block(1, "FOURTEEN.CHARS" + std::string(10, '\0')), 2, Dump("/files/receiving"), "[]"},
      {"beyond the memory left", 2, 0, FirstRecord("SHORT.PNG", (16 << 20) - 2), 0xF7, Dump("/files/receiving"), "[]"},
      {"all the memory left", 2, 0, FirstRecord("SHORT.PNG", (16 << 20) - 3), kOk, Dump("/files/free"), "0"},
      {"a block over 16000", 2, 0, Block(2, std::string(16001, 'x')), 2, nullptr, ""},
      {"block 2", 2, 0, Block(2, "ab"), kOk, nullptr, ""},
      {"block 2 again", 2, 0, Block(2, "ab"), 0xF6, nullptr, ""},
      {"an empty block before the last", 2, 0, Block(3, ""), 2, Dump("/files/receiving/0/received"), "2"},
      {"the host aborts: its next block is the last", 2, 0, Block(0, "cd"), kOk, Dump("/directory/2"), R"({"announcedSize":16777213,"modified":"26-12-04 13:05:09","name":"SHORT.PNG","sha256":"88d4266fd4e6338d13b845fcf289579d209c897823b9217da3e161936f031589","short":true,"size":4})"},
      {"fetch the last block", 2, 0, Block(0, Named("short.png")), kOk, last, "00 00 61 62 63 64"},
      {"a new file of a stored name", 2, 0, FirstRecord("ABC.BMP", 1), kOk, Dump("/directory/0/size"), "3"},
      {"replaces it once closed", 2, 0, Block(0, "z"), kOk, Dump("/directory/0/size"), "1"},
      {"a first record abandons the open file", 2, 0, FirstRecord("GONE.BMP", 9), kOk, nullptr, ""},
      {"", 2, 0, FirstRecord("ABC.BMP", 2), kOk, Dump("/files/receiving/0/name"), R"("ABC.BMP")"},
      {"delete", 2, 1, Named("abc.bmp"), kOk, Size("/directory"), "2"},
      {"delete again", 2, 1, Named("ABC.BMP"), 0xF9, nullptr, ""},
      {"show", 2, 2, Named("SHORT.PNG") + window, kOk, Dump("/files/shown"), R"({"bot":15,"left":0,"name":"SHORT.PNG","right":95,"top":0})"},
      {"show beyond the panel", 2, 2, Named("SHORT.PNG") + Bytes("00 00 60 0F"), 2, nullptr, ""},
      {"show a file not graphic", 2, 2, Named("DATA.TXT") + window, 0xF8, nullptr, ""},
      {"show no file", 2, 2, Named("NONE.BMP") + window, 0xF9, Dump("/files/shown/name"), R"("SHORT.PNG")"},
      {"clear ends the showing", 1, 4, "", kOk, Dump("/files/shown"), "null"},
  };
  // clang-format on
  signsim::Options vhd;  // its blocks may be 16000 bytes long
  vhd.applName = "VHD-1";
  Bench bench(vhd);
  Play(bench, steps);
  const signsim::Counters& c = bench.counters;
  EXPECT_EQ(Show(c.filesReceived, c.fileBlocks, c.filesDeleted, c.fileRequests), "4 5 1 2");

  // A file arrives over one session: another has none open, and it ends with its own.
  EXPECT_EQ(bench.Run(2, 0, Block(3, "x"), 7).code, 0xF0);
  EXPECT_TRUE(bench.sign.EndSession(0));
}

// Block numbers run to 65535 and go on at 2.
TEST(SignsimState, BlockNumbersWrapPast65535) {
  Bench bench;
  ASSERT_TRUE(bench.Run(2, 0, FirstRecord("WRAP.BIN", 65536)).ok);
  for (int n = 2; n <= 65535; ++n)
    ASSERT_TRUE(bench.Run(2, 0, Block(n, "x")).ok) << n;
  EXPECT_EQ(bench.Run(2, 0, Block(65535, "x")).code, 0xF6);
  EXPECT_TRUE(bench.Run(2, 0, Block(2, "x")).ok);
  EXPECT_TRUE(bench.Run(2, 0, Block(0, "x")).ok);
  EXPECT_EQ(bench.sign.State()["directory"][0]["size"], 65536);
}

// With a store, what arrives is also a real file, written as it comes and in place once
// closed; each failing step of the store is refused and can come again.
TEST(SignsimState, StoreHoldsTheReceivedFiles) {
  TempDir dir;
  signsim::Options options;
  options.store = dir.path().string();
  Bench bench(options);
  const auto code = [&](const std::string& data) {
    const Reply r = bench.Run(2, 0, data);
    return r.ok ? kOk : r.code;
  };
  EXPECT_EQ(code(FirstRecord("LOGO.BMP", 4)), kOk);
  EXPECT_EQ(code(Block(2, "ab")), kOk);
  EXPECT_EQ(dir.Read(".LOGO.BMP.part"), "ab");
  std::filesystem::create_directories(dir.path() / "LOGO.BMP" / "in-the-way");
  EXPECT_EQ(code(Block(0, "cd")), 0xF3);
  std::filesystem::remove_all(dir.path() / "LOGO.BMP");
  EXPECT_EQ(code(Block(0, "cd")), kOk);
  EXPECT_EQ(dir.Read("LOGO.BMP"), "abcd");
  EXPECT_TRUE(bench.Run(2, 1, Named("LOGO.BMP")).ok);
  EXPECT_EQ(code(FirstRecord("GONE.BMP", 2)), kOk);
  bench.sign.EndSession(0);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

  EXPECT_EQ(code(FirstRecord("LOGO.BMP", 4)), kOk);
  std::filesystem::remove_all(dir.path());
  EXPECT_EQ(code(Block(2, "ab")), 0xF2);
  EXPECT_EQ(code(FirstRecord("LOGO.BMP", 4)), 0xF1);
}
