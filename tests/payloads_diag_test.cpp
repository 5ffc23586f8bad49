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

classDIAG_PIXEL_CONTROL Pixels(std::int16_t count) {
  classDIAG_PIXEL_CONTROL p;
  p.num_pixels(count);
  return p;
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

const std::string k8Nul(8, '\0');

}  // namespace

TEST(DiagPayloads, EncodeToTheExactBytes) {
  auto two = Schedule(2), shrunk = Schedule(3), none = Schedule(0);
  two.start_hour(1, 6), two.stop_hour(1, 18), two.stop_min(1, 30), two.brightness_level(1, 200);
  two.start_hour(2, 18), two.start_min(2, 30), two.stop_hour(2, 6), two.brightness_level(2, 20);
  shrunk.start_hour(1, 1), shrunk.start_hour(2, 2), shrunk.start_hour(3, 3);
  shrunk.Num_Periods(2);
  none.start_hour(1, 7);  // period 1 exists even for no periods, and is not sent
  auto pixels = Pixels(2);
  pixels.pixelx(0, 99);  // never sent
  pixels.pixelx(1, 1), pixels.pixely(1, 2), pixels.pixels(1, 3), pixels.pixelc(1, 4);
  pixels.pixelx(2, 0x100), pixels.pixely(2, 0x7FFF);

  const struct {
    const char* name;
    std::string got, expected;
  } cases[] = {
      {"clock", classDIAG_STIME{13, 5, 9, 24, 12, 26, 5}.ConvertDataIntoStr(),
       Bytes("0D 05 09 18 0C 1A 05")},
      {"brightness", classDIAG_BRIGHTNESS{200}.GetStringFromData(), Bytes("C8")},
      {"range", classDIAG_BRIGHTNESS_RANGE{3, 250}.GetStringFromData(), Bytes("03 FA")},
      {"test", classDIAG_TEST{2, 256, 0x1234}.GetStringFromData(), Bytes("02 00 01 34 12")},
      {"calibration -1", classDIAG_TEMP_CALIBRATION{-1}.GetStringFromData(), Bytes("FF FF")},
      {"calibration 2", classDIAG_TEMP_CALIBRATION{2}.GetStringFromData(), Bytes("02 00")},
      {"calibration -257", classDIAG_TEMP_CALIBRATION{-257}.GetStringFromData(), Bytes("FF FF")},
      {"hw temperature", classDIAG_HWTEMP{0x0102}.GetStringFromData(), Bytes("02 01")},
      {"soft switches", classDIAG_SOFT_SWITCHES{1, 2, 3, 4, 5, 6}.GetStringFromData(),
       Bytes("01 02 03 04 05 06")},
      {"groups", classDIAG_GROUPS{"AB"}.GetStringFromData(), "AB" + k8Nul},
      {"long groups", classDIAG_GROUPS{"ABCDEFGHIJKL"}.GetStringFromData(), "ABCDEFGHIJKL"},
      {"group masters", classDIAG_GROUP_MASTERS{3, "AB"}.GetStringFromData(), "\3AB" + k8Nul},
      {"scroll options", classDIAG_SCROLL_OPTIONS{1, 2, ""}.GetStringFromData(),
       Bytes("01 02") + std::string(32, '\0')},
      {"two periods", two.GetStringFromData(), Bytes("02 00 32  06 00 12 1E C8  12 1E 06 00 14")},
      {"300 periods", Schedule(300).GetStringFromData(),
       Bytes("2C 01 32") + std::string(1500, '\0')},
      {"no periods", none.GetStringFromData(), Bytes("00 00 32")},
      {"shrunk", shrunk.GetStringFromData(), Bytes("02 00 32  01 00 00 00 00  02 00 00 00 00")},
      {"pixels", pixels.GetStringFromData(),
       Bytes("02  01 00 02 00 04 00 03 00  00 01 FF 7F 0000 0000")},
      {"no pixels", classDIAG_PIXEL_CONTROL().GetStringFromData(), Bytes("00")},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.got, c.expected) << c.name;

  classDIAG_GROUP_MASTERS masters{256, "AB"};
  EXPECT_THROW(masters.GetStringFromData(), std::invalid_argument);
  EXPECT_EQ(masters.group_ids, "AB") << "a failing encoder leaves the object alone";
  masters.broadcast_id = 3;
  masters.GetStringFromData();
  EXPECT_EQ(masters.group_ids, "AB" + k8Nul) << "the padded text is written back";
}

TEST(DiagPayloads, RefuseWhatDoesNotFit) {
  using enum Raised;
  const struct {
    const char* name;
    std::function<void()> act;
    Raised expected;
  } cases[] = {
      // clang-format off
      {"year 2026", [] { classDIAG_STIME{0, 0, 0, 1, 1, 2026}.ConvertDataIntoStr(); },
       kInvalidArgument},
      {"test row -1", [] { classDIAG_TEST{0, -1, 0}.GetStringFromData(); }, kOverflow},
      {"hw temperature -1", [] { classDIAG_HWTEMP{-1}.GetStringFromData(); }, kOverflow},
      {"scroll repeat 256", [] { classDIAG_SCROLL_OPTIONS{0, 256, ""}.GetStringFromData(); },
       kInvalidArgument},
      {"-1 periods", [] { Schedule(-1).GetStringFromData(); }, kOverflow},
      {"level 256", [] { auto s = Schedule(2); s.brightness_level(2, 256); s.GetStringFromData(); },
       kInvalidArgument},
      {"period 0", [] { Schedule(2).start_hour(0); }, kOutOfRange},
      {"period 3 of 2", [] { Schedule(2).stop_min(3, 1); }, kOutOfRange},
      {"period before counting", [] { classDIAG_BRIGHTNESS_SCHEDULE().start_min(1); }, kOutOfRange},
      {"pixel before counting", [] { classDIAG_PIXEL_CONTROL().pixelx(0); }, kOutOfRange},
      {"pixel 3 of 2", [] { Pixels(2).pixelc(3, 1); }, kOutOfRange},
      {"-1 pixels", [] { Pixels(-1); }, kOutOfRange},
      {"256 pixels", [] { Pixels(256).GetStringFromData(); }, kInvalidArgument},
      // clang-format on
  };
  for (const auto& c : cases)
    EXPECT_EQ(WhatRaises(c.act), c.expected) << c.name;
}

TEST(DiagPayloads, DecodeAnswersAndTheirShortForms) {
  // Sign type: the month comes before the day in both clocks.
  const std::string answer = Bytes("07 40 01 FE FF 05 04 03 02 01") + "APP\0DESCRIPTION!"s +
                             Bytes("08 09") + "G1" + k8Nul +
                             Bytes("FF FF 00 80 0D 05 09 0C 18 1A 05") + Bytes("00 80 01 0F FF") +
                             "M" + k8Nul + '\0' + Bytes("0B 16 21 02 1C 19 03") + "Z";
  // clang-format off
  const classDIAG_SIGNTYPE old{
      .signtype = 99, .app_desc = "old", .mem_banks = 99, .groups = "old", .tot_frames = 99,
      .GROUP_MASTERS = "old", .LastVarWDay = 99, .BoardType = "old"};
  const classDIAG_SIGNTYPE full{
      .signtype = 7, .pix_width = 320, .pix_height = -2, .sw_5 = 5, .sw_4 = 4, .sw_3 = 3,
      .sw_2 = 2, .sw_1 = 1, .app_desc = "APP\0DESCRIPTION!"s, .mem_banks = 8, .node_add = 9,
      .groups = "G1" + k8Nul, .tot_frames = 1, .tot_plays = 32768, .hour = 13, .min = 5, .sec = 9,
      .mday = 24, .mon = 12, .year = 26, .wday = 5, .bad_frames = -32768, .autodim_set = 1,
      .cur_level = 15, .broadcast_master = 255, .GROUP_MASTERS = "M" + k8Nul + '\0',
      .LastVarHour = 11, .LastVarMin = 22, .LastVarSec = 33, .LastVarMon = 2, .LastVarMDay = 28,
      .LastVarYear = 25, .LastVarWDay = 3, .BoardType = "Z"};
  // clang-format on
  const struct {
    std::size_t length;
    bool ok;
    std::function<void(const classDIAG_SIGNTYPE&)> check;
  } cases[] = {
      // clang-format off
      {19, false, [&](auto& s) { EXPECT_EQ(s, old); }},
      {20, true, [&](auto& s) {
         EXPECT_EQ(s.sw_1, 1); EXPECT_EQ(s.app_desc, "APP\0DESCRI"s);
         EXPECT_EQ(s.mem_banks, 99); }},
      {30, true, [&](auto& s) { EXPECT_EQ(s.groups, "G1"); EXPECT_EQ(s.tot_frames, 99); }},
      {39, true, [&](auto& s) { EXPECT_EQ(s.groups, full.groups); EXPECT_EQ(s.tot_frames, 99); }},
      {71, true, [&](auto& s) { EXPECT_EQ(s.LastVarWDay, 3); EXPECT_EQ(s.BoardType, ""); }},
      {72, true, [&](auto& s) { EXPECT_EQ(s, full); }},
      // clang-format on
  };
  for (const auto& c : cases) {
    classDIAG_SIGNTYPE s = old;
    EXPECT_EQ(s.SetDataByStr(answer.substr(0, c.length)), c.ok) << c.length;
    SCOPED_TRACE(c.length);
    c.check(s);
  }

  // The clock answer must be exactly seven bytes.
  const classDIAG_GTIME before{1, 2, 3, 4, 5, 6, 7}, after{13, 5, 9, 24, 12, 26, 5};
  for (std::size_t length : {0, 6, 7, 8}) {
    classDIAG_GTIME t = before;
    EXPECT_EQ(t.SetDataByStr(Bytes("0D 05 09 18 0C 1A 05 00").substr(0, length)), length == 7);
    EXPECT_EQ(t, length == 7 ? after : before) << length;
  }

  // The version is the first payload byte of the whole reply frame, which it replaces.
  const struct {
    std::string given;
    bool ok;
    std::int16_t version;
    std::string left;
  } versions[] = {{Bytes("10 02 00 01 F0 00 05 00 05 2A 10 03 C1"), true, 42, "*"},
                  {Bytes("10 02 00 01 F0 00 05 00 05 FF"), true, 255, "\xFF"},
                  {Bytes("10 02 00 01 F0 00 05 00 05"), false, 77, ""}};
  for (const auto& v : versions) {
    classDIAG_VERSION d{77};
    std::string given = v.given;
    EXPECT_EQ(d.SetDataByStr(given), v.ok) << v.given.size();
    EXPECT_EQ(d.version, v.version) << v.given.size();
    EXPECT_EQ(given, v.left) << v.given.size();
  }
}
