#include <gtest/gtest.h>

#include <qordtcon/qordtcon.hpp>

#include <cstdio>

#include "bytes.hpp"
#include "control_rig.hpp"
#include "outcome.hpp"
#include "play_entries.hpp"
#include "scripted_sign.hpp"

using namespace qordtcon;
using Answer = ScriptedSign::Answer;

namespace {

// Every routine class on one engine, connected to a scripted sign as node 1.
struct Rig : ControlRig {
  Rig() { EXPECT_TRUE(Open(Tcp(sign.port()))) << link->ErrorMessage; }

  ScriptedSign sign;
  classrDiagTransRoutines diag{*engine};
  classrTextTransRoutines text{*engine};
  classrFontTransRoutines font{*engine};
  classrDefaultMsgTransRoutines defmsg{*engine};
  classrSchedMsgTransRoutines sched{*engine};
  classrPagedTextTransRoutines paged{*engine};
  classrPlayCmdTransRoutines play{*engine};
  classrDirCmdTransRoutines dir_{*engine};
  classrVariableCmdsRoutines var{*engine};
  classrCellCmdsTransRoutines cell{*engine};
  classrCounterCmdTransRoutines counter{*engine};
};

std::string Describe(const ScriptedSign::Received& r) {
  return Show(r.dst, r.cmd, r.fnc) + " [" + Hex(r.data) + "]" + (r.bccOk ? "" : " bad BCC");
}
std::string Described(const std::vector<ScriptedSign::Received>& all) {
  std::string out;
  for (const auto& r : all)
    out += Describe(r) + "; ";
  return out;
}

// Variables X = 1, 2, ... with the given Lengths and texts "V001", "V002", ...
classVARIABLE_MULTIWRITE Variables(const std::vector<std::int16_t>& lengths) {
  classVARIABLE_MULTIWRITE m;
  m.num_vars(static_cast<std::int16_t>(lengths.size()));
  for (std::int16_t i = 1; i <= m.num_vars(); ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "V%03d", i);
    m.X(i, i % 256);
    m.Length(i, lengths[static_cast<std::size_t>(i - 1)]);
    m.variable(i, name);
  }
  return m;
}

classVARIABLE_ATTRIBUTES Attributes() {
  classVARIABLE_ATTRIBUTES a;
  a.num_vars(1);
  a.X(1, 2);
  a.color(1, 3);
  a.inverse(1, 1);
  return a;
}

const std::string kMixed40 = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJ0123";
const std::string kUpper32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF";
const std::string kUpper32Hex = Hex(kUpper32 + '\0');

// A table row's name and call: ROW gives the Boolean result, READ the result as text.
#define ROW(group, method, args) #method, [](Rig & r) { return r.group.method args; }
#define READ(group, method, args) #method, [](Rig & r) { return Show(r.group.method args); }

}  // namespace

TEST(CommandRoutines, IsOkReplyWantsTheConfirmationCodeInTheFifthCharacter) {
  EXPECT_FALSE(IsOkReply(""));
  EXPECT_FALSE(IsOkReply(Bytes("10 02 00 00")));
  EXPECT_TRUE(IsOkReply(Bytes("10 02 00 00 F0")));
  EXPECT_FALSE(IsOkReply(Bytes("10 02 00 00 F1 00 01 00 00 10 03 0E")));
}

// Each command with the exact packet it sends, judged against a confirmation (0xF0),
// against a reply the engine accepts that is no confirmation (the command's own code),
// and sent to every sign at once (node 255, no reply).
TEST(CommandRoutines, EveryCommandSendsItsPacketAndJudgesByItsRule) {
  enum Rule { kReply, kBroadcastAware, kEngine, kEngineNoReply };
  struct Row {
    const char* name;
    bool (*call)(Rig&);
    std::uint8_t cmd, fnc;
    const char* hex;
    Rule rule;
    std::size_t zeros = 0;  // bytes 0 after hex
  };
  // clang-format off
  const Row rows[] = {
      {ROW(text, SetSignTextMessage, ({1, 2, 3, "HI"})), 1, 0, "01 02 03 48 49 00", kReply},
      {ROW(text, SetSignScrollMessage, ({1, 2, 5, 3, "A"})), 1, 1, "01 02 05 03 41 00", kReply},
      {ROW(text, ClearSign, ()), 1, 4, "", kBroadcastAware},
      {ROW(text, SetSignScrollSpeed, ({7})), 1, 5, "07", kReply},
      {ROW(text, SetSignTextTabs, ({2, "ab"})), 1, 6, "02 61 62 00", kReply},
      {ROW(text, SetSignPauseRate, ({9})), 1, 7, "09", kReply},
      {ROW(text, SetSignBlinkRate, ({4})), 1, 0x0E, "04", kReply},
      {ROW(font, ClearSignFonts, ()), 3, 0, "", kReply},
      {ROW(defmsg, SetDefaultMessageOnSign, ({2, "D"})), 4, 0, "02 44 00", kReply},
      {ROW(defmsg, SetDefaultMsgHorzVertOnSign, ({1})), 4, 1, "01", kReply},
      {ROW(sched, SetSignScheduledMessageOnSign, ({.msg_num = 1, .year = 26, .msg = "S"})), 5, 0, "01 00 00 00 00 00 00 00 00 1A 00 53", kReply},
      {ROW(sched, SetScheduledMessageAutoManualOnSign, (true)), 5, 1, "", kReply},
      {ROW(sched, SetScheduledMessageAutoManualOnSign, (false)), 5, 2, "", kReply},
      {ROW(sched, SetScheduledMsgPrefixOnSign, ({3})), 5, 3, "03", kReply},
      {ROW(sched, SetScheduledMsgSuffixOnSign, ({4})), 5, 4, "04", kReply},
      {ROW(sched, SetScheduleMsgFormatOnSign, ({1, 2, "AB", 0})), 5, 5, "01 02 41 42 00", kReply},
      {ROW(sched, ClearSignScheduledMessages, ()), 5, 6, "", kReply},
      {ROW(sched, SetScheduledMsgDelayOnSign, ({5})), 5, 7, "05", kReply},
      {ROW(paged, StartStopPagedTextMessageOnSign, (true)), 6, 1, "", kReply},
      {ROW(paged, StartStopPagedTextMessageOnSign, (false)), 6, 2, "", kReply},
      {ROW(paged, ShowPagedTextOnSign, ({1, 2, 3, 0x0104})), 6, 3, "01 02 03 04 01", kReply},
      {ROW(play, SetSignPlayOrder, (Entries<classPLAY_ORDER>(1, 1))), 7, 0, "01 00 46 31 2E 42 4D 50 00 00 00 00 00 00 00 64 00 00 00 01 00 FE FF", kReply},
      {ROW(play, AppendSignPlayOrder, (Entries<classPLAY_ORDER_APP>(2, 1))), 7, 2, "01 00 46 32 2E 42 4D 50 00 00 00 00 00 00 00 C8 00 00 00 02 00 FE FF", kReply},
      {ROW(play, ClearSignPlayOrder, ()), 7, 1, "", kBroadcastAware},
      {ROW(play, RestartPlayOnSign, ({3})), 7, 5, "03", kReply},
      {ROW(play, ResumePlayOnSign, ()), 7, 6, "", kBroadcastAware},
      {ROW(play, StopPlayOnSign, ()), 7, 7, "", kBroadcastAware},
      {ROW(play, PausePlayOnSign, ()), 7, 8, "", kBroadcastAware},
      {ROW(play, StopPlayOnSignImmediately, ()), 7, 0x0B, "", kBroadcastAware},
      {ROW(play, PausePlayOnSignImmediately, ()), 7, 0x0C, "", kBroadcastAware},
      {ROW(play, WritePlayOrderDescriptionOnSign, ({"P"})), 7, 0x0D, "50", kReply, 255},
      {ROW(play, SetSignSubPlayOrder, (12)), 7, 0x0F, "31 32", kBroadcastAware},
      {ROW(play, PlayCountClear, ()), 7, 0x12, "", kBroadcastAware},
      {ROW(play, SetAutoPlayOnSign, (true)), 7, 0x40, "", kBroadcastAware},
      {ROW(play, SetAutoPlayOnSign, (false)), 7, 0x41, "", kBroadcastAware},
      {"TransmitSignPlayOrder", [](Rig& r) { auto o = Entries<classPLAY_ORDER>(1, 1); return r.play.TransmitSignPlayOrder(o); }, 7, 0, "01 00 46 31 2E 42 4D 50 00 00 00 00 00 00 00 64 00 00 00 01 00 FE FF", kBroadcastAware},
      {ROW(dir_, ClearSignDirInfo, ()), 8, 2, "", kReply},
      {ROW(var, SetSignVariable, ({3, "V"})), 9, 1, "03 56 00", kBroadcastAware},
      {ROW(var, ClearSignVariable, ()), 9, 2, "", kBroadcastAware},
      {ROW(var, SetSignMultipleVariable, (Variables({1}))), 9, 3, "01 01 01 00 56 30 30 31", kBroadcastAware},
      {ROW(var, SetSignMultipleVariablesAutoProcess, (Variables({1}))), 9, 3, "01 01 01 00 56 30 30 31", kBroadcastAware},
      {ROW(var, SetSignVariableAttributes, (Attributes())), 9, 4, "01 02 03 00 01", kBroadcastAware},
      {ROW(cell, SetSignCell, ({2, "C"})), 10, 1, "02 43 00", kReply},
      {ROW(cell, ClearSignCells, ()), 10, 2, "", kReply},
      {ROW(cell, SetSignCellAttributes, (Attributes())), 10, 4, "01 02 03 00 01", kReply},
      {ROW(cell, SetSignLocalCellWrite, ({})), 10, 5, "", kReply, 45},
      {ROW(counter, DefineSignCounter, ({.counter_num = 1, .incdec_value = 0x0102, .start_value = 3, .stop_value = 0x10})), 11, 1, "01 00 00 00 02 01 00 00 03 00 00 00 10 00 00 00", kReply},
      {ROW(counter, ControlSignCounter, ({1, 2, 3, 4, 5})), 11, 2, "01 02 03 04 05", kReply},
      {ROW(counter, ClearSignCounters, ()), 11, 3, "", kReply},
      {ROW(diag, SetSignTime, ({12, 34, 5, 6, 12, 26, 0})), 0, 0, "0C 22 05 06 0C 1A 00", kReply},
      {ROW(diag, SetSignBrightness, ({8})), 0, 3, "08", kReply},
      {ROW(diag, SetSignGroups, ({"AB"})), 0, 4, "41 42", kReply, 8},
      {ROW(diag, SetSignTest, ({1, 2, 0x0103})), 0, 6, "01 02 00 03 01", kReply},
      {ROW(diag, SetSignScan, (true)), 0, 8, "", kReply},
      {ROW(diag, SetSignScan, (false)), 0, 7, "", kReply},
      {ROW(diag, SetSignBrightnessRange, ({1, 9})), 0, 0x0D, "01 09", kReply},
      {ROW(diag, SetSignBrightnessSchedule, ({})), 0, 0x0E, "00 00 00", kReply},
      {ROW(diag, SetSignTempAdjust, ({-2})), 0, 0x0F, "FE FF", kReply},
      {ROW(diag, SetSignSoftSwitches, ({1, 2, 3, 4, 5, 6})), 0, 0x10, "01 02 03 04 05 06", kReply},
      {ROW(diag, SetSignDST, (true)), 0, 0x11, "", kBroadcastAware},
      {ROW(diag, SetSignDST, (false)), 0, 0x12, "", kBroadcastAware},
      {ROW(diag, SetSignHWTemp, ({0x0201})), 0, 0x13, "01 02", kReply},
      {"SetSignGroupMaster", [](Rig& r) { classDIAG_GROUP_MASTERS m{1, "G"}; return r.diag.SetSignGroupMaster(m); }, 0, 0x14, "01 47", kReply, 9},
      {ROW(diag, ClearSign_RXTX_Counts, ()), 0, 0x16, "", kReply},
      {ROW(diag, SetSignScrollOptions, ({1, 2, ""})), 0, 0x17, "01 02", kReply, 32},
      {ROW(diag, SetSignPixel_Control, ({})), 0, 0x18, "00", kReply},
      {ROW(diag, SetSignDefault, (true)), 0, 0x1E, "", kReply},
      {ROW(diag, SetSignDefault, (false)), 0, 0x1F, "", kReply},
      // True only when the caller's text also became what was sent.
      {"SetDisplayName", [](Rig& r) { std::string s = kMixed40; return r.diag.SetDisplayName(s) && s == kUpper32; }, 0, 0x2A, kUpper32Hex.c_str(), kEngine},
      {"SetSerialNumber", [](Rig& r) { std::string s = kMixed40; return r.diag.SetSerialNumber(s) && s == kUpper32; }, 0, 0xDB, kUpper32Hex.c_str(), kEngine},
      {ROW(diag, ResetSign, ()), 0, 0xAA, "", kEngineNoReply},
      {ROW(diag, PrepareForDownload, ()), 0, 0xAB, "", kEngineNoReply},
  };
  // clang-format on
  const char* expected[] = {"TFF", "TFT", "TTT", "TTT"};
  Rig rig;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    rig.sign.Reset();
    if (row.rule == kEngineNoReply) rig.sign.On(row.cmd, row.fnc, ScriptedSign::Silent());
    std::string got;
    for (std::uint8_t node : {1, 1, 255}) {
      rig.vars.DestNode = node;
      if (got.size() == 1 && row.rule != kEngineNoReply) rig.sign.Queue(Answer{row.cmd, {}, false});
      got += row.call(rig) ? "T" : "F";
    }
    rig.vars.DestNode = 1;
    EXPECT_EQ(got, expected[row.rule]);
    const std::string sent = Hex(Bytes(row.hex) + std::string(row.zeros, '\0'));
    const std::string packet = Show(row.cmd, row.fnc) + " [" + sent + "]; ";
    EXPECT_EQ(Described(rig.sign.Commands(3)), "1 " + packet + "1 " + packet + "255 " + packet);
  }
}

// Reading commands against a confirmation carrying the answer, then against an error
// report (0xF1) carrying the same bytes: results decoded "on success" stay empty then.
TEST(CommandRoutines, ReadingCommandsDecodeTheReplyPayload) {
  struct Row {
    const char* name;
    std::string (*call)(Rig&);
    std::uint8_t cmd, fnc;
    const char* sent;
    std::string reply;
    std::string onOk;
    std::string onError;
  };
  const std::string dirEntry = Bytes("01 02 03 00 04 00 41 2E 42") + std::string(10, '\0') +
                               Bytes("0A 00 00 00 0C 22 05 0C 06 1A 00");
  const std::string sn(32, 'S');
  const std::string name = "NAME" + std::string(28, ' ');
  // clang-format off
  const Row rows[] = {
      {READ(diag, GetSignTime, ().hour), 0, 1, "", Bytes("0C 22 05 06 0C 1A 00"), "12", "0"},
      {"GetSignType", [](Rig& r) { auto t = r.diag.GetSignType(); return Show(t.signtype, t.pix_width) + t.BoardType; }, 0, 2, "", Bytes("05 40 01") + std::string(68, '\0') + "Z", "5 320Z", "5 320Z"},
      {READ(diag, GetSignVersion, ().version), 0, 5, "", Bytes("07"), "7", "7"},
      {READ(diag, GetSignStats, ().appl_name), 0, 0x15, "", "VHD1" + std::string(440, '\0'), "VHD1", "VHD1"},
      {"GetSignStats (350 bytes: too short once DLE ETX BCC is off)", [](Rig& r) { return r.diag.GetSignStats().appl_name + "."; }, 0, 0x15, "", "VHD1" + std::string(346, '\0'), ".", "."},
      {READ(diag, GetSerialNumber, ()), 0, 0x29, "", sn, sn, sn},
      {READ(diag, GetDisplayName, ()), 0, 0x2B, "", name + "XYZ", name, name},
      {READ(diag, SetBCCMode, ()), 0, 0x2C, "", "", "2", "1"},
      {READ(var, GetSignVariable, ({4}).text_variable + "."), 9, 0, "04", Bytes("01 00 01 48 49 00"), "HI.", "."},
      {READ(cell, GetSignCell, ({5}).cell_variable + "."), 10, 0, "05", Bytes("01 00 01 43 00"), "C.", "."},
      {READ(counter, GetSignCounter, ({6}).current_value), 11, 0, "06", Bytes("06") + std::string(15, '\0') + Bytes("2A 00 00 00 01 02 03 04"), "42", "0"},
      {"PollPlayOnSign", [](Rig& r) { auto p = r.play.PollPlayOnSign(); return Show(p.play_loaded, p.playing, p.default_loaded, p.default_enabled); }, 7, 0x0A, "", Bytes("01 01 00 01"), "1 1 0 1", "1 1 0 1"},
      {READ(play, GetPlayOrderDescriptionOnSign, ().descriptor.size()), 7, 0x0E, "", "DESC" + std::string(252, '\0'), "256", "256"},
      {READ(play, PlayCountRead, ()), 7, 0x11, "", Bytes("34 12"), "4660", "-1"},
      {READ(dir_, GetFirstSignDirInfo, ().fname.size()), 8, 0, "", dirEntry, "13", "13"},
      {READ(dir_, GetNextSignDirInfo, ().size), 8, 1, "", dirEntry, "10", "10"},
      {READ(dir_, GetSignDirInfo, ("A.B").fname), 8, 3, "41 2E 42", dirEntry, "A.B", "A.B"},
      // A short answer fills what it holds and never raises; the text says what was missing.
      {"GetFirstSignDirInfo (short answer)", [](Rig& r) { auto d = r.dir_.GetFirstSignDirInfo(); return Show(d.stat, d.page) + " " + r.link->ErrorMessage; }, 8, 0, "", Bytes("07"),
       "7 16 Answer Incomplete for CMD:[8] FNC:[0] - the answer ends at byte 4, before the field at byte 4", "7 16 Display Reported Error [F1]- [0]-Command Not Supported for last CMD:[8] FNC:[0]"},
      {"GetSignCounter (short answer)", [](Rig& r) { auto n = r.counter.GetSignCounter({6}); return Show(n.counter_num) + " " + r.link->ErrorMessage; }, 11, 0, "06", Bytes("06"),
       "6 Answer Incomplete for CMD:[B] FNC:[0] - the answer ends at byte 4, before the field at byte 4", "0 Display Reported Error [F1]- [0]-Command Not Supported for last CMD:[B] FNC:[0]"},
  };
  // clang-format on
  Rig rig;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    rig.sign.Reset();
    rig.sign.Queue(Answer{kReplyOk, row.reply});
    rig.sign.Queue(Answer{kReplyError, row.reply});
    EXPECT_EQ(row.call(rig), row.onOk);
    EXPECT_EQ(row.call(rig), row.onError);
    const std::string packet = Show(1, row.cmd, row.fnc) + " [" + Hex(Bytes(row.sent)) + "]; ";
    EXPECT_EQ(Described(rig.sign.Commands(2)), packet + packet);
  }
}

// A play order goes out 40 entries a packet: the first replaces (FNC 0), the others
// append (FNC 2); the host's object is left holding the last packet sent.
TEST(CommandRoutines, PlayOrdersGoOutFortyEntriesAPacket) {
  struct Chunk {
    std::uint8_t fnc;
    int first, count;
  };
  struct Case {
    const char* name;
    int entries;
    std::uint8_t node;
    bool refuseAppend, result;
    std::vector<Chunk> chunks;
  };
  const Case cases[] = {
      {"40 entries", 40, 1, false, true, {{0, 1, 40}}},
      {"41 entries", 41, 1, false, true, {{0, 1, 40}, {2, 41, 1}}},
      {"100 entries", 100, 1, false, true, {{0, 1, 40}, {2, 41, 40}, {2, 81, 20}}},
      {"100 entries to every sign", 100, 255, false, true, {{0, 1, 40}, {2, 41, 40}, {2, 81, 20}}},
      {"first append refused", 100, 1, true, false, {{0, 1, 40}, {2, 41, 40}}},
  };
  Rig rig;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig.sign.Reset();
    if (c.refuseAppend) rig.sign.On(7, 2, Answer{kReplyError, {}, false});
    rig.vars.DestNode = c.node;
    auto order = Entries<classPLAY_ORDER>(1, c.entries);
    EXPECT_EQ(rig.play.TransmitSignPlayOrder(order), c.result);
    std::string want;
    for (const Chunk& k : c.chunks) {
      const auto payload = Entries<classPLAY_ORDER>(k.first, k.count).GetStringFromData();
      want += Describe({c.node, 7, k.fnc, payload, true}) + "; ";
    }
    EXPECT_EQ(Described(rig.sign.Commands(c.chunks.size())), want);
    const Chunk& last = c.chunks.back();
    EXPECT_EQ(order.GetStringFromData(),
              Entries<classPLAY_ORDER>(last.first, last.count).GetStringFromData());
  }
}

// The play order ends at an entry without a name; the directory at one without a name
// and of size 0. Each entry read raises its progress text first.
TEST(CommandRoutines, PlayOrderAndDirectoryAreReadEntryByEntry) {
  const auto play = [](const char* name) {
    classPLAY_ORDER o;
    o.num_entries(1);
    o.FileName(1, name);
    return Answer{kReplyOk, o.GetStringFromData()};
  };
  const auto file = [](const std::string& name, char size) {
    std::string record(30, '\0');
    record.replace(6, name.size(), name);
    record[19] = size;
    return Answer{kReplyOk, record};
  };
  struct Case {
    const char* name;
    bool directory;
    std::vector<Answer> answers;
    std::string entries;
    int progress;
    std::string requests;
  };
  // clang-format off
  const Case cases[] = {
      {"play order failing midway", false, {play("A"), Answer{kReplyError, "x"}}, "A,,", 1, "7/3 7/4 "},
      {"nameless file", true, {file("A", 10), file("", 5), file("", 0)}, "A:10,:5,", 3, "8/0 8/1 8/1 "},
  };
  // clang-format on
  Rig rig;
  std::vector<std::string> progress;
  rig.play.OnMessage = rig.dir_.OnMessage = [&](const std::string& t) { progress.push_back(t); };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig.sign.Reset();
    progress.clear();
    for (const Answer& a : c.answers)
      rig.sign.Queue(a);
    std::string got;
    if (c.directory) {
      const auto d = rig.dir_.GetAllSignDirInfo();
      for (std::int16_t i = 1; i <= d.num_entries(); ++i)
        got += d.fname(i) + ":" + Show(d.size(i)) + ",";
    } else {
      const auto p = rig.play.GetSignPlayOrder();
      for (std::int16_t i = 1; i <= p.num_entries(); ++i)
        got += p.FileName(i) + ",";
    }
    EXPECT_EQ(got, c.entries);
    std::vector<std::string> want;
    for (int i = 1; i <= c.progress; ++i) {
      want.push_back("Receiving Entry " + Show(i) + " of the " +
                     (c.directory ? "Directory" : "PlayOrder"));
    }
    EXPECT_EQ(progress, want);
    std::string requests;
    for (const auto& r : rig.sign.Commands())
      requests += Show(r.cmd) + "/" + Show(r.fnc) + " ";
    EXPECT_EQ(requests, c.requests);
  }
}

// Batches stay below 1000 bytes, counting 16 and Length + 5 per variable; a refused
// batch ends the call. Each batch is shown as its count and its first variable.
TEST(CommandRoutines, ManyVariablesGoOutInBatches) {
  struct Case {
    const char* name;
    std::vector<std::int16_t> lengths;
    bool refuse, result;
    std::string batches;
  };
  const std::vector<std::int16_t> many(300, 10);
  const Case cases[] = {
      {"300 of Length 10", many, false, true, "65 V001; 65 V066; 65 V131; 65 V196; 40 V261; "},
      {"Length 978 fits alone", {978}, false, true, "1 V001; "},
      {"two making 999", {486, 487}, false, true, "2 V001; "},
      {"two making 1000", {487, 487}, false, true, "1 V001; 1 V002; "},
      {"first batch refused", many, true, false, "65 V001; "},
  };
  Rig rig;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig.sign.Reset();
    if (c.refuse) rig.sign.On(9, 3, Answer{kReplyError, {}, false});
    EXPECT_EQ(rig.var.SetSignMultipleVariablesAutoProcess(Variables(c.lengths)), c.result);
    std::string got;
    for (const auto& r : rig.sign.Commands())
      got += Show(+r.data[0]) + " " + r.data.substr(4, 4) + "; ";
    EXPECT_EQ(got, c.batches);
  }
}

// Refusals before anything is sent, with the texts that say why; then, against a silent
// sign, the play counter is asked once whatever the engine's attempts, which come back as
// they were, and the block-check request reports 0.
TEST(CommandRoutines, RefusedOrUnanswered) {
  struct Case {
    const char* name;
    void (*call)(Rig&);
    std::string what;
  };
  // clang-format off
  const Case cases[] = {
      {"variable too long for a batch", [](Rig& r) { r.var.SetSignMultipleVariablesAutoProcess(Variables({10, 979, 10})); },
       "SetSignMultipleVariablesAutoProcess: entry 2 (variable 2) has Length 979, but a batch holds a Length of at most 978; "
       "nothing was sent. Send that variable on its own with SetSignVariable"},
      {"paged message read", [](Rig& r) { r.paged.GetSignPagedMessage({1}); },
       "Object variable not set: GetSignPagedMessage has no answer to return, because reading a paged message back is not "
       "supported by the sign protocol"},
  };
  // clang-format on
  Rig rig;
  for (const Case& c : cases) {
    std::string what = "nothing thrown";
    try {
      c.call(rig);
    } catch (const std::logic_error& e) {
      what = e.what();
    }
    EXPECT_EQ(what, c.what) << c.name;
  }
  EXPECT_FALSE(rig.paged.SetSignPagedTextMessage({}));
  rig.sign.On(7, 0x11, ScriptedSign::Silent());
  rig.sign.On(0, 0x2C, ScriptedSign::Silent());
  rig.engine->RetryCount = 3;
  EXPECT_EQ(rig.play.PlayCountRead(), -1);
  EXPECT_EQ(rig.engine->RetryCount, 3);
  rig.engine->RetryCount = 1;
  EXPECT_EQ(rig.diag.SetBCCMode(), 0);
  EXPECT_EQ(Described(rig.sign.Commands(2)), "1 7 17 []; 1 0 44 []; ");
}
