// The recorder disk layer on images written by the test-disk builder.
#include <cstring>

#include "disk/entries.h"
#include "disk/layout.h"
#include "disk/recorder_disk.h"
#include "platform/drive_table.h"
#include "platform/fault.h"
#include "platform/memory_files.h"
#include "support.h"

using testdisk::Disk;
using testdisk::Entry;
using testdisk::Layout;
using testdisk::PatternRecording;

namespace {

Entry Slot(const std::string& name, uint16_t type) {
  Entry e;
  e.name = name;
  e.type = type;
  return e;
}

// Reads a recording to its end in blocks of `block` bytes.
bool ReadAll(u32 first, u32 block, std::vector<uint8_t>* out) {
  if (!OpenEntry(first)) return false;
  std::vector<uint8_t> buf(block);
  for (int guard = 0; guard < 1000000; ++guard) {
    u32 got = 0;
    if (!ReadEntryData(buf.data(), block, &got)) return false;
    if (got == 0) return true;
    out->insert(out->end(), buf.begin(), buf.begin() + got);
  }
  return false;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

size_t CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
  size_t n = 0;
  for (const std::string& l : lines) n += l.compare(0, prefix.size(), prefix) == 0;
  return n;
}

class DiskTest : public ScratchTest {};

// ---- Byte orders -----------------------------------------------------------

class ByteOrderTest : public ScratchTest,
                      public ::testing::WithParamInterface<testdisk::ByteOrder> {};

TEST_P(ByteOrderTest, ListsAndReadsTheSameRecordingsInEveryOrder) {
  Disk d;
  d.order = GetParam();
  d.sectorsPerCluster = 256;
  d.entries = {PatternRecording("News at ten", 12, 7), Slot("folder", 5),
               PatternRecording("Film", 9, 8, true)};
  Layout layout = BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  EXPECT_EQ(g_disk.wordSwap, GetParam() == testdisk::kWordSwapped);
  EXPECT_EQ(g_disk.bigEndian, GetParam() != testdisk::kLittleEndian);
  EXPECT_EQ(g_disk.usableClusterBytes, 130560u);
  std::vector<Listed> listed;
  ASSERT_TRUE(ListAll(&listed));
  ASSERT_EQ(listed.size(), 2u);
  // 12 x 127 KiB = 1524 KiB rounds to 1 MiB; 9 x 127 = 1143 KiB to 1 MiB.
  EXPECT_EQ(listed[0].text, "News at ten  1Mo");
  EXPECT_EQ(listed[1].text, "Film  1Mo");
  EXPECT_EQ(listed[0].start, layout.chains[0][0]);
  for (size_t i : {0u, 2u}) {
    std::vector<uint8_t> data;
    ASSERT_TRUE(ReadAll(layout.chains[i][0], 131072, &data));
    EXPECT_TRUE(data == testdisk::ExpectedStream(d, layout, i)) << "entry " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Orders, ByteOrderTest,
                         ::testing::Values(testdisk::kBigEndian, testdisk::kLittleEndian,
                                           testdisk::kWordSwapped));

TEST_F(DiskTest, WordSwappedDiskIsReadThroughItsSwappedMagic) {
  Disk d;
  d.order = testdisk::kWordSwapped;
  d.entries = {PatternRecording("a", 1)};
  BuildAndMap(d);
  std::string raw = ReadWholeFile(Path("disk.img"));
  ASSERT_EQ(raw.compare(2 * 512 + 504, 4, "aPTr"), 0);
  ASSERT_TRUE(FindRecorderDisk(false));
  ASSERT_TRUE(ReadSector(2));
  EXPECT_EQ(std::memcmp(g_disk.sector + 504, "ParT", 4), 0);
  EXPECT_EQ(SwapLong(0x11223344u), 0x44332211u);
  EXPECT_EQ(SwapShort(0x000Du), 0x0D00u);
}

TEST_F(DiskTest, MagicsOtherThanTheThreeRejectTheDrive) {
  for (const char* magic : {"rTaP", "PaRT", "part", "\0\0\0\0"}) {
    ResetDiskRecord();
    Disk d;
    d.magic = std::string(magic, 4);
    d.entries = {PatternRecording("a", 1)};
    BuildAndMap(d);
    EXPECT_FALSE(FindRecorderDisk(false)) << magic;
    EXPECT_EQ(g_disk.device, kNoFile);
  }
}

// ---- Sector reader -----------------------------------------------------------

TEST_F(DiskTest, SecondReadOfTheSameSectorIsServedFromTheCache) {
  Disk d;
  d.entries = {PatternRecording("a", 1)};
  BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(true));
  u32 reads = FaultCallCount(kCallRead);
  ASSERT_TRUE(ReadSector(0));
  ASSERT_TRUE(ReadSector(0));
  EXPECT_EQ(FaultCallCount(kCallRead), reads + 1);
  CloseDisk();
  std::vector<std::string> log = Lines(ReadWholeFile("MELVIR.LOG"));
  EXPECT_EQ(CountPrefix(log, "Hard disk #0 sector 0"), 1u);
}

TEST_F(DiskTest, ShortReadFailsAndCachesNothing) {
  Disk d;
  d.entries = {PatternRecording("a", 1)};
  BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  ArmFault(kCallRead, FaultCallCount(kCallRead), kFaultShort);
  EXPECT_FALSE(ReadSector(5));
  EXPECT_EQ(g_disk.cachedSector, kNoSector);
  u32 reads = FaultCallCount(kCallRead);
  EXPECT_TRUE(ReadSector(5));
  EXPECT_EQ(FaultCallCount(kCallRead), reads + 1);
}

TEST_F(DiskTest, ReadPastTheEndOfTheDriveFails) {
  Disk d;
  d.entries = {PatternRecording("a", 1)};
  Layout layout = BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  EXPECT_FALSE(ReadSector(static_cast<u32>(layout.imageSize / 512)));
  EXPECT_EQ(g_disk.cachedSector, kNoSector);
}

// The last sector a 32-bit number reaches shares its number with "nothing
// cached": it must be read each time, and fail where the drive is shorter.
TEST_F(DiskTest, TheLastSectorNumberIsReadNeverTakenForCached) {
  static u8 last[512];
  std::memset(last, 0x5A, sizeof last);
  MemoryExtent extent = {0xFFFFFFFFull * 512, 512, last};
  for (u64 size : {0x100000000ull * 512, 0xFFFFFFFFull * 512}) {
    ResetDiskRecord();
    MemoryDrive drive = {size, &extent, 1, 0, 0, 0};
    DriveSource source = {nullptr, &drive};
    SetDriveSources(&source, 1);
    ASSERT_TRUE(OpenDrive(0, &g_disk.device));
    std::memset(g_disk.sector, 0, sizeof g_disk.sector);
    bool whole = size > 0xFFFFFFFFull * 512;
    for (int i = 0; i < 2; ++i) {
      u32 reads = drive.reads;
      EXPECT_EQ(ReadSector(0xFFFFFFFFu), whole) << size;
      EXPECT_EQ(drive.reads, reads + 1) << "read " << i << " of a drive of " << size << " bytes";
      if (whole) {
        EXPECT_EQ(g_disk.sector[511], 0x5A);
      }
    }
    ResetDiskRecord();
    SetDriveSources(nullptr, 0);
  }
}

TEST_F(DiskTest, SectorDumpHasTheExactLayout) {
  std::vector<uint8_t> bytes(512);
  for (int i = 0; i < 512; ++i) bytes[i] = static_cast<uint8_t>(i);
  Disk d;
  Entry e = PatternRecording("dump", 1);
  e.content = testdisk::BytesContent(bytes);
  d.entries = {e};
  Layout layout = BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(true));
  u32 sector = static_cast<u32>(layout.ClusterByte(layout.chains[0][0]) / 512);
  ASSERT_TRUE(ReadSector(sector));
  CloseDisk();
  std::string log = ReadWholeFile("MELVIR.LOG");
  std::string header = "Hard disk #0 sector " + std::to_string(sector) + "\r\n";
  size_t at = log.find(header);
  ASSERT_NE(at, std::string::npos);
  std::vector<std::string> dump = Lines(log.substr(at));
  ASSERT_GE(dump.size(), 34u);
  EXPECT_EQ(dump[1], "000  00 01 02 03 04 05 06 07-08 09 0A 0B 0C 0D 0E 0F ................");
  EXPECT_EQ(dump[2], "010  10 11 12 13 14 15 16 17-18 19 1A 1B 1C 1D 1E 1F ................");
  EXPECT_EQ(dump[3], "020  20 21 22 23 24 25 26 27-28 29 2A 2B 2C 2D 2E 2F  !\"#$%&'()*+,-./");
  EXPECT_EQ(dump[8], "070  70 71 72 73 74 75 76 77-78 79 7A 7B 7C 7D 7E 7F pqrstuvwxyz{|}~.");
  EXPECT_EQ(dump[32], "1F0  F0 F1 F2 F3 F4 F5 F6 F7-F8 F9 FA FB FC FD FE FF ................");
  EXPECT_EQ(dump[33], "");
  // 32 lines of 71 characters, then the empty line.
  EXPECT_EQ(log.substr(at + header.size() + 32 * 71, 2), "\r\n");
}

// ---- Discovery -----------------------------------------------------------------

TEST_F(DiskTest, RecorderOnSecondDriveIsFoundAfterTheFirstIsProbed) {
  WriteWholeFile(Path("system.img"), std::string(64 * 1024, '\x5A'));
  Disk d;
  d.entries = {PatternRecording("a", 1)};
  Build(d);
  MapDrives({Path("system.img"), Path("disk.img")});
  ASSERT_TRUE(FindRecorderDisk(true));
  EXPECT_EQ(g_disk.diskNumber, 1u);
  char info[kDiskInfoSize];
  FormatDiskInfo(info);
  EXPECT_EQ(std::string(info).substr(0, std::string(info).find('\r')), "Hard disk: 1 Partition: 1");
  CloseDisk();
  std::vector<std::string> log = Lines(ReadWholeFile("MELVIR.LOG"));
  EXPECT_EQ(CountPrefix(log, "Hard disk #0 sector 2"), 1u);
  EXPECT_EQ(CountPrefix(log, "Hard disk #1 sector 2"), 1u);
  EXPECT_EQ(CountPrefix(log, "Hard disk #1 sector 64"), 1u);  // the volume header
}

TEST_F(DiskTest, NoRecorderDiskLeavesNothingOpenAndCountsSeventeenDrives) {
  WriteWholeFile(Path("a.img"), std::string(4096, '\0'));
  MapDrives({Path("a.img"), Path("missing.img")});
  EXPECT_FALSE(FindRecorderDisk(true));
  EXPECT_EQ(g_disk.device, kNoFile);
  EXPECT_FALSE(g_disk.trace);
  EXPECT_EQ(g_disk.diskNumber, 17u);
  char info[kDiskInfoSize];
  FormatDiskInfo(info);
  EXPECT_EQ(std::string(info),
            "Hard disk: 17 Partition: 1\rCluster size: 0, Clusters count: 0\r"
            "Allocation table start: 0\rTable interleave: 0\rTable size: 0\r"
            "Directory start: 0\rDirectory interleave: 0\rDirectory size: 0\rData start: 0");
}

TEST_F(DiskTest, WordSwappedDiskDumpsSectorTwoTwice) {
  Disk d;
  d.order = testdisk::kWordSwapped;
  d.entries = {PatternRecording("a", 1)};
  BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(true));
  CloseDisk();
  EXPECT_EQ(CountPrefix(Lines(ReadWholeFile("MELVIR.LOG")), "Hard disk #0 sector 2"), 2u);
}

TEST_F(DiskTest, EndMarkerInFirstEntryRejectsWithoutReadingAHeader) {
  Disk d;
  d.partitionIndex = -1;
  d.otherSlots = {testdisk::PartitionSlot{"", 0, true}};
  d.entries = {PatternRecording("a", 1)};
  BuildAndMap(d);
  EXPECT_FALSE(FindRecorderDisk(false));
  EXPECT_EQ(FaultCallCount(kCallRead), 1u);
}

TEST_F(DiskTest, RecordingPartitionInTheTwelfthEntryIsFound) {
  Disk d;
  d.partitionIndex = 11;
  d.entries = {PatternRecording("a", 1)};
  BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  EXPECT_EQ(g_disk.partitionIndex, 11u);
  char info[kDiskInfoSize];
  FormatDiskInfo(info);
  EXPECT_EQ(std::string(info).substr(0, 26), "Hard disk: 0 Partition: 12");
}

TEST_F(DiskTest, TwelveOtherEntriesWithoutEndMarkerReject) {
  Disk d;
  d.partitionIndex = -1;
  d.endMarker = false;
  for (int i = 0; i < 12; ++i)
    d.otherSlots.push_back(testdisk::PartitionSlot{"HDD1_AV" + std::to_string(i + 2), 64, false});
  d.entries = {PatternRecording("a", 1)};
  BuildAndMap(d);
  EXPECT_FALSE(FindRecorderDisk(false));
  EXPECT_EQ(FaultCallCount(kCallRead), 1u);
}

TEST_F(DiskTest, EachHeaderCheckRejectsTheDrive) {
  auto rejects = [&](void (*damage)(Disk&), const char* what) {
    ResetDiskRecord();
    Disk d;
    d.entries = {PatternRecording("a", 1)};
    damage(d);
    BuildAndMap(d);
    EXPECT_FALSE(FindRecorderDisk(false)) << what;
    EXPECT_EQ(g_disk.device, kNoFile) << what;
  };
  rejects([](Disk& d) { d.signatureSwapped = true; }, "signature 55 AA");
  rejects([](Disk& d) { d.headerName = "HDD1_AV2"; }, "header name");
  rejects([](Disk& d) { d.headerName = "HDD1_AV1X"; }, "header name without NUL after it");
  rejects([](Disk& d) { d.bytesPerSector = 4096; }, "bytes per sector");
  rejects([](Disk& d) { d.tableCopies = 1; }, "table copies");
  rejects([](Disk& d) { d.directoryCopies = 3; }, "directory copies");
}

TEST_F(DiskTest, UsableClusterBytesLeaveOutOneSectorInEvery256) {
  const std::pair<uint32_t, u32> cases[] = {{0, 0}, {1, 512}, {64, 32768}, {255, 130560},
                                           {256, 130560}, {512, 261120}};
  for (auto [spc, usable] : cases) {
    ResetDiskRecord();
    Disk d;
    d.sectorsPerCluster = spc;
    d.clusterCount = 40;
    d.entries = {PatternRecording("a", 1)};
    BuildAndMap(d);
    ASSERT_TRUE(FindRecorderDisk(false)) << spc;
    EXPECT_EQ(g_disk.usableClusterBytes, usable) << spc;
  }
}

TEST_F(DiskTest, InfoTextShowsTheGeometryOfTheHeader) {
  Disk d;
  d.sectorsPerCluster = 256;
  d.clusterCount = 3000;
  d.tableInterleave = 8;
  d.directoryInterleave = 3;
  d.entries = {PatternRecording("a", 1)};
  Layout l = BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  char info[kDiskInfoSize];
  std::memset(info, 'x', sizeof info);
  FormatDiskInfo(info);
  char expected[kDiskInfoSize];
  snprintf(expected, sizeof expected,
           "Hard disk: 0 Partition: 1\rCluster size: 256, Clusters count: 3000\r"
           "Allocation table start: %u\rTable interleave: 8\rTable size: %u\r"
           "Directory start: %u\rDirectory interleave: 3\rDirectory size: %u\rData start: %u",
           l.tableStart, l.tableSize, l.directoryStart, l.directorySize, l.dataStart);
  EXPECT_EQ(std::string(info), expected);
}

// ---- Allocation chain -----------------------------------------------------------

// The sectors of a table or directory that lie before a drive's end are those
// whose copy 1 does, counted from the interleave alone.
TEST(DriveExtent, SectorsBeforeTheEndAreThoseWhoseCopyOneIs) {
  for (u32 k : {0u, 1u, 3u, 4u}) {
    for (u64 end = 90; end < 140; ++end) {
      u32 n = 0;
      while (n < 20 && (k ? WideCopySector(100, k, n, 1) : 100 + n) < end) ++n;
      EXPECT_EQ(CopySectorsBefore(100, k, 20, end), n) << "k " << k << ", end " << end;
    }
  }
  EXPECT_EQ(CopySectorsBefore(0, 2, 0x40000000u, 1ull << 32), 0x40000000u);
  EXPECT_EQ(CopySectorsBefore(76, 1, 0x80000000u, 150), 37u);
}

TEST_F(DiskTest, TableSectorsFollowTheInterleave) {
  Disk d;
  d.clusterCount = 127 * 12;
  d.tableInterleave = 4;
  d.entries = {PatternRecording("a", 1)};
  Layout l = BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  const std::pair<u32, u32> cases[] = {{0, 0}, {1, 1}, {3, 3}, {4, 8}, {7, 11}, {9, 17}};
  for (auto [s, offset] : cases) {
    u32 c = s * 127;
    ASSERT_TRUE(GetNextCluster(&c)) << s;
    EXPECT_EQ(g_disk.cachedSector, l.tableStart + offset) << s;
  }
  u32 c = 126;
  ASSERT_TRUE(GetNextCluster(&c));
  EXPECT_EQ(g_disk.cachedSector, l.tableStart);
  c = 127;
  ASSERT_TRUE(GetNextCluster(&c));
  EXPECT_EQ(g_disk.cachedSector, l.tableStart + 1);
}

TEST_F(DiskTest, ChainEndsBeyondTheClusterCount) {
  Disk d;
  d.clusterCount = 500;
  d.entries = {PatternRecording("a", 1)};
  d.tableOverrides = {{10, 500}, {11, 501}, {12, 0xFFFFFFFF}, {13, 0}};
  BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  const std::pair<u32, u32> cases[] = {{10, 500}, {11, kEndOfChain}, {12, kEndOfChain}, {13, 0}};
  for (auto [from, to] : cases) {
    u32 c = from;
    ASSERT_TRUE(GetNextCluster(&c));
    EXPECT_EQ(c, to) << from;
  }
}

TEST_F(DiskTest, StepOutsideTheTableFailsAndKeepsTheCluster) {
  Disk d;
  d.clusterCount = 200;  // two table sectors
  d.entries = {PatternRecording("a", 1)};
  Layout l = BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  ASSERT_EQ(g_disk.tableSize, l.tableSize);
  u32 c = l.tableSize * 127;
  EXPECT_FALSE(GetNextCluster(&c));
  EXPECT_EQ(c, l.tableSize * 127);
  c = kEndOfChain;
  EXPECT_FALSE(GetNextCluster(&c));
}

// ---- Directory -------------------------------------------------------------------

TEST_F(DiskTest, EmptyDirectoryReadsEachSectorOnceAndSkipsSilently) {
  Disk d;
  d.directorySize = 5;
  for (int i = 0; i < 35; ++i) d.entries.push_back(Slot("", 0));
  BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(true));
  u32 reads = FaultCallCount(kCallRead);
  std::vector<Listed> listed;
  ASSERT_TRUE(ListAll(&listed));
  EXPECT_TRUE(listed.empty());
  EXPECT_EQ(FaultCallCount(kCallRead), reads + 5);
  CloseDisk();
  std::vector<std::string> log = Lines(ReadWholeFile("MELVIR.LOG"));
  EXPECT_EQ(CountPrefix(log, "GetNextEntry"), 0u);
  EXPECT_EQ(CountPrefix(log, "Hard disk #"), 2u + 5u);  // sector 2, header, 5 directory
}

TEST_F(DiskTest, TraceShowsSkipsAndReturnsAndRereadsTheDirectorySector) {
  Disk d;
  d.clusterCount = 100;
  Entry beyond = PatternRecording("lost", 1);
  beyond.overrideFirst = true;
  beyond.firstCluster = 101;
  d.entries = {PatternRecording("one", 2), Slot("dir", 5), Slot("", 0), beyond,
               Slot("odd\x01name", 0x1234), PatternRecording("two", 1), PatternRecording("last", 1)};
  Layout l = BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(true));
  std::vector<Listed> listed;
  ASSERT_TRUE(ListAll(&listed));
  ASSERT_EQ(listed.size(), 3u);
  CloseDisk();
  std::vector<std::string> log = Lines(ReadWholeFile("MELVIR.LOG"));
  std::vector<std::string> events;
  for (const std::string& line : log)
    if (line.rfind("GetNextEntry", 0) == 0 || line.rfind("Hard disk", 0) == 0) events.push_back(line);
  char one[80], two[80], last[80];
  snprintf(one, sizeof one, "GetNextEntry returns: one  0Mo (start=%08X)", l.chains[0][0]);
  snprintf(two, sizeof two, "GetNextEntry returns: two  0Mo (start=%08X)", l.chains[5][0]);
  snprintf(last, sizeof last, "GetNextEntry returns: last  0Mo (start=%08X)", l.chains[6][0]);
  std::string dirSector = "Hard disk #0 sector " + std::to_string(l.directoryStart);
  std::string tableSector = "Hard disk #0 sector " + std::to_string(l.tableStart);
  std::vector<std::string> expected = {"Hard disk #0 sector 2", "Hard disk #0 sector 64",
                                       dirSector, tableSector, one, dirSector,
                                       "GetNextEntry skips: (0005) dir",
                                       "GetNextEntry skips: (000D) lost",
                                       "GetNextEntry skips: (1234) odd.name",
                                       tableSector, two, dirSector, tableSector, last};
  EXPECT_EQ(events, expected);
}

TEST_F(DiskTest, NamesAreSanitisedAndMayFillAllSixtyFourBytes) {
  std::string full(64, 'N');
  full[10] = '\xE9';
  full[20] = '\x7F';
  Disk d;
  d.entries = {PatternRecording(full, 1), PatternRecording("caf\xE9\t!", 1)};
  BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  std::vector<Listed> listed;
  ASSERT_TRUE(ListAll(&listed));
  ASSERT_EQ(listed.size(), 2u);
  std::string shown = full;
  shown[10] = shown[20] = '.';
  EXPECT_EQ(listed[0].text, shown + "  0Mo");
  EXPECT_EQ(listed[1].text, "caf..!  0Mo");
}

TEST_F(DiskTest, SizeIsWholeKiBPerClusterRoundedToMiB) {
  Disk d;
  d.sectorsPerCluster = 256;
  d.clusterCount = 8200;
  d.entries = {PatternRecording("three", 3), PatternRecording("four thousand", 4000),
               PatternRecording("rounds up", 383), PatternRecording("rounds down", 512)};
  BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  std::vector<Listed> listed;
  ASSERT_TRUE(ListAll(&listed));
  ASSERT_EQ(listed.size(), 4u);
  EXPECT_EQ(listed[0].size, 0u);
  EXPECT_EQ(listed[1].size, 496u);
  EXPECT_EQ(listed[1].text, "four thousand  496Mo");
  // 383 x 127 KiB = 47 MiB + 513 KiB; 512 x 127 KiB = 63 MiB + 512 KiB.
  EXPECT_EQ(listed[2].size, 48u);
  EXPECT_EQ(listed[3].size, 63u);
}

TEST_F(DiskTest, RecordingWithFirstClusterZeroEndsTheDirectory) {
  // Its chain is walked from table entry 0: ending there ends the listing;
  // an entry 0 that points to itself is a cycle and fails it.
  for (bool cyclic : {false, true}) {
    ResetDiskRecord();
    Disk d;
    d.clusterCount = 100;
    Entry zero = PatternRecording("zero", 1);
    zero.overrideFirst = true;
    zero.firstCluster = 0;
    d.entries = {PatternRecording("before", 1), zero, PatternRecording("after", 1)};
    if (!cyclic) d.tableOverrides = {{0, 0xFFFFFFFF}};
    BuildAndMap(d);
    ASSERT_TRUE(FindRecorderDisk(false));
    std::vector<Listed> listed;
    EXPECT_EQ(ListAll(&listed), !cyclic);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].text, "before  0Mo");
  }
}

TEST_F(DiskTest, ExhaustedDirectoryKeepsAnsweringEnd) {
  Disk d;
  d.entries = {PatternRecording("only", 1)};
  BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  std::vector<Listed> listed;
  ASSERT_TRUE(ListAll(&listed));
  char text[kEntryTextSize] = "unchanged";
  u32 start = 99, size = 77;
  ASSERT_TRUE(GetNextEntry(text, &start, &size));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(size, 77u);
  EXPECT_STREQ(text, "unchanged");
}

// ---- Recording data ------------------------------------------------------------------

TEST_F(DiskTest, ReadsCrossClustersOfUsableBytesOnly) {
  Disk d;
  d.sectorsPerCluster = 256;
  d.entries = {PatternRecording("film", 3, 42, true)};
  Layout l = BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  std::vector<uint8_t> expected = testdisk::ExpectedStream(d, l, 0);
  ASSERT_EQ(expected.size(), 3u * 130560);
  ASSERT_TRUE(OpenEntry(l.chains[0][0]));
  std::vector<uint8_t> buf(131072);
  u32 got = 0;
  ASSERT_TRUE(ReadEntryData(buf.data(), 131072, &got));
  EXPECT_EQ(got, 131072u);
  EXPECT_EQ(g_disk.currentCluster, l.chains[0][1]);
  EXPECT_EQ(g_disk.clusterOffset, 512u);
  EXPECT_TRUE(std::equal(buf.begin(), buf.end(), expected.begin()));
  std::vector<uint8_t> all;
  ASSERT_TRUE(ReadAll(l.chains[0][0], 131072, &all));
  EXPECT_TRUE(all == expected);
}

TEST_F(DiskTest, LengthMustBeWholeSectors) {
  Disk d;
  d.entries = {PatternRecording("a", 1, 3)};
  Layout l = BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  ASSERT_TRUE(OpenEntry(l.chains[0][0]));
  std::vector<uint8_t> buf(4096);
  u32 got = 12345;
  EXPECT_FALSE(ReadEntryData(buf.data(), 1000, &got));
  EXPECT_EQ(got, 12345u);
  u32 reads = FaultCallCount(kCallRead), seeks = FaultCallCount(kCallSeek);
  ASSERT_TRUE(ReadEntryData(buf.data(), 0, &got));
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(FaultCallCount(kCallRead), reads);
  EXPECT_EQ(FaultCallCount(kCallSeek), seeks);
}

TEST_F(DiskTest, OneClusterOfSixtyFourSectorsThenNothing) {
  Disk d;
  d.entries = {PatternRecording("short", 1, 5)};
  Layout l = BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  ASSERT_TRUE(OpenEntry(l.chains[0][0]));
  std::vector<uint8_t> buf(131072);
  u32 got = 0;
  ASSERT_TRUE(ReadEntryData(buf.data(), 131072, &got));
  EXPECT_EQ(got, 32768u);
  ASSERT_TRUE(ReadEntryData(buf.data(), 131072, &got));
  EXPECT_EQ(got, 0u);
  ASSERT_TRUE(ReadEntryData(buf.data(), 131072, &got));
  EXPECT_EQ(got, 0u);
  EXPECT_FALSE(OpenEntry(d.clusterCount + 1));
}

TEST_F(DiskTest, RecordingBeyondFourGiBIsReadAtItsRealPosition) {
  Disk d;
  d.sectorsPerCluster = 64;
  d.clusterCount = 300000;
  Entry far = PatternRecording("far", 0, 9);
  far.chain = {250000, 250001, 140000};  // 7.6 GiB and 4.3 GiB into the disk
  d.entries = {far};
  Layout l = BuildAndMap(d);
  ASSERT_GT(l.ClusterByte(140000), 0x100000000ull);
  ASSERT_TRUE(FindRecorderDisk(false));
  std::vector<uint8_t> all;
  ASSERT_TRUE(ReadAll(250000, 131072, &all));
  EXPECT_EQ(all.size(), 3u * 32768);
  EXPECT_TRUE(all == testdisk::ExpectedStream(d, l, 0));
}

TEST_F(DiskTest, ZeroSectorClustersListAsZeroAndDeliverNothing) {
  Disk d;
  d.sectorsPerCluster = 0;
  d.entries = {PatternRecording("empty", 5)};
  Layout l = BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  std::vector<Listed> listed;
  ASSERT_TRUE(ListAll(&listed));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].text, "empty  0Mo");
  std::vector<uint8_t> all;
  ASSERT_TRUE(ReadAll(l.chains[0][0], 131072, &all));
  EXPECT_TRUE(all.empty());
}

// ---- Damage ----------------------------------------------------------------------------

// A cycle fails the listing and the read instead of hanging, also when a
// damaged header claims billions of clusters: the cycle must then be found
// within a few laps, not after as many steps as the count allows.
TEST_F(DiskTest, CycleFailsTheListingAndTheReadInsteadOfHanging) {
  for (uint32_t clusters : {50u, 0x7FFFFFF0u})
    for (uint32_t spc : {64u, 0u}) {
      ResetDiskRecord();
      Disk d;
      d.sectorsPerCluster = spc;
      d.clusterCount = clusters;
      d.tableSize = 8;
      d.directorySize = 1;
      d.entries = {PatternRecording("loop", 3, 4)};
      Layout l = Build(d);
      d.tableOverrides = {{l.chains[0][2], l.chains[0][0]}};
      l = BuildAndMap(d);
      ASSERT_TRUE(FindRecorderDisk(false));
      std::vector<Listed> listed;
      EXPECT_FALSE(ListAll(&listed)) << clusters << " " << spc;
      std::vector<uint8_t> all;
      EXPECT_FALSE(ReadAll(l.chains[0][0], 131072, &all)) << clusters << " " << spc;
      EXPECT_LE(all.size(), 52u * 32768) << clusters << " " << spc;
    }
}

// On the chain 1, 2, 3 of 1 MiB clusters (so the listed size counts them),
// redirected by table entries: the cluster count bounds every walk, cluster 0
// included; the data reader never reads cluster 0, which lies before the data
// area, nor a cluster whose sectors pass 2^32 - 1, which would wrap to the
// start of the disk; and 0xFFFFFFFF ends a chain even where the header counts
// that many clusters.
TEST_F(DiskTest, WalksStopAtTheClusterCountAndReadOnlyClustersOfTheDataArea) {
  const uint32_t kEnd = 0xFFFFFFFF, kWraps = 0x200001;  // (kWraps - 1) x 2048 = 2^32
  struct Case {
    const char* what;
    uint32_t clusterCount, tableSize, dataStart;  // 0: the builder's choice; 4096 puts
                                                  // "cluster 0" inside the image
    std::vector<std::pair<uint32_t, uint32_t>> successors;
    int listedMiB;        // -1: the listing fails
    bool readOk;
    size_t clustersRead;  // before the end or the failure
  };
  const Case cases[] = {
      {"1, 0, 2, 3 on a disk of 3 clusters", 3, 0, 4096, {{1, 0}, {0, 2}}, -1, false, 1},
      {"1, 2, 3, 1 ... on a disk of 3 clusters", 3, 0, 0, {{3, 1}}, -1, false, 4},
      {"1, 0, 2, 3 on a disk of 100 clusters", 100, 0, 4096, {{1, 0}, {0, 2}}, 4, false, 1},
      {"1 then a cluster past sector 2^32 - 1", kWraps, 0, 0, {{1, kWraps}, {kWraps, kEnd}}, 2,
       false, 1},
      {"1, 2, 3 with a cluster count of 0xFFFFFFFF", kEnd, 8, 200, {}, 3, true, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetDiskRecord();
    Disk d;
    d.sectorsPerCluster = 2048;
    d.clusterCount = c.clusterCount;
    d.tableSize = c.tableSize;
    d.dataStart = c.dataStart;
    d.entries = {PatternRecording("three", 0, 7)};
    d.entries[0].chain = {1, 2, 3};
    d.tableOverrides = c.successors;
    Layout l = BuildAndMap(d);
    ASSERT_TRUE(FindRecorderDisk(false));
    std::vector<Listed> listed;
    EXPECT_EQ(ListAll(&listed), c.listedMiB >= 0);
    if (c.listedMiB >= 0 && listed.size() == 1) {
      EXPECT_EQ(listed[0].size, u32(c.listedMiB));
    }
    std::vector<uint8_t> all;
    EXPECT_EQ(ReadAll(1, l.usableClusterBytes, &all), c.readOk);
    EXPECT_EQ(all.size(), c.clustersRead * l.usableClusterBytes);
    std::vector<uint8_t> stream = testdisk::ExpectedStream(d, l, 0);
    size_t n = std::min(all.size(), stream.size());
    EXPECT_TRUE(std::equal(all.begin(), all.begin() + n, stream.begin()));
  }
}

TEST_F(DiskTest, ZeroInterleaveFailsInsteadOfDividingByZero) {
  for (bool table : {true, false}) {
    ResetDiskRecord();
    Disk d;
    (table ? d.tableInterleave : d.directoryInterleave) = 0;
    d.entries = {PatternRecording("a", 2)};
    BuildAndMap(d);
    ASSERT_TRUE(FindRecorderDisk(false));
    EXPECT_EQ(table ? g_disk.tableInterleave : g_disk.directoryInterleave, 0u);
    char text[kEntryTextSize];
    u32 start, size;
    EXPECT_FALSE(GetNextEntry(text, &start, &size)) << (table ? "table" : "directory");
    u32 c = 1;
    EXPECT_EQ(GetNextCluster(&c), !table);
  }
}

TEST_F(DiskTest, TruncatedImageFailsTheDataRead) {
  Disk d;
  d.entries = {PatternRecording("cut", 4, 11)};
  Layout l = Build(d);
  d.truncateAt = l.ClusterByte(l.chains[0][2]) + 1000;
  BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  std::vector<uint8_t> all;
  EXPECT_FALSE(ReadAll(l.chains[0][0], 32768, &all));
  EXPECT_EQ(all.size(), 2u * 32768);
}

}  // namespace
