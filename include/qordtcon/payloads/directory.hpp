// Entries of the sign's file directory (CMD 8). Every entry comes back as a 30-byte record;
// the classes differ in how much answer they demand and in how they read the 13-byte name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "qordtcon/payloads/numbered_rows.hpp"

namespace qordtcon {

// The fields of one directory entry, in record order. Numbers are little-endian and
// signed; the month comes before the day of the month.
struct DirRecord {
  std::int16_t stat = 0;
  std::int16_t page = 0;
  std::int16_t lp = 0;
  std::int16_t offset = 0;
  std::string fname;
  std::int32_t size = 0;
  std::int16_t hour = 0;
  std::int16_t min = 0;
  std::int16_t sec = 0;
  std::int16_t mon = 0;
  std::int16_t mday = 0;
  std::int16_t year = 0;
  std::int16_t Reserved1 = 0;

  bool operator==(const DirRecord&) const = default;
};

// The first entry of the directory (GetFirstDisplayDirInfo). The name keeps all 13
// characters, bytes 0 included. The answer's length is not checked: a field beyond its end
// fails with std::invalid_argument and the fields before it keep their new values.
class classDIR_FIRST : public DirRecord {
 public:
  bool GetDataFromString(std::string_view sData);
};

// The next entry of the directory (GetNextDisplayDirInfo); read as classDIR_FIRST.
class classDIR_NEXT : public DirRecord {
 public:
  bool GetDataFromString(std::string_view sData);
};

// The entry of one named file (GetDisplayDirInfo). A refusal comes back shorter than a
// record: then CMDFailed is set and nothing else changes, so test CMDFailed, not the result
// (always True). The name loses every byte 0 (characters after one remain).
class classDIR_FILE : public DirRecord {
 public:
  bool CMDFailed = false;

  bool GetDataFromString(std::string_view sData);

  bool operator==(const classDIR_FILE&) const = default;
};

// The whole directory as the directory walk collects it (GetAllDisplayDirInfo), one entry
// at a time. Entries are numbered 1..num_entries; setting num_entries to n > 0 re-dimensions
// the tables keeping their entries, 0 or less is stored and leaves the tables alone. An entry
// number outside the tables is std::out_of_range. Names end at their first byte 0.
class classDIR_ALL {
 public:
  std::int16_t num_entries() const { return num_entries_; }
  void num_entries(std::int16_t n);

  std::int16_t offset(std::int16_t EntryNum) const { return rows_.at(EntryNum).offset; }
  void offset(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).offset = value; }
  std::string fname(std::int16_t EntryNum) const { return rows_.at(EntryNum).fname; }
  void fname(std::int16_t EntryNum, std::string value) {
    rows_.at(EntryNum).fname = std::move(value);
  }
  std::int32_t size(std::int16_t EntryNum) const { return rows_.at(EntryNum).size; }
  void size(std::int16_t EntryNum, std::int32_t value) { rows_.at(EntryNum).size = value; }
  std::int16_t stat(std::int16_t EntryNum) const { return rows_.at(EntryNum).stat; }
  void stat(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).stat = value; }
  std::int16_t page(std::int16_t EntryNum) const { return rows_.at(EntryNum).page; }
  void page(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).page = value; }
  std::int16_t lp(std::int16_t EntryNum) const { return rows_.at(EntryNum).lp; }
  void lp(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).lp = value; }
  std::int16_t hour(std::int16_t EntryNum) const { return rows_.at(EntryNum).hour; }
  void hour(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).hour = value; }
  std::int16_t min(std::int16_t EntryNum) const { return rows_.at(EntryNum).min; }
  void min(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).min = value; }
  std::int16_t sec(std::int16_t EntryNum) const { return rows_.at(EntryNum).sec; }
  void sec(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).sec = value; }
  std::int16_t mon(std::int16_t EntryNum) const { return rows_.at(EntryNum).mon; }
  void mon(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).mon = value; }
  std::int16_t mday(std::int16_t EntryNum) const { return rows_.at(EntryNum).mday; }
  void mday(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).mday = value; }
  std::int16_t year(std::int16_t EntryNum) const { return rows_.at(EntryNum).year; }
  void year(std::int16_t EntryNum, std::int16_t value) { rows_.at(EntryNum).year = value; }
  std::int16_t Reserved1(std::int16_t EntryNum) const { return rows_.at(EntryNum).Reserved1; }
  void Reserved1(std::int16_t EntryNum, std::int16_t value) {
    rows_.at(EntryNum).Reserved1 = value;
  }

  // Decodes one reply into entry EntryNum. False, nothing changed, for an answer shorter
  // than 33 bytes; num_entries is not changed (the caller sets it first).
  bool GetDataFromString(std::int16_t EntryNum, std::string_view sData);

 private:
  std::int16_t num_entries_ = 0;
  detail::NumberedRows<std::vector<DirRecord>, 1> rows_;
};

}  // namespace qordtcon
