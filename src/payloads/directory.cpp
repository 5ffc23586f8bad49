#include "qordtcon/payloads/directory.hpp"

#include "decode_unchecked.hpp"
#include "qordtcon/payloads/fields.hpp"

#include <algorithm>
#include <string>

namespace qordtcon {

namespace {

// How a class reads the 13-byte name field.
enum class NameRule {
  kAsSent,        // all 13 characters, bytes 0 included
  kWithoutNuls,   // every byte 0 removed, the characters after it kept
  kUpToFirstNul,  // the characters before the first byte 0
};

constexpr std::size_t kNameLength = 13;

void DecodeRecord(ByteReader& r, DirRecord& d, NameRule rule) {
  d.stat = r.Byte();
  d.page = r.Byte();
  d.lp = r.SignedWord();
  d.offset = r.SignedWord();
  // A short answer gives a short name; the size field behind it is what fails.
  std::string name = r.Text(std::min(kNameLength, r.Remaining()));
  if (rule == NameRule::kWithoutNuls) std::erase(name, '\0');
  d.fname = rule == NameRule::kUpToFirstNul ? TrimAtNul(name) : name;
  d.size = r.Long();
  d.hour = r.Byte();
  d.min = r.Byte();
  d.sec = r.Byte();
  d.mon = r.Byte();
  d.mday = r.Byte();
  d.year = r.Byte();
  d.Reserved1 = r.Byte();
}

// The first and next entries come back without a length check of their own.
bool DecodeUnchecked(std::string_view data, DirRecord& d) {
  detail::DecodeUnchecked(data, [&d](ByteReader& r) { DecodeRecord(r, d, NameRule::kAsSent); });
  return true;
}

}  // namespace

bool classDIR_FIRST::GetDataFromString(std::string_view sData) {
  return DecodeUnchecked(sData, *this);
}

bool classDIR_NEXT::GetDataFromString(std::string_view sData) {
  return DecodeUnchecked(sData, *this);
}

bool classDIR_FILE::GetDataFromString(std::string_view sData) {
  // The sign refuses an unknown name with an answer shorter than a record.
  CMDFailed = sData.size() < 30;
  if (CMDFailed) return true;
  ByteReader r(sData);
  DecodeRecord(r, *this, NameRule::kWithoutNuls);
  return true;
}

void classDIR_ALL::num_entries(std::int16_t n) {
  num_entries_ = n;
  if (n > 0) rows_.rows.resize(static_cast<std::size_t>(n));
}

bool classDIR_ALL::GetDataFromString(std::int16_t EntryNum, std::string_view sData) {
  if (sData.size() < 33) return false;
  DirRecord& entry = rows_.at(EntryNum);
  ByteReader r(sData);
  DecodeRecord(r, entry, NameRule::kUpToFirstNul);
  return true;
}

}  // namespace qordtcon
