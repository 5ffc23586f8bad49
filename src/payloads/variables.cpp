#include "qordtcon/payloads/variables.hpp"

#include "decode_unchecked.hpp"
#include "qordtcon/payloads/fields.hpp"

#include <stdexcept>
#include <string>
#include <utility>

namespace qordtcon {

namespace {

std::string NumberAndText(std::int16_t number, std::string_view number_field,
                          std::string_view text) {
  return ByteWriter().Byte(number, number_field).ZText(text).str();
}

// Variables and cells answer with the same layout.
bool DecodeReadResult(std::string_view data, std::int16_t& color, std::int16_t& blink,
                      std::int16_t& inverse, std::string& text) {
  detail::DecodeUnchecked(data, [&](ByteReader& r) {
    color = r.Byte();
    blink = r.Byte();
    inverse = r.Byte();
    text = r.ZText();
  });
  return true;
}

// Entries in a table dimensioned for `count`; a negative count cannot be dimensioned.
std::size_t TableSize(std::int16_t count, int extra) {
  if (count < 0) {
    throw std::out_of_range("Subscript out of range: a table cannot hold " + std::to_string(count) +
                            " entries");
  }
  return static_cast<std::size_t>(count + extra);
}

}  // namespace

std::string classVARIABLE_READ_Req::GetStringFromData() const {
  return ByteWriter().Byte(variable_num, "variable_num").str();
}

std::string classCELL_READ_Req::GetStringFromData() const {
  return ByteWriter().Byte(cell_num, "cell_num").str();
}

std::string classCOUNTER_READ_Req::GetStringFromData() const {
  return ByteWriter().Byte(counter_num, "counter_num").str();
}

std::string classVARIABLE_WRITE::GetStringFromData() const {
  return NumberAndText(variable_num, "variable_num", text_variable);
}

std::string classCELL_WRITE::GetStringFromData() const {
  return NumberAndText(cell_num, "cell_num", cell_variable);
}

std::string classCOUNTER_CONTROL::GetStringFromData() const {
  return ByteWriter()
      .Byte(counter_num, "counter_num")
      .Byte(Status, "Status")
      .Byte(color, "color")
      .Byte(blink, "blink")
      .Byte(inverse, "inverse")
      .str();
}

bool classVARIABLE_READ_Res::GetDataFromString(std::string_view sData) {
  return DecodeReadResult(sData, color, blink, inverse, text_variable);
}

bool classCELL_READ_Res::GetDataFromString(std::string_view sData) {
  return DecodeReadResult(sData, color, blink, inverse, cell_variable);
}

// --- classVARIABLE_MULTIWRITE: entries 1..num_vars, kept across re-dimensioning.

void classVARIABLE_MULTIWRITE::num_vars(std::int16_t n) {
  rows_.rows.resize(TableSize(n, 0));
  num_vars_ = n;
}

std::string classVARIABLE_MULTIWRITE::GetStringFromData() const {
  ByteWriter w;
  w.Byte(num_vars_, "num_vars");
  for (const Row& row : rows_.rows)
    w.Byte(row.X, "X").Word(row.Length).Text(row.variable);
  return std::move(w).str();
}

// --- classVARIABLE_ATTRIBUTES: entries 0..num_vars, cleared by re-dimensioning.

void classVARIABLE_ATTRIBUTES::num_vars(std::int16_t n) {
  rows_.rows.assign(TableSize(n, 1), Row{});
  num_vars_ = n;
}

std::string classVARIABLE_ATTRIBUTES::GetStringFromData() const {
  ByteWriter w;
  w.Byte(num_vars_, "num_vars");
  for (std::int16_t i = 1; i <= num_vars_; ++i) {
    const Row& row = rows_.at(i);
    w.Byte(row.X, "X").Byte(row.color, "color").Byte(row.blink, "blink");
    w.Byte(row.inverse, "inverse");
  }
  return std::move(w).str();
}

// --- classCELL_LOCAL_WRITE: nine fixed entries, 0..8.

std::string classCELL_LOCAL_WRITE::GetStringFromData() const {
  ByteWriter w;
  for (const Row& row : rows_.rows) {
    w.Byte(row.month, "cell_reset_month").Byte(row.day, "cell_reset_day");
    w.Byte(row.year, "cell_reset_year").Byte(row.hour, "cell_reset_hour");
    w.Byte(row.minute, "cell_reset_minute");
  }
  return std::move(w).str();
}

// --- Counters.

std::string classCOUNTER_DEFINE::GetStringFromData() const {
  return ByteWriter()
      .Byte(counter_num, "counter_num")
      .Byte(operation, "operation")
      .Byte(frequency, "frequency")
      .Byte(clear_mode, "clear_mode")
      .Word(incdec_value)
      .Byte(format_mode, "format_mode")
      .Byte(autoreload, "autoreload")
      .Long(start_value)
      .Long(stop_value)
      .str();
}

bool classCOUNTER_READ_Res::GetDataFromString(std::string_view sData) {
  detail::DecodeUnchecked(sData, [this](ByteReader& r) {
    counter_num = r.Byte();
    operation = r.Byte();
    frequency = r.Byte();
    clear_mode = r.Byte();
    incdec_value = r.SignedWord();
    format_mode = r.Byte();
    autoreload = r.Byte();
    start_value = r.Long();
    stop_value = r.Long();
    current_value = r.Long();
    Status = r.Byte();
    color = r.Byte();
    blink = r.Byte();
    inverse = r.Byte();
  });
  return true;
}

}  // namespace qordtcon
