// The text-message payloads: what the host fills to put text on a sign (immediate,
// scrolling, default, scheduled and paged), the rates and modes that go with it, and
// the answer to a paged-text request. Every number below is sent as one byte and must
// lie in 0..255 (std::invalid_argument otherwise, and no payload); texts go out as
// given, never checked or cut.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qordtcon {

// --- Text commands.

// Text at a row and column: row, col, mode, msg, byte 0.
class classTEXT_MSG {
 public:
  std::int16_t row = 0;
  std::int16_t col = 0;
  std::int16_t mode = 0;
  std::string msg;

  std::string GetStringFromData() const;
};

// Scrolling text: row, col, Length, mode, msg, byte 0. Length is the host's own value,
// not derived from msg.
class classTEXT_SCRMSG {
 public:
  std::int16_t row = 0;
  std::int16_t col = 0;
  std::int16_t Length = 0;
  std::int16_t mode = 0;
  std::string msg;

  std::string GetStringFromData() const;
};

// A tab-stop table: table_num, tabs, byte 0.
class classTEXT_SETTABS {
 public:
  std::int16_t table_num = 0;
  std::string tabs;

  std::string GetStringFromData() const;
};

// Scroll speed (also sent by SetDisplayInfo): one byte.
class classTEXT_SCRSPEED {
 public:
  std::int16_t speed = 0;

  std::string GetStringFromData() const;
};

// Pause rate: one byte.
class classTEXT_PAUSE_RATE {
 public:
  std::int16_t Value = 0;

  std::string GetStringFromData() const;
};

// Blink rate: one byte.
class classTEXT_BLINK_RATE {
 public:
  std::int16_t Value = 0;

  std::string GetStringFromData() const;
};

// --- Default message.

// The default message: msg_num, msg, byte 0.
class classDEFMSG_MSG {
 public:
  std::int16_t msg_num = 0;
  std::string msg;

  std::string GetStringFromData() const;
};

// Horizontal/vertical placement of the default message: one byte.
class classDEFMSG_HORZVERT {
 public:
  std::int16_t horz = 0;

  std::string GetStringFromData() const;
};

// --- Scheduled messages.

// A scheduled message: eleven one-byte fields, then msg with no terminator. year is the
// year within its century (one byte), not a four-digit year.
class classSCHMSG_MSG {
 public:
  std::int16_t msg_num = 0;
  std::int16_t prefix_mode = 0;
  std::int16_t suffix_mode = 0;
  std::int16_t start_hr = 0;
  std::int16_t start_min = 0;
  std::int16_t stop_hr = 0;
  std::int16_t stop_min = 0;
  std::int16_t month = 0;
  std::int16_t mday = 0;
  std::int16_t year = 0;
  std::int16_t msg_format = 0;
  std::string msg;

  std::string GetStringFromData() const;
};

// Layout of scheduled messages: format_code, num_lines, the maxlen text as given, reserved.
class classSCHMSG_FORMAT {
 public:
  std::int16_t format_code = 0;
  std::int16_t num_lines = 0;
  std::string maxlen;
  std::int16_t reserved = 0;

  std::string GetStringFromData() const;
};

// Prefix mode of scheduled messages: one byte.
class classSCHMSG_PREFIX {
 public:
  std::int16_t prefix_mode = 0;

  std::string GetStringFromData() const;
};

// Suffix mode of scheduled messages: one byte.
class classSCHMSG_SUFFIX {
 public:
  std::int16_t suffix_mode = 0;

  std::string GetStringFromData() const;
};

// Delay between scheduled messages: one byte.
class classSCHMSG_DELAY {
 public:
  std::int16_t delay = 0;

  std::string GetStringFromData() const;
};

// --- Paged text.

// Shows a stored page: page_num, prefix_mode, suffix_mode (one byte each), then delay as a
// 16-bit word, low byte first (a negative delay sends high byte 0xFF).
class classPAGE_DSP {
 public:
  std::int16_t page_num = 0;
  std::int16_t prefix_mode = 0;
  std::int16_t suffix_mode = 0;
  std::int16_t delay = 0;

  std::string GetStringFromData() const;
};

// A page of text: the classPAGE_DSP header, then a table of texts 1..Xs by 1..Ys, each
// followed by byte 0, x outer and y inner. XsYs(X, Y) sizes the table; once it exists only
// Ys may change (texts are kept), so a different X fails with std::out_of_range after Xs
// and Ys already hold the new values, as does a bound below 1. text(x, y) reads and
// writes one entry of the table.
class classPAGE_MSG {
 public:
  std::int16_t page_num = 0;
  std::int16_t prefix_mode = 0;
  std::int16_t suffix_mode = 0;
  std::int16_t delay = 0;

  void XsYs(std::int16_t Xdata, std::int16_t value);
  std::int16_t Xs() const { return Xs_; }
  std::int16_t Ys() const { return Ys_; }

  const std::string& text(std::int16_t x, std::int16_t y) const;
  void text(std::int16_t x, std::int16_t y, std::string value);

  // std::out_of_range when Xs or Ys reach beyond the table (after a refused XsYs).
  std::string GetStringFromData() const;

 private:
  void Check(int x, int y) const;  // std::out_of_range outside the table

  std::int16_t Xs_ = 0;
  std::int16_t Ys_ = 0;
  std::vector<std::vector<std::string>> texts_;  // [x-1][y-1]; empty until XsYs
};

// Which page to read back: one byte.
class classPAGE_GET_Req {
 public:
  std::int16_t pagenum = 0;

  std::string GetStringFromData() const;
};

// A paged-text answer, laid out as the classPAGE_DSP payload.
class classPAGE_GET_Resp {
 public:
  std::int16_t page_num = 0;
  std::int16_t prefix_mode = 0;
  std::int16_t suffix_mode = 0;
  std::int16_t delay = 0;

  // Reads the five bytes field by field (delay signed) and returns the empty string. A
  // shorter answer throws std::invalid_argument at the first missing byte; the fields
  // read before it keep their new values.
  std::string GetDataFromString(const std::string& sData);
};

}  // namespace qordtcon
