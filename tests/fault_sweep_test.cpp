// Fails every platform call of a scan and an extraction in turn, and checks
// each time that the run ends, says what went wrong, leaves the output file
// closed with only correct whole sectors of the stream, and leaves the
// source untouched.
#include <dirent.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

#include "app/runs.h"
#include "app/state.h"
#include "disk/recorder_disk.h"
#include "platform/fault.h"
#include "support.h"

namespace {

using testdisk::Disk;
using testdisk::Entry;

int OpenDescriptors() {
  int n = 0;
  DIR* d = opendir("/proc/self/fd");
  while (d && readdir(d)) ++n;
  if (d) closedir(d);
  return n;
}

// Runs f on its own thread; a case that does not end in time is a hang.
void Bounded(const std::function<void()>& f, const std::string& what) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread t([&] {
    f();
    std::lock_guard<std::mutex> lock(m);
    done = true;
    cv.notify_one();
  });
  std::unique_lock<std::mutex> lock(m);
  if (!cv.wait_for(lock, std::chrono::seconds(20), [&] { return done; })) {
    std::fprintf(stderr, "hang: %s\n", what.c_str());
    std::_Exit(1);
  }
  lock.unlock();
  t.join();
}

enum Phase { kDiscovery, kDirectory, kExtraction };

class FaultSweepTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    if (!g_app.bufferA) {
      ASSERT_TRUE(AllocateBuffers());
    }
    Disk d;
    d.sectorsPerCluster = 64;
    d.clusterCount = 500;
    std::vector<uint8_t> stream(3 * 129344 * 8 + 7000);
    testdisk::PatternContent(5)(0, stream.data(), stream.size());
    for (const char* name : {"Morning", "Film", "Late show"}) {
      Entry e;
      e.name = name;
      e.clusters = 5;
      e.fragmented = true;
      d.entries.push_back(e);
    }
    std::vector<uint8_t> blocks = testdisk::ToBlockForm(stream);
    d.entries[1].clusters = static_cast<uint32_t>((blocks.size() + 32767) / 32768);
    d.entries[1].content = testdisk::BytesContent(blocks);
    testdisk::Layout l = BuildAndMap(d);
    first_ = l.chains[1][0];
    source_ = ReadWholeFile(Path("disk.img"));
  }

  // One scan and one extraction of the second recording, as the program
  // does them; the disk is closed at the end as at exit.
  void Run(bool trace) {
    ResetDiskRecord();
    InstallRecordingUi();
    ClearFlag(g_app.diskOpen);
    g_app.traceOption = trace;
    g_app.quietOption = false;
    std::remove(Path("out.ts").c_str());
    ScanThread(nullptr);
    Selection& s = g_app.selection;
    s.valid = true;
    s.firstCluster = first_;
    s.sizeMiB = 3;
    std::strcpy(s.text, "Film  3Mo");
    std::strcpy(g_app.outputPath, Path("out.ts").c_str());
    ClearFlag(g_app.abortFlag);
    ExtractThread(nullptr);
    if (TestFlag(g_app.diskOpen)) CloseDisk();
  }

  // Counts the calls of every kind up to the end of each phase.
  void Measure() {
    ResetDiskRecord();
    ResetFaultCounts();
    ASSERT_TRUE(FindRecorderDisk(false));
    Snapshot(kDiscovery);
    ResetFaultCounts();
    Run(false);
    ASSERT_TRUE(g_ui.errors.empty());
    reference_ = ReadWholeFile(Path("out.ts"));
    ResetFaultCounts();
    ASSERT_TRUE(FindRecorderDisk(false));
    ResetDirectory();
    for (;;) {
      char text[kEntryTextSize];
      u32 start, size;
      ASSERT_TRUE(GetNextEntry(text, &start, &size));
      if (start == 0) break;
    }
    Snapshot(kDirectory);
    ResetDiskRecord();
    ResetFaultCounts();
    Run(false);
    Snapshot(kExtraction);
  }
  void Snapshot(Phase p) {
    for (int k = 0; k < kCallKinds; ++k) ends_[p][k] = FaultCallCount(static_cast<PlatformCall>(k));
  }
  Phase PhaseOf(PlatformCall kind, u32 n) const {
    if (n < ends_[kDiscovery][kind]) return kDiscovery;
    if (n < ends_[kDirectory][kind]) return kDirectory;
    return kExtraction;
  }

  // The messages a failed call of this kind must bring, in this phase.
  std::vector<std::string> MessagesFor(PlatformCall kind, u32 n, Phase phase) const {
    if (phase == kDiscovery) return {"No DVB-T drive found"};
    if (phase == kDirectory) return {"Error detected while scanning files"};
    switch (kind) {
      case kCallSeek:
      case kCallRead: return {"Input file access error"};
      case kCallWrite: return {"Output file write error"};
      case kCallClose:
        // The last close is the drive's, at exit, where nothing is shown.
        if (n + 1 == ends_[kExtraction][kind]) return {};
        return {"Output file close error"};
      default: return {"Unable to create output file"};
    }
  }

  void CheckCase(PlatformCall kind, u32 n, FaultMode mode) {
    std::string what = "call kind " + std::to_string(kind) + " #" + std::to_string(n) +
                       (mode == kFaultShort ? " short" : " failed");
    SCOPED_TRACE(what);
    int fds = OpenDescriptors();
    ResetFaultCounts();
    ArmFault(kind, n, mode);
    Bounded([&] { Run(false); }, what);
    DisarmFault();
    EXPECT_EQ(OpenDescriptors(), fds);
    Phase phase = PhaseOf(kind, n);
    EXPECT_EQ(g_ui.errors, MessagesFor(kind, n, phase));
    EXPECT_EQ(g_ui.scanDone, 1);
    EXPECT_EQ(g_ui.extractDone, 1);
    std::string out = ReadWholeFile(Path("out.ts"));
    EXPECT_EQ(out.size() % 512, 0u);
    EXPECT_EQ(out, reference_.substr(0, out.size()));
    if (phase != kExtraction) {
      EXPECT_EQ(out, reference_);
    }
  }

  u32 first_ = 0;
  std::string source_, reference_;
  u32 ends_[3][kCallKinds] = {};
};

TEST_F(FaultSweepTest, EveryFailedCallEndsCleanlyWithItsMessage) {
  Measure();
  ASSERT_GT(reference_.size(), 3u * 1048576);
  const PlatformCall kinds[] = {kCallOpenDrive, kCallSeek,   kCallRead,         kCallClose,
                                kCallWrite,     kCallCreateOutput, kCallCreateEvent,
                                kCallStartThread};
  u32 cases = 0;
  for (PlatformCall kind : kinds) {
    ASSERT_GT(ends_[kExtraction][kind], 0u) << kind;
    for (u32 n = 0; n < ends_[kExtraction][kind]; ++n) {
      CheckCase(kind, n, kFaultFail);
      if (kind == kCallRead || kind == kCallWrite) CheckCase(kind, n, kFaultShort);
      ++cases;
    }
  }
  EXPECT_EQ(ReadWholeFile(Path("disk.img")), source_);
  RecordProperty("cases", static_cast<int>(cases));
}

TEST_F(FaultSweepTest, FailingTraceLogIsSilent) {
  // A log that cannot be created or written leaves the run as it was.
  ResetFaultCounts();
  Run(true);
  std::string reference = ReadWholeFile(Path("out.ts"));
  u32 writes = FaultCallCount(kCallWrite);
  ASSERT_GT(writes, 40u);  // sector dumps and the output
  for (u32 n = 0; n < 40; ++n) {
    ResetFaultCounts();
    ArmFault(kCallWrite, n, kFaultFail);
    Run(true);
    DisarmFault();
    EXPECT_TRUE(g_ui.errors.empty()) << n;
    EXPECT_EQ(g_ui.lines.size(), 3u) << n;
    EXPECT_EQ(ReadWholeFile(Path("out.ts")), reference) << n;
  }
  std::remove("MELVIR.LOG");
  ResetFaultCounts();
  ArmFault(kCallCreateLog, 0, kFaultFail);
  Run(true);
  DisarmFault();
  EXPECT_TRUE(g_ui.errors.empty());
  EXPECT_EQ(g_ui.lines.size(), 3u);
  EXPECT_EQ(ReadWholeFile(Path("out.ts")), reference);
  FILE* log = std::fopen("MELVIR.LOG", "rb");
  EXPECT_EQ(log, nullptr);
  if (log) std::fclose(log);
}

}  // namespace
