#include "qordtcon/payloads/diag.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

#include "qordtcon/payloads/fields.hpp"
#include "record_layout.hpp"

namespace qordtcon {

namespace {

using enum record::Encoding;
using SignType = classDIAG_SIGNTYPE;

// The sign type answer. Both of its clocks (the sign's and the last variable update) give
// the month before the day, unlike the clock payload.
const std::array<record::Field<SignType>, 34> kSignTypeLayout = {{
    {0, kByte, &SignType::signtype},
    {1, kSigned, &SignType::pix_width},
    {3, kSigned, &SignType::pix_height},
    {5, kByte, &SignType::sw_5},
    {6, kByte, &SignType::sw_4},
    {7, kByte, &SignType::sw_3},
    {8, kByte, &SignType::sw_2},
    {9, kByte, &SignType::sw_1},
    {10, kRawText, &SignType::app_desc, 16},
    {26, kByte, &SignType::mem_banks},
    {27, kByte, &SignType::node_add},
    {28, kRawText, &SignType::groups, 10},
    {38, kAbsSigned, &SignType::tot_frames},
    {40, kAbsSigned, &SignType::tot_plays},
    {42, kByte, &SignType::hour},
    {43, kByte, &SignType::min},
    {44, kByte, &SignType::sec},
    {45, kByte, &SignType::mon},
    {46, kByte, &SignType::mday},
    {47, kByte, &SignType::year},
    {48, kByte, &SignType::wday},
    {49, kSigned, &SignType::bad_frames},
    {51, kByte, &SignType::autodim_set},
    {52, kByte, &SignType::cur_level},
    {53, kByte, &SignType::broadcast_master},
    {54, kRawText, &SignType::GROUP_MASTERS, 10},
    {64, kByte, &SignType::LastVarHour},
    {65, kByte, &SignType::LastVarMin},
    {66, kByte, &SignType::LastVarSec},
    {67, kByte, &SignType::LastVarMon},
    {68, kByte, &SignType::LastVarMDay},
    {69, kByte, &SignType::LastVarYear},
    {70, kByte, &SignType::LastVarWDay},
    {71, kRawText, &SignType::BoardType, 1},
}};

}  // namespace

std::string classDIAG_STIME::ConvertDataIntoStr() const {
  return ByteWriter()
      .Byte(hour, "hour")
      .Byte(min, "min")
      .Byte(sec, "sec")
      .Byte(mday, "mday")
      .Byte(mon, "mon")
      .Byte(year, "year")
      .Byte(wday, "wday")
      .str();
}

bool classDIAG_GTIME::SetDataByStr(std::string_view InfoStr) {
  if (InfoStr.size() != 7) return false;
  ByteReader r(InfoStr);
  hour = r.Byte();
  min = r.Byte();
  sec = r.Byte();
  mday = r.Byte();
  mon = r.Byte();
  year = r.Byte();
  wday = r.Byte();
  return true;
}

bool classDIAG_SIGNTYPE::SetDataByStr(std::string_view InfoStr) {
  if (InfoStr.size() < 20) return false;
  // From 20 bytes on app_desc is reached, and that makes the answer good however short.
  record::Decode(*this, InfoStr, kSignTypeLayout);
  return true;
}

bool classDIAG_VERSION::SetDataByStr(std::string& InfoStr) {
  InfoStr = InfoStr.size() > 9 ? InfoStr.substr(9, 1) : std::string();
  if (InfoStr.size() != 1) return false;
  version = ByteReader(InfoStr).Byte();
  return true;
}

std::string classDIAG_BRIGHTNESS::GetStringFromData() const {
  return ByteWriter().Byte(dimlevel, "dimlevel").str();
}

std::string classDIAG_BRIGHTNESS_RANGE::GetStringFromData() const {
  return ByteWriter().Byte(low_level, "low_level").Byte(hi_level, "hi_level").str();
}

void classDIAG_BRIGHTNESS_SCHEDULE::Num_Periods(std::int16_t n) {
  num_periods_ = n;
  periods_.rows.resize(static_cast<std::size_t>(std::max<std::int16_t>(n, 1)));
}

std::string classDIAG_BRIGHTNESS_SCHEDULE::GetStringFromData() const {
  ByteWriter w;
  w.SplitWord(num_periods_).Byte(default_brightness, "default_brightness");
  for (std::int16_t i = 1; i <= num_periods_; ++i) {
    const Period& p = periods_.at(i);
    w.Byte(p.start_hour, "start_hour")
        .Byte(p.start_min, "start_min")
        .Byte(p.stop_hour, "stop_hour")
        .Byte(p.stop_min, "stop_min")
        .Byte(p.brightness_level, "brightness_level");
  }
  return std::move(w).str();
}

void classDIAG_PIXEL_CONTROL::num_pixels(std::int16_t n) {
  if (n < 0) {
    throw std::out_of_range("Subscript out of range: a pixel table cannot end at " +
                            std::to_string(n));
  }
  num_pixels_ = n;
  pixels_.rows.resize(static_cast<std::size_t>(n) + 1);
}

std::string classDIAG_PIXEL_CONTROL::GetStringFromData() const {
  ByteWriter w;
  w.Byte(num_pixels_, "num_pixels");
  // Entry 0 is never sent; the sign counts its pixels from 1.
  for (std::int16_t i = 1; i <= num_pixels_; ++i) {
    const Pixel& p = pixels_.at(i);
    w.SplitWord(p.pixelx).SplitWord(p.pixely).SplitWord(p.pixelc).SplitWord(p.pixels);
  }
  return std::move(w).str();
}

std::string classDIAG_TEST::GetStringFromData() const {
  return ByteWriter().Byte(testcode, "testcode").SplitWord(row).SplitWord(col).str();
}

std::string classDIAG_TEMP_CALIBRATION::GetStringFromData() const {
  return ByteWriter().Word(calibration).str();
}

std::string classDIAG_HWTEMP::GetStringFromData() const {
  return ByteWriter().SplitWord(hwfrequency).str();
}

std::string classDIAG_SOFT_SWITCHES::GetStringFromData() const {
  return ByteWriter()
      .Byte(modebyte, "modebyte")
      .Byte(switch1byte, "switch1byte")
      .Byte(switch2byte, "switch2byte")
      .Byte(switch3byte, "switch3byte")
      .Byte(switch4byte, "switch4byte")
      .Byte(switch5byte, "switch5byte")
      .str();
}

std::string classDIAG_GROUPS::GetStringFromData() const {
  return ByteWriter().Padded(groups, 10).str();
}

std::string classDIAG_GROUP_MASTERS::GetStringFromData() {
  std::string payload = ByteWriter().Byte(broadcast_id, "broadcast_id").Padded(group_ids, 10).str();
  group_ids = PadWithNul(group_ids, 10);
  return payload;
}

std::string classDIAG_SCROLL_OPTIONS::GetStringFromData() const {
  return ByteWriter()
      .Byte(scrollclear, "scrollclear")
      .Byte(scrollrepeat, "scrollrepeat")
      .Padded(scrolltrailer, 32)
      .str();
}

}  // namespace qordtcon
