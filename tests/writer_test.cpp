// The double-buffered output writer: hand-over arithmetic, the bytes on
// disk, and every failure path with real (injected) platform failures.
#include <sys/stat.h>

#include <random>

#include "app/state.h"
#include "output/writer.h"
#include "platform/fault.h"
#include "support.h"

namespace {

const u32 kMiB = 0x100000;

class WriterTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    if (!g_app.bufferA) {
      ASSERT_TRUE(AllocateBuffers());
    }
    ClearFlag(g_app.abortFlag);
    stream_.resize(6 * kMiB);
    std::mt19937 rng(1234);
    for (auto& b : stream_) b = static_cast<uint8_t>(rng());
  }
  // Appends the next n bytes of the test stream.
  bool Append(u32 n) {
    bool ok = WriteOutput(stream_.data() + offset_, n);
    offset_ += n;
    return ok;
  }
  std::string Expected(size_t n) const {
    return std::string(reinterpret_cast<const char*>(stream_.data()), n);
  }
  std::string Out() { return ReadWholeFile(Path("out.ts")); }
  std::vector<uint8_t> stream_;
  size_t offset_ = 0;
};

TEST_F(WriterTest, NinthBlockOfAFilmSplitsAcrossTheBuffers) {
  ASSERT_TRUE(OpenOutput(Path("out.ts").c_str()));
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(Append(129344));
  EXPECT_EQ(g_writer.active, 0u);
  EXPECT_EQ(g_writer.count[0], 1034752u);
  ASSERT_TRUE(Append(129344));
  EXPECT_EQ(g_writer.active, 1u);
  EXPECT_EQ(g_writer.count[1], 115520u);
  EXPECT_EQ(1034752u + 13824u, kMiB);
  ASSERT_TRUE(CloseOutput());
  // 1 MiB written by the writer, then 115520 rounded down to 115200.
  EXPECT_EQ(Out(), Expected(kMiB + 115200));
}

TEST_F(WriterTest, ExactlyFullBufferIsHandedOverAtOnce) {
  ASSERT_TRUE(OpenOutput(Path("out.ts").c_str()));
  ASSERT_TRUE(Append(kMiB));
  EXPECT_EQ(g_writer.active, 1u);
  EXPECT_EQ(g_writer.count[1], 0u);
  ASSERT_TRUE(CloseOutput());
  EXPECT_EQ(Out(), Expected(kMiB));
}

TEST_F(WriterTest, CloseWritesOnlyWholeSectorsOfTheTail) {
  for (u32 tail : {1000u, 300u, 512u, 0u}) {
    offset_ = 0;
    ASSERT_TRUE(OpenOutput(Path("out.ts").c_str()));
    ASSERT_TRUE(Append(tail));
    ASSERT_TRUE(CloseOutput());
    EXPECT_EQ(Out(), Expected(tail / 512 * 512)) << tail;
  }
  EXPECT_TRUE(g_ui.errors.empty());
}

TEST_F(WriterTest, FileHoldsTheStreamRoundedDownWhateverTheAppendSizes) {
  std::mt19937 rng(99);
  ASSERT_TRUE(OpenOutput(Path("out.ts").c_str()));
  while (offset_ < 5 * kMiB) ASSERT_TRUE(Append(rng() % 300000));
  ASSERT_TRUE(Append(3 * 129344 + 17));  // one append spanning several buffers
  ASSERT_TRUE(CloseOutput());
  EXPECT_EQ(Out(), Expected(offset_ / 512 * 512));
  EXPECT_FALSE(WriteOutput(stream_.data(), 10));  // refused once closed
}

// Unbuffered writes of part sectors are refused on a volume of larger
// sectors; the file still holds the whole stream rounded down to 512 bytes.
TEST_F(WriterTest, VolumesOfLargerSectorsGetTheWholeFileToo) {
  for (u32 sector : {512u, 4096u}) {
    SCOPED_TRACE(sector);
    InstallRecordingUi();
    ForceOutputSectorSize(sector);
    offset_ = 0;
    ASSERT_TRUE(OpenOutput(Path("out.ts").c_str()));
    ASSERT_TRUE(Append(kMiB + 3 * 512 + 100));
    EXPECT_TRUE(CloseOutput());
    EXPECT_EQ(Out(), Expected(kMiB + 3 * 512));
    EXPECT_TRUE(g_ui.errors.empty());
  }
}

TEST_F(WriterTest, FailedBufferWriteIsReportedOnceAndRefusesEverythingAfter) {
  // The first buffer write fails; the producer learns it at a later hand-over.
  ArmFault(kCallWrite, 0, kFaultFail);
  ASSERT_TRUE(OpenOutput(Path("out.ts").c_str()));
  bool refused = false;
  for (int i = 0; i < 4 && !refused; ++i) refused = !Append(kMiB);
  EXPECT_TRUE(refused);
  EXPECT_FALSE(Append(10));
  EXPECT_FALSE(CloseOutput());
  // The writer sets the abort flag after it wakes the producer: certain
  // only once CloseOutput has seen the writer end.
  EXPECT_TRUE(TestFlag(g_app.abortFlag));
  EXPECT_EQ(g_ui.errors, std::vector<std::string>{"Output file write error"});
  EXPECT_EQ(FaultCallCount(kCallWrite), 1u);  // nothing handed over after the failure
  EXPECT_EQ(Out(), "");
}

TEST_F(WriterTest, ShortWriteWhileTheProducerWaitsForTheOtherBuffer) {
  ArmFault(kCallWrite, 1, kFaultShort);  // buffer B comes back short
  ASSERT_TRUE(OpenOutput(Path("out.ts").c_str()));
  // A, B, then A again: the third hand-over waits for B and finds the error.
  EXPECT_FALSE(Append(3 * kMiB));
  EXPECT_FALSE(Append(kMiB));
  EXPECT_FALSE(CloseOutput());
  EXPECT_EQ(g_ui.errors, std::vector<std::string>{"Output file write error"});
  EXPECT_TRUE(TestFlag(g_app.abortFlag));
  EXPECT_EQ(FaultCallCount(kCallWrite), 2u);
  // The first buffer is on disk; the short write left part of B at most.
  std::string out = Out();
  EXPECT_GE(out.size(), kMiB);
  EXPECT_LT(out.size(), 2u * kMiB);
  EXPECT_EQ(out, Expected(out.size()));
}

TEST_F(WriterTest, FailedFinalWriteIsReportedByClose) {
  ASSERT_TRUE(OpenOutput(Path("out.ts").c_str()));
  ASSERT_TRUE(Append(1000));
  ArmFault(kCallWrite, FaultCallCount(kCallWrite), kFaultFail);
  EXPECT_FALSE(CloseOutput());
  EXPECT_EQ(g_ui.errors, std::vector<std::string>{"Output file write error"});
  EXPECT_TRUE(TestFlag(g_app.abortFlag));
}

TEST_F(WriterTest, FailedCloseIsReported) {
  ASSERT_TRUE(OpenOutput(Path("out.ts").c_str()));
  ASSERT_TRUE(Append(2 * kMiB + 4096));
  ArmFault(kCallClose, FaultCallCount(kCallClose), kFaultFail);
  EXPECT_FALSE(CloseOutput());
  EXPECT_EQ(g_ui.errors, std::vector<std::string>{"Output file close error"});
  EXPECT_TRUE(TestFlag(g_app.abortFlag));
  EXPECT_EQ(Out(), Expected(2 * kMiB + 4096));
}

TEST_F(WriterTest, MissingFolderFailsWithoutStartingAThread) {
  EXPECT_FALSE(OpenOutput(Path("no/such/folder/out.ts").c_str()));
  EXPECT_EQ(FaultCallCount(kCallStartThread), 0u);
  EXPECT_EQ(FaultCallCount(kCallCreateEvent), 0u);
  EXPECT_TRUE(g_ui.errors.empty());  // the caller reports it
}

TEST_F(WriterTest, FailedEventOrThreadLeavesNothingOpen) {
  const std::pair<PlatformCall, u32> failures[] = {
      {kCallCreateEvent, 0}, {kCallCreateEvent, 1}, {kCallStartThread, 0}};
  for (auto [call, n] : failures) {
    ResetFaultCounts();
    ArmFault(call, n, kFaultFail);
    EXPECT_FALSE(OpenOutput(Path("out.ts").c_str()));
    DisarmFault();
    // What was opened was closed: as many closes as the file, and the
    // events and thread slots are free for the next run.
    EXPECT_EQ(FaultCallCount(kCallClose), 1u);
  }
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(OpenOutput(Path("out.ts").c_str()));
    ASSERT_TRUE(Append(512));
    ASSERT_TRUE(CloseOutput());
  }
  struct stat st;
  ASSERT_EQ(stat(Path("out.ts").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 512);
}

}  // namespace
