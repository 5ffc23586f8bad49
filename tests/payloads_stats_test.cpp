#include <gtest/gtest.h>

#include <qordtcon/payloads/stats.hpp>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bytes.hpp"

using namespace qordtcon;
using namespace std::string_literals;

namespace {

// `size` bytes of `fill` with the given bytes placed at their offsets.
std::string Record(std::size_t size, const std::vector<std::pair<std::size_t, std::string>>& at,
                   char fill = '\0') {
  std::string record(size, fill);
  for (const auto& [offset, bytes] : at)
    record.replace(offset, bytes.size(), bytes);
  return record;
}

// Every field set from a record of bytes 0x01: bytes read 1, words 257, texts "\x01...".
classDIAG_STATS Old() {
  classDIAG_STATS s;
  EXPECT_TRUE(s.SetDataByStr(Record(444, {}, '\x01')));
  return s;
}

// A full record in which neighbouring fields differ, so that a field read at a wrong
// offset, with a wrong length or a wrong sign shows.
const std::string kFull = Record(
    444,
    {{0, "ABC\0garbage"s},
     {16, Bytes("FF 7F FE FF 00 01 02 00 03 04  01 02 03 04 05 06 07 08 09 0A")},
     {36, "0123456789MASTERS-ABC"},
     {57, Bytes("40 01 20 00 80 02 60 00 03 00 FF FF 02 FF 00 02")},
     {73, Bytes("11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21")},
     {90, Bytes("01 00 02 00 03 00 04 00 F4 01 01")},
     {101, std::string(100, 'I')},
     {201, Bytes("01 0A 02 0F 48 00 EC FF FD FF 05 03 06 00 12 00 C8")},
     {268, Bytes("08 10 01 02 01 01 01 00 05 02 C0 BD F0 FF 01 04 07 00 FB FF FF FF")},
     {290, "PLAY1"s},
     {311, Bytes("1A 0C 18 00 05 09")},
     {317, Bytes("FF FF 00 80 03 80 04 80 05 80 06 80 07 80 08 80 09 80 0A 80 0B 80 0C 80 0D 80 "
                 "0E 80 0F 80 34 92  01 02 03 04 05 06")},
     {355, "LDR 2.10"s},
     {371, Bytes("19 0C 18 00 05 09")},
     {377, "SN-0123456789ABCDEFGHIJKLMNOPQRS" + Bytes("FF FF 07") + "SIGN-NORTH"}});

// What kFull decodes to: every field, the zero ones included.
// clang-format off
const classDIAG_STATS kFullDecoded{
    .appl_name = "ABC", .numberbadframes = 32767, .resets_noinit = -2,
    .cur_datetime = Bytes("00 01 02 00 03 04"), .sign_type = 1, .module_type = 2,
    .modules_wide = 3, .modules_high = 4, .scan_enabled = 5, .dst_enabled = 6, .dst_status = 7,
    .def_enabled = 8, .def_loaded = 9, .node_address = 10, .group_addresses = "0123456789",
    .GROUP_MASTERS = "MASTERS-ABC", .pixels_wide = 320, .pixels_high = 32, .totpixels_wide = 640,
    .totpixels_high = 96, .mem_pages = 3, .totframes = 1, .totplay_entries = 254, .framesize = 512,
    .switch1 = 0x11, .switch2 = 0x12, .switch3 = 0x13, .switch4 = 0x14, .switch5 = 0x15,
    .soft_enabled = 0x16, .softswitch1 = 0x17, .softswitch2 = 0x18, .softswitch3 = 0x19,
    .softswitch4 = 0x1A, .softswitch5 = 0x1B, .master_slave = 0x1C, .ismaster = 0x1D,
    .isslave = 0x1E, .slaveswide = 0x1F, .slaveshigh = 0x20, .masteraddress = 0x21, .myx = 1,
    .myendx = 2, .myy = 3, .myendy = 4, .myscroll_delay = 500, .modemsign = 1,
    .initstring = std::string(100, 'I'), .autodim_enabled = 1, .dimlevel = 10, .dim_lowrange = 2,
    .dim_highrange = 15, .tempf = 72, .tempc = -20, .temp_adjust = -3, .dimsched_default = 5,
    .dimsched_periods = 3, .dimschedule = Bytes("06 00 12 00 C8") + std::string(50, '\0'),
    .current_fontwidth = 8, .current_fontheight = 16, .font2432loaded = 1, .customfonts_loaded = 2,
    .running = 1, .autoplay = 1, .playing = 1, .scrolling = 0, .scrollspeed = 5, .indelay = 2,
    .delay = -1000000, .blinkenabled = 1, .blinkrate = 4, .numberframesloaded = 7,
    .numberplayentries = 5, .currentplayentrynum = -1, .currentplayentry = "PLAY1",
    .datetimelastload = Bytes("1A 0C 18 00 05 09"), .msgrec_notme = -1, .msgrec_me = -32768,
    .msgrec_nakbadcrc = -32765, .msgrec_nakbadcmdfnc = -32764, .msgrec_nakbadsize = -32763,
    .msgrec_acked = -32762, .msgrec_respokcmd = -32761, .msgrec_respdata = -32760,
    .msgrec_duplicate = -32759, .msgrec_enq = -32758, .msgrec_timeout = -32757, .msgtr = -32756,
    .msgtr_naked = -32755, .msgtr_acked = -32754, .msgtr_retried = -32753, .msgtr_timeout = -28108,
    .play_enabled = 1, .play_loopctr = 2, .scr_clear = 3, .scr_repeat = 4, .default_loaded = 5,
    .default_enabled = 6, .loader_rev = "LDR 2.10", .DateTimeLastVarUD = Bytes("19 0C 18"),
    .serial_num = "SN-0123456789ABCDEFGHIJKLMNOPQRS", .play_counter = 1, .autotext = 7,
    .Z2Board = 'S', .display_name = "SIGN-NORTH", .umsgrec_notme = 65535, .umsgrec_me = 32768,
    .umsgrec_nakbadcrc = 32771, .umsgrec_nakbadcmdfnc = 32772, .umsgrec_nakbadsize = 32773,
    .umsgrec_acked = 32774, .umsgrec_respokcmd = 32775, .umsgrec_respdata = 32776,
    .umsgrec_duplicate = 32777, .umsgrec_enq = 32778, .umsgrec_timeout = 32779, .umsgtr = 32780,
    .umsgtr_naked = 32781, .umsgtr_acked = 32782, .umsgtr_retried = 32783, .umsgtr_timeout = 37428};
// clang-format on

}  // namespace

TEST(StatsPayload, DecodesTheRecordAndStopsWhereItMust) {
  classDIAG_STATS zero;  // what 444 bytes 0 give: the texts kept whole hold their bytes 0
  zero.cur_datetime = zero.datetimelastload = std::string(6, '\0');
  zero.dimschedule = std::string(55, '\0');
  const std::string old32(32, '\x01');
  const auto n = [](const std::string& record, std::size_t size) { return record.substr(0, size); };
  const struct {
    const char* name;
    std::string answer;
    bool ok;
    std::function<void(const classDIAG_STATS&)> check;
  } cases[] = {
      // clang-format off
      {"352 bytes", Record(352, {}), false, [](auto& s) { EXPECT_EQ(s, Old()); }},
      {"444 zero bytes", Record(444, {}), true, [&](auto& s) { EXPECT_EQ(s, zero); }},
      {"every field", kFull, true, [](auto& s) { EXPECT_EQ(s, kFullDecoded); }},
      {"353 bytes", n(kFull, 353), false, [](auto& s) {
         EXPECT_EQ(s.scr_repeat, 4); EXPECT_EQ(s.default_loaded, 1); }},
      {"360 bytes", n(kFull, 360), false, [](auto& s) {
         EXPECT_EQ(s.loader_rev, "LDR 2"); EXPECT_EQ(s.serial_num, "");
         EXPECT_EQ(s.play_counter, 257); }},
      {"412 bytes", n(kFull, 412), false, [&](auto& s) {
         EXPECT_EQ(s.autotext, 7); EXPECT_EQ(s.Z2Board, 1); EXPECT_EQ(s.display_name, old32); }},
      {"413 bytes", n(kFull, 413), true, [](auto& s) {
         EXPECT_EQ(s.Z2Board, 'S'); EXPECT_EQ(s.display_name, "S"); }},
      {"numberbadframes 32768", Record(444, {{0, "ABC"}, {16, Bytes("00 80")}}), false,
       [](auto& s) { EXPECT_EQ(s.appl_name, "ABC"); EXPECT_EQ(s.numberbadframes, 257); }},
      {"totframes 0x8000", Record(444, {{67, Bytes("00 80")}}), false, [](auto& s) {
         EXPECT_EQ(s.mem_pages, 0); EXPECT_EQ(s.totframes, 257); EXPECT_EQ(s.framesize, 257); }},
      {"play_counter 0x8000", Record(444, {{409, Bytes("00 80")}}), false, [](auto& s) {
         EXPECT_EQ(s.umsgrec_notme, 0); EXPECT_EQ(s.play_counter, 257);
         EXPECT_EQ(s.autotext, 1); }},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    classDIAG_STATS s = Old();
    EXPECT_EQ(s.SetDataByStr(c.answer), c.ok);
    c.check(s);
  }
}
