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
     {268, Bytes("08 10 01 02 01 01 01 00 05 02 10 27 00 00 01 04 07 00 FB FF FF FF")},
     {290, "PLAY1"s},
     {311, Bytes("1A 0C 18 00 05 09")},
     {317, Bytes("FF FF 00 80 03 00 04 00 05 00 06 00 07 00 08 00 09 00 0A 80 0B 00 0C 00 0D 00 "
                 "0E 00 0F 00 34 12  01 02 03 04 05 06")},
     {355, "LDR 2.10"s},
     {371, Bytes("19 0C 18 00 05 09")},
     {377, "SN-0123456789ABCDEFGHIJKLMNOPQRS" + Bytes("FF FF 07") + "SIGN-NORTH"}});

void ExpectFull(const classDIAG_STATS& s) {
  EXPECT_EQ(s.appl_name, "ABC");
  EXPECT_EQ(s.numberbadframes, 32767);
  EXPECT_EQ(s.resets_noinit, -2);
  EXPECT_EQ(s.cur_datetime, Bytes("00 01 02 00 03 04"));
  EXPECT_EQ(s.sign_type, 1);
  EXPECT_EQ(s.dst_status, 7);
  EXPECT_EQ(s.node_address, 10);
  EXPECT_EQ(s.group_addresses, "0123456789");
  EXPECT_EQ(s.GROUP_MASTERS, "MASTERS-ABC");
  EXPECT_EQ(s.pixels_wide, 320);
  EXPECT_EQ(s.totpixels_high, 96);
  EXPECT_EQ(s.mem_pages, 3);
  EXPECT_EQ(s.totframes, 1);
  EXPECT_EQ(s.totplay_entries, 254);
  EXPECT_EQ(s.framesize, 512);
  EXPECT_EQ(s.switch1, 0x11);
  EXPECT_EQ(s.soft_enabled, 0x16);
  EXPECT_EQ(s.softswitch5, 0x1B);
  EXPECT_EQ(s.masteraddress, 0x21);
  EXPECT_EQ(s.myx, 1);
  EXPECT_EQ(s.myendy, 4);
  EXPECT_EQ(s.myscroll_delay, 500);
  EXPECT_EQ(s.modemsign, 1);
  EXPECT_EQ(s.initstring, std::string(100, 'I'));
  EXPECT_EQ(s.autodim_enabled, 1);
  EXPECT_EQ(s.dim_highrange, 15);
  EXPECT_EQ(s.tempf, 72);
  EXPECT_EQ(s.tempc, -20);
  EXPECT_EQ(s.temp_adjust, -3);
  EXPECT_EQ(s.dimsched_periods, 3);
  EXPECT_EQ(s.dimschedule, Bytes("06 00 12 00 C8") + std::string(50, '\0'));
  EXPECT_EQ(s.current_fontwidth, 8);
  EXPECT_EQ(s.indelay, 2);
  EXPECT_EQ(s.delay, 10000);
  EXPECT_EQ(s.blinkrate, 4);
  EXPECT_EQ(s.numberframesloaded, 7);
  EXPECT_EQ(s.numberplayentries, 5);
  EXPECT_EQ(s.currentplayentrynum, -1);
  EXPECT_EQ(s.currentplayentry, "PLAY1");
  EXPECT_EQ(s.datetimelastload, Bytes("1A 0C 18 00 05 09"));
  EXPECT_EQ(s.umsgrec_notme, 65535);
  EXPECT_EQ(s.msgrec_notme, -1);
  EXPECT_EQ(s.umsgrec_me, 32768);
  EXPECT_EQ(s.msgrec_me, -32768);
  EXPECT_EQ(s.umsgrec_nakbadcrc, 3);
  EXPECT_EQ(s.umsgrec_enq, 32778);
  EXPECT_EQ(s.msgrec_enq, -32758);
  EXPECT_EQ(s.msgrec_timeout, 11);
  EXPECT_EQ(s.umsgtr, 12);
  EXPECT_EQ(s.msgtr_retried, 15);
  EXPECT_EQ(s.umsgtr_timeout, 0x1234);
  EXPECT_EQ(s.msgtr_timeout, 0x1234);
  EXPECT_EQ(s.play_enabled, 1);
  EXPECT_EQ(s.default_enabled, 6);
  EXPECT_EQ(s.loader_rev, "LDR 2.10");
  EXPECT_EQ(s.DateTimeLastVarUD, Bytes("19 0C 18"));
  EXPECT_EQ(s.serial_num, "SN-0123456789ABCDEFGHIJKLMNOPQRS");
  EXPECT_EQ(s.play_counter, 1);
  EXPECT_EQ(s.autotext, 7);
  EXPECT_EQ(s.Z2Board, 'S');
  EXPECT_EQ(s.display_name, "SIGN-NORTH");
}

}  // namespace

TEST(StatsPayload, DecodesTheRecordAndStopsWhereItMust) {
  struct Case {
    const char* name;
    std::string answer;
    bool ok;
    std::function<void(const classDIAG_STATS&)> check;
  };
  const Case cases[] = {
      {"352 bytes: refused", Record(352, {}), false, [](auto& s) { EXPECT_EQ(s, Old()); }},
      {"444 zero bytes", Record(444, {}), true,
       [](auto& s) {
         classDIAG_STATS zero;
         zero.cur_datetime = zero.datetimelastload = std::string(6, '\0');
         zero.dimschedule = std::string(55, '\0');
         EXPECT_EQ(s, zero);
       }},
      {"every field at its offset", kFull, true, ExpectFull},
      {"353 bytes: stop at default_loaded", Record(353, {}), false,
       [](auto& s) {
         EXPECT_EQ(s.scr_repeat, 0);
         EXPECT_EQ(s.default_loaded, 1);
         EXPECT_EQ(s.loader_rev, std::string(16, '\x01'));
       }},
      {"360 bytes: texts take what is there", kFull.substr(0, 360), false,
       [](auto& s) {
         EXPECT_EQ(s.loader_rev, "LDR 2");
         EXPECT_EQ(s.DateTimeLastVarUD, "");
         EXPECT_EQ(s.serial_num, "");
         EXPECT_EQ(s.play_counter, 257);
       }},
      {"412 bytes: stop at Z2Board", kFull.substr(0, 412), false,
       [](auto& s) {
         EXPECT_EQ(s.autotext, 7);
         EXPECT_EQ(s.Z2Board, 1);
         EXPECT_EQ(s.display_name, std::string(32, '\x01'));
       }},
      {"413 bytes: the name is the Z2Board byte", kFull.substr(0, 413), true,
       [](auto& s) {
         EXPECT_EQ(s.Z2Board, 'S');
         EXPECT_EQ(s.display_name, "S");
         EXPECT_EQ(s.umsgtr_timeout, 0x1234);
       }},
      {"numberbadframes 32768 does not fit", Record(444, {{0, "ABC"}, {16, Bytes("00 80")}}), false,
       [](auto& s) {
         EXPECT_EQ(s.appl_name, "ABC");
         EXPECT_EQ(s.numberbadframes, 257);
         EXPECT_EQ(s.resets_noinit, 257);
       }},
      {"totframes 0x8000 does not fit", Record(444, {{67, Bytes("00 80")}}), false,
       [](auto& s) {
         EXPECT_EQ(s.mem_pages, 0);
         EXPECT_EQ(s.totframes, 257);
         EXPECT_EQ(s.framesize, 257);
       }},
      {"numberplayentries 0x8000 does not fit", Record(444, {{286, Bytes("00 80")}}), false,
       [](auto& s) {
         EXPECT_EQ(s.numberframesloaded, 0);
         EXPECT_EQ(s.numberplayentries, 257);
       }},
      {"play_counter 0x8000 does not fit", Record(444, {{409, Bytes("00 80")}}), false,
       [](auto& s) {
         EXPECT_EQ(s.serial_num, "");
         EXPECT_EQ(s.play_counter, 257);
         EXPECT_EQ(s.umsgrec_notme, 0) << "the Long twins come before play_counter";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    classDIAG_STATS s = Old();
    EXPECT_EQ(s.SetDataByStr(c.answer), c.ok);
    c.check(s);
  }
}
