#include <gtest/gtest.h>

#include <qordtcon/payloads/play_order.hpp>

#include "bytes.hpp"
#include "outcome.hpp"

using namespace qordtcon;
using namespace std::string_literals;

namespace {

template <typename Order>
void SetEntry(Order& o, std::int16_t i, std::string name, std::int32_t delay, std::int16_t prefix,
              std::int16_t suffix) {
  o.FileName(i, std::move(name));
  o.delay(i, delay);
  o.prefix(i, prefix);
  o.suffix(i, suffix);
}

// A one-entry order of either kind as sent, without its count and its empty 13-byte name.
template <typename Order>
std::string OneEntry(std::int32_t delay, std::int16_t prefix = 0, std::int16_t suffix = 0) {
  Order o;
  o.num_entries(1);
  SetEntry(o, 1, "", delay, prefix, suffix);
  return Hex(o.GetStringFromData().substr(15));
}

template <typename Table>
std::string Entry(const Table& t, std::int16_t i) {
  return Show(t.FileName(i), t.delay(i), t.prefix(i), t.suffix(i));
}

// The 23-byte answer for one entry (two leading bytes, the name, `numbers` in hex) decoded
// into entry EntryNum of a 3-entry table whose entry 2 held OLD.
std::string ReadEntry(const std::string& name13, std::string_view numbers,
                      std::int16_t EntryNum = 2) {
  classPLAY_GET_NEXT t;
  t.num_entries(3);
  SetEntry(t, 2, "OLD", 7, 7, 7);
  const std::string sData = Bytes("AA BB") + name13 + Bytes(numbers);
  const std::string returned = Returned([&] { return t.GetDataFromString(EntryNum, sData); });
  return Show(returned, t.num_entries(), Entry(t, 2));
}

std::string Poll(std::string_view hex) {
  classPLAY_POLL p{9, 9, 9, 9};
  p.GetDataFromString(Bytes(hex));
  return Show(p.play_loaded, p.playing, p.default_loaded, p.default_enabled);
}

std::string DescRead(const std::string& sData) {
  classPLAY_DESC_READ d{"OLD"};
  d.GetDataFromString(sData);
  return d.descriptor;
}

std::string Count(std::string_view hex) {
  classPLAY_COUNT_READ c{99};
  const std::string returned = Outcome([&] { return Show(c.GetDataFromString(Bytes(hex))); });
  return Show(c.PlayCounter, returned);
}

const std::string kNoName(13, '\0');

}  // namespace

TEST(PlayOrderPayloads, EncodeDecodeAndRefuseAsLaidOut) {
  // clang-format off
  ExpectCases({
      // Orders as sent (one entry in full is pinned by the command routines).
      {"no entries", Encoded(classPLAY_ORDER()), "00 00"},
      {"negative delay sent as -1", OneEntry<classPLAY_ORDER>(-5), "FF FF FF FF 00 00 00 00"},
      {"appended: negative delay sent as -1", OneEntry<classPLAY_ORDER_APP>(-5), "FF FF FF FF 00 00 00 00"},
      {"appended: delay above 32767", OneEntry<classPLAY_ORDER_APP>(40000), "40 9C 00 00 00 00 00 00"},
      {"words low first, negative prefix", OneEntry<classPLAY_ORDER>(0x12345678, -2, 0x1234), "78 56 34 12 FE FF 34 12"},
      {"longer name sent whole, shifting the rest", Outcome([] {
         classPLAY_ORDER o; o.num_entries(1); SetEntry(o, 1, "ABCDEFGHIJKLMNO", 1, 0, 0); return o.GetStringFromData(); }),
       Bytes("01 00") + "ABCDEFGHIJKLMNO" + Bytes("01 00 00 00 00 00 00 00")},
      {"entries in order, entry 0 never sent", Outcome([] {
         classPLAY_ORDER o; o.num_entries(2);
         SetEntry(o, 0, "ZERO", 9, 9, 9); SetEntry(o, 1, "A", 1, 0, 0); SetEntry(o, 2, "B", 2, 0, 0);
         return o.GetStringFromData(); }),
       Bytes("02 00") + "A" + std::string(12, '\0') + Bytes("01 00 00 00 00 00 00 00") + "B" + std::string(12, '\0') + Bytes("02 00 00 00 00 00 00 00")},
      {"count above 255", Outcome([] { classPLAY_ORDER o; o.num_entries(256); const auto s = o.GetStringFromData();
         return Show(s.size(), Hex(s.substr(0, 2)), s.find_first_not_of('\0', 2)); }),
       "5378 00 01 " + std::to_string(std::string::npos)},
      {"growing keeps entries, shrinking drops them", Outcome([] {
         classPLAY_ORDER o; o.num_entries(2); SetEntry(o, 1, "A", 1, 1, 1); SetEntry(o, 2, "B", 2, 2, 2);
         o.num_entries(3);
         const std::string grown = Entry(o, 1) + "|" + Entry(o, 2) + "|" + Entry(o, 3);
         o.num_entries(1); o.num_entries(2);
         return grown + "|" + Entry(o, 1) + "|" + Entry(o, 2); }),
       "A 1 1 1|B 2 2 2| 0 0 0|A 1 1 1| 0 0 0"},
      {"negative count kept, tables left as they were", Outcome([] {
         classPLAY_ORDER o; o.num_entries(1); SetEntry(o, 1, "A", 1, 1, 1);
         const std::string error = Outcome([&] { o.num_entries(-1); });
         return Show(error, o.num_entries(), Entry(o, 1), Encoded(o)); }),
       "out_of_range -1 A 1 1 1 FF FF"},
      {"entry before the count was set", Outcome([] { return classPLAY_ORDER().FileName(0); }), "out_of_range"},
      {"entry beyond the count", Outcome([] {
         classPLAY_ORDER_APP o; o.num_entries(2);
         return Outcome([&] { o.delay(3, 1); }) + Outcome([&] { o.prefix(-1); }) + Outcome([&] { o.suffix(2); }); }),
       "out_of_rangeout_of_range"},
      // Entries read back: 23 bytes at least, signed numbers, the name cut at its first 0.
      {"entry read back", ReadEntry("MSG1" + std::string(9, '\0'), "10 27 00 00 01 00 02 00"), "true 3 MSG1 10000 1 2"},
      {"entry read back: signed, negative delay kept", ReadEntry(kNoName, "FB FF FF FF FE FF 00 80"), "true 3  -5 -2 -32768"},
      {"entry read back: name cut at its first 0", ReadEntry("AB\0CDEFGHIJKL"s, "00 00 00 00 00 00 00 00"), "true 3 AB 0 0 0"},
      {"entry read back: 22 bytes change nothing", ReadEntry(kNoName, "10 27 00 00 01 00 02"), "false 3 OLD 7 7 7"},
      {"entry read back: the length check comes first", ReadEntry(kNoName, "00", 4), "false 3 OLD 7 7 7"},
      {"entry read back beyond the count", ReadEntry(kNoName, "00 00 00 00 00 00 00 00", 4), "out_of_range 3 OLD 7 7 7"},
      // Small payloads.
      {"restart counter 256", Encoded(classPLAY_RESTART{256}), "invalid_argument"},
      {"poll", Poll("01 80 00 FF 05"), "1 128 0 255"},
      {"poll of 3 bytes changes nothing", Poll("01 02 03"), "9 9 9 9"},
      {"description longer than 256 sent whole", Outcome([] { return classPLAY_DESC_WRITE{std::string(300, 'x')}.GetStringFromData(); }),
       std::string(300, 'x')},
      {"description read: bytes 0 kept", DescRead("AB\0CD"s), "AB\0CD"s},
      {"description read: first 256 bytes", DescRead(std::string(256, 'a') + "bc"), std::string(256, 'a')},
      {"description read: empty answer clears", DescRead(""), ""},
      {"play counter unsigned", Count("FF FF 01"), "65535 0"},
      {"play counter of 1 byte", Count("34"), "99 invalid_argument"},
  });
  // clang-format on
}
