#include "qordtcon/payloads/play_order.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "decode_unchecked.hpp"
#include "qordtcon/payloads/fields.hpp"

namespace qordtcon {

namespace {

constexpr std::size_t kFileNameField = 13;
constexpr std::size_t kDescriptorField = 256;

}  // namespace

void PlayEntryTable::num_entries(std::int16_t n) {
  num_entries_ = n;
  if (n < 0) {
    throw std::out_of_range("Subscript out of range: " + std::to_string(n) + " play-order entries");
  }
  entries_.rows.resize(static_cast<std::size_t>(n) + 1);
}

void PlayEntryTable::delay(std::int16_t EntryNum, std::int32_t value) {
  if (rule_ == NegativeDelay::kStoredAsMinusOne && value < 0) value = -1;
  entries_.at(EntryNum).delay = value;
}

std::string PlayEntryTable::EntriesPayload() const {
  ByteWriter out;
  out.Word(num_entries_);
  for (int i = 1; i <= num_entries_; ++i) {
    const Entry& entry = entries_.at(i);
    out.Padded(entry.FileName, kFileNameField)
        .Long(entry.delay)
        .Word(entry.prefix)
        .Word(entry.suffix);
  }
  return std::move(out).str();
}

bool classPLAY_GET_NEXT::GetDataFromString(std::int16_t EntryNum, const std::string& sData) {
  ByteReader in(sData);
  if (!in.Has(kEntryAnswerSize)) return false;
  in.Skip(2);
  FileName(EntryNum, TrimAtNul(in.Text(kFileNameField)));
  delay(EntryNum, in.Long());
  prefix(EntryNum, in.SignedWord());
  suffix(EntryNum, in.SignedWord());
  return true;
}

std::string classPLAY_RESTART::GetStringFromData() const {
  return ByteWriter().Byte(loopctr, "loopctr").str();
}

void classPLAY_POLL::GetDataFromString(const std::string& sData) {
  ByteReader in(sData);
  if (!in.Has(4)) return;
  play_loaded = in.Byte();
  playing = in.Byte();
  default_loaded = in.Byte();
  default_enabled = in.Byte();
}

std::string classPLAY_DESC_WRITE::GetStringFromData() const {
  return ByteWriter().Padded(descriptor, kDescriptorField).str();
}

void classPLAY_DESC_READ::GetDataFromString(const std::string& sData) {
  ByteReader in(sData);
  descriptor = in.Text(std::min(in.Remaining(), kDescriptorField));
}

std::int32_t classPLAY_COUNT_READ::GetDataFromString(const std::string& sData) {
  detail::DecodeUnchecked(sData, [this](ByteReader& in) { PlayCounter = in.UnsignedWord(); });
  return 0;
}

}  // namespace qordtcon
