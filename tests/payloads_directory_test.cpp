#include <gtest/gtest.h>

#include <qordtcon/payloads/directory.hpp>

#include <string>

#include "bytes.hpp"
#include "outcome.hpp"

using namespace qordtcon;

namespace {

// Name fields, 13 bytes: MSG1 then zeros; AB, a zero, CD, then zeros.
const std::string kMsg1 = "4D 53 47 31 00 00 00 00 00 00 00 00 00";
const std::string kAb0Cd = "41 42 00 43 44 00 00 00 00 00 00 00 00";

// stat 1, page 2, lp -1, offset -32768, the name, the size, 23:59:30, month 12, day 31,
// year 24, Reserved1 255: 30 bytes.
std::string Record(const std::string& name, const std::string& size = "00 10 00 00") {
  return "01 02 FF FF 00 80 " + name + " " + size + " 17 3B 1E 0C 1F 18 FF";
}
// A reply payload as the directory walk hands it over: the record, then the frame's end.
const std::string kReply = Record(kMsg1) + " 10 03 AA";

std::string Fields(const DirRecord& d) {
  return Show(d.stat, d.page, d.lp, d.offset) + " " + Quoted(d.fname) + " " +
         Show(d.size, d.hour, d.min, d.sec, d.mon, d.mday, d.year, d.Reserved1);
}
std::string Fields(const classDIR_FILE& d) {
  return Fields(static_cast<const DirRecord&>(d)) + " | CMDFailed " + Show(d.CMDFailed);
}
std::string Fields(const classDIR_ALL& a, std::int16_t i) {
  return Show(a.stat(i), a.page(i), a.lp(i), a.offset(i)) + " " + Quoted(a.fname(i)) + " " +
         Show(a.size(i), a.hour(i), a.min(i), a.sec(i), a.mon(i), a.mday(i), a.year(i),
              a.Reserved1(i));
}

// Decodes into a copy of `result` whose fields all hold 9 (name "old") unless `fresh`.
template <class Result>
std::string Decode(const std::string& hex, bool fresh = false) {
  Result result;
  if (!fresh) static_cast<DirRecord&>(result) = {9, 9, 9, 9, "old", 9, 9, 9, 9, 9, 9, 9, 9};
  const std::string returned = Returned([&] { return result.GetDataFromString(Bytes(hex)); });
  return returned + " | " + Fields(result);
}

// Sizes the tables to `entries`, decodes `hex` into `entry`, and shows entries 1..shown.
std::string DecodeEntry(std::int16_t entries, std::int16_t entry, const std::string& hex,
                        std::int16_t shown) {
  classDIR_ALL a;
  if (entries != 0) a.num_entries(entries);
  std::string out = Returned([&] { return a.GetDataFromString(entry, Bytes(hex)); });
  for (std::int16_t i = 1; i <= shown; ++i)
    out += " | " + Fields(a, i);
  return out;
}

}  // namespace

TEST(DirectoryPayloads, DecodeNameRulesShortAnswersAndTables) {
  const std::string msg1 = "1 2 -1 -32768 'MSG1' 4096 23 59 30 12 31 24 255";
  const std::string whole = "'MSG1\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00'";
  const std::string zero = "0 0 0 0 '' 0 0 0 0 0 0 0 0";
  const std::string stale = "9 9 9 9 'old' 9 9 9 9 9 9 9 9";

  classDIR_ALL all;
  all.num_entries(2);
  all.GetDataFromString(2, Bytes(kReply));
  all.num_entries(3);  // grows, keeping entry 2
  const std::string grown = Fields(all, 2) + " / " + Fields(all, 3);
  all.num_entries(0);  // 0 or less is stored and leaves the tables alone
  all.num_entries(-1);
  const std::string kept = Show(all.num_entries()) + " / " + Fields(all, 2);
  all.num_entries(1);  // shrinks
  const std::string shrunk = Outcome([&] { return Fields(all, 2); });
  classDIR_FILE found;
  found.GetDataFromString("");  // refused first
  const std::string refound =
      Returned([&] { return found.GetDataFromString(Bytes(Record(kMsg1))); });

  // clang-format off
  ExpectCases({
      // First and next entries: the name as sent; no length check, a short answer fails at
      // the first field beyond its end.
      {"first entry", Decode<classDIR_FIRST>(Record(kMsg1)), "true | 1 2 -1 -32768 " + whole + " 4096 23 59 30 12 31 24 255"},
      {"next entry, byte order of size", Decode<classDIR_NEXT>(Record(kAb0Cd, "01 02 03 04")), "true | 1 2 -1 -32768 'AB\\x00CD\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00' 67305985 23 59 30 12 31 24 255"},
      {"first entry, 29 bytes", Decode<classDIR_FIRST>(Record(kMsg1).substr(0, 86)), "invalid_argument | 1 2 -1 -32768 " + whole + " 4096 23 59 30 12 31 24 9"},
      {"first entry cut in the name", Decode<classDIR_FIRST>("01 02 FF FF 00 80 4D 53 47 31"), "invalid_argument | 1 2 -1 -32768 'MSG1' 9 9 9 9 9 9 9 9"},
      {"next entry cut in lp", Decode<classDIR_NEXT>("01 02 FF"), "invalid_argument | 1 2 9 9 'old' 9 9 9 9 9 9 9 9"},

      // One named file: every zero leaves the name; a short answer only sets CMDFailed.
      {"file entry", Decode<classDIR_FILE>(Record(kMsg1)), "true | " + msg1 + " | CMDFailed 0"},
      {"file entry, characters after a zero", Decode<classDIR_FILE>(Record(kAb0Cd), true), "true | 1 2 -1 -32768 'ABCD' 4096 23 59 30 12 31 24 255 | CMDFailed 0"},
      {"file refused, 29 bytes", Decode<classDIR_FILE>(Record(kMsg1).substr(0, 86)), "true | " + stale + " | CMDFailed 1"},
      {"file found after a refusal", refound + " | " + Fields(found), "true | " + msg1 + " | CMDFailed 0"},

      // The whole directory: 33 bytes at least, names end at their first zero, entries 1..n.
      {"all, entry 2 of 2", DecodeEntry(2, 2, kReply, 2), "true | " + zero + " | " + msg1},
      {"all, name ends at its first zero", DecodeEntry(1, 1, Record(kAb0Cd) + " 10 03 AA", 1), "true | 1 2 -1 -32768 'AB' 4096 23 59 30 12 31 24 255"},
      {"all, 32 bytes", DecodeEntry(1, 1, kReply.substr(0, 95), 1), "false | " + zero},
      {"all, short answer before entry number", DecodeEntry(1, 5, Record(kMsg1), 1), "false | " + zero},
      {"all, entry past num_entries", DecodeEntry(2, 3, kReply, 0), "out_of_range"},
      {"all, entry 0", DecodeEntry(2, 0, kReply, 0), "out_of_range"},
      {"all, before num_entries", DecodeEntry(0, 1, kReply, 0), "out_of_range"},
      {"all, grown", grown, msg1 + " / " + zero},
      {"all, 0 and -1 keep the tables", kept, "-1 / " + msg1},
      {"all, shrunk", shrunk, "out_of_range"},
  });
  // clang-format on
}
