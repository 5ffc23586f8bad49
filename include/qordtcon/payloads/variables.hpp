// Payloads of the variable (CMD 9), cell (CMD 10) and counter (CMD 11) commands: numbered
// text variables, cells that the sign resets on a schedule, and counters that the sign counts
// by itself. Byte fields must lie in 0..255 (std::invalid_argument otherwise); 16- and 32-bit
// numbers travel low byte first.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "qordtcon/payloads/numbered_rows.hpp"

namespace qordtcon {

// --- Requests and writes of one variable, cell or counter.

// Asks for one variable (GetDisplayVariable).
class classVARIABLE_READ_Req {
 public:
  std::int16_t variable_num = 0;

  std::string GetStringFromData() const;
};

// Asks for one cell (GetDisplayCell).
class classCELL_READ_Req {
 public:
  std::int16_t cell_num = 0;

  std::string GetStringFromData() const;
};

// Asks for one counter (GetDisplayCounter).
class classCOUNTER_READ_Req {
 public:
  std::int16_t counter_num = 0;

  std::string GetStringFromData() const;
};

// Writes the text of one variable (SetDisplayVariable): number, text, byte 0.
class classVARIABLE_WRITE {
 public:
  std::int16_t variable_num = 0;
  std::string text_variable;

  std::string GetStringFromData() const;
};

// Writes the text of one cell (SetDisplayCell): number, text, byte 0.
class classCELL_WRITE {
 public:
  std::int16_t cell_num = 0;
  std::string cell_variable;

  std::string GetStringFromData() const;
};

// Starts, stops or restyles a counter (ControlDisplayCounter): five bytes.
class classCOUNTER_CONTROL {
 public:
  std::int16_t counter_num = 0;
  std::int16_t Status = 0;
  std::int16_t color = 0;
  std::int16_t blink = 0;
  std::int16_t inverse = 0;

  std::string GetStringFromData() const;
};

// --- Read results of one variable or cell: color, blink, inverse, then the text up to its
// first byte 0. An answer shorter than 3 bytes fails with std::invalid_argument at the first
// missing byte; the fields decoded before it keep their new values.

// The sign's answer to GetDisplayVariable.
class classVARIABLE_READ_Res {
 public:
  std::int16_t color = 0;
  std::int16_t blink = 0;
  std::int16_t inverse = 0;
  std::string text_variable;

  bool GetDataFromString(std::string_view sData);

  bool operator==(const classVARIABLE_READ_Res&) const = default;
};

// The sign's answer to GetDisplayCell.
class classCELL_READ_Res {
 public:
  std::int16_t color = 0;
  std::int16_t blink = 0;
  std::int16_t inverse = 0;
  std::string cell_variable;

  bool GetDataFromString(std::string_view sData);

  bool operator==(const classCELL_READ_Res&) const = default;
};

// --- Several variables or cells at once.

// Texts of several variables in one packet (SetDisplayMultipleVariable and the batches of
// SetDisplayMultipleVariablesAutoProcess). Entries are numbered 1..num_vars; setting num_vars
// re-dimensions the tables and keeps the entries that still fit. `Length` goes out as given,
// whatever the text's length.
class classVARIABLE_MULTIWRITE {
 public:
  std::int16_t num_vars() const { return num_vars_; }
  // std::out_of_range for a negative count (nothing changes).
  void num_vars(std::int16_t n);

  std::int16_t X(std::int16_t EntryNum) const { return rows_.at(EntryNum).X; }
  void X(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).X = value; }
  std::int16_t Length(std::int16_t EntryNum) const { return rows_.at(EntryNum).Length; }
  void Length(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).Length = value; }
  std::string variable(std::int16_t EntryNum) const { return rows_.at(EntryNum).variable; }
  void variable(std::int16_t EntryNum, std::string value) {
    rows_.at(EntryNum).variable = std::move(value);
  }

  // num_vars, then per entry: X, Length (low byte first), the text without terminator.
  std::string GetStringFromData() const;

 private:
  struct Row {
    std::int16_t X = 0;
    std::int16_t Length = 0;
    std::string variable;
  };
  std::int16_t num_vars_ = 0;
  detail::NumberedRows<std::vector<Row>, 1> rows_;
};

// Display attributes of several variables or cells (SetDisplayVariableAttributes,
// SetDisplayCellAttributes). Tables are numbered 0..num_vars; entry 0 exists but is never
// sent. Setting num_vars re-dimensions the tables afresh: every entry reads 0 again.
class classVARIABLE_ATTRIBUTES {
 public:
  std::int16_t num_vars() const { return num_vars_; }
  // std::out_of_range for a negative count (nothing changes).
  void num_vars(std::int16_t n);

  std::int16_t X(std::int16_t EntryNum) const { return rows_.at(EntryNum).X; }
  void X(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).X = value; }
  std::int16_t color(std::int16_t EntryNum) const { return rows_.at(EntryNum).color; }
  void color(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).color = value; }
  std::int16_t blink(std::int16_t EntryNum) const { return rows_.at(EntryNum).blink; }
  void blink(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).blink = value; }
  std::int16_t inverse(std::int16_t EntryNum) const { return rows_.at(EntryNum).inverse; }
  void inverse(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).inverse = value; }

  // num_vars, then X, color, blink, inverse of entries 1..num_vars.
  std::string GetStringFromData() const;

 private:
  struct Row {
    std::int16_t X = 0;
    std::int16_t color = 0;
    std::int16_t blink = 0;
    std::int16_t inverse = 0;
  };
  std::int16_t num_vars_ = 0;
  detail::NumberedRows<std::vector<Row>, 0> rows_;
};

// When the sign resets its cells (SetDisplayLocalCellWrite): nine fixed schedule entries,
// 0..8, each month, day, year, hour, minute. Always 45 bytes; a fresh object sends zeros.
class classCELL_LOCAL_WRITE {
 public:
  std::int16_t cell_reset_month(std::int16_t iINdex) const { return rows_.at(iINdex).month; }
  void cell_reset_month(std::int16_t iINdex, std::int16_t value) { rows_.at(iINdex).month = value; }
  std::int16_t cell_reset_day(std::int16_t iINdex) const { return rows_.at(iINdex).day; }
  void cell_reset_day(std::int16_t iINdex, std::int16_t value) { rows_.at(iINdex).day = value; }
  std::int16_t cell_reset_year(std::int16_t iINdex) const { return rows_.at(iINdex).year; }
  void cell_reset_year(std::int16_t iINdex, std::int16_t value) { rows_.at(iINdex).year = value; }
  std::int16_t cell_reset_hour(std::int16_t iINdex) const { return rows_.at(iINdex).hour; }
  void cell_reset_hour(std::int16_t iINdex, std::int16_t value) { rows_.at(iINdex).hour = value; }
  std::int16_t cell_reset_minute(std::int16_t iINdex) const { return rows_.at(iINdex).minute; }
  void cell_reset_minute(std::int16_t iINdex, std::int16_t value) {
    rows_.at(iINdex).minute = value;
  }

  std::string GetStringFromData() const;

 private:
  struct Row {
    std::int16_t month = 0;
    std::int16_t day = 0;
    std::int16_t year = 0;
    std::int16_t hour = 0;
    std::int16_t minute = 0;
  };
  detail::NumberedRows<std::array<Row, 9>, 0> rows_;
};

// --- Counters.

// Defines how a counter counts (DefineDisplayCounter): 16 bytes, the first 16 of the read
// answer's layout.
class classCOUNTER_DEFINE {
 public:
  std::int16_t counter_num = 0;
  std::int16_t operation = 0;
  std::int16_t frequency = 0;
  std::int16_t clear_mode = 0;
  std::int16_t incdec_value = 0;  // 16-bit, low byte first
  std::int16_t format_mode = 0;
  std::int16_t autoreload = 0;
  std::int32_t start_value = 0;  // 32-bit, low byte first
  std::int32_t stop_value = 0;

  std::string GetStringFromData() const;
};

// A counter's definition, value and display state as the sign reports them
// (GetDisplayCounter): 24 bytes. A shorter answer fails with std::invalid_argument at the
// first missing field; the fields decoded before it keep their new values.
class classCOUNTER_READ_Res {
 public:
  std::int16_t counter_num = 0;
  std::int16_t operation = 0;
  std::int16_t frequency = 0;
  std::int16_t clear_mode = 0;
  std::int16_t incdec_value = 0;
  std::int16_t format_mode = 0;
  std::int16_t autoreload = 0;
  std::int32_t start_value = 0;
  std::int32_t stop_value = 0;
  std::int32_t current_value = 0;
  std::int16_t Status = 0;
  std::int16_t color = 0;
  std::int16_t blink = 0;
  std::int16_t inverse = 0;

  bool GetDataFromString(std::string_view sData);

  bool operator==(const classCOUNTER_READ_Res&) const = default;
};

}  // namespace qordtcon
