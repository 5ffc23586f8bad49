#include <gtest/gtest.h>

#include <qordtcon/payloads/diag.hpp>

#include <functional>
#include <string>

#include "bytes.hpp"
#include "outcome.hpp"

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

const std::string k8Nul(8, '\0');

}  // namespace

// The encoders that the command routines do not pin already, and what each refuses.
TEST(DiagPayloads, EncodeToTheExactBytesOrRefuse) {
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
  auto level256 = Schedule(2);
  level256.brightness_level(2, 256);
  // clang-format off
  ExpectCases({
      {"calibration -257", Encoded(classDIAG_TEMP_CALIBRATION{-257}), "FF FF"},
      {"long groups", Encoded(classDIAG_GROUPS{"ABCDEFGHIJKL"}), Hex("ABCDEFGHIJKL")},
      {"two periods", Encoded(two), "02 00 32 06 00 12 1E C8 12 1E 06 00 14"},
      {"300 periods", Outcome([] { return Schedule(300).GetStringFromData(); }), Bytes("2C 01 32") + std::string(1500, '\0')},
      {"no periods", Encoded(none), "00 00 32"},
      {"shrunk", Encoded(shrunk), "02 00 32 01 00 00 00 00 02 00 00 00 00"},
      {"pixels, c before s", Encoded(pixels), "02 01 00 02 00 04 00 03 00 00 01 FF 7F 00 00 00 00"},
      {"year 2026", Outcome([] { return classDIAG_STIME{0, 0, 0, 1, 1, 2026}.ConvertDataIntoStr(); }), "invalid_argument"},
      {"test row -1", Encoded(classDIAG_TEST{0, -1, 0}), "overflow_error"},
      {"hw temperature -1", Encoded(classDIAG_HWTEMP{-1}), "overflow_error"},
      {"scroll repeat 256", Encoded(classDIAG_SCROLL_OPTIONS{0, 256, ""}), "invalid_argument"},
      {"-1 periods", Encoded(Schedule(-1)), "overflow_error"},
      {"level 256", Encoded(level256), "invalid_argument"},
      {"period 0", Outcome([] { Schedule(2).start_hour(0); }), "out_of_range"},
      {"period 3 of 2", Outcome([] { Schedule(2).stop_min(3, 1); }), "out_of_range"},
      {"period before counting", Outcome([] { classDIAG_BRIGHTNESS_SCHEDULE().start_min(1); }), "out_of_range"},
      {"pixel before counting", Outcome([] { classDIAG_PIXEL_CONTROL().pixelx(0); }), "out_of_range"},
      {"pixel 3 of 2", Outcome([] { Pixels(2).pixelc(3, 1); }), "out_of_range"},
      {"-1 pixels", Outcome([] { Pixels(-1); }), "out_of_range"},
      {"256 pixels", Encoded(Pixels(256)), "invalid_argument"},
  });
  // clang-format on

  classDIAG_GROUP_MASTERS masters{256, "AB"};
  EXPECT_THROW(masters.GetStringFromData(), std::invalid_argument);
  EXPECT_EQ(masters.group_ids, "AB") << "a failing encoder leaves the object alone";
  masters.broadcast_id = 3;
  masters.GetStringFromData();
  EXPECT_EQ(masters.group_ids, "AB" + k8Nul) << "the padded text is written back";
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
  const struct {
    std::size_t length;
    bool ok;
    std::function<void(const classDIAG_SIGNTYPE&)> check;
  } cases[] = {
      {19, false, [&](auto& s) { EXPECT_EQ(s, old); }},
      {20, true, [&](auto& s) { EXPECT_EQ(s.sw_1, 1); EXPECT_EQ(s.app_desc, "APP\0DESCRI"s); EXPECT_EQ(s.mem_banks, 99); }},
      {30, true, [&](auto& s) { EXPECT_EQ(s.groups, "G1"); EXPECT_EQ(s.tot_frames, 99); }},
      {39, true, [&](auto& s) { EXPECT_EQ(s.groups, full.groups); EXPECT_EQ(s.tot_frames, 99); }},
      {71, true, [&](auto& s) { EXPECT_EQ(s.LastVarWDay, 3); EXPECT_EQ(s.BoardType, ""); }},
      {72, true, [&](auto& s) { EXPECT_EQ(s, full); }},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    classDIAG_SIGNTYPE s = old;
    EXPECT_EQ(s.SetDataByStr(answer.substr(0, c.length)), c.ok);
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
