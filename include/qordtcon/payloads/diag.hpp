// Payloads of the sign's diagnostic and configuration commands (CMD 0): the clock, the
// sign type and firmware version answers, brightness, groups, test patterns, temperature,
// soft switches, group masters, scroll options and pixel control. The host fills a command
// class and the diagnostic routine sends its GetStringFromData; a result class is filled
// from the sign's answer by SetDataByStr. Byte fields must hold 0..255.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qordtcon/payloads/numbered_rows.hpp"

namespace qordtcon {

// The time and date to set on the sign's clock; `year` is the year within its century.
class classDIAG_STIME {
 public:
  std::int16_t hour = 0;
  std::int16_t min = 0;
  std::int16_t sec = 0;
  std::int16_t mday = 0;
  std::int16_t mon = 0;
  std::int16_t year = 0;
  std::int16_t wday = 0;

  // hour, min, sec, mday, mon, year, wday: one byte each.
  std::string ConvertDataIntoStr() const;
};

// The sign's clock as it answers a time request (same seven bytes as classDIAG_STIME).
class classDIAG_GTIME {
 public:
  std::int16_t hour = 0;
  std::int16_t min = 0;
  std::int16_t sec = 0;
  std::int16_t mday = 0;
  std::int16_t mon = 0;
  std::int16_t year = 0;
  std::int16_t wday = 0;

  // True and every field set for an answer of exactly 7 bytes; otherwise False, nothing set.
  bool SetDataByStr(std::string_view InfoStr);

  bool operator==(const classDIAG_GTIME&) const = default;
};

// The sign's type answer: size, switches, groups, counts, clock (month before day here),
// dimming and group-master settings, the time of the last variable update and board type.
class classDIAG_SIGNTYPE {
 public:
  std::int16_t signtype = 0;
  std::int16_t pix_width = 0;
  std::int16_t pix_height = 0;
  std::int16_t sw_5 = 0;
  std::int16_t sw_4 = 0;
  std::int16_t sw_3 = 0;
  std::int16_t sw_2 = 0;
  std::int16_t sw_1 = 0;
  std::string app_desc;
  std::int16_t mem_banks = 0;
  std::int16_t node_add = 0;
  std::string groups;
  std::int32_t tot_frames = 0;
  std::int32_t tot_plays = 0;
  std::int16_t hour = 0;
  std::int16_t min = 0;
  std::int16_t sec = 0;
  std::int16_t mday = 0;
  std::int16_t mon = 0;
  std::int16_t year = 0;
  std::int16_t wday = 0;
  std::int16_t bad_frames = 0;
  std::int16_t autodim_set = 0;
  std::int16_t cur_level = 0;
  std::int16_t broadcast_master = 0;
  std::string GROUP_MASTERS;
  std::int16_t LastVarHour = 0;
  std::int16_t LastVarMin = 0;
  std::int16_t LastVarSec = 0;
  std::int16_t LastVarMon = 0;
  std::int16_t LastVarMDay = 0;
  std::int16_t LastVarYear = 0;
  std::int16_t LastVarWDay = 0;
  std::string BoardType;

  // The 72-byte answer. False and nothing set below 20 bytes; otherwise True, with the
  // decoding stopped at the first number the answer does not reach (those fields keep
  // their values; texts take what the answer still holds).
  bool SetDataByStr(std::string_view InfoStr);

  bool operator==(const classDIAG_SIGNTYPE&) const = default;
};

// The sign's firmware version, read from the whole reply frame.
class classDIAG_VERSION {
 public:
  std::int16_t version = 0;

  // Replaces InfoStr with its character at offset 9 (the first payload byte of a reply
  // frame). True and `version` set when that character exists; else False, InfoStr empty.
  bool SetDataByStr(std::string& InfoStr);

  bool operator==(const classDIAG_VERSION&) const = default;
};

// A fixed brightness level.
class classDIAG_BRIGHTNESS {
 public:
  std::int16_t dimlevel = 0;

  std::string GetStringFromData() const;
};

// The range within which automatic dimming moves.
class classDIAG_BRIGHTNESS_RANGE {
 public:
  std::int16_t low_level = 0;
  std::int16_t hi_level = 0;

  std::string GetStringFromData() const;
};

// Brightness by time of day: a default level and periods 1..Num_Periods, each with a
// start, a stop and a level.
class classDIAG_BRIGHTNESS_SCHEDULE {
 public:
  std::int16_t default_brightness = 0;

  std::int16_t Num_Periods() const { return num_periods_; }
  // Stores n and resizes the periods to 1..max(n, 1), keeping the existing ones.
  void Num_Periods(std::int16_t n);

  // Period entries; std::out_of_range outside 1..max(Num_Periods, 1) or before Num_Periods.
  std::int16_t start_hour(std::int16_t PeriodNum) const {
    return periods_.at(PeriodNum).start_hour;
  }
  void start_hour(std::int16_t PeriodNum, std::int16_t value) {
    periods_.at(PeriodNum).start_hour = value;
  }
  std::int16_t start_min(std::int16_t PeriodNum) const { return periods_.at(PeriodNum).start_min; }
  void start_min(std::int16_t PeriodNum, std::int16_t value) {
    periods_.at(PeriodNum).start_min = value;
  }
  std::int16_t stop_hour(std::int16_t PeriodNum) const { return periods_.at(PeriodNum).stop_hour; }
  void stop_hour(std::int16_t PeriodNum, std::int16_t value) {
    periods_.at(PeriodNum).stop_hour = value;
  }
  std::int16_t stop_min(std::int16_t PeriodNum) const { return periods_.at(PeriodNum).stop_min; }
  void stop_min(std::int16_t PeriodNum, std::int16_t value) {
    periods_.at(PeriodNum).stop_min = value;
  }
  std::int16_t brightness_level(std::int16_t PeriodNum) const {
    return periods_.at(PeriodNum).brightness_level;
  }
  void brightness_level(std::int16_t PeriodNum, std::int16_t value) {
    periods_.at(PeriodNum).brightness_level = value;
  }

  // Num_Periods (16-bit), default_brightness, then five bytes per period.
  std::string GetStringFromData() const;

 private:
  struct Period {
    std::int16_t start_hour = 0;
    std::int16_t start_min = 0;
    std::int16_t stop_hour = 0;
    std::int16_t stop_min = 0;
    std::int16_t brightness_level = 0;
  };
  std::int16_t num_periods_ = 0;
  detail::NumberedRows<std::vector<Period>, 1> periods_;
};

// Pixels to switch individually: entries 1..num_pixels are sent (entry 0 exists, unsent).
class classDIAG_PIXEL_CONTROL {
 public:
  std::int16_t num_pixels() const { return num_pixels_; }
  // Stores n and resizes the pixels to 0..n, keeping the existing ones;
  // std::out_of_range (nothing changed) for a negative n.
  void num_pixels(std::int16_t n);

  // Pixel entries; std::out_of_range outside 0..num_pixels or before num_pixels.
  std::int16_t pixelx(std::int16_t PixToControl) const { return pixels_.at(PixToControl).pixelx; }
  void pixelx(std::int16_t PixToControl, std::int16_t value) {
    pixels_.at(PixToControl).pixelx = value;
  }
  std::int16_t pixely(std::int16_t PixToControl) const { return pixels_.at(PixToControl).pixely; }
  void pixely(std::int16_t PixToControl, std::int16_t value) {
    pixels_.at(PixToControl).pixely = value;
  }
  std::int16_t pixels(std::int16_t PixToControl) const { return pixels_.at(PixToControl).pixels; }
  void pixels(std::int16_t PixToControl, std::int16_t value) {
    pixels_.at(PixToControl).pixels = value;
  }
  std::int16_t pixelc(std::int16_t PixToControl) const { return pixels_.at(PixToControl).pixelc; }
  void pixelc(std::int16_t PixToControl, std::int16_t value) {
    pixels_.at(PixToControl).pixelc = value;
  }

  // num_pixels (1 byte), then per pixel x, y, c, s as 16-bit words (c before s).
  std::string GetStringFromData() const;

 private:
  struct Pixel {
    std::int16_t pixelx = 0;
    std::int16_t pixely = 0;
    std::int16_t pixels = 0;
    std::int16_t pixelc = 0;
  };
  std::int16_t num_pixels_ = 0;
  detail::NumberedRows<std::vector<Pixel>, 0> pixels_;
};

// A test pattern, with the row and column it concerns.
class classDIAG_TEST {
 public:
  std::int16_t testcode = 0;
  std::int16_t row = 0;
  std::int16_t col = 0;

  // testcode (1 byte), row and col (16-bit, 0..65535).
  std::string GetStringFromData() const;
};

// The correction applied to the sign's temperature reading; may be negative.
class classDIAG_TEMP_CALIBRATION {
 public:
  std::int16_t calibration = 0;

  // Low byte, then high byte (0xFF for any negative value: -256..-1 travel correctly).
  std::string GetStringFromData() const;
};

// The hardware temperature setting.
class classDIAG_HWTEMP {
 public:
  std::int16_t hwfrequency = 0;

  // 16-bit, 0..65535.
  std::string GetStringFromData() const;
};

// The mode byte and the five soft switch bytes.
class classDIAG_SOFT_SWITCHES {
 public:
  std::int16_t modebyte = 0;
  std::int16_t switch1byte = 0;
  std::int16_t switch2byte = 0;
  std::int16_t switch3byte = 0;
  std::int16_t switch4byte = 0;
  std::int16_t switch5byte = 0;

  std::string GetStringFromData() const;
};

// The groups the sign belongs to, one character per group.
class classDIAG_GROUPS {
 public:
  std::string groups;

  // groups padded with bytes 0 to 10 bytes (a longer text goes whole).
  std::string GetStringFromData() const;
};

// The broadcast id and the groups for which the sign acts as master.
class classDIAG_GROUP_MASTERS {
 public:
  std::int16_t broadcast_id = 0;
  std::string group_ids;

  // broadcast_id (1 byte), then group_ids padded with bytes 0 to 10 bytes; the padded
  // text is also written back into group_ids.
  std::string GetStringFromData();
};

// How scrolling messages clear, repeat and end.
class classDIAG_SCROLL_OPTIONS {
 public:
  std::int16_t scrollclear = 0;
  std::int16_t scrollrepeat = 0;
  std::string scrolltrailer;

  // scrollclear, scrollrepeat, then scrolltrailer padded with bytes 0 to 32 bytes.
  std::string GetStringFromData() const;
};

}  // namespace qordtcon
