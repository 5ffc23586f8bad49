#include <gtest/gtest.h>

#include <qordtcon/payloads/play_order.hpp>

#include "bytes.hpp"
#include "payload_cases.hpp"

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

// A one-entry order of either kind, as sent.
template <typename Order>
std::string OneEntry(std::string name, std::int32_t delay, std::int16_t prefix = 0,
                     std::int16_t suffix = 0) {
  Order o;
  o.num_entries(1);
  SetEntry(o, 1, std::move(name), delay, prefix, suffix);
  return o.GetStringFromData();
}

template <typename Table>
std::string Entry(const Table& t, std::int16_t i) {
  return Show(t.FileName(i), t.delay(i), t.prefix(i), t.suffix(i));
}

// One entry's answer decoded into entry 2 of a 3-entry table whose entry 2 held OLD.
std::string ReadEntry(const std::string& sData, std::int16_t EntryNum = 2) {
  classPLAY_GET_NEXT t;
  t.num_entries(3);
  SetEntry(t, 2, "OLD", 7, 7, 7);
  bool ok = false;
  const std::string error = Caught([&] { ok = t.GetDataFromString(EntryNum, sData); });
  return Show(error.empty() ? (ok ? "true" : "false") : error, t.num_entries(), Entry(t, 2));
}

// The 23-byte answer for one entry: two leading bytes, then the 21-byte entry.
std::string EntryAnswer(const std::string& name13, const std::string& numbers) {
  return Bytes("AA BB") + name13 + Bytes(numbers);
}

std::string Poll(const std::string& sData) {
  classPLAY_POLL p;
  p.play_loaded = p.playing = p.default_loaded = p.default_enabled = 9;
  p.GetDataFromString(sData);
  return Show(p.play_loaded, p.playing, p.default_loaded, p.default_enabled);
}

std::string DescRead(const std::string& sData) {
  classPLAY_DESC_READ d;
  d.descriptor = "OLD";
  d.GetDataFromString(sData);
  return d.descriptor;
}

std::string Count(const std::string& sData) {
  classPLAY_COUNT_READ c;
  c.PlayCounter = 99;
  std::int32_t returned = -1;
  const std::string error = Caught([&] { returned = c.GetDataFromString(sData); });
  return Show(c.PlayCounter, error.empty() ? std::to_string(returned) : error);
}

const std::string kNoName(13, '\0');

}  // namespace

TEST(PlayOrderPayloads, EncodeDecodeAndRefuseAsLaidOut) {
  RunCases({
      // Orders as sent.
      {"no entries", Encode<classPLAY_ORDER>([](auto& o) { o.num_entries(0); }), Bytes("00 00")},
      {"one entry", [] { return OneEntry<classPLAY_ORDER>("ABC", 300, 1, 2); },
       Bytes("01 00 41 42 43 00 00 00 00 00 00 00 00 00 00 2C 01 00 00 01 00 02 00")},
      {"negative delay sent as -1", [] { return OneEntry<classPLAY_ORDER>("", -5); },
       Bytes("01 00") + kNoName + Bytes("FF FF FF FF 00 00 00 00")},
      {"appended: negative delay sent as -1", [] { return OneEntry<classPLAY_ORDER_APP>("", -5); },
       Bytes("01 00") + kNoName + Bytes("FF FF FF FF 00 00 00 00")},
      {"appended: delay above 32767", [] { return OneEntry<classPLAY_ORDER_APP>("", 40000); },
       Bytes("01 00") + kNoName + Bytes("40 9C 00 00 00 00 00 00")},
      {"delay words low first", [] { return OneEntry<classPLAY_ORDER>("", 0x12345678); },
       Bytes("01 00") + kNoName + Bytes("78 56 34 12 00 00 00 00")},
      {"negative prefix, wide suffix", [] { return OneEntry<classPLAY_ORDER>("", 0, -2, 0x1234); },
       Bytes("01 00") + kNoName + Bytes("00 00 00 00 FE FF 34 12")},
      {"longer name sent whole, shifting the rest",
       [] { return OneEntry<classPLAY_ORDER>("ABCDEFGHIJKLMNO", 1); },
       Bytes("01 00") + "ABCDEFGHIJKLMNO" + Bytes("01 00 00 00 00 00 00 00")},
      {"entries in order, entry 0 never sent",
       [] {
         classPLAY_ORDER o;
         o.num_entries(2);
         SetEntry(o, 0, "ZERO", 9, 9, 9);
         SetEntry(o, 1, "A", 1, 0, 0);
         SetEntry(o, 2, "B", 2, 0, 0);
         return o.GetStringFromData();
       },
       Bytes("02 00") + "A" + std::string(12, '\0') + Bytes("01 00 00 00 00 00 00 00") + "B" +
           std::string(12, '\0') + Bytes("02 00 00 00 00 00 00 00")},
      {"count above 255", Encode<classPLAY_ORDER>([](auto& o) { o.num_entries(256); }),
       [] {
         std::string s = Bytes("00 01");
         for (int i = 0; i < 256; ++i)
           s += std::string(21, '\0');
         return s;
       }()},
      {"growing keeps entries, shrinking drops them",
       [] {
         classPLAY_ORDER o;
         o.num_entries(2);
         SetEntry(o, 1, "A", 1, 1, 1);
         SetEntry(o, 2, "B", 2, 2, 2);
         o.num_entries(3);
         const std::string grown = Entry(o, 1) + "|" + Entry(o, 2) + "|" + Entry(o, 3);
         o.num_entries(1);
         o.num_entries(2);
         return grown + "|" + Entry(o, 1) + "|" + Entry(o, 2);
       },
       "A 1 1 1|B 2 2 2| 0 0 0|A 1 1 1| 0 0 0"},
      {"negative count kept, tables left as they were",
       [] {
         classPLAY_ORDER o;
         o.num_entries(1);
         SetEntry(o, 1, "A", 1, 1, 1);
         const std::string error = Caught([&] { o.num_entries(-1); });
         return Show(error, o.num_entries(), Entry(o, 1)) + "|" + o.GetStringFromData();
       },
       "out_of_range -1 A 1 1 1|" + Bytes("FF FF")},
      {"entry before the count was set", [] { return classPLAY_ORDER().FileName(0); },
       "out_of_range"},
      {"entry beyond the count",
       [] {
         classPLAY_ORDER_APP o;
         o.num_entries(2);
         return Caught([&] { o.delay(3, 1); }) + Caught([&] { o.prefix(-1); }) +
                Caught([&] { o.suffix(2); });
       },
       "out_of_range"
       "out_of_range"},
      // Entries read back.
      {"entry read back",
       [] {
         return ReadEntry(EntryAnswer("MSG1" + std::string(9, '\0'), "10 27 00 00 01 00 02 00"));
       },
       "true 3 MSG1 10000 1 2"},
      {"entry read back: signed numbers, negative delay kept",
       [] { return ReadEntry(EntryAnswer(kNoName, "FB FF FF FF FE FF 00 80")); },
       "true 3  -5 -2 -32768"},
      {"entry read back: name cut at its first 0",
       [] { return ReadEntry(EntryAnswer("AB\0CDEFGHIJKL"s, "00 00 00 00 00 00 00 00")); },
       "true 3 AB 0 0 0"},
      {"entry read back: 22 bytes change nothing",
       [] { return ReadEntry(EntryAnswer(kNoName, "10 27 00 00 01 00 02")); }, "false 3 OLD 7 7 7"},
      {"entry read back: the length check comes first",
       [] { return ReadEntry(EntryAnswer(kNoName, "00"), 4); }, "false 3 OLD 7 7 7"},
      {"entry read back beyond the count",
       [] { return ReadEntry(EntryAnswer(kNoName, "00 00 00 00 00 00 00 00"), 4); },
       "out_of_range 3 OLD 7 7 7"},
      // Small payloads.
      {"restart", Encode<classPLAY_RESTART>([](auto& r) { r.loopctr = 200; }), Bytes("C8")},
      {"restart counter 256", Encode<classPLAY_RESTART>([](auto& r) { r.loopctr = 256; }),
       "invalid_argument"},
      {"poll", [] { return Poll(Bytes("01 80 00 FF 05")); }, "1 128 0 255"},
      {"poll of 3 bytes changes nothing", [] { return Poll(Bytes("01 02 03")); }, "9 9 9 9"},
      {"description, empty", [] { return classPLAY_DESC_WRITE().GetStringFromData(); },
       std::string(256, '\0')},
      {"description longer than 256 sent whole",
       Encode<classPLAY_DESC_WRITE>([](auto& d) { d.descriptor = std::string(300, 'x'); }),
       std::string(300, 'x')},
      {"description read: bytes 0 kept", [] { return DescRead("AB\0CD"s); }, "AB\0CD"s},
      {"description read: first 256 bytes", [] { return DescRead(std::string(256, 'a') + "bc"); },
       std::string(256, 'a')},
      {"description read: empty answer clears", [] { return DescRead(""); }, ""},
      {"play counter", [] { return Count(Bytes("34 12")); }, "4660 0"},
      {"play counter unsigned", [] { return Count(Bytes("FF FF 01")); }, "65535 0"},
      {"play counter of 1 byte", [] { return Count(Bytes("34")); }, "99 invalid_argument"},
  });
}
