// Files through the whole control against the emulated sign: sent, fetched back and
// compared on every channel, the progress events, faults and aborts in the middle of a
// transfer, and the buffered burst.
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include "display_rig.hpp"
#include "outcome.hpp"

using namespace qordtcon;
using namespace std::chrono_literals;
using signsim::FaultKind;
using signsim::kAlways;

namespace {

// A file of `size` bytes that differ from block to block, in the rig's directory.
std::string MakeFile(DisplayRig& rig, const std::string& name, std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 7 + i / 1000) & 0xFF);
  rig.dir.Write(name, bytes);
  return (rig.dir.path() / name).string();
}

std::string Contents(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The sign's directory entry of `name` as "size" or "size short", or "absent".
std::string OnSign(const DisplayRig& rig, const std::string& name) {
  const nlohmann::json state = rig.sim->State();
  for (const auto& f : state["directory"]) {
    if (f["name"] == name) return Show(f["size"].get<int>()) + (f["short"] ? " short" : "");
  }
  return "absent";
}

// A sign that also keeps its files in `store`, where a test reads the bytes it holds.
signsim::Options StoringIn(const TempDir& store) {
  signsim::Options options;
  options.store = store.path().string();
  return options;
}

class FileTransfer : public testing::TestWithParam<Channel> {};

TEST_P(FileTransfer, SentFetchedAndCompared) {
  // Storing a whole megabyte may take the sign longer than the rig's short answer time; a
  // resend would then be answered twice and the spare answer taken for the next command's.
  DisplayRig rig({}, {{"MessageResponseTime", "3000"}});
  ASSERT_TRUE(rig.Open(1, GetParam())) << rig.control->LastErrorMessage();
  for (const std::size_t size : {0, 1, 999, 1000, 1001, 16000, 16001, 1 << 20}) {
    for (const bool async : {false, true}) {
      SCOPED_TRACE(Show(size, async));
      const std::string file = MakeFile(rig, "f" + std::to_string(size) + ".bin", size);
      ASSERT_TRUE(rig.control->TransferFileToDisplay(file, std::nullopt, async))
          << rig.control->LastErrorMessage();
      const std::string back = (rig.dir.path() / "back.bin").string();
      ASSERT_TRUE(rig.control->GetFileFromSignByFileName("F" + std::to_string(size) + ".BIN", back))
          << rig.control->LastErrorMessage();
      EXPECT_EQ(Contents(back), Contents(file));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Channels, FileTransfer,
                         testing::Values(Channel::kTcp, Channel::kPty, Channel::kModem),
                         [](const auto& info) { return std::string(Name(info.param)); });

// What the host sees of a 2500-byte file in 1000-byte blocks, and the sign name rules.
TEST(FileTransfer, EventsNamesAndAMissingFile) {
  DisplayRig rig;
  ASSERT_TRUE(rig.Open());
  rig.events.clear();
  std::vector<std::string> progress;
  rig.control->OnFileTransferStatus = [&](std::int32_t b, std::int32_t n, std::int32_t s,
                                          std::int32_t t) { progress.push_back(Show(b, n, s, t)); };
  const std::string file = MakeFile(rig, "a long file name.data", 2500);
  ASSERT_TRUE(rig.control->TransferFileToDisplay(file, DateTime{2026, 12, 4, 13, 5, 9}));
  EXPECT_EQ(progress,
            (std::vector<std::string>{"1 3 1000 2500", "2 3 2000 2500", "3 3 2500 2500"}));
  EXPECT_EQ(rig.events.front(), "status Creating File " + file);
  EXPECT_EQ(OnSign(rig, "ALONGF~1.DAT"), "2500");
  EXPECT_EQ(rig.sim->State()["directory"].back()["modified"], "26-12-04 13:05:09");
  ASSERT_TRUE(rig.control->TransferFileToDisplay(file, std::nullopt, true, "abcdefghijklmnop"));
  EXPECT_EQ(OnSign(rig, "ABCDEFGHIJKL"), "2500");
  // A file the host cut itself: entries 2..TotalBlocks, then entry 0.
  classGRAPHIC_REC_1stBLK record{1, "host.bin", 5, 1, 2, 3, 4, 5, 26};
  classGRAPHIC_REC_FLWBLK blocks;
  blocks.TotalBlocks(2);
  blocks.Data(2, "abc");
  blocks.Data(0, "de");
  EXPECT_TRUE(rig.control->TransferGraphicFileToDisplay(record, blocks));
  EXPECT_EQ(OnSign(rig, "HOST.BIN"), "5");
  const std::size_t frames = rig.sim->ReceivedFrames().size();
  EXPECT_FALSE(rig.control->TransferFileToDisplay(file + ".missing"));
  EXPECT_EQ(rig.control->AddFileToBuffer(file + ".missing"), "");
  EXPECT_EQ(rig.sim->ReceivedFrames().size(), frames) << "nothing sent for a missing file";
  const std::string back = (rig.dir.path() / "back.bin").string();
  EXPECT_FALSE(rig.control->GetFileFromSignByFileName("NOSUCH.BIN", back));
  EXPECT_EQ(rig.control->LastErrorMessage(),
            "Display Reported Error [F1]- [F9]-File Not Found for last CMD:[8] FNC:[3]");
  EXPECT_EQ(Contents(back), "") << "the destination starts new and empty whatever the lookup found";
  EXPECT_TRUE(std::filesystem::exists(back));
  // A file of whole blocks ends with its last whole block: no empty one after it.
  progress.clear();
  const int taken = rig.sim->GetCounters().fileBlocks;
  ASSERT_TRUE(rig.control->TransferFileToDisplay(MakeFile(rig, "even.bin", 2000)));
  EXPECT_EQ(progress, (std::vector<std::string>{"1 2 1000 2000", "2 2 2000 2000"}));
  EXPECT_EQ(rig.sim->GetCounters().fileBlocks - taken, 2);
  // To all signs: carried out, and False, since no reply comes back.
  rig.control->DestinationNode(255);
  classGRAPHIC_DSP show{"HOST.BIN", 0, 0, 10, 10};
  EXPECT_FALSE(rig.control->ShowGraphicFileOnDisplay(show));
  classGRAPHIC_DEL gone{"HOST.BIN"};
  EXPECT_FALSE(rig.control->DeleteFileFromDisplay(gone));
  EXPECT_EQ(OnSign(rig, "HOST.BIN"), "absent");
  EXPECT_FALSE(rig.control->TransferGraphicFileToDisplay(record, blocks));
  EXPECT_EQ(OnSign(rig, "HOST.BIN"), "absent") << "only the first record went out";
}

// A fault in the middle of a 2500-byte file: the result, the text and the messages, and
// never a file on the sign that claims to be whole but differs.
TEST(FileTransfer, FaultsInTheMiddle) {
  struct Row {
    const char* name;
    std::string fault;
    bool async;
    std::int32_t armAt;  // the progress event that arms the fault
    bool result;
    std::string message;
    std::vector<std::string> retries;
    std::string onSign;
  };
  const std::vector<std::string> threeRetries = {"message Retrying Packet # 2 - 1 time(s)",
                                                 "message Retrying Packet # 2 - 2 time(s)",
                                                 "message Retrying Packet # 2 - 3 time(s)"};
  // clang-format off
  const std::vector<Row> rows = {
      {"refused", "nak@2/0:always", false, 1, false, "Display has sent NAK for CMD:[2] FNC:[0]", {}, "absent"},
      {"out of sequence", "error=0xF6@2/0", false, 1, false, "Display Reported Error [F1]- [F6]-Block # out of sequence for last CMD:[2] FNC:[0]", {}, "absent"},
      {"silent once", "silent@2/0", false, 1, true, "", {}, "2500"},
      {"one in flight, silent", "silent@2/0:always", true, 1, false, "Timed Out 4 time(s) for 0.4 sec. for CMD:[2] FNC:[0]", threeRetries, "absent"},
      {"one in flight, lost once", "drop-ack@2/0", true, 1, true, "", {"message Retrying Packet # 2 - 1 time(s)"}, "2500"},
      // An error report is no confirmation: the block goes again, and the report stays.
      {"one in flight, out of sequence", "error=0xF6@2/0", true, 1, false, "Display Reported Error [F1]- [F6]-Block # out of sequence for last CMD:[2] FNC:[0]", threeRetries, "absent"},
      // The last block in flight is resent as the others are.
      {"one in flight, last one lost", "silent@2/0", true, 2, true, "", {"message Retrying Packet # 3 - 1 time(s)"}, "2500"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DisplayRig rig;
    ASSERT_TRUE(rig.Open());
    const std::string file = MakeFile(rig, "f.bin", 2500);
    // The first record goes through; the fault waits for the blocks.
    rig.control->OnFileTransferStatus = [&](std::int32_t block, auto...) {
      if (block != row.armAt) return;
      // The blocks before it are the sign's already, so the fault waits for the next one.
      rig.sim->WaitFor([&](const auto& c) { return c.fileBlocks >= block - 1; }, 10s);
      rig.sim->AddFault(signsim::ParseFault(row.fault));
    };
    rig.events.clear();
    EXPECT_EQ(rig.control->TransferFileToDisplay(file, std::nullopt, row.async), row.result);
    EXPECT_EQ(rig.control->LastErrorMessage(), row.message);
    std::vector<std::string> retries;
    for (const auto& e : rig.events)
      if (e.rfind("message Retrying Packet", 0) == 0) retries.push_back(e);
    EXPECT_EQ(retries, row.retries);
    rig.sim->ClearFaults();
    EXPECT_EQ(OnSign(rig, "F.BIN"), row.onSign);
  }
}

// Wherever an abort lands, from the progress event at every block or from another thread
// at many moments, the sign holds nothing under the file's name or exactly its first k
// blocks: the block next in turn closes the file short only after a confirmed block.
class AbortAnywhere : public testing::TestWithParam<bool> {};

TEST_P(AbortAnywhere, LeavesNoGapInTheFile) {
  TempDir store;
  DisplayRig rig(StoringIn(store));
  ASSERT_TRUE(rig.Open());
  const std::string file = MakeFile(rig, "f.bin", 5500), source = Contents(file);
  // Runs 1 to 6 abort from the progress event of that block; runs 7 to 12 from another
  // thread once the sign has taken run - 6 of the file's six data blocks.
  for (int run = 1; run <= 12; ++run) {
    const std::string name = "F" + std::to_string(run);
    SCOPED_TRACE(name);
    rig.control->OnFileTransferStatus = [&](std::int32_t block, auto...) {
      if (block == run) rig.control->UserAbort();
    };
    const int taken = rig.sim->GetCounters().fileBlocks + run - 6;
    auto thread = std::async(std::launch::async, [&] {
      if (run <= 6) return;
      rig.sim->WaitFor([&](const auto& c) { return c.fileBlocks >= taken; }, 20s);
      rig.control->UserAbort();
    });
    if (!rig.control->TransferFileToDisplay(file, std::nullopt, GetParam(), name)) {
      EXPECT_EQ(rig.control->LastErrorMessage(), "User Canceled");
    }
    thread.get();
    // A new open clears the abort; the sign has carried out all the old connection sent
    // once it counts that connection's end.
    ASSERT_TRUE(rig.Open());
    ASSERT_TRUE(rig.sim->WaitFor([&](const auto& c) { return c.disconnects >= run; }, 20s));
    if (!std::filesystem::exists(store.path() / name)) continue;
    const std::string bytes = Contents((store.path() / name).string());
    EXPECT_TRUE(!bytes.empty() && source.starts_with(bytes) &&
                (bytes.size() % 1000 == 0 || bytes == source))
        << bytes.size() << " bytes stored";
    EXPECT_EQ(OnSign(rig, name), Show(bytes.size()) + (bytes == source ? "" : " short"));
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, AbortAnywhere, testing::Bool(), [](const auto& info) {
  return info.param ? "OneInFlight" : "BlockByBlock";
});

// Small files in one burst, matched by transaction number; a missed answer moves the read
// time-out a quarter of the way to the longest wait.
TEST(FileTransfer, BufferedBurst) {
  TempDir store;
  DisplayRig rig(StoringIn(store), {{"ResponseLongestWait", "1200"}});
  ASSERT_TRUE(rig.Open());
  const std::string a = MakeFile(rig, "a.txt", 10), b = MakeFile(rig, "b.txt", 2500);
  EXPECT_FALSE(rig.control->TransferBufferedFile({}, 0)) << "an empty buffer";
  const std::string frames = rig.control->AddFileToBuffer(a) + rig.control->AddFileToBuffer(b);
  EXPECT_EQ(rig.control->BufferSize(), static_cast<int>(frames.size()) + 2 * 5);
  EXPECT_TRUE(rig.control->TransferBufferedFile({}, 0)) << rig.control->LastErrorMessage();
  EXPECT_EQ(rig.control->BufferSize(), 0);
  EXPECT_EQ(OnSign(rig, "A.TXT") + ", " + OnSign(rig, "B.TXT"), "10, 1000 short");
  // Answered last first, the burst's answers still find their files by number.
  const std::string c = MakeFile(rig, "c.txt", 20);
  for (const std::string& f : {a, b, c})
    rig.control->AddFileToBuffer(f);
  rig.sim->AddFault({FaultKind::Reorder});
  EXPECT_TRUE(rig.control->TransferBufferedFile({}, 0)) << rig.control->LastErrorMessage();
  EXPECT_EQ(rig.control->BufferSize(), 0);
  EXPECT_EQ(rig.sim->GetCounters().faults[FaultKind::Reorder], 1);
  EXPECT_EQ(OnSign(rig, "C.TXT"), "20");
  // A file is done when both its frames are confirmed: here the sign takes the first
  // record, but cannot close the file under a name its store already gives a folder.
  std::filesystem::create_directory(store.path() / "D.TXT");
  rig.control->AddFileToBuffer(MakeFile(rig, "d.txt", 10));
  EXPECT_FALSE(rig.control->TransferBufferedFile({}, 0));
  EXPECT_EQ(rig.control->BufferSize(), 0) << "dropped after the third attempt";
  EXPECT_EQ(OnSign(rig, "D.TXT"), "absent");
  rig.control->TransmitTimeOut(400);  // its missed answers moved the read time-out
  // The sign never answers the burst: three attempts, each moving the time-out twice.
  rig.control->AddFileToBuffer(a);
  rig.sim->AddFault({FaultKind::Silent, 0, kAlways});
  rig.control->RetryCount(1);
  EXPECT_FALSE(rig.control->TransferBufferedFile({}, 0));
  EXPECT_EQ(rig.control->LastErrorMessage(), "Timed out waiting for ACK");
  // 400, 600, 750, 862 (862.5 to even), 946, 1010, 1058
  EXPECT_EQ(rig.control->TransmitTimeOut(), 1058);
  EXPECT_EQ(rig.control->BufferSize(), 0) << "dropped after the third attempt";
  rig.events.clear();
  EXPECT_EQ(rig.control->CreateBufferedFile(a), "");
  EXPECT_EQ(rig.events,
            (std::vector<std::string>{"status CreateBufferedFile() function is deprecated, use "
                                      "AddFileToBuffer() instead"}));
}

}  // namespace
