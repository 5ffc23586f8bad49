// The play-order payloads: the list of files a sign plays (each entry a file name with
// a delay and prefix and suffix codes) as sent whole or appended, the entries read back
// one by one, and the small play controls: restart, poll, description and play counter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "qordtcon/payloads/numbered_rows.hpp"

namespace qordtcon {

// The entry tables shared by the play orders and the entries read back. Setting
// num_entries to n re-dimensions the tables to 0..n, keeping the entries they hold;
// entry 0 exists but is never sent or filled. Any entry index outside 0..num_entries,
// or any index before num_entries was first set, throws std::out_of_range.
class PlayEntryTable {
 public:
  std::int16_t num_entries() const { return num_entries_; }
  // The count is stored before the tables are re-dimensioned, so a negative one is
  // kept although the tables refuse it (std::out_of_range) and stay as they were.
  void num_entries(std::int16_t n);

  const std::string& FileName(std::int16_t EntryNum) const {
    return entries_.at(EntryNum).FileName;
  }
  void FileName(std::int16_t EntryNum, std::string value) {
    entries_.at(EntryNum).FileName = std::move(value);
  }
  std::int32_t delay(std::int16_t EntryNum) const { return entries_.at(EntryNum).delay; }
  void delay(std::int16_t EntryNum, std::int32_t value);
  std::int16_t prefix(std::int16_t EntryNum) const { return entries_.at(EntryNum).prefix; }
  void prefix(std::int16_t EntryNum, std::int16_t value) { entries_.at(EntryNum).prefix = value; }
  std::int16_t suffix(std::int16_t EntryNum) const { return entries_.at(EntryNum).suffix; }
  void suffix(std::int16_t EntryNum, std::int16_t value) { entries_.at(EntryNum).suffix = value; }

 protected:
  // The play orders keep any negative delay as -1 (sent as four bytes 0xFF); the
  // entries read back keep what the sign sent.
  enum class NegativeDelay { kKept, kStoredAsMinusOne };
  explicit PlayEntryTable(NegativeDelay rule) : rule_(rule) {}

  // num_entries as a 16-bit word, then entries 1..num_entries of 21 bytes each: the
  // name padded with bytes 0 to 13 (a longer name goes whole and shifts the rest),
  // delay as 32 bits, prefix and suffix as 16 bits, all low byte first.
  std::string EntriesPayload() const;

 private:
  struct Entry {
    std::string FileName;
    std::int32_t delay = 0;
    std::int16_t prefix = 0;
    std::int16_t suffix = 0;
  };
  NegativeDelay rule_;
  std::int16_t num_entries_ = 0;
  detail::NumberedRows<std::vector<Entry>, 0> entries_;
};

// A play order that replaces the sign's play order. One payload carries what the host
// put in it; splitting a long order into packets is the sender's business.
class classPLAY_ORDER : public PlayEntryTable {
 public:
  classPLAY_ORDER() : PlayEntryTable(NegativeDelay::kStoredAsMinusOne) {}

  std::string GetStringFromData() const { return EntriesPayload(); }
};

// Entries appended to the sign's play order; the same layout as classPLAY_ORDER.
class classPLAY_ORDER_APP : public PlayEntryTable {
 public:
  classPLAY_ORDER_APP() : PlayEntryTable(NegativeDelay::kStoredAsMinusOne) {}

  std::string GetStringFromData() const { return EntriesPayload(); }
};

// The sign's play order read back entry by entry; the reader sets num_entries before it
// decodes each entry, and an entry with an empty FileName marks the end.
class classPLAY_GET_NEXT : public PlayEntryTable {
 public:
  static constexpr std::size_t kEntryAnswerSize = 23;

  classPLAY_GET_NEXT() : PlayEntryTable(NegativeDelay::kKept) {}

  // One entry's answer: two bytes not read here, then the 21-byte entry (name trimmed
  // at its first byte 0, delay, prefix and suffix signed). False, with nothing changed,
  // for an answer shorter than 23 bytes; else fills entry EntryNum (std::out_of_range
  // beyond num_entries) and leaves num_entries alone.
  bool GetDataFromString(std::int16_t EntryNum, const std::string& sData);
};

// One play-order entry as a plain record.
struct classPLAY_GET_FIRST {
  std::int16_t num_entries = 0;
  std::string FileName;
  std::int32_t delay = 0;
  std::int16_t prefix = 0;
  std::int16_t suffix = 0;
};

// Restarts play: loopctr as one byte.
class classPLAY_RESTART {
 public:
  std::int16_t loopctr = 0;

  std::string GetStringFromData() const;
};

// The play state polled from the sign, one answer byte per field.
class classPLAY_POLL {
 public:
  std::int16_t play_loaded = 0;
  std::int16_t playing = 0;
  std::int16_t default_loaded = 0;
  std::int16_t default_enabled = 0;

  // Fills all four fields from an answer of at least 4 bytes; a shorter one changes none.
  void GetDataFromString(const std::string& sData);
};

// The play-order description to write: the text padded with bytes 0 to 256 (a longer
// text goes whole).
class classPLAY_DESC_WRITE {
 public:
  std::string descriptor;

  std::string GetStringFromData() const;
};

// The play-order description read back: the answer's first 256 bytes as they came,
// bytes 0 included.
class classPLAY_DESC_READ {
 public:
  std::string descriptor;

  void GetDataFromString(const std::string& sData);
};

// The play counter read back: an unsigned 16-bit value, low byte first.
class classPLAY_COUNT_READ {
 public:
  std::int32_t PlayCounter = 0;

  // Returns 0; the value read is in PlayCounter. An answer shorter than 2 bytes throws
  // std::invalid_argument and leaves PlayCounter as it was.
  std::int32_t GetDataFromString(const std::string& sData);
};

}  // namespace qordtcon
