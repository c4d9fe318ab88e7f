// The extraction run and the list scan, end to end on builder disks,
// through a recording user interface.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

#include "app/runs.h"
#include "app/state.h"
#include "app/ui_port.h"
#include "disk/block_form.h"
#include "disk/recorder_disk.h"
#include "platform/fault.h"
#include "support.h"

using testdisk::Disk;
using testdisk::Entry;
using testdisk::Layout;

namespace {

const u32 kBlock = 131072;
const u32 kCut = 129344;

std::vector<uint8_t> Random(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  testdisk::PatternContent(seed)(0, v.data(), n);
  return v;
}

// A block's first byte as a letter: 'G' is 0x47 (the sync byte), '0' 0x00,
// any other letter that byte.
u8 FirstByte(char c) { return c == '0' ? 0 : static_cast<u8>(c); }

// Blocks of the recording; the first byte of each is set from firsts
// (one letter per block).
std::vector<uint8_t> WithFirstBytes(std::vector<uint8_t> data, const std::string& firsts) {
  for (size_t i = 0; i < firsts.size(); ++i) data[i * kBlock] = FirstByte(firsts[i]);
  return data;
}

std::string Str(const std::vector<uint8_t>& v, size_t from, size_t n) {
  return std::string(reinterpret_cast<const char*>(v.data()) + from, n);
}

class RunTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    if (!g_app.bufferA) {
      ASSERT_TRUE(AllocateBuffers());
    }
    ClearFlag(g_app.abortFlag);
    ClearFlag(g_app.diskOpen);
    g_app.traceOption = g_app.quietOption = false;
  }
  // A 64-sector disk (4 clusters a block) with one recording of these bytes.
  Layout OneRecording(const std::vector<uint8_t>& data, Disk* d) {
    Entry e;
    e.name = "Recording";
    e.clusters = static_cast<uint32_t>((data.size() + 32767) / 32768);
    e.fragmented = true;
    e.content = testdisk::BytesContent(data);
    d->clusterCount = 2000;
    d->entries = {e};
    return BuildAndMap(*d);
  }
  void Select(u32 first, u32 sizeMiB, const char* text = "Recording  1Mo") {
    g_app.selection.valid = true;
    g_app.selection.firstCluster = first;
    g_app.selection.sizeMiB = sizeMiB;
    std::strncpy(g_app.selection.text, text, kEntryTextSize - 1);
    std::strncpy(g_app.outputPath, Path("out.ts").c_str(), kOutputPathSize - 1);
  }
  std::string Extract(const std::vector<uint8_t>& data, u32 sizeMiB = 1) {
    Disk d;
    Layout l = OneRecording(data, &d);
    Select(l.chains[0][0], sizeMiB);
    ExtractThread(nullptr);
    return ReadWholeFile(Path("out.ts"));
  }
  bool OutputExists() {
    struct stat st;
    return stat(Path("out.ts").c_str(), &st) == 0;
  }
};

// ---- Block form ------------------------------------------------------------------

TEST_F(RunTest, BlockFormKeepsTheStreamPartOfEveryBlock) {
  std::vector<uint8_t> stream = Random(10 * kCut + 5000, 3);
  for (size_t i = 0; i < stream.size(); i += 188) stream[i] = 0x47;
  std::vector<uint8_t> blocks = testdisk::ToBlockForm(stream);
  ASSERT_EQ(blocks.size(), 10u * kBlock + 5000);
  std::string out = Extract(blocks);
  // The last read is a short block (5000 stream bytes and the rest of its
  // cluster), written whole; the total is rounded down to 512.
  std::vector<uint8_t> expected = stream;
  expected.resize(10 * kCut + 32768, 0);
  EXPECT_EQ(out, Str(expected, 0, expected.size() / 512 * 512));
  EXPECT_EQ(g_ui.errors, std::vector<std::string>{});
  EXPECT_EQ(g_ui.notices, std::vector<std::string>{"File extraction done!"});
  EXPECT_EQ(g_ui.statuses, std::vector<std::string>{"Extracting: Recording  1Mo..."});
  EXPECT_EQ(g_ui.stopDisabled, 1);
  EXPECT_EQ(g_ui.extractDone, 1);
}

// The block form over the first bytes of a recording's blocks, one letter a
// block as WithFirstBytes takes them, and '?' for a block whose first sector
// cannot be read (met only by reads past damage). Every block is cut, or
// none is, decided before the first is written.
struct FormCase {
  const char* what;
  const char* firsts;
  bool blockForm;
  bool unvoted;  // taken as block form for want of a readable block start
};
const FormCase kFormCases[] = {
    {"a plain stream whose first block alone starts with 0x47", "G1GGGG", false, false},
    {"the first block starts with 0x00", "0GGGGG", false, false},
    {"blocks 1 to 3 start with 0x47, block 4 does not", "GGG1GG", false, false},
    {"four blocks starting with 0x47 settle it, whatever follows", "GGGG01G", true, false},
    {"fewer than four blocks, all starting with 0x47", "GG", true, false},
    {"an unreadable block has no say", "?G1", false, false},
    {"the vote goes on past unreadable blocks", "G?GG?G1", true, false},
    {"no block start can be read", "???", true, true},
    {"no blocks", "", true, false},
};

bool ReadFirsts(void* context, u64 index, bool* exists, bool* counted, u8* first) {
  const std::string& firsts = *static_cast<const std::string*>(context);
  *exists = index < firsts.size();
  *counted = *exists && firsts[index] != '?';
  *first = *exists ? FirstByte(firsts[index]) : 0;
  return true;
}

TEST(BlockFormPlan, TheFirstBlocksThatCanBeReadDecideEveryBlock) {
  for (const FormCase& c : kFormCases) {
    std::string firsts = c.firsts;
    FormPlan plan = {};
    ASSERT_TRUE(PlanBlockForm(ReadFirsts, &firsts, &plan)) << c.what;
    EXPECT_EQ(plan.wholeFrom, c.blockForm ? kEveryBlockCut : 0) << c.what;
    EXPECT_EQ(plan.unvoted, c.unvoted) << c.what;
  }
}

// The Windows program's run: its reads never pass over damage, so every
// block votes.
TEST_F(RunTest, TheFirstBlocksSettleTheFormBeforeAnyIsWritten) {
  for (const FormCase& c : kFormCases) {
    std::string firsts = c.firsts;
    if (firsts.empty() || firsts.find('?') != std::string::npos) continue;
    SCOPED_TRACE(c.what);
    InstallRecordingUi();
    ResetDiskRecord();  // each case is a disk of its own
    ClearFlag(g_app.diskOpen);
    std::vector<uint8_t> data = WithFirstBytes(Random(firsts.size() * kBlock, 5), firsts);
    std::string out = Extract(data);
    std::string expected;
    for (size_t i = 0; i < firsts.size(); ++i) expected += Str(data, i * kBlock, c.blockForm ? kCut : kBlock);
    EXPECT_EQ(out.size(), expected.size() / 512 * 512);
    EXPECT_TRUE(out == expected.substr(0, out.size()));
    EXPECT_EQ(g_ui.notices, std::vector<std::string>{"File extraction done!"});
  }
}

// ---- Progress --------------------------------------------------------------------

TEST_F(RunTest, ProgressMovesPerMiBReadAgainstTheListedSize) {
  std::vector<uint8_t> data = WithFirstBytes(Random(24 * kBlock, 7), "GGGG");  // 3 MiB
  Extract(data, 1);
  EXPECT_EQ(g_ui.progress, (std::vector<unsigned>{100, 200, 300}));
  InstallRecordingUi();
  Extract(data, 3);
  EXPECT_EQ(g_ui.progress, (std::vector<unsigned>{33, 66, 100}));
}

TEST_F(RunTest, ZeroListedSizeKeepsTheBarAtZeroInsteadOfDividingByZero) {
  std::vector<uint8_t> data = Random(16 * kBlock + 4096, 8);
  data[0] = 0;
  std::string out = Extract(data, 0);
  EXPECT_EQ(g_ui.progress, std::vector<unsigned>{});  // though 2 MiB are read
  data.resize(65 * 32768, 0);  // the rest of the last cluster
  EXPECT_EQ(out, Str(data, 0, data.size()));
}

// ---- Stop and failures -------------------------------------------------------------

std::atomic<int> g_stopAfterMiB{0};
void StopAt(u32 mib) {
  if (static_cast<int>(mib) == g_stopAfterMiB.load()) SetFlag(g_app.abortFlag);
}

TEST_F(RunTest, StopEndsAtTheNextBlockKeepingTheFile) {
  UiPort port = *CurrentUiPort();
  port.readProgress = StopAt;
  g_stopAfterMiB = 2;
  SetUiPort(&port);
  std::vector<uint8_t> data = WithFirstBytes(Random(40 * kBlock, 9), "\x01");
  std::string out = Extract(data, 5);
  // 2 MiB read is 16 blocks; the run stops right after the 16th.
  EXPECT_EQ(out, Str(data, 0, 16 * kBlock));
  EXPECT_EQ(g_ui.notices, std::vector<std::string>{"File extraction done!"});
  EXPECT_EQ(g_ui.extractDone, 1);
  EXPECT_TRUE(g_ui.errors.empty());
}

TEST_F(RunTest, ReadFailureMidwayKeepsWhatWasWritten) {
  std::vector<uint8_t> data = WithFirstBytes(Random(40 * kBlock, 10), "\x01");
  Disk d;
  Layout l = OneRecording(data, &d);
  Select(l.chains[0][0], 5);
  ASSERT_TRUE(FindRecorderDisk(false));
  SetFlag(g_app.diskOpen);
  // Each 64-sector cluster is one read: fail the 45th, after 11 blocks.
  ArmFault(kCallRead, FaultCallCount(kCallRead) + 44 + 11, kFaultFail);
  ExtractThread(nullptr);
  EXPECT_EQ(g_ui.errors, std::vector<std::string>{"Input file access error"});
  EXPECT_TRUE(g_ui.notices.empty());
  EXPECT_TRUE(TestFlag(g_app.abortFlag));
  std::string out = ReadWholeFile(Path("out.ts"));
  EXPECT_GE(out.size(), 8u * kBlock);
  EXPECT_EQ(out, Str(data, 0, out.size()));
  EXPECT_EQ(out.size() % 512, 0u);
}

TEST_F(RunTest, NoDiskShowsTheMessageAndCreatesNoFile) {
  MapDrives({Path("absent.img")});
  Select(1, 1);
  ExtractThread(nullptr);
  EXPECT_EQ(g_ui.errors, std::vector<std::string>{"No DVB-T drive found"});
  EXPECT_FALSE(TestFlag(g_app.abortFlag));
  EXPECT_FALSE(OutputExists());
  EXPECT_EQ(g_ui.extractDone, 1);
}

TEST_F(RunTest, UncreatableOutputAndUnopenableRecordingAreReported) {
  std::vector<uint8_t> data = Random(kBlock, 11);
  Disk d;
  Layout l = OneRecording(data, &d);
  Select(l.chains[0][0], 1);
  std::strcpy(g_app.outputPath, Path("missing/out.ts").c_str());
  ExtractThread(nullptr);
  EXPECT_EQ(g_ui.errors, std::vector<std::string>{"Unable to create output file"});
  EXPECT_TRUE(TestFlag(g_app.abortFlag));

  InstallRecordingUi();
  ClearFlag(g_app.abortFlag);
  Select(d.clusterCount + 1, 1);
  ExtractThread(nullptr);
  EXPECT_EQ(g_ui.errors, std::vector<std::string>{"Input file access error"});
  EXPECT_TRUE(OutputExists());
  EXPECT_EQ(ReadWholeFile(Path("out.ts")), "");
}

TEST_F(RunTest, WriteFailureStopsTheRunWithOneMessage) {
  std::vector<uint8_t> data = WithFirstBytes(Random(40 * kBlock, 12), "\x01");
  ArmFault(kCallWrite, 1, kFaultFail);
  std::string out = Extract(data, 5);
  EXPECT_EQ(g_ui.errors, std::vector<std::string>{"Output file write error"});
  EXPECT_EQ(out, Str(data, 0, out.size()));
  EXPECT_LE(out.size(), 1u << 20);
  EXPECT_EQ(g_ui.extractDone, 1);
}

TEST_F(RunTest, CyclicChainEndsTheRunWithAnInputError) {
  Disk d;
  d.clusterCount = 30;
  Entry e;
  e.name = "loop";
  e.clusters = 5;
  e.content = testdisk::PatternContent(13);
  d.entries = {e};
  Layout l = Build(d);
  d.tableOverrides = {{l.chains[0][4], l.chains[0][1]}};
  l = BuildAndMap(d);
  Select(l.chains[0][0], 1);
  ExtractThread(nullptr);
  EXPECT_EQ(g_ui.errors, std::vector<std::string>{"Input file access error"});
}

// ---- Scan -------------------------------------------------------------------------

class ScanTest : public RunTest {
 protected:
  // True once another thread of this process waits in open(), as the scan
  // does on a pipe that has no writer yet.
  static bool SomeThreadWaitsInOpen() {
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return false;
    bool found = false;
    while (dirent* t = readdir(tasks)) {
      std::string call = ReadWholeFile(std::string("/proc/self/task/") + t->d_name + "/syscall");
      found = found || call.rfind(std::to_string(SYS_openat) + " ", 0) == 0;
    }
    closedir(tasks);
    return found;
  }
  bool WaitForScanDone() {
    for (int i = 0; i < 20000; ++i) {
      {
        std::lock_guard<std::mutex> lock(g_ui.mutex);
        if (g_ui.scanDone) return true;
      }
      usleep(1000);
    }
    return false;
  }
};

TEST_F(ScanTest, ListsAtMostOneHundredRecordings) {
  Disk d;
  d.clusterCount = 400;
  for (int i = 0; i < 150; ++i) {
    Entry e;
    e.name = "Show " + std::to_string(i);
    e.clusters = 2;
    d.entries.push_back(e);
  }
  Layout l = BuildAndMap(d);
  ScanThread(nullptr);
  ASSERT_EQ(g_ui.lines.size(), 100u);
  EXPECT_EQ(g_ui.lines[99], "Show 99  0Mo");
  EXPECT_TRUE(g_ui.errors.empty());
  EXPECT_EQ(g_ui.scanDone, 1);
  EXPECT_EQ(g_ui.resets, 1);
  EXPECT_TRUE(TestFlag(g_app.diskOpen));
  ASSERT_EQ(g_app.recordings.rowCount.load(), 100u);
  EXPECT_EQ(g_app.recordings.rows[42].listPosition, 42u);
  EXPECT_EQ(g_app.recordings.rows[42].firstCluster, l.chains[42][0]);
}

TEST_F(ScanTest, EmptyDirectoryListsNothingAndSaysNothing) {
  Disk d;
  d.entries = {Entry{}};
  d.entries[0].type = 0;
  BuildAndMap(d);
  ScanThread(nullptr);
  EXPECT_TRUE(g_ui.lines.empty());
  EXPECT_TRUE(g_ui.errors.empty());
  EXPECT_EQ(g_app.recordings.rowCount.load(), 0u);
  EXPECT_EQ(g_ui.scanDone, 1);
}

TEST_F(ScanTest, ReadErrorKeepsTheLinesFoundAndIsQuietOnRequest) {
  for (bool quiet : {false, true}) {
    ResetDiskRecord();
    InstallRecordingUi();
    g_app.quietOption = quiet;
    Disk d;
    d.clusterCount = 100;
    for (const char* name : {"first", "second", "broken", "fourth"}) {
      Entry e;
      e.name = name;
      e.clusters = 3;
      d.entries.push_back(e);
    }
    Layout l = Build(d);
    d.tableOverrides = {{l.chains[2][2], l.chains[2][0]}};
    BuildAndMap(d);
    ScanThread(nullptr);
    EXPECT_EQ(g_ui.lines, (std::vector<std::string>{"first  0Mo", "second  0Mo"}));
    EXPECT_EQ(g_ui.errors, quiet ? std::vector<std::string>{}
                                 : std::vector<std::string>{"Error detected while scanning files"});
    EXPECT_EQ(g_ui.scanDone, 1);
  }
}

TEST_F(ScanTest, NoDiskSaysSoAndStillEnds) {
  MapDrives({Path("absent.img")});
  ScanThread(nullptr);
  EXPECT_EQ(g_ui.errors, std::vector<std::string>{"No DVB-T drive found"});
  EXPECT_TRUE(g_ui.lines.empty());
  EXPECT_FALSE(TestFlag(g_app.diskOpen));
  EXPECT_EQ(g_ui.scanDone, 1);
}

// Info may be asked for while the scan fills the disk record: until
// discovery has finished it shows the record as it was before the scan, then
// what discovery found, never a record half filled. Drive 0 is a pipe, so
// the scan waits inside discovery, having set the disk number, until the
// test opens the pipe's other end.
TEST_F(ScanTest, InfoShowsTheRecordFromBeforeTheScanUntilDiscoveryHasFinished) {
  Disk before, after;
  before.sectorsPerCluster = 32;
  after.sectorsPerCluster = 128;
  Build(before, "before.img");
  Build(after, "after.img");
  MapDrives({Path("absent.img"), Path("before.img")});
  ASSERT_TRUE(FindRecorderDisk(false));
  char beforeScan[kDiskInfoSize], found[kDiskInfoSize], shown[kDiskInfoSize];
  FormatDiskInfo(beforeScan);
  ASSERT_EQ(mkfifo(Path("held").c_str(), 0600), 0);
  MapDrives({Path("held"), Path("after.img")});
  ASSERT_TRUE(StartScan());
  bool held = false;
  for (int i = 0; i < 5000 && !held; ++i) {
    held = SomeThreadWaitsInOpen();
    if (!held) usleep(1000);
  }
  if (held) {
    FormatPublishedDiskInfo(shown);
    EXPECT_STREQ(shown, beforeScan);
  }
  int writer = open(Path("held").c_str(), O_WRONLY | O_NONBLOCK);  // lets the scan go on
  ASSERT_GE(writer, 0);
  close(writer);
  ASSERT_TRUE(WaitForScanDone());
  FormatDiskInfo(found);
  FormatPublishedDiskInfo(shown);
  EXPECT_STREQ(shown, found);
  EXPECT_STRNE(found, beforeScan);
  if (!held) GTEST_SKIP() << "/proc/self/task/*/syscall does not show the scan waiting in open()";
}

TEST_F(ScanTest, TraceOptionWritesTheLog) {
  g_app.traceOption = true;
  Disk d;
  Entry e;
  e.name = "traced";
  e.clusters = 1;
  d.entries = {e};
  BuildAndMap(d);
  ScanThread(nullptr);
  CloseDisk();
  std::string log = ReadWholeFile("MELVIR.LOG");
  EXPECT_NE(log.find("Hard disk #0 sector 2\r\n"), std::string::npos);
  EXPECT_NE(log.find("GetNextEntry returns: traced  0Mo (start="), std::string::npos);
}

}  // namespace
