#include <gtest/gtest.h>

#include <qordtcon/payloads/diag.hpp>

#include <functional>
#include <stdexcept>
#include <string>

#include "bytes.hpp"

using namespace qordtcon;
using namespace std::string_literals;

namespace {

classDIAG_BRIGHTNESS_SCHEDULE Schedule(std::int16_t periods) {
  classDIAG_BRIGHTNESS_SCHEDULE s;
  s.default_brightness = 50;
  s.Num_Periods(periods);
  return s;
}

enum class Raised { kNothing, kOverflow, kInvalidArgument, kOutOfRange };

Raised WhatRaises(const std::function<void()>& act) {
  try {
    act();
  } catch (const std::overflow_error&) {
    return Raised::kOverflow;
  } catch (const std::invalid_argument&) {
    return Raised::kInvalidArgument;
  } catch (const std::out_of_range&) {
    return Raised::kOutOfRange;
  }
  return Raised::kNothing;
}

}  // namespace

TEST(DiagPayloads, EncodeToTheExactBytes) {
  struct Case {
    const char* name;
    std::function<std::string()> encode;
    std::string expected;
  };
  const Case cases[] = {
      {"clock: day before month",
       [] { return classDIAG_STIME{13, 5, 9, 24, 12, 26, 5}.ConvertDataIntoStr(); },
       Bytes("0D 05 09 18 0C 1A 05")},
      {"brightness", [] { return classDIAG_BRIGHTNESS{200}.GetStringFromData(); }, Bytes("C8")},
      {"brightness range",
       [] {
         return classDIAG_BRIGHTNESS_RANGE{3, 250}.GetStringFromData();
       },
       Bytes("03 FA")},
      {"test: words low byte first",
       [] {
         return classDIAG_TEST{2, 256, 0x1234}.GetStringFromData();
       },
       Bytes("02 00 01 34 12")},
      {"calibration -1", [] { return classDIAG_TEMP_CALIBRATION{-1}.GetStringFromData(); },
       Bytes("FF FF")},
      {"calibration 2", [] { return classDIAG_TEMP_CALIBRATION{2}.GetStringFromData(); },
       Bytes("02 00")},
      {"calibration -257: high byte stays 0xFF",
       [] { return classDIAG_TEMP_CALIBRATION{-257}.GetStringFromData(); }, Bytes("FF FF")},
      {"hardware temperature", [] { return classDIAG_HWTEMP{0x0102}.GetStringFromData(); },
       Bytes("02 01")},
      {"soft switches in order",
       [] { return classDIAG_SOFT_SWITCHES{1, 2, 3, 4, 5, 6}.GetStringFromData(); },
       Bytes("01 02 03 04 05 06")},
      {"groups padded to 10", [] { return classDIAG_GROUPS{"AB"}.GetStringFromData(); },
       "AB"s + std::string(8, '\0')},
      {"groups longer than 10 go whole",
       [] { return classDIAG_GROUPS{"ABCDEFGHIJKL"}.GetStringFromData(); }, "ABCDEFGHIJKL"},
      {"group masters",
       [] {
         return classDIAG_GROUP_MASTERS{3, "AB"}.GetStringFromData();
       },
       "\x03"
       "AB"s +
           std::string(8, '\0')},
      {"scroll options, empty trailer padded to 32",
       [] {
         return classDIAG_SCROLL_OPTIONS{1, 2, ""}.GetStringFromData();
       },
       Bytes("01 02") + std::string(32, '\0')},
      {"scroll options, long trailer whole",
       [] {
         return classDIAG_SCROLL_OPTIONS{0, 9, std::string(33, 'T')}.GetStringFromData();
       },
       Bytes("00 09") + std::string(33, 'T')},
      {"schedule of two periods",
       [] {
         auto s = Schedule(2);
         s.start_hour(1, 6), s.stop_hour(1, 18), s.stop_min(1, 30), s.brightness_level(1, 200);
         s.start_hour(2, 18), s.start_min(2, 30), s.stop_hour(2, 6), s.brightness_level(2, 20);
         return s.GetStringFromData();
       },
       Bytes("02 00 32  06 00 12 1E C8  12 1E 06 00 14")},
      {"schedule of 300 periods", [] { return Schedule(300).GetStringFromData(); },
       Bytes("2C 01 32") + std::string(1500, '\0')},
      {"schedule of 0 periods: no period sent, yet period 1 exists",
       [] {
         auto s = Schedule(0);
         s.start_hour(1, 7);
         return s.GetStringFromData();
       },
       Bytes("00 00 32")},
      {"schedule shrunk keeps its first periods",
       [] {
         auto s = Schedule(3);
         s.start_hour(1, 1), s.start_hour(2, 2), s.start_hour(3, 3);
         s.Num_Periods(2);
         return s.GetStringFromData();
       },
       Bytes("02 00 32  01 00 00 00 00  02 00 00 00 00")},
      {"pixels: entry 0 unsent, c before s",
       [] {
         classDIAG_PIXEL_CONTROL p;
         p.num_pixels(2);
         p.pixelx(0, 99);
         p.pixelx(1, 1), p.pixely(1, 2), p.pixels(1, 3), p.pixelc(1, 4);
         p.pixelx(2, 0x100), p.pixely(2, 0x7FFF);
         return p.GetStringFromData();
       },
       Bytes("02  01 00 02 00 04 00 03 00  00 01 FF 7F 00 00 00 00")},
      {"pixels never counted", [] { return classDIAG_PIXEL_CONTROL().GetStringFromData(); },
       Bytes("00")},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.encode(), c.expected) << c.name;
}

TEST(DiagPayloads, RefuseWhatDoesNotFit) {
  struct Case {
    const char* name;
    std::function<void()> act;
    Raised expected;
  };
  const Case cases[] = {
      {"clock year 2026", [] { classDIAG_STIME{0, 0, 0, 1, 1, 2026, 0}.ConvertDataIntoStr(); },
       Raised::kInvalidArgument},
      {"clock hour -1", [] { classDIAG_STIME{-1}.ConvertDataIntoStr(); }, Raised::kInvalidArgument},
      {"brightness 256", [] { classDIAG_BRIGHTNESS{256}.GetStringFromData(); },
       Raised::kInvalidArgument},
      {"test code 256",
       [] {
         classDIAG_TEST{256, 0, 0}.GetStringFromData();
       },
       Raised::kInvalidArgument},
      {"test row -1",
       [] {
         classDIAG_TEST{0, -1, 0}.GetStringFromData();
       },
       Raised::kOverflow},
      {"hardware temperature -1", [] { classDIAG_HWTEMP{-1}.GetStringFromData(); },
       Raised::kOverflow},
      {"soft switch 300", [] { classDIAG_SOFT_SWITCHES{0, 0, 0, 0, 0, 300}.GetStringFromData(); },
       Raised::kInvalidArgument},
      {"scroll repeat -1",
       [] {
         classDIAG_SCROLL_OPTIONS{0, -1, ""}.GetStringFromData();
       },
       Raised::kInvalidArgument},
      {"schedule of -1 periods", [] { Schedule(-1).GetStringFromData(); }, Raised::kOverflow},
      {"schedule level 256",
       [] {
         auto s = Schedule(2);
         s.brightness_level(2, 256);
         s.GetStringFromData();
       },
       Raised::kInvalidArgument},
      {"schedule period 0", [] { Schedule(2).start_hour(0); }, Raised::kOutOfRange},
      {"schedule period 3 of 2", [] { Schedule(2).stop_min(3, 1); }, Raised::kOutOfRange},
      {"schedule before counting", [] { classDIAG_BRIGHTNESS_SCHEDULE().brightness_level(1); },
       Raised::kOutOfRange},
      {"pixel before counting", [] { classDIAG_PIXEL_CONTROL().pixelx(0); }, Raised::kOutOfRange},
      {"pixel 3 of 2",
       [] {
         classDIAG_PIXEL_CONTROL p;
         p.num_pixels(2);
         p.pixelc(3, 1);
       },
       Raised::kOutOfRange},
      {"pixel count -1", [] { classDIAG_PIXEL_CONTROL().num_pixels(-1); }, Raised::kOutOfRange},
      {"pixel count 256",
       [] {
         classDIAG_PIXEL_CONTROL p;
         p.num_pixels(256);
         p.GetStringFromData();
       },
       Raised::kInvalidArgument},
      {"pixel x -1",
       [] {
         classDIAG_PIXEL_CONTROL p;
         p.num_pixels(1);
         p.pixelx(1, -1);
         p.GetStringFromData();
       },
       Raised::kOverflow},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WhatRaises(c.act), c.expected) << c.name;
}

TEST(DiagPayloads, GroupMastersKeepThePaddedTextOnlyWhenEncoded) {
  classDIAG_GROUP_MASTERS m{256, "AB"};
  EXPECT_THROW(m.GetStringFromData(), std::invalid_argument);
  EXPECT_EQ(m.group_ids, "AB") << "a failing encoder leaves the object alone";
  m.broadcast_id = 3;
  m.GetStringFromData();
  EXPECT_EQ(m.group_ids, "AB"s + std::string(8, '\0'));
}

namespace {

// A sign type answer whose fields all differ from the sentinel below.
const std::string kSignType = Bytes("07 40 01 FE FF 05 04 03 02 01") + "APP\0DESCRIPTION!"s +
                              Bytes("08 09") + "G1"s + std::string(8, '\0') +
                              Bytes("FF FF 00 80  0D 05 09 0C 18 1A 05  00 80 01 0F FF") + "M"s +
                              std::string(9, '\0') + Bytes("0B 16 21 02 1C 19 03") + "Z";

classDIAG_SIGNTYPE Sentinel() {
  classDIAG_SIGNTYPE s;
  s.app_desc = s.groups = s.GROUP_MASTERS = s.BoardType = "old";
  s.mem_banks = s.tot_frames = s.LastVarWDay = 99;
  return s;
}

}  // namespace

TEST(DiagPayloads, DecodeAnswersAndTheirShortForms) {
  struct Case {
    const char* name;
    std::size_t length;  // of kSignType
    bool ok;
    std::function<void(const classDIAG_SIGNTYPE&)> check;
  };
  const Case cases[] = {
      {"19 bytes: refused", 19, false, [](auto& s) { EXPECT_EQ(s, Sentinel()); }},
      {"20 bytes: good, app_desc cut", 20, true,
       [](auto& s) {
         EXPECT_EQ(s.sw_1, 1);
         EXPECT_EQ(s.app_desc, "APP\0DESCRI"s);
         EXPECT_EQ(s.mem_banks, 99);
       }},
      {"30 bytes: groups cut, stop at tot_frames", 30, true,
       [](auto& s) {
         EXPECT_EQ(s.node_add, 9);
         EXPECT_EQ(s.groups, "G1");
         EXPECT_EQ(s.tot_frames, 99);
       }},
      {"39 bytes: half a word is not read", 39, true,
       [](auto& s) {
         EXPECT_EQ(s.groups, "G1"s + std::string(8, '\0'));
         EXPECT_EQ(s.tot_frames, 99);
       }},
      {"71 bytes: board type empty", 71, true,
       [](auto& s) {
         EXPECT_EQ(s.LastVarWDay, 3);
         EXPECT_EQ(s.BoardType, "");
       }},
      {"72 bytes: every field", 72, true,
       [](auto& s) {
         EXPECT_EQ(s.signtype, 7);
         EXPECT_EQ(s.pix_width, 320);
         EXPECT_EQ(s.pix_height, -2);
         EXPECT_EQ(s.sw_5, 5);
         EXPECT_EQ(s.sw_1, 1);
         EXPECT_EQ(s.app_desc, "APP\0DESCRIPTION!"s);
         EXPECT_EQ(s.mem_banks, 8);
         EXPECT_EQ(s.node_add, 9);
         EXPECT_EQ(s.tot_frames, 1);
         EXPECT_EQ(s.tot_plays, 32768);
         EXPECT_EQ(s.hour, 13);
         EXPECT_EQ(s.min, 5);
         EXPECT_EQ(s.sec, 9);
         EXPECT_EQ(s.mon, 12);
         EXPECT_EQ(s.mday, 24);
         EXPECT_EQ(s.year, 26);
         EXPECT_EQ(s.wday, 5);
         EXPECT_EQ(s.bad_frames, -32768);
         EXPECT_EQ(s.autodim_set, 1);
         EXPECT_EQ(s.cur_level, 15);
         EXPECT_EQ(s.broadcast_master, 255);
         EXPECT_EQ(s.GROUP_MASTERS, "M"s + std::string(9, '\0'));
         EXPECT_EQ(s.LastVarHour, 11);
         EXPECT_EQ(s.LastVarMin, 22);
         EXPECT_EQ(s.LastVarSec, 33);
         EXPECT_EQ(s.LastVarMon, 2);
         EXPECT_EQ(s.LastVarMDay, 28);
         EXPECT_EQ(s.LastVarYear, 25);
         EXPECT_EQ(s.LastVarWDay, 3);
         EXPECT_EQ(s.BoardType, "Z");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    classDIAG_SIGNTYPE s = Sentinel();
    EXPECT_EQ(s.SetDataByStr(kSignType.substr(0, c.length)), c.ok);
    c.check(s);
  }

  // The clock answer must be exactly seven bytes.
  const classDIAG_GTIME old{1, 2, 3, 4, 5, 6, 7};
  for (const std::string& answer : {Bytes("0D 05 09 18 0C 1A"), Bytes("0D 05 09 18 0C 1A 05 00")}) {
    classDIAG_GTIME t = old;
    EXPECT_FALSE(t.SetDataByStr(answer)) << answer.size();
    EXPECT_EQ(t, old);
  }
  classDIAG_GTIME t = old;
  EXPECT_TRUE(t.SetDataByStr(Bytes("0D 05 09 18 0C 1A 05")));
  EXPECT_EQ(t, (classDIAG_GTIME{13, 5, 9, 24, 12, 26, 5}));

  // The version is the first payload byte of the whole reply frame, which it replaces.
  struct Version {
    std::string given;
    bool ok;
    std::int16_t version;
    std::string left;
  };
  for (const Version& v :
       {Version{Bytes("10 02 00 01 F0 00 05 00 05 2A 10 03 C1"), true, 42, "*"},
        Version{Bytes("10 02 00 01 F0 00 05 00 05 FF"), true, 255, "\xFF"},
        Version{Bytes("10 02 00 01 F0 00 05 00 05"), false, 77, ""}, Version{"", false, 77, ""}}) {
    classDIAG_VERSION d{77};
    std::string given = v.given;
    EXPECT_EQ(d.SetDataByStr(given), v.ok) << v.given.size();
    EXPECT_EQ(d.version, v.version) << v.given.size();
    EXPECT_EQ(given, v.left) << v.given.size();
  }
}
