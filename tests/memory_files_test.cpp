// Drives and files held in memory, reached through the platform calls, and
// the reused worker threads: what the fuzz targets run on instead of the
// machine's drives, files and threads.
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/runs.h"
#include "app/state.h"
#include "fuzz/compact_input.h"
#include "platform/drive_map.h"
#include "platform/drive_table.h"
#include "platform/fault.h"
#include "platform/memory_files.h"
#include "platform/platform.h"
#include "platform/thread_reuse.h"
#include "support.h"

namespace {

using Bytes = std::vector<u8>;

class MemoryFilesTest : public ScratchTest {
 protected:
  void TearDown() override {
    SetFileSinks(nullptr, nullptr);
    SetDriveSources(nullptr, 0);
    EXPECT_EQ(OpenMemoryFiles(), 0u);
    ScratchTest::TearDown();
  }
  // Reads length bytes at position from drive number; got = -1 when a call failed.
  Bytes Read(u32 number, u64 position, u32 length, int* got) {
    Bytes out(length, 0xEE);
    FileHandle h;
    u32 n = 0;
    *got = -1;
    if (!OpenDrive(number, &h)) return out;
    if (SeekFile(h, position) && ReadBytes(h, out.data(), length, &n)) *got = int(n);
    EXPECT_TRUE(CloseFile(h));
    out.resize(*got < 0 ? 0 : size_t(*got));
    return out;
  }
};

TEST_F(MemoryFilesTest, DriveReadsItsExtentsOverZerosUpToItsSize) {
  const u8 a[] = {1, 2, 3, 4, 5, 6};
  const u8 b[] = {9, 9};
  // b overlaps the end of a and counts there; the drive ends at byte 1003.
  MemoryExtent extents[] = {{1000, 6, a}, {1004, 2, b}};
  MemoryDrive drive = {1003, extents, 2, 0, 0, 0};
  DriveSource sources[] = {{nullptr, &drive}};
  SetDriveSources(sources, 1);
  struct Case {
    u64 position;
    u32 length;
    int got;
    Bytes bytes;
  } cases[] = {
      {998, 4, 4, {0, 0, 1, 2}},  // zeros, then the extent
      {1001, 8, 2, {2, 3}},       // cut at the size
      {1003, 4, 0, {}},           // at the end
      {5000, 512, 0, {}},         // beyond it
  };
  for (const Case& c : cases) {
    int got;
    EXPECT_EQ(Read(0, c.position, c.length, &got), c.bytes) << c.position;
    EXPECT_EQ(got, c.got) << c.position;
  }
  drive.size = 2000;  // now b shows over a
  int got;
  EXPECT_EQ(Read(0, 1002, 5, &got), (Bytes{3, 4, 9, 9, 0}));

  FileHandle h;
  u64 size = 0;
  u32 written = 0;
  ASSERT_TRUE(OpenDrive(0, &h));
  EXPECT_TRUE(DriveSize(h, &size));
  EXPECT_EQ(size, 2000u);
  EXPECT_FALSE(WriteBytes(h, a, 2, &written));
  EXPECT_EQ(drive.writeAttempts, 1u);
  EXPECT_TRUE(CloseFile(h));
  EXPECT_FALSE(CloseFile(h)) << "closed twice";

  // A drive with a read limit dies after that many reads.
  drive.readLimit = drive.reads + 1;
  EXPECT_EQ(Read(0, 1000, 2, &got), (Bytes{1, 2}));
  Read(0, 1000, 2, &got);
  EXPECT_EQ(got, -1);
  drive.readLimit = 0;

  // Re-reads past the cache, and drive maps, serve it as they serve an image.
  u8 sector[512];
  u32 n = 0;
  ASSERT_TRUE(OpenDrive(0, &h));
  EXPECT_TRUE(ReadDirect(h, 512, sector, 512, &n));
  EXPECT_EQ(n, 512u);
  EXPECT_EQ(sector[1000 - 512], 1);
  // A positional read leaves the position alone.
  ASSERT_TRUE(SeekFile(h, 1001));
  EXPECT_TRUE(ReadAt(h, 1000, sector, 1, &n));
  EXPECT_EQ(sector[0], 1);
  EXPECT_TRUE(ReadBytes(h, sector, 1, &n));
  EXPECT_EQ(sector[0], 2);
  EXPECT_TRUE(CloseFile(h));
  DriveMap map;
  map.readable = {{0, 512}};
  ASSERT_TRUE(SetDriveMap(0, &map));
  EXPECT_EQ(Read(0, 10, 2, &got), (Bytes{0, 0}));
  Read(0, 1000, 2, &got);
  EXPECT_EQ(got, -1) << "outside the map's finished blocks";
  SetDriveMap(0, nullptr);

  // Injected failures reach memory drives as they reach files.
  ResetFaultCounts();
  ArmFault(kCallRead, 0, kFaultShort);
  EXPECT_EQ(Read(0, 1000, 4, &got), (Bytes{1, 2}));
  ArmFault(kCallOpenDrive, 1, kFaultFail);
  Read(0, 1000, 4, &got);
  EXPECT_EQ(got, -1);
}

TEST_F(MemoryFilesTest, TableMixesPathsAndMemoryDrivesAndGivesWayToAPathTable) {
  WriteWholeFile(Path("image"), "file bytes");
  std::string path = Path("image");
  const u8 m[] = {'m'};
  MemoryExtent extent = {0, 1, m};
  MemoryDrive drive = {1, &extent, 1, 0, 0, 0};
  DriveSource sources[] = {{path.c_str(), nullptr}, {path.c_str(), &drive}};
  SetDriveSources(sources, 2);
  int got;
  EXPECT_EQ(Read(0, 0, 4, &got), (Bytes{'f', 'i', 'l', 'e'}));
  EXPECT_EQ(Read(1, 0, 4, &got), (Bytes{'m'})) << "a drive is taken before its path";
  Read(2, 0, 4, &got);
  EXPECT_EQ(got, -1) << "beyond the table";
  const char* paths[] = {path.c_str()};
  SetDriveTable(paths, 1);
  EXPECT_EQ(Read(0, 5, 5, &got), (Bytes{'b', 'y', 't', 'e', 's'}));
  Read(1, 0, 4, &got);
  EXPECT_EQ(got, -1) << "the path table replaced the sources";
}

TEST_F(MemoryFilesTest, SinksCountAndHashWhatIsWrittenAndFlagUnbufferedMisuse) {
  u8* page = static_cast<u8*>(AllocPages(8192));
  ASSERT_NE(page, nullptr);
  for (u32 i = 0; i < 8192; ++i) page[i] = u8(i * 7 + i / 256);
  auto write = [&](const std::vector<u32>& cuts) {
    FileSink out = {}, log = {};
    SetFileSinks(&out, &log);
    FileHandle h;
    u32 at = 0, written = 0;
    EXPECT_TRUE(CreateOutputFile(Path("never.ts").c_str(), &h));
    for (u32 n : cuts) {
      EXPECT_TRUE(WriteBytes(h, page + at, n, &written));
      EXPECT_EQ(written, n);
      at += n;
    }
    EXPECT_TRUE(CloseFile(h));
    EXPECT_EQ(out.bytes, at);
    EXPECT_EQ(out.writes, cuts.size());
    EXPECT_EQ(out.creates, 1u);
    EXPECT_EQ(out.closes, 1u);
    EXPECT_EQ(log.creates, 0u);
    return out;
  };
  FileSink whole = write({8192}), cut = write({512, 4096, 3584});
  EXPECT_EQ(whole.unalignedWrites, 0u);
  EXPECT_EQ(cut.hash, whole.hash) << "whole sectors cut differently";
  page[600] ^= 1;
  EXPECT_NE(write({8192}).hash, whole.hash);
  // Not page-aligned, not whole sectors: the unbuffered interface refuses both.
  EXPECT_EQ(write({512, 100}).unalignedWrites, 1u);
  FileSink out = {}, log = {};
  SetFileSinks(&out, &log);
  FileHandle h, l;
  u32 written;
  ASSERT_TRUE(CreateOutputFile(Path("never.ts").c_str(), &h));
  ASSERT_TRUE(CreateLogFile(Path("never.log").c_str(), &l));
  EXPECT_EQ(OpenMemoryFiles(), 2u);
  EXPECT_TRUE(WriteBytes(h, page + 512, 512, &written));
  EXPECT_TRUE(WriteBytes(l, page, 100, &written));
  EXPECT_EQ(out.unalignedWrites, 1u);
  EXPECT_TRUE(CloseFile(h));
  EXPECT_TRUE(CloseFile(l));
  EXPECT_EQ(log.bytes, 100u);
  EXPECT_EQ(OpenMemoryFiles(), 0u);
  EXPECT_NE(access(Path("never.ts").c_str(), F_OK), 0);
  EXPECT_NE(access(Path("never.log").c_str(), F_OK), 0);

  SetFileSinks(nullptr, nullptr);
  ASSERT_TRUE(CreateLogFile(Path("real.log").c_str(), &l));
  EXPECT_TRUE(WriteBytes(l, "log", 3, &written));
  EXPECT_TRUE(CloseFile(l));
  EXPECT_EQ(ReadWholeFile(Path("real.log")), "log");
}

// The whole run on a drive in memory writes what it writes from the image
// file: the same outputs, byte for byte.
TEST_F(MemoryFilesTest, ExtractionFromMemoryMatchesTheImageFile) {
  testdisk::Disk disk;
  disk.order = testdisk::kWordSwapped;
  disk.sectorsPerCluster = 256;  // a read spans two clusters
  disk.clusterCount = 40;
  disk.entries = {testdisk::PatternRecording("a", 9, 5, true),
                  testdisk::PatternRecording("b", 3, 6)};
  BuildAndMap(disk);
  ASSERT_TRUE(g_app.bufferA || AllocateBuffers());
  std::string image = ReadWholeFile(Path("disk.img"));
  MemoryExtent extent = {0, u32(image.size()), reinterpret_cast<const u8*>(image.data())};
  MemoryDrive drive = {image.size(), &extent, 1, 0, 0, 0};

  // Output of each recording: from the image into files, their bytes then
  // hashed through a sink; from memory straight into a sink.
  auto run = [&](bool memory) {
    std::vector<FileSink> results;
    ResetDiskRecord();
    ClearFlag(g_app.diskOpen);
    DriveSource sources[] = {{nullptr, &drive}};
    if (memory) SetDriveSources(sources, 1);
    ScanThread(nullptr);
    for (u32 i = 0; i < g_app.recordings.rowCount.load(); ++i) {
      FileSink sink = {};
      SetFileSinks(memory ? &sink : nullptr, nullptr);
      std::snprintf(g_app.outputPath, kOutputPathSize, "%s", Path("out.ts").c_str());
      g_app.selection = Selection{true, g_app.recordings.rows[i].firstCluster, 1, "x"};
      ClearFlag(g_app.abortFlag);
      ExtractThread(nullptr);
      if (!memory) {
        std::string out = ReadWholeFile(Path("out.ts"));
        SetFileSinks(&sink, nullptr);
        FileHandle h;
        u32 written;
        EXPECT_TRUE(CreateOutputFile("", &h));
        for (size_t at = 0; at < out.size(); at += kOutputBufferSize) {
          size_t n = std::min<size_t>(kOutputBufferSize, out.size() - at);
          std::memcpy(g_app.bufferA, out.data() + at, n);
          EXPECT_TRUE(WriteBytes(h, g_app.bufferA, u32(n), &written));
        }
        EXPECT_TRUE(CloseFile(h));
      }
      SetFileSinks(nullptr, nullptr);
      results.push_back(sink);
    }
    ResetDiskRecord();
    return results;
  };
  std::vector<FileSink> fromFile = run(false), fromMemory = run(true);
  ASSERT_EQ(fromFile.size(), 2u);
  ASSERT_EQ(fromMemory.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_GT(fromFile[i].bytes, 0u);
    EXPECT_EQ(fromMemory[i].bytes, fromFile[i].bytes) << i;
    EXPECT_EQ(fromMemory[i].hash, fromFile[i].hash) << i;
  }
}

// Header fields, runs placed at sector plus offset, a run cut by the input's
// end, a later run over an earlier one, a header cut short.
TEST(CompactInput, DecodesHeaderAndRuns) {
  const Bytes input = {
      0x15, 0x85, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x00, 0x10, 0x00, 0x00,  // header
      2, 0, 0, 0, 4, 0, 3, 0, 'a', 'b', 'c',                                     // 1028..1030
      2, 0, 0, 0, 5, 0, 1, 0, 'X',                                               // 1029
      0, 0, 0, 0, 0, 2, 9, 0, 'z', 'z'};                                         // 512.., cut to 2
  CompactInput in;
  DecodeCompactInput(input.data(), input.size(), &in);
  EXPECT_EQ(in.options, 0x15);
  EXPECT_EQ(in.faultKind, PlatformCall(0x05 % kCallKinds));
  EXPECT_EQ(in.faultMode, kFaultShort);
  EXPECT_EQ(in.faultOccurrence, 0x1234u);
  EXPECT_EQ(in.extra, 0x12345678u);
  EXPECT_EQ(in.drive.size, 4096u);
  ASSERT_EQ(in.drive.extentCount, 3u);
  EXPECT_EQ(in.drive.extents[0].position, 1028u);
  EXPECT_EQ(in.drive.extents[2].position, 512u);
  EXPECT_EQ(in.drive.extents[2].length, 2u);

  DriveSource sources[] = {{nullptr, &in.drive}};
  SetDriveSources(sources, 1);
  FileHandle h;
  u8 got[6];
  u32 n;
  ASSERT_TRUE(OpenDrive(0, &h));
  ASSERT_TRUE(SeekFile(h, 1027) && ReadBytes(h, got, 5, &n));
  EXPECT_EQ(Bytes(got, got + n), (Bytes{0, 'a', 'X', 'c', 0}));
  EXPECT_TRUE(CloseFile(h));
  SetDriveSources(nullptr, 0);

  const Bytes big = {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0};
  DecodeCompactInput(big.data(), big.size(), &in);
  EXPECT_EQ(in.drive.size, kMaxDiskBytes);
  EXPECT_EQ(in.drive.extentCount, 0u) << "a run header cut short is no run";
  DecodeCompactInput(big.data(), 3, &in);
  EXPECT_EQ(in.drive.size, 0u);
  EXPECT_EQ(in.faultOccurrence, 0u);
}

std::atomic<int> g_ran{0};
std::mutex g_idsMutex;
std::set<pthread_t> g_ids;
std::atomic<bool> g_release{false};

u32 Note(void* argument) {
  {
    std::lock_guard<std::mutex> lock(g_idsMutex);
    g_ids.insert(pthread_self());
  }
  g_ran += *static_cast<int*>(argument);
  return 0;
}

u32 Hold(void*) {
  while (!g_release.load()) YieldThread();
  return 0;
}

TEST(ThreadReuse, RoutinesRunOnAFewParkedThreads) {
  SetThreadReuse(true);
  int one = 1;
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(StartThread(Note, &one));
    while (g_ran.load() != i + 1) YieldThread();
  }
  // One routine still running does not stop the next from starting.
  ASSERT_TRUE(StartThread(Hold, nullptr));
  ASSERT_TRUE(StartThread(Note, &one));
  while (g_ran.load() != 51) YieldThread();
  g_release = true;
  EXPECT_LE(g_ids.size(), 3u) << "threads were made anew";
  SetThreadReuse(false);
}

}  // namespace
