// The sign's clock, identity, configuration and statistics (CMD 0).
#include <iostream>

#include "commands.hpp"

namespace signctl {

using namespace qordtcon;

namespace {

// Payloads that SetDisplayInfo sends too: their options, declared once.
// The level at which the sign follows its brightness schedule.
constexpr std::int16_t kFollowSchedule = 21;

void LevelOptions(CLI::App& s, classDIAG_BRIGHTNESS& p) {
  Byte(s, "--dimlevel", p.dimlevel, "Brightness level (21: follow the schedule)")->required();
}

void RangeOptions(CLI::App& s, classDIAG_BRIGHTNESS_RANGE& p) {
  Byte(s, "--low-level", p.low_level, "Lowest automatic brightness")->required();
  Byte(s, "--hi-level", p.hi_level, "Highest automatic brightness")->required();
}

// The default brightness always goes out; the periods may be none (the default all day).
void ScheduleOptions(CLI::App& s, classDIAG_BRIGHTNESS_SCHEDULE& p) {
  Byte(s, "--default-brightness", p.default_brightness, "Brightness outside the periods")
      ->required();
  Entries(
      s, "--period", "START_HOUR,START_MIN,STOP_HOUR,STOP_MIN,LEVEL",
      "A period and its brightness (none: the default brightness all day)",
      [&p](std::int16_t count) { p.Num_Periods(count); },
      [&p](std::int16_t i, EntryReader& e) {
        p.start_hour(i, e.Integer("START_HOUR", 0, 255));
        p.start_min(i, e.Integer("START_MIN", 0, 255));
        p.stop_hour(i, e.Integer("STOP_HOUR", 0, 255));
        p.stop_min(i, e.Integer("STOP_MIN", 0, 255));
        p.brightness_level(i, e.Integer("LEVEL", 0, 255));
      });
}

CLI::Option* CalibrationOptions(CLI::App& s, classDIAG_TEMP_CALIBRATION& p) {
  // Below -256 the high byte no longer carries the value.
  return Number(s, "--calibration", p.calibration, -256, 32767,
                "Temperature correction (0 = none)");
}

void AddClockAndInfo(Registry& r) {
  auto adjust = std::make_shared<std::int16_t>(0);
  CLI::App* s = r.Add(
      Kebab("SetDisplayToCurrentTime"), "Set the sign's clock from this computer",
      {nullptr, [adjust](Control& c) { return Judged(c, c.SetDisplayToCurrentTime(*adjust)); }});
  TimeAdjust(*s, *adjust);

  r.Get(SIGNCTL_METHOD(GetDisplayTime), "Read the sign's clock");
  r.Send(SIGNCTL_METHOD(SetDisplayTime), "Set the sign's clock to the given time",
         [](CLI::App& s, classDIAG_STIME& p) {
           Byte(s, "--hour", p.hour, "Hour, 0..23")->required();
           Byte(s, "--min", p.min, "Minute")->required();
           Byte(s, "--sec", p.sec, "Second")->required();
           Byte(s, "--mday", p.mday, "Day of the month")->required();
           Byte(s, "--mon", p.mon, "Month, 1..12")->required();
           Byte(s, "--year", p.year, "Year within the century, 0..99")->required();
           Byte(s, "--wday", p.wday, "Day of the week, Sunday = 0")->required();
         });

  struct Info {
    std::int16_t adjust = 0;
    classDIAG_BRIGHTNESS level;
    classDIAG_BRIGHTNESS_RANGE range;
    classDIAG_BRIGHTNESS_SCHEDULE schedule;
    classDIAG_TEMP_CALIBRATION temp;
    bool dst = false;
    CLI::Option* dstFlags = nullptr;
    classTEXT_SCRSPEED speed;
  };
  auto info = std::make_shared<Info>();
  s = r.Add(Kebab("SetDisplayInfo"),
            "Send clock, brightness, schedule, temperature, summer time and speed in one burst",
            {[info] {
               if (info->dstFlags->count() == 0) throw UsageError("--dst or --no-dst is required");
               Encode(info->level);
               Encode(info->range);
               Encode(info->schedule);
               Encode(info->temp);
               Encode(info->speed);
             },
             [info](Control& c) {
               // The control sends the periods only for the level that follows them.
               if (info->level.dimlevel != kFollowSchedule && info->schedule.Num_Periods() > 0 &&
                   ProgressShown() != Progress::kQuiet) {
                 std::cerr << "signctl: set-display-info: the --period schedule is not sent "
                              "because --dimlevel is not 21 (follow the schedule)\n";
               }
               return Judged(
                   c, c.SetDisplayInfo(info->adjust, info->level, info->range, info->schedule,
                                       info->temp, info->dst, info->speed));
             }});
  TimeAdjust(*s, info->adjust);
  LevelOptions(*s, info->level);
  RangeOptions(*s, info->range);
  ScheduleOptions(*s, info->schedule);
  CalibrationOptions(*s, info->temp)->capture_default_str();
  info->dstFlags =
      FlagPair(*s, "--dst", "--no-dst", info->dst, "Summer time on or off (one is required)");
  Byte(*s, "--speed", info->speed.speed, "Scroll speed")->required();
}

// SetSerialNumber and SetDisplayName send the text upper-cased and cut to 32 characters,
// and say so by changing the caller's string: that is what gets printed.
void AddName(Registry& r, const std::string& name, bool (Control::*set)(std::string&),
             const std::string& field, const std::string& help) {
  auto text = std::make_shared<std::string>();
  CLI::App* s = r.Add(name, help, {nullptr, [text, set, field](Control& c) {
                                     const bool ok = (c.*set)(*text);
                                     return Judged(c, ok, {{field, TextValue(*text)}});
                                   }});
  Text(*s, "--" + Kebab(field), *text, kSignNameWidth, "The text (sent upper-cased)")->required();
}

void AddNameRead(Registry& r, const std::string& name, std::string (Control::*get)(),
                 const std::string& field, const std::string& help) {
  r.Query(name, help, [get, field](Control& c) {
    const std::string text = (c.*get)();
    return Read(c, {{field, TextValue(text)}});
  });
}

}  // namespace

void AddDiagCommands(Registry& r) {
  r.Group("Clock, identity and configuration");
  AddClockAndInfo(r);
  r.Get(SIGNCTL_METHOD(GetDisplayType), "Read the sign's type, size and settings");
  r.Get(SIGNCTL_METHOD(GetDisplayVersion), "Read the firmware version");
  r.Get(SIGNCTL_METHOD(GetDisplayStats), "Read the statistics record");
  r.Plain(SIGNCTL_METHOD(ClearDisplay_RXTX_Counts), "Zero the communication counters");
  AddName(r, SIGNCTL_METHOD(SetSerialNumber), "serial_num", "Set the serial number");
  AddNameRead(r, SIGNCTL_METHOD(GetSerialNumber), "serial_num", "Read the serial number");
  AddName(r, SIGNCTL_METHOD(SetDisplayName), "display_name", "Set the sign's name");
  AddNameRead(r, SIGNCTL_METHOD(GetDisplayName), "display_name", "Read the sign's name");

  r.Send(SIGNCTL_METHOD(SetDisplayBrightness), "Set a fixed brightness", LevelOptions);
  r.Send(SIGNCTL_METHOD(SetDisplayBrightnessRange), "Set the automatic brightness range",
         RangeOptions);
  r.Send(SIGNCTL_METHOD(SetDisplayBrightnessSchedule), "Set brightness by time of day",
         ScheduleOptions);
  r.Send(SIGNCTL_METHOD(SetDisplayTempAdjust), "Correct the temperature reading",
         [](CLI::App& s, classDIAG_TEMP_CALIBRATION& p) { CalibrationOptions(s, p)->required(); });
  r.Send(SIGNCTL_METHOD(SetDisplayHWTemp), "Set the hardware temperature setting",
         [](CLI::App& s, classDIAG_HWTEMP& p) {
           Number(s, "--hwfrequency", p.hwfrequency, 0, 32767, "Setting")->required();
         });
  r.Switch(SIGNCTL_METHOD(SetDisplayDST), "Turn summer time on or off", "--on", "--off");
  r.Switch(SIGNCTL_METHOD(SetDisplayScan), "Turn scanning on or off", "--on", "--off");
  r.Switch(SIGNCTL_METHOD(SetDisplayDefault), "Enable or disable the default message", "--on",
           "--off");
  r.Send(SIGNCTL_METHOD(SetDisplayGroups), "Set the groups the sign belongs to",
         [](CLI::App& s, classDIAG_GROUPS& p) {
           Text(s, "--groups", p.groups, kGroupsWidth, "One character per group")->required();
         });
  r.Send(SIGNCTL_METHOD(SetDisplayGroupMaster), "Make the sign master of groups",
         [](CLI::App& s, classDIAG_GROUP_MASTERS& p) {
           Byte(s, "--broadcast-id", p.broadcast_id, "Broadcast id")->required();
           Text(s, "--group-ids", p.group_ids, kGroupsWidth, "One character per group")->required();
         });
  r.Send(SIGNCTL_METHOD(SetDisplaySoftSwitches), "Set the mode byte and the soft switches",
         [](CLI::App& s, classDIAG_SOFT_SWITCHES& p) {
           Byte(s, "--modebyte", p.modebyte, "Mode byte")->required();
           Byte(s, "--switch1byte", p.switch1byte, "Soft switch 1")->required();
           Byte(s, "--switch2byte", p.switch2byte, "Soft switch 2")->required();
           Byte(s, "--switch3byte", p.switch3byte, "Soft switch 3")->required();
           Byte(s, "--switch4byte", p.switch4byte, "Soft switch 4")->required();
           Byte(s, "--switch5byte", p.switch5byte, "Soft switch 5")->required();
         });
  r.Send(SIGNCTL_METHOD(SetDisplayScrollOptions), "Set how scrolling clears, repeats and ends",
         [](CLI::App& s, classDIAG_SCROLL_OPTIONS& p) {
           Byte(s, "--scrollclear", p.scrollclear, "Clear mode")->required();
           Byte(s, "--scrollrepeat", p.scrollrepeat, "Repeat count")->required();
           Text(s, "--scrolltrailer", p.scrolltrailer, kTrailerWidth,
                "Trailer text (default: none)");
         });
  r.Send(SIGNCTL_METHOD(SetDisplayTest), "Show a test pattern", [](CLI::App& s, classDIAG_TEST& p) {
    Byte(s, "--testcode", p.testcode, "Test pattern")->required();
    // 16-bit words on the wire, but the encoder refuses a negative field, so an Integer
    // field reaches 32767 at most.
    Number(s, "--row", p.row, 0, 32767, "Row")->required();
    Number(s, "--col", p.col, 0, 32767, "Column")->required();
  });
  r.Send(SIGNCTL_METHOD(SetDisplayPixel_Control), "Switch single pixels",
         [](CLI::App& s, classDIAG_PIXEL_CONTROL& p) {
           Entries(
               s, "--pixel", "X,Y,S,C", "A pixel: position, state and colour",
               [&p](std::int16_t count) { p.num_pixels(count); },
               [&p](std::int16_t i, EntryReader& e) {
                 p.pixelx(i, e.Integer("X", 0, 32767));
                 p.pixely(i, e.Integer("Y", 0, 32767));
                 p.pixels(i, e.Integer("S", 0, 32767));
                 p.pixelc(i, e.Integer("C", 0, 32767));
               })
               ->required();
         });
  r.Plain(SIGNCTL_METHOD(ResetDisplay), "Restart the sign (no reply is awaited)");
  r.Plain(SIGNCTL_METHOD(PrepareForDownload), "Get the sign ready for a firmware download");
}

}  // namespace signctl
