#include <gtest/gtest.h>

#include <qordtcon/filetransfer/graphic.hpp>
#include <qordtcon/filetransfer/graphic_routines.hpp>

#include <set>

#include "bytes.hpp"
#include "outcome.hpp"

using namespace qordtcon;

namespace {

// Blocks of a table with `total` blocks where entry `index` holds `data`, sent as block
// `index` through the 32-bit interface: the wire number, then the data as hex.
std::string WireBlock(std::int32_t total, std::int32_t index, std::string data = "AB") {
  classGRAPHIC_REC_FLWBLK t;
  t.TotalBlocksEx(total);
  t.DataEx(index, data);
  return Hex(t.GetStringFromDataEx(index));
}

}  // namespace

TEST(FilePayloads, EncodeDecodeAndRefuseAsLaidOut) {
  classGRAPHIC_REC_1stBLK logo{1, "logo.bmp", 70000, 13, 5, 9, 12, 4, 26};
  const std::string logoRecord = Hex(logo.GetStringFromData());
  // clang-format off
  ExpectCases({
      {"first record", logoRecord + " / " + logo.FileName,
       "01 00 4C 4F 47 4F 2E 42 4D 50 00 00 00 00 00 70 11 01 00 0D 05 09 0C 04 1A / LOGO.BMP"},
      {"a name over 13 characters moves the fields back",
       Encoded(classGRAPHIC_REC_1stBLK{1, "ABCDEFGHIJKLMN", 1}), "01 00 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 01 00 00 00 00 00 00 00 00 00"},
      {"first record, a four-digit year", Encoded(classGRAPHIC_REC_1stBLK{1, "A", 0, 0, 0, 0, 1, 1, 2026}), "invalid_argument"},
      {"block cut to the block size, a shorter one whole", Outcome([] {
         classGRAPHIC_REC_FLWBLK t; t.FileBlockSize = 3; t.TotalBlocks(2); t.Data(2, "ABCDE"); t.Data(0, "Z");
         return Hex(t.GetStringFromData(2)) + " / " + Hex(t.GetStringFromData(0)); }), "02 00 41 42 43 / 00 00 5A"},
      // Past 65535 the wire numbers go round from 2; the entry read is always the index.
      {"wire numbers", WireBlock(65535, 65535) + " / " + WireBlock(131070, 65536) + " / " + WireBlock(131070, 131069) + " / " + WireBlock(131070, 131070),
       "FF FF 41 42 / 02 00 41 42 / FF FF 41 42 / 02 00 41 42"},
      {"a total re-dimensions and keeps what is stored", Outcome([] {
         classGRAPHIC_GET t; t.TotalBlocks(2); t.Data(3, "X"); t.TotalBlocks(5); return t.Data(3) + Outcome([&] { return t.Data(7); }); }),
       "Xout_of_range"},
      {"a block before a total was set", Outcome([] { return classGRAPHIC_GET().GetStringFromData(0); }), "out_of_range"},
      {"TotalBlocks 32767", Outcome([] { classGRAPHIC_GET().TotalBlocks(32767); }), "overflow_error"},
      {"TotalBlocks of a 40000-block table", Outcome([] { classGRAPHIC_REC_FLWBLK t; t.TotalBlocksEx(40000); return Show(t.TotalBlocks()); }),
       "overflow_error"},
      {"delete", Outcome([] { classGRAPHIC_DEL d{"a.b"}; return Encoded(d) + " / " + d.FileName; }), "41 2E 42 00 00 00 00 00 00 00 00 00 00 / a.b"},
      {"show", Encoded(classGRAPHIC_DSP{"pic.bmp", 1, 2, 95, 15}), "50 49 43 2E 42 4D 50 00 00 00 00 00 00 01 02 5F 0F"},
      {"show, left 300", Encoded(classGRAPHIC_DSP{"p", 300}), "invalid_argument"},
      // The request for the last block carries 0, and the object keeps it.
      {"block request for the last block", Outcome([] {
         classGRAPHIC_GET_REQ r{"abcdefghijklmnop", 5}; const std::string sent = Hex(r.GetStringFromData(5));
         return sent + " / " + Show(r.BlockNumber) + " " + r.FileName; }),
       "00 00 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D / 0 ABCDEFGHIJKLM"},
      {"block request", Outcome([] { classGRAPHIC_GET_REQ r{"a", 5}; return Hex(r.GetStringFromData(7).substr(0, 3)); }), "05 00 41"},
      {"block answer of 12 characters: refused, nothing changed", Outcome([] {
         classGRAPHIC_GET_RES r{"old", 9}; std::string t(12, 'x'); const std::string got = Returned([&] { return r.SetDataByStr(t); });
         return got + " " + Show(r.FileData, r.blocknum, t.size()); }),
       "false old 9 12"},
      {"block answer of 20 characters", Outcome([] {
         classGRAPHIC_GET_RES r; std::string t = Bytes("02 01") + std::string(18, 'y'); const std::string got = Returned([&] { return r.SetDataByStr(t); });
         return got + " " + Show(r.blocknum, t.size(), r.FileData.size()); }),
       "true 258 18 18"},
  });
  // clang-format on
}

// The 8.3 alias a file gets when the host gives no sign name.
TEST(FilePayloads, ShortNames) {
  std::set<std::string> taken = {"LONGFI~1.TEX"};
  const auto alias = [&](const char* name) {
    return ShortName(name, [&](const std::string& a) { return taken.count(a) > 0; });
  };
  ExpectCases({
      {"fits: upper-cased", alias("logo.bmp"), "LOGO.BMP"},
      {"long, the first ~N free", alias("Long File Name.text"), "LONGFI~2.TEX"},
      {"no extension", alias("a very long name"), "AVERYL~1"},
      {"characters a short name cannot hold", alias("a+b=c.bmp"), "A_B_C~1.BMP"},
  });
}
