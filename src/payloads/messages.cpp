#include "qordtcon/payloads/messages.hpp"

#include <stdexcept>
#include <string>
#include <utility>

#include "decode_unchecked.hpp"
#include "qordtcon/payloads/fields.hpp"

namespace qordtcon {

namespace {

std::string OneByte(std::int16_t value, std::string_view field) {
  return ByteWriter().Byte(value, field).str();
}

// The five bytes that lead both page payloads.
ByteWriter PageHeader(std::int16_t page_num, std::int16_t prefix_mode, std::int16_t suffix_mode,
                      std::int16_t delay) {
  ByteWriter out;
  out.Byte(page_num, "page_num")
      .Byte(prefix_mode, "prefix_mode")
      .Byte(suffix_mode, "suffix_mode")
      .Word(delay);
  return out;
}

}  // namespace

std::string classTEXT_MSG::GetStringFromData() const {
  return ByteWriter().Byte(row, "row").Byte(col, "col").Byte(mode, "mode").ZText(msg).str();
}

std::string classTEXT_SCRMSG::GetStringFromData() const {
  return ByteWriter()
      .Byte(row, "row")
      .Byte(col, "col")
      .Byte(Length, "Length")
      .Byte(mode, "mode")
      .ZText(msg)
      .str();
}

std::string classTEXT_SETTABS::GetStringFromData() const {
  return ByteWriter().Byte(table_num, "table_num").ZText(tabs).str();
}

std::string classTEXT_SCRSPEED::GetStringFromData() const {
  return OneByte(speed, "speed");
}

std::string classTEXT_PAUSE_RATE::GetStringFromData() const {
  return OneByte(Value, "Value");
}

std::string classTEXT_BLINK_RATE::GetStringFromData() const {
  return OneByte(Value, "Value");
}

std::string classDEFMSG_MSG::GetStringFromData() const {
  return ByteWriter().Byte(msg_num, "msg_num").ZText(msg).str();
}

std::string classDEFMSG_HORZVERT::GetStringFromData() const {
  return OneByte(horz, "horz");
}

std::string classSCHMSG_MSG::GetStringFromData() const {
  return ByteWriter()
      .Byte(msg_num, "msg_num")
      .Byte(prefix_mode, "prefix_mode")
      .Byte(suffix_mode, "suffix_mode")
      .Byte(start_hr, "start_hr")
      .Byte(start_min, "start_min")
      .Byte(stop_hr, "stop_hr")
      .Byte(stop_min, "stop_min")
      .Byte(month, "month")
      .Byte(mday, "mday")
      .Byte(year, "year")
      .Byte(msg_format, "msg_format")
      .Text(msg)
      .str();
}

std::string classSCHMSG_FORMAT::GetStringFromData() const {
  return ByteWriter()
      .Byte(format_code, "format_code")
      .Byte(num_lines, "num_lines")
      .Text(maxlen)
      .Byte(reserved, "reserved")
      .str();
}

std::string classSCHMSG_PREFIX::GetStringFromData() const {
  return OneByte(prefix_mode, "prefix_mode");
}

std::string classSCHMSG_SUFFIX::GetStringFromData() const {
  return OneByte(suffix_mode, "suffix_mode");
}

std::string classSCHMSG_DELAY::GetStringFromData() const {
  return OneByte(delay, "delay");
}

std::string classPAGE_DSP::GetStringFromData() const {
  return PageHeader(page_num, prefix_mode, suffix_mode, delay).str();
}

void classPAGE_MSG::XsYs(std::int16_t Xdata, std::int16_t value) {
  // The bounds are taken first, so a refused size still shows in Xs and Ys.
  Xs_ = Xdata;
  Ys_ = value;
  if (Xdata < 1 || value < 1) {
    throw std::out_of_range("Subscript out of range: a page table of " + std::to_string(Xdata) +
                            " by " + std::to_string(value));
  }
  // Texts are kept, and with them the first bound: only the second may change.
  if (!texts_.empty() && texts_.size() != static_cast<std::size_t>(Xdata)) {
    throw std::out_of_range("Subscript out of range: the page table has " +
                            std::to_string(texts_.size()) + " rows, only its columns may change");
  }
  texts_.resize(Xdata);
  for (auto& row : texts_)
    row.resize(value);
}

void classPAGE_MSG::Check(int x, int y) const {
  if (x < 1 || static_cast<std::size_t>(x) > texts_.size() || y < 1 ||
      static_cast<std::size_t>(y) > texts_[x - 1].size()) {
    throw std::out_of_range("Subscript out of range: page text (" + std::to_string(x) + ", " +
                            std::to_string(y) + ") outside the table");
  }
}

const std::string& classPAGE_MSG::text(std::int16_t x, std::int16_t y) const {
  Check(x, y);
  return texts_[x - 1][y - 1];
}

void classPAGE_MSG::text(std::int16_t x, std::int16_t y, std::string value) {
  Check(x, y);
  texts_[x - 1][y - 1] = std::move(value);
}

std::string classPAGE_MSG::GetStringFromData() const {
  ByteWriter out = PageHeader(page_num, prefix_mode, suffix_mode, delay);
  for (int x = 1; x <= Xs_; ++x) {
    for (int y = 1; y <= Ys_; ++y) {
      Check(x, y);
      out.ZText(texts_[x - 1][y - 1]);
    }
  }
  return std::move(out).str();
}

std::string classPAGE_GET_Req::GetStringFromData() const {
  return OneByte(pagenum, "pagenum");
}

std::string classPAGE_GET_Resp::GetDataFromString(const std::string& sData) {
  detail::DecodeUnchecked(sData, [this](ByteReader& in) {
    page_num = in.Byte();
    prefix_mode = in.Byte();
    suffix_mode = in.Byte();
    delay = in.SignedWord();
  });
  return {};
}

}  // namespace qordtcon
