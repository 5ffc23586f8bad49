#include <gtest/gtest.h>

#include <qordtcon/protocol/frame.hpp>
#include <qordtcon/protocol/trans_routines.hpp>

#include "bytes.hpp"
#include "temp_dir.hpp"

using namespace qordtcon;

TEST(BlockCheck, BothMethodsOnBothSides) {
  struct Case {
    const char* body;  // unstuffed
    bool newBcc;
    int bcc;
  };
  // clang-format off
  const Case cases[] = {
      {"61 62 63", false, 0xDA}, {"61 62 63", true, 0xDA}, {"00 01", false, 0xFF}, {"00 01", true, 0xFE},
      {"01 00 09 00 05 00 01 41", false, 0xAF}, {"01 00 09 00 05 00 01 41", true, 0xAC},
      {"10", false, 0xF0}, {"10 10 00", true, 0xDF}, {"", false, 0},
  };
  // clang-format on
  for (const Case& c : cases) {
    const std::string body = Bytes(c.body);
    EXPECT_EQ(ReceiverBcc(body, c.newBcc), c.bcc) << c.body;
    EXPECT_EQ(SenderBcc(StuffBody(body), c.newBcc), c.bcc) << "stuffed " << c.body;
  }
}

TEST(Stuffing, DoublesEveryDleAndUndoesIt) {
  const std::pair<const char*, const char*> cases[] = {{"01 02 03", "01 02 03"},
                                                       {"10", "10 10"},
                                                       {"10 10", "10 10 10 10"},
                                                       {"41 10 42", "41 10 10 42"}};
  for (const auto& [plain, stuffed] : cases) {
    EXPECT_EQ(StuffBody(Bytes(plain)), Bytes(stuffed)) << plain;
    EXPECT_EQ(UnstuffFrame(Bytes(stuffed)), Bytes(plain)) << stuffed;
  }
  // A lone DLE at the end of a received string is kept.
  EXPECT_EQ(UnstuffFrame(Bytes("41 10")), Bytes("41 10"));
}

TEST(CommandAndInquiryFrames, ExactBytesOnTheWire) {
  // clang-format off
  const std::pair<std::string, const char*> cases[] = {
      // The worked frame: node 1, command 9, function 1, transaction 5, payload "A".
      {BuildCommandFrame({1, 0x09, 0x01, 5, false}, "A"), "10 02 01 00 09 00 05 00 01 41 10 03 AF"},
      {BuildCommandFrame({1, 0x09, 0x01, 5, true}, "A"), "10 02 01 00 09 AA 05 00 01 41 10 03 03"},
      // Empty payload: a seven-byte body.
      {BuildCommandFrame({1, 0x20, 0x00, 1, false}, ""), "10 02 01 00 20 00 01 00 00 10 03 DE"},
      // Node 16, payload DLE and transaction 10000 (TNL 0x10): all stuffed, counted once.
      {BuildCommandFrame({16, 0x01, 0x10, 10000, false}, Bytes("10")), "10 02 10 10 00 01 00 10 10 27 10 10 10 10 10 03 98"},
      // A block check of 0x10 is not stuffed.
      {BuildCommandFrame({1, 0x01, 0x00, 1, false}, Bytes("ED")), "10 02 01 00 01 00 01 00 00 ED 10 03 10"},
      {BuildInquiryFrame(1, false), "10 05 01 FF"}, {BuildInquiryFrame(16, false), "10 05 10 F0"},
      {BuildInquiryFrame(0, false), "10 05 00 00"}, {BuildInquiryFrame(0, true), "10 05 00 FF"},
  };
  // clang-format on
  for (const auto& [built, wire] : cases)
    EXPECT_EQ(built, Bytes(wire)) << wire;
}

TEST(TransactionNumber, RunsOneToTenThousandAndWraps) {
  classrTransVars vars;
  vars.IncTransNum();
  EXPECT_EQ(vars.TransNum, 1);
  vars.TransNum = 9999;
  vars.IncTransNum();
  EXPECT_EQ(vars.TransNum, 10000);
  vars.IncTransNum();
  EXPECT_EQ(vars.TransNum, 1);
}

TEST(CreatePacket, FrameFollowedByAckAndOneNumberPerCall) {
  TempDir dir;
  classrTransVars vars;
  classrOutPutRoutines link(vars);
  classrTransRoutines engine(vars, link);
  std::vector<std::pair<int, int>> sent;
  engine.OnPacketSent = [&](std::int16_t tn, std::int16_t retry) { sent.emplace_back(tn, retry); };
  vars.DestNode = 1;
  vars.TransNum = 4;
  link.ErrorMessage = "old";
  bool noReply = false;
  EXPECT_EQ(engine.CreatePacket(0x109, 0x01, 0, "A", 0, noReply),
            Bytes("10 02 01 00 09 00 05 00 01 41 10 03 AF 10 06"))
      << "the command is used as its low byte";
  EXPECT_FALSE(noReply);
  EXPECT_EQ(link.ErrorMessage, "");
  EXPECT_EQ(sent, (std::vector<std::pair<int, int>>{{5, 0}}));

  vars.DestNode = 255;
  EXPECT_FALSE(engine.CreatePacket(1, 0, 0, "", 0, noReply).empty());
  EXPECT_TRUE(noReply) << "a broadcast never waits for a reply";
  EXPECT_EQ(vars.TransNum, 6);

  link.Abort = true;
  EXPECT_EQ(engine.CreatePacket(1, 0, 0, "", 0, noReply), "");
  EXPECT_EQ(vars.TransNum, 6) << "an aborted link does not use up a number";
  EXPECT_EQ(sent.size(), 2u);
}
