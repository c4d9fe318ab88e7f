// Reading damaged disks: drives served through ddrescue mapfiles, the mirror
// copies of the table and directory, chain walks, and recordings read past
// unreadable sectors.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "disk/layout.h"
#include "rescue/mirror.h"
#include "rescue/rescue.h"
#include "platform/drive_map.h"
#include "platform/fault.h"
#include "support.h"

using testdisk::Disk;
using testdisk::Entry;
using testdisk::Layout;
using testdisk::PatternRecording;

namespace {

// ---- Mapfile parser ------------------------------------------------------------

struct ParseCase {
  const char* what;
  const char* text;
  u64 imageSize;
  u32 line;            // 0 with reason null: accepted
  const char* reason;  // part of the refusal
  std::vector<ByteRun> readable;
};

TEST(Mapfile, AcceptsWhatDdrescueWritesAndRefusesTheRest) {
  const char* kHead =
      "# Mapfile. Created by GNU ddrescue version 1.27\n"
      "# current_pos  current_status  current_pass\n";
  std::string ddrescued = std::string(kHead) +
                          "0x00000000     ?               1\n"
                          "#      pos        size  status\n"
                          "0x00000000  0x00000600  +\n"
                          "0x00000600  0x00000400  -\n"
                          "0x00000A00  0x00000A00  +\n"
                          "0x00001400  0x00000200  *\n";
  const ParseCase cases[] = {
      {"ddrescue's own", ddrescued.c_str(), 0x1600, 0, nullptr, {{0, 0x600}, {0xA00, 0x1400}}},
      {"decimal, no pass, CRLF, a gap, adjacent finished blocks merged",
       "\r\n  # note\r\n0 +\r\n0 512 +\r\n512 1024 +\r\n4096 0x1000 +\r\n", 8192, 0, nullptr,
       {{0, 1536}, {4096, 8192}}},
      {"a last block past the image", "0 F\n0x0 0x10000 +\n", 4096, 0, nullptr, {{0, 0x10000}}},
      {"unknown status", "0 +\n0 512 +\n512 512 x\n", 1024, 3, "unknown status 'x'", {}},
      {"status line status", "0 F\n0 512 F\n", 512, 2, "unknown status 'F'", {}},
      {"overlap", "0 +\n0 1024 +\n512 1024 -\n", 1536, 3, "overlaps the block on line 2", {}},
      {"unsorted", "0 +\n1024 512 +\n0 512 -\n", 1536, 3, "before the block on line 2", {}},
      {"not a number", "0 +\n0x 512 +\n", 512, 2, "'0x' is not a number", {}},
      {"digits past hex", "0 +\n0 51z +\n", 512, 2, "'51z' is not a number", {}},
      {"too large", "0 +\n0 0x8000000000000000 +\n", 512, 2, "is not a number", {}},
      {"missing status line", "# c\n0x0 0x200 +\n", 512, 2, "status line expected", {}},
      {"no line at all", "# only a comment\n", 512, 0, "no status line", {}},
      {"no blocks", "0 +\n", 512, 1, "no blocks after the status line", {}},
      {"ends before the image", "0 +\n0 512 +\n512 512 -\n", 2048, 3,
       "the last block ends at 0x400, before the image does (0x800)", {}},
      {"size 0", "0 +\n0 0 +\n", 0, 2, "block of size 0", {}},
      {"extra fields", "0 + 1\n0 512 + extra\n", 512, 2, "block expected", {}},
      {"too many fields", "0 + 1\n0 512 + a b\n", 512, 2, "too many fields", {}},
      {"comments after the fields", "0 + 1\t# pass\n0 512 +  #x y z\n512 512 -#\n", 1024, 3,
       "unknown status '-#'", {}},
  };
  for (const ParseCase& c : cases) {
    DriveMap map;
    u32 line = 99;
    char reason[160] = "";
    bool ok = ParseMapfile(c.text, std::strlen(c.text), c.imageSize, &map, &line, reason,
                           sizeof reason);
    EXPECT_EQ(ok, c.reason == nullptr) << c.what << ": " << reason;
    EXPECT_EQ(line, c.line) << c.what;
    if (c.reason) {
      EXPECT_NE(std::strstr(reason, c.reason), nullptr) << c.what << ": " << reason;
      continue;
    }
    ASSERT_EQ(map.readable.size(), c.readable.size()) << c.what;
    for (size_t i = 0; i < c.readable.size(); ++i) {
      EXPECT_EQ(map.readable[i].begin, c.readable[i].begin) << c.what << " run " << i;
      EXPECT_EQ(map.readable[i].end, c.readable[i].end) << c.what << " run " << i;
    }
  }
}

TEST(Mapfile, ErrorsNameTheFileAndTheLine) {
  char path[] = "/tmp/melvir-map-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const char text[] = "# c\n0 +\n0 512 +\n512 512 q\n";
  ASSERT_EQ(write(fd, text, sizeof text - 1), ssize_t(sizeof text - 1));
  close(fd);
  DriveMap map;
  char error[256];
  EXPECT_FALSE(LoadMapfile(path, 1024, &map, error, sizeof error));
  EXPECT_EQ(std::string(error), std::string(path) + ":4: unknown status 'q'");
  unlink(path);
  EXPECT_FALSE(LoadMapfile(path, 1024, &map, error, sizeof error));
  EXPECT_EQ(std::string(error), std::string(path) + ": cannot open: No such file or directory");
}

// A sector is readable only when wholly inside a finished block: here
// sectors 1 and 2 (bytes 512-1535; the block's ragged ends do not count)
// and sector 4.
TEST(Mapfile, SectorsCountOnlyWhenWhollyFinished) {
  DriveMap map;
  map.readable = {{300, 1600}, {2048, 2560}};
  struct {
    u64 position, length;
    bool readable;
    u64 unreadable;
  } cases[] = {
      {512, 1024, true, 0},     {512, 1, true, 0},        {1000, 500, true, 0},
      {0, 512, false, 512},     {512, 1025, false, 1},    {1536, 512, false, 512},
      {2048, 512, true, 0},     {1024, 2048, false, 1024}, {0, 0, true, 0},
      {2560, 512, false, 512},  {100, 3000, false, 1464},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MapReadable(map, c.position, c.length), c.readable) << c.position << "+" << c.length;
    EXPECT_EQ(MapUnreadableBytes(map, c.position, c.length), c.unreadable)
        << c.position << "+" << c.length;
  }
}

// ddrescue's image ends where it last wrote: through its map the drive is
// as long as the map, the finished bytes past the file read as zeros (a
// sparse image) and the others fail.
class MappedImageTest : public ScratchTest {
 protected:
  void TearDown() override {
    SetDriveMap(0, nullptr);
    ScratchTest::TearDown();
  }
};

TEST_F(MappedImageTest, TheDriveIsAsLongAsItsMapfile) {
  WriteWholeFile(Path("short.img"), std::string(1024, '\xAB'));
  const char text[] = "0 +\n0 0x800 +\n0x800 0x200 -\n";
  DriveMap map;
  u32 line;
  char reason[160];
  ASSERT_TRUE(ParseMapfile(text, sizeof text - 1, 1024, &map, &line, reason, sizeof reason)) << reason;
  ASSERT_TRUE(SetDriveMap(0, &map));
  MapDrives({Path("short.img")});
  FileHandle h;
  ASSERT_TRUE(OpenDrive(0, &h));
  u64 size = 0;
  EXPECT_TRUE(DriveSize(h, &size));
  EXPECT_EQ(size, 0xA00u);
  struct {
    u64 position;
    u32 length;
    bool ok;
    u32 fileBytes;  // of them, from the file; the rest zeros
  } cases[] = {{0, 1024, true, 1024}, {512, 1024, true, 512}, {1024, 1024, true, 0}, {1536, 1024, false, 0}};
  for (const auto& c : cases) {
    for (bool positional : {true, false}) {
      std::vector<u8> buf(c.length, 0x11);
      u32 got = 0;
      bool ok = positional ? ReadAt(h, c.position, buf.data(), c.length, &got)
                           : SeekFile(h, c.position) && ReadBytes(h, buf.data(), c.length, &got);
      EXPECT_EQ(ok, c.ok) << c.position << (positional ? " ReadAt" : " ReadBytes");
      if (!ok) continue;
      std::vector<u8> expected(c.length, 0);
      std::fill(expected.begin(), expected.begin() + c.fileBytes, 0xAB);
      EXPECT_EQ(got, c.length) << c.position;
      EXPECT_TRUE(buf == expected) << c.position;
    }
  }
  CloseFile(h);
  // A map made in memory, with no extent, leaves the drive its own size.
  DriveMap made;
  made.readable = {{0, 512}};
  ASSERT_TRUE(SetDriveMap(0, &made));
  ASSERT_TRUE(OpenDrive(0, &h));
  EXPECT_TRUE(DriveSize(h, &size));
  EXPECT_EQ(size, 1024u);
  CloseFile(h);
}

// ---- Damaged disks -------------------------------------------------------------------

std::vector<std::tuple<MetadataArea, u32, u32>> g_told;
void Tell(MetadataArea area, u32 s, u32 copy) { g_told.emplace_back(area, s, copy); }

// The listing of the disk now mapped, read healthy, the disk closed again.
std::vector<Listed> HealthyListing() {
  std::vector<Listed> listed;
  EXPECT_TRUE(FindRecorderDisk(false));
  EXPECT_TRUE(ListAll(&listed));
  CloseDisk();
  return listed;
}

// A recording read to its end by the rescue reader, its damage gathered.
struct Rescued {
  std::vector<uint8_t> data;
  std::vector<ReadDamage::Run> runs;
  bool broken = false;
  u32 brokenAfter = 0;
  ChainEnd brokenHow = kChainEnd;
};

bool RescueAll(u32 first, u32 clusters, Rescued* out) {
  if (!OpenEntryRescue(first, clusters)) return false;
  static ReadDamage damage;
  std::vector<uint8_t> buf(kRescueReadMax);
  for (int guard = 0; guard < 1000000; ++guard) {
    u32 got = 0;
    if (!ReadEntryRescue(buf.data(), kRescueReadMax, &got, &damage)) return false;
    for (u32 i = 0; i < damage.runCount; ++i) {
      if (!out->runs.empty() &&
          out->runs.back().offset + out->runs.back().length == damage.runs[i].offset)
        out->runs.back().length += damage.runs[i].length;
      else
        out->runs.push_back(damage.runs[i]);
    }
    if (damage.chainBroken) {
      out->broken = true;
      out->brokenAfter = damage.brokenAfter;
      out->brokenHow = damage.brokenHow;
    }
    out->data.insert(out->data.end(), buf.begin(), buf.begin() + got);
    if (got < kRescueReadMax) return true;
  }
  return false;
}

class RescueTest : public ScratchTest {
 protected:
  void TearDown() override {
    SetDriveMap(0, nullptr);
    g_told.clear();
    ScratchTest::TearDown();
  }

  // Serves drive 0 through a mapfile in which the given sectors of disk.img
  // are bad, written by ddrescuelog.
  void ServeWithBadSectors(const std::vector<u64>& bad) {
    struct stat st;
    ASSERT_EQ(stat(Path("disk.img").c_str(), &st), 0);
    u64 size = u64(st.st_size);
    std::string cmd = "ddrescuelog -b 512 -s " + std::to_string(size) +
                      " --force --create-mapfile=-+ '" + Path("disk.map") + "'";
    FILE* in = popen(cmd.c_str(), "w");
    ASSERT_NE(in, nullptr);
    for (u64 s : bad) fprintf(in, "%llu\n", (unsigned long long)s);
    ASSERT_EQ(pclose(in), 0) << cmd;
    char error[256];
    ASSERT_TRUE(LoadMapfile(Path("disk.map").c_str(), size, &map_, error, sizeof error)) << error;
    ASSERT_TRUE(SetDriveMap(0, &map_));
  }

  void SetUp() override {
    ScratchTest::SetUp();
    if (system("command -v ddrescuelog >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "ddrescuelog (Debian gddrescue) is not installed: it writes the mapfiles";
  }

  DriveMap map_;
};

Entry Chained(const std::string& name, std::vector<uint32_t> chain, uint32_t seed) {
  Entry e = PatternRecording(name, 0, seed);
  e.chain = std::move(chain);
  return e;
}

// Recordings whose chains use table sectors 0 and 1 and whose directory
// takes two sectors of the interleaved directory.
Disk TwoSectorDisk() {
  Disk d;
  d.sectorsPerCluster = 64;
  d.clusterCount = 1000;
  d.entries = {Chained("News", {5, 6, 200, 7}, 1), Chained("Film", {130, 131, 132}, 2)};
  for (int i = 0; i < 9; ++i) d.entries.push_back(PatternRecording("Short " + std::to_string(i), 1));
  return d;
}

// `ddrescuelog -A` adds a comment after every line's fields.
TEST_F(RescueTest, AnAnnotatedMapfileReadsAsThePlainOne) {
  Build(TwoSectorDisk());
  ServeWithBadSectors({3, 70, 71, 200});
  std::string cmd = "ddrescuelog -A '" + Path("disk.map") + "' > '" + Path("annotated.map") + "'";
  ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
  std::string annotated = ReadWholeFile(Path("annotated.map"));
  ASSERT_NE(annotated.find("+\t#"), std::string::npos) << annotated;
  DriveMap map;
  u32 line;
  char reason[160] = "";
  u64 size = map_.readable.back().end;
  ASSERT_TRUE(ParseMapfile(annotated.data(), annotated.size(), size, &map, &line, reason,
                           sizeof reason))
      << line << ": " << reason;
  ASSERT_EQ(map.readable.size(), map_.readable.size());
  for (size_t i = 0; i < map.readable.size(); ++i) {
    EXPECT_EQ(map.readable[i].begin, map_.readable[i].begin) << i;
    EXPECT_EQ(map.readable[i].end, map_.readable[i].end) << i;
  }
}

TEST_F(RescueTest, MirrorCopiesServeSectorsWhoseFirstCopyFails) {
  Disk d = TwoSectorDisk();
  Layout l = BuildAndMap(d);
  std::vector<Listed> healthy = HealthyListing();
  ASSERT_EQ(healthy.size(), 11u);
  ASSERT_TRUE(FindRecorderDisk(false));
  std::vector<Listed> again;
  u32 reads = FaultCallCount(kCallRead);
  ASSERT_TRUE(ListAll(&again));
  u32 healthyReads = FaultCallCount(kCallRead) - reads;
  CloseDisk();

  ServeWithBadSectors({l.TableSector(0, 1), l.TableSector(1, 1), l.DirectorySector(1, 1)});
  ASSERT_TRUE(FindRecorderDisk(false));
  std::vector<Listed> listed;
  EXPECT_FALSE(ListAll(&listed)) << "copy 1 alone, as the Windows program reads";

  StartMirrorReads(1, Tell);
  listed.clear();
  ASSERT_TRUE(ListAll(&listed));
  EXPECT_TRUE(listed == healthy);
  // Each bad sector is told once, and its first copy is not asked again:
  // a second listing reads as much as on the healthy disk.
  g_disk.cachedSector = kNoSector;
  reads = FaultCallCount(kCallRead);
  listed.clear();
  ASSERT_TRUE(ListAll(&listed));
  EXPECT_EQ(FaultCallCount(kCallRead) - reads, healthyReads);
  std::vector<std::tuple<MetadataArea, u32, u32>> told = {
      {kTableArea, 0, 2}, {kTableArea, 1, 2}, {kDirectoryArea, 1, 2}};
  std::sort(g_told.begin(), g_told.end());
  EXPECT_EQ(g_told, told);
  Rescued news;
  ASSERT_TRUE(RescueAll(5, 4, &news));
  EXPECT_TRUE(news.runs.empty());
  EXPECT_TRUE(news.data == testdisk::ExpectedStream(d, l, 0));
}

TEST_F(RescueTest, SectorsBadInBothCopiesEndTheWalkOrLoseTheirEntries) {
  Layout l = BuildAndMap(TwoSectorDisk());
  ServeWithBadSectors({l.TableSector(1, 1), l.TableSector(1, 2), l.DirectorySector(1, 1),
                       l.DirectorySector(1, 2)});
  ASSERT_TRUE(FindRecorderDisk(false));
  StartMirrorReads(1, Tell);
  ChainWalk walk;
  WalkChain(5, &walk);
  EXPECT_EQ(walk.clusters, 3u);
  EXPECT_EQ(walk.end, kChainUnreadable);
  EXPECT_EQ(walk.last, 200u);
  ASSERT_EQ(DirectoryEntryCount(), 14u);
  for (u32 e = 0; e < 14; ++e) {
    DirEntry entry;
    EXPECT_EQ(ReadDirEntry(e, &entry), e < 7) << "entry " << e;
  }
  std::sort(g_told.begin(), g_told.end());
  std::vector<std::tuple<MetadataArea, u32, u32>> told = {{kTableArea, 1, 0},
                                                          {kDirectoryArea, 1, 0}};
  std::sort(told.begin(), told.end());
  EXPECT_EQ(g_told, told);
}

// A copy 1 that reads but is wrong: here the first cluster's entry ends the
// chain at once. Copy 2 first reads the right chain, and falls back to
// copy 1 when it cannot be read.
TEST_F(RescueTest, SecondCopyFirstFallsBackToTheFirst) {
  Disk d = TwoSectorDisk();
  Layout l = BuildAndMap(d);
  std::string image = ReadWholeFile(Path("disk.img"));
  u32 end = 0xFFFFFFFFu;
  std::memcpy(&image[l.TableSector(0, 1) * 512 + 4 * 5], &end, 4);
  WriteWholeFile(Path("disk.img"), image);
  struct {
    u32 firstCopy;
    bool copy2Bad;
    u32 clusters;
    size_t told;
  } cases[] = {{1, false, 1, 0}, {2, false, 4, 0}, {2, true, 1, 1}};
  for (const auto& c : cases) {
    ResetDiskRecord();
    SetDriveMap(0, nullptr);
    if (c.copy2Bad) ServeWithBadSectors({l.TableSector(0, 2)});
    ASSERT_TRUE(FindRecorderDisk(false));
    StartMirrorReads(c.firstCopy, Tell);
    g_told.clear();
    ChainWalk walk;
    WalkChain(5, &walk);
    EXPECT_EQ(walk.clusters, c.clusters) << "copy " << c.firstCopy;
    EXPECT_EQ(walk.end, kChainEnd);
    EXPECT_EQ(g_told.size(), c.told);
  }
}

// A chain whose entry differs between the copies and fails in the copy read
// first is walked, and read, through the other copy's entry; where both
// copies fail alike nothing changes.
TEST_F(RescueTest, AChainThatFailsWhereTheCopiesDifferIsTakenFromTheOther) {
  Disk d = TwoSectorDisk();  // News: 5 6 200 7
  Layout l = BuildAndMap(d);
  std::string healthy = ReadWholeFile(Path("disk.img"));
  struct {
    const char* what;
    u32 cluster, value, firstCopy;
    std::vector<int> damaged;  // copies whose entry is changed
    u32 clusters;
    ChainEnd end;
    u32 patches;
  } cases[] = {
      {"a cycle in copy 1", 7, 5, 1, {1}, 4, kChainEnd, 1},
      {"a step to 0 in copy 1", 6, 0, 1, {1}, 4, kChainEnd, 1},
      {"a cycle in copy 2, read first", 200, 6, 2, {2}, 4, kChainEnd, 1},
      {"the same step to 0 in both copies", 6, 0, 1, {1, 2}, 2, kChainZero, 0},
  };
  for (const auto& c : cases) {
    std::string image = healthy;
    u32 v = __builtin_bswap32(c.value);  // big-endian
    for (int copy : c.damaged)
      std::memcpy(&image[l.TableSector(c.cluster / 127, copy) * 512 + 4 * (c.cluster % 127)], &v, 4);
    WriteWholeFile(Path("disk.img"), image);
    ResetDiskRecord();
    ASSERT_TRUE(FindRecorderDisk(false));
    StartMirrorReads(c.firstCopy, nullptr);
    ChainWalk walk;
    WalkChain(5, &walk);
    EXPECT_EQ(walk.clusters, c.clusters) << c.what;
    EXPECT_EQ(walk.end, c.end) << c.what;
    EXPECT_EQ(ChainPatchCount(), c.patches) << c.what;
    Rescued news;
    ASSERT_TRUE(RescueAll(5, walk.clusters, &news)) << c.what;
    EXPECT_EQ(news.data == testdisk::ExpectedStream(d, l, 0), c.patches == 1) << c.what;
  }
}

// ---- Chain walk ------------------------------------------------------------------------

class WalkTest : public ScratchTest {};

TEST_F(WalkTest, EveryEndIsToldWithWhereAndHowManyClusters) {
  std::vector<uint32_t> long40;
  for (uint32_t i = 0; i < 40; ++i) long40.push_back(i % 2 ? 500 - i : 20 + i);
  struct {
    const char* what;
    uint32_t clusterCount;
    std::vector<uint32_t> chain;
    std::vector<std::pair<uint32_t, uint32_t>> overrides;
    uint32_t first;  // 0: the chain's
    uint32_t tableSize;
    u32 clusters;
    ChainEnd end;
    u32 last, next;
  } cases[] = {
      {"end marker", 1000, {5, 6, 7}, {}, 0, 8, 3, kChainEnd, 7, 0},
      {"a successor above the cluster count", 1000, {5, 6, 7}, {{7, 1001}}, 0, 8, 3,
       kChainAboveCount, 7, 1001},
      {"the cluster count itself is a cluster", 1000, {5, 1000}, {}, 0, 8, 2, kChainEnd, 1000, 0},
      {"0xFFFFFFFF ends a chain of a disk that counts that many", 0xFFFFFFFFu, {5, 6}, {}, 0, 8, 2,
       kChainEnd, 6, 0},
      {"cycle back to the first", 1000, {5, 6, 7}, {{7, 5}}, 0, 8, 3, kChainCycle, 7, 5},
      {"cycle at a later cluster", 1000, long40, {{long40[39], long40[17]}}, 0, 8, 40, kChainCycle,
       long40[39], long40[17]},
      {"a cluster its own successor", 1000, {9}, {{9, 9}}, 0, 8, 1, kChainCycle, 9, 9},
      {"cycle on a header claiming billions of clusters", 0x7FFFFFF0u, {5, 6, 7, 8}, {{8, 6}}, 0,
       8, 4, kChainCycle, 8, 6},
      {"step to cluster 0", 1000, {5, 6}, {{6, 0}}, 0, 8, 2, kChainZero, 6, 0},
      {"first cluster 0", 1000, {5}, {}, 0xFFFFFFFFu, 8, 0, kChainZero, 0, 0},
      {"step past the table", 1000, {5, 6}, {{6, 300}}, 0, 2, 3, kChainPastTable, 300, 0},
  };
  for (const auto& c : cases) {
    ResetDiskRecord();
    Disk d;
    d.clusterCount = c.clusterCount;
    d.tableSize = c.tableSize;
    d.directorySize = 1;
    Entry e = Chained("r", c.chain, 0);
    d.entries = {e};
    d.tableOverrides = c.overrides;
    BuildAndMap(d);
    ASSERT_TRUE(FindRecorderDisk(false)) << c.what;
    ChainWalk walk;
    WalkChain(c.first == 0xFFFFFFFFu ? 0 : c.chain[0], &walk);
    EXPECT_EQ(walk.clusters, c.clusters) << c.what;
    EXPECT_EQ(walk.end, c.end) << c.what;
    EXPECT_EQ(walk.last, c.last) << c.what;
    EXPECT_EQ(walk.next, c.next) << c.what;
  }
  ChainWalk none;
  WalkChain(1001, &none);
  EXPECT_EQ(none.clusters, 0u) << "above the cluster count: no chain";
  EXPECT_EQ(none.end, kChainAboveCount);
  EXPECT_EQ(none.next, 1001u);
}

// ---- Reading past damage ------------------------------------------------------------------

// The healthy stream with the given runs zeroed.
std::vector<uint8_t> Zeroed(std::vector<uint8_t> stream, const std::vector<ReadDamage::Run>& runs) {
  for (const auto& r : runs) std::memset(stream.data() + r.offset, 0, r.length);
  return stream;
}

struct BadSector {
  u32 cluster;  // index in the chain
  u32 sector;   // in the cluster
};

TEST_F(RescueTest, UnreadableSectorsBecomeZerosAtTheirPlaceAndAreReported) {
  struct {
    const char* what;
    testdisk::ByteOrder order;
    uint32_t spc, clusterCount;
    std::vector<uint32_t> chain;
    std::vector<BadSector> bad;
  } cases[] = {
      {"first and last sectors of clusters, merged across a cluster boundary", testdisk::kBigEndian,
       64, 1000, {40, 41, 90, 12, 13}, {{0, 0}, {1, 63}, {2, 0}, {2, 1}, {3, 30}}},
      {"256-sector clusters, word-swapped: the skipped sector is never read",
       testdisk::kWordSwapped, 256, 200, {3, 9, 4}, {{0, 0}, {0, 254}, {1, 255}, {2, 128}}},
      {"past 4 GiB", testdisk::kLittleEndian, 64, 300000, {250000, 250001, 140000},
       {{1, 5}, {2, 63}}},
  };
  for (const auto& c : cases) {
    ResetDiskRecord();
    SetDriveMap(0, nullptr);
    Disk d;
    d.order = c.order;
    d.sectorsPerCluster = c.spc;
    d.clusterCount = c.clusterCount;
    d.entries = {Chained("r", c.chain, 3)};
    Layout l = BuildAndMap(d);
    std::vector<u64> bad;
    std::vector<ReadDamage::Run> expected;
    const u32 usable = l.usableClusterBytes;
    for (const BadSector& b : c.bad) {
      bad.push_back(l.ClusterByte(c.chain[b.cluster]) / 512 + b.sector);
      if (b.sector * 512 >= usable) continue;  // never part of the stream
      u64 offset = u64(b.cluster) * usable + b.sector * 512;
      if (!expected.empty() && expected.back().offset + expected.back().length == offset)
        expected.back().length += 512;
      else
        expected.push_back({offset, 512, 0, kNoPosition});
    }
    ASSERT_TRUE(FindRecorderDisk(false));
    Rescued healthy;
    g_disk.cachedSector = kNoSector;
    u32 reads = FaultCallCount(kCallRead);
    ASSERT_TRUE(RescueAll(c.chain[0], u32(c.chain.size()), &healthy));
    u32 healthyReads = FaultCallCount(kCallRead) - reads;
    EXPECT_TRUE(healthy.runs.empty());
    ASSERT_TRUE(healthy.data == testdisk::ExpectedStream(d, l, 0)) << c.what;
    CloseDisk();

    ServeWithBadSectors(bad);
    ASSERT_TRUE(FindRecorderDisk(false));
    Rescued damaged;
    g_disk.cachedSector = kNoSector;
    reads = FaultCallCount(kCallRead);
    ASSERT_TRUE(RescueAll(c.chain[0], u32(c.chain.size()), &damaged));
    // Only the pieces that failed are read again, sector by sector.
    EXPECT_LE(FaultCallCount(kCallRead) - reads - healthyReads, c.bad.size() * (usable / 512))
        << c.what;
    ASSERT_EQ(damaged.runs.size(), expected.size()) << c.what;
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(damaged.runs[i].offset, expected[i].offset) << c.what << " run " << i;
      EXPECT_EQ(damaged.runs[i].length, expected[i].length) << c.what << " run " << i;
    }
    EXPECT_TRUE(damaged.data == Zeroed(healthy.data, expected)) << c.what;
    EXPECT_FALSE(damaged.broken);
  }
}

TEST_F(RescueTest, AFailureThatDoesNotLastCostsNothing) {
  Disk d;
  d.entries = {PatternRecording("r", 6, 4, true)};
  Layout l = BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  // Reads: cluster 1, the table sector, cluster 2 (made to fail), its 64
  // sectors again, clusters 3 to 6.
  u32 reads = FaultCallCount(kCallRead);
  ArmFault(kCallRead, reads + 2, kFaultFail);
  Rescued r;
  ASSERT_TRUE(RescueAll(l.chains[0][0], 6, &r));
  EXPECT_EQ(FaultCallCount(kCallRead) - reads, 6u + 1 + 64);
  EXPECT_TRUE(r.runs.empty());
  EXPECT_TRUE(r.data == testdisk::ExpectedStream(d, l, 0));
}

// Limited to the count a walk found, a cyclic or broken chain is read once
// to where it was damaged; a step that fails now ends the recording there.
TEST_F(RescueTest, DamagedChainsAreReadToTheirDamageAndNeverTwice) {
  Disk d = TwoSectorDisk();
  d.entries[0] = Chained("loop", {5, 6, 7, 8}, 1);
  d.tableOverrides = {{8, 6}};
  Layout l = BuildAndMap(d);
  ServeWithBadSectors({l.TableSector(1, 1), l.TableSector(1, 2)});
  ASSERT_TRUE(FindRecorderDisk(false));
  StartMirrorReads(1, nullptr);
  ChainWalk walk;
  WalkChain(5, &walk);
  ASSERT_EQ(walk.clusters, 4u);
  Rescued loop;
  ASSERT_TRUE(RescueAll(5, walk.clusters, &loop));
  EXPECT_FALSE(loop.broken);
  EXPECT_TRUE(loop.data == testdisk::ExpectedStream(d, l, 0));

  Rescued film;
  ASSERT_TRUE(RescueAll(130, 3, &film));  // its entries lie in the unreadable table sector
  EXPECT_TRUE(film.broken);
  EXPECT_EQ(film.brokenAfter, 130u);
  EXPECT_EQ(film.brokenHow, kChainUnreadable);
  std::vector<uint8_t> first = testdisk::ExpectedStream(d, l, 1);
  first.resize(l.usableClusterBytes);
  EXPECT_TRUE(film.data == first);
}

// ---- A faulty disk that is real to the kernel ------------------------------------------

// Serves disk.img through the faulty-disk file system as mnt/disk.img, with
// chosen sectors failing with EIO; skips where it cannot be mounted.
class FaultyDiskTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
#ifndef MELVIR_FAULTY_DISK
    GTEST_SKIP() << "faulty-disk not built: libfuse3 (Debian libfuse3-dev) was not found";
#endif
    if (access("/dev/fuse", R_OK | W_OK) != 0)
      GTEST_SKIP() << "/dev/fuse is missing or not usable here: no FUSE file systems";
  }

  void TearDown() override {
    ResetDiskRecord();  // the served file must not be held open
    if (!loop_.empty()) (void)system(("losetup -d " + loop_).c_str());
    // A loop device lets go of its file a moment after it is detached.
    std::string unmount = "fusermount3 -u '" + Path("mnt") + "' 2>/dev/null";
    for (int i = 0; mounted_ && i < 50; ++i) {
      mounted_ = system(unmount.c_str()) != 0;
      if (mounted_) usleep(100000);
    }
    EXPECT_FALSE(mounted_) << "faulty-disk still mounted on " << Path("mnt");
    if (mounted_) (void)system(("fusermount3 -uz '" + Path("mnt") + "'").c_str());
    ScratchTest::TearDown();
  }

  // True when mounted; otherwise the test is to be skipped.
  bool Serve(const std::vector<u64>& bad) {
#ifdef MELVIR_FAULTY_DISK
    std::string list;
    for (u64 s : bad) list += (list.empty() ? "" : ",") + std::to_string(s);
    mkdir(Path("mnt").c_str(), 0755);
    std::string cmd = std::string(MELVIR_FAULTY_DISK) + " --bad " + list + " '" +
                      Path("disk.img") + "' '" + Path("mnt") + "'";
    mounted_ = system(cmd.c_str()) == 0;
#endif
    (void)bad;
    return mounted_;
  }

  std::string Served() const { return Path("mnt/disk.img"); }

  bool mounted_ = false;
  std::string loop_;
};

TEST_F(FaultyDiskTest, TheCoreMeetsRealReadErrors) {
  Disk d = TwoSectorDisk();
  Layout l = BuildAndMap(d);
  std::vector<Listed> healthy = HealthyListing();
  u64 badData = l.ClusterByte(6) / 512 + 20;  // sector 20 of News's second cluster
  if (!Serve({l.TableSector(0, 1), badData}))
    GTEST_SKIP() << "faulty-disk could not mount (no FUSE mounts allowed here)";
  int fd = open(Served().c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  char sector[512];
  errno = 0;
  EXPECT_EQ(pread(fd, sector, 512, off_t(badData * 512)), -1);
  EXPECT_EQ(errno, EIO);
  close(fd);

  MapDrives({Served()});
  ASSERT_TRUE(FindRecorderDisk(false));
  std::vector<Listed> listed;
  EXPECT_FALSE(ListAll(&listed)) << "the scan ends on the bad table sector";
  StartMirrorReads(1, nullptr);
  listed.clear();
  ASSERT_TRUE(ListAll(&listed));
  EXPECT_TRUE(listed == healthy);
  Rescued news;
  ASSERT_TRUE(RescueAll(5, 4, &news));
  ASSERT_EQ(news.runs.size(), 1u);
  EXPECT_EQ(news.runs[0].offset, l.usableClusterBytes + 20u * 512);
  EXPECT_EQ(news.runs[0].length, 512u);
  EXPECT_TRUE(news.data == Zeroed(testdisk::ExpectedStream(d, l, 0), news.runs));
  EXPECT_FALSE(IsBlockDevice(g_disk.device));
}

// The same disk as a block device of 4096-byte logical sectors (a loop
// device over the faulty file): re-reads bypass the page cache and the unit
// zeroed is the device's sector, so one bad 512-byte sector costs eight.
TEST_F(FaultyDiskTest, OnABlockDeviceTheUnitIsTheDevicesSector) {
  Disk d = TwoSectorDisk();
  Layout l = BuildAndMap(d);
  u64 badData = l.ClusterByte(6) / 512 + 20;
  if (!Serve({badData})) GTEST_SKIP() << "faulty-disk could not mount (no FUSE mounts allowed here)";
  if (system("command -v losetup >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "losetup (util-linux) is not installed";
  FILE* p = popen(("losetup -r -f --show --sector-size 4096 '" + Served() + "' 2>/dev/null").c_str(),
                  "r");
  char name[64] = "";
  if (p && fgets(name, sizeof name, p)) loop_ = std::string(name, strcspn(name, "\n"));
  if (p) pclose(p);
  if (loop_.empty()) GTEST_SKIP() << "no loop device could be set up here (losetup -f failed)";

  MapDrives({loop_});
  ASSERT_TRUE(FindRecorderDisk(false));
  EXPECT_TRUE(IsBlockDevice(g_disk.device));
  EXPECT_EQ(DirectReadUnit(g_disk.device), 4096u);
  Rescued news;
  ASSERT_TRUE(RescueAll(5, 4, &news));
  u64 unitStart = badData * 512 / 4096 * 4096;  // device bytes of the failing unit
  u64 clusterStart = l.ClusterByte(6);
  ASSERT_EQ(news.runs.size(), 1u);
  EXPECT_EQ(news.runs[0].offset, l.usableClusterBytes + (unitStart - clusterStart));
  EXPECT_EQ(news.runs[0].length, 4096u);
  EXPECT_TRUE(news.data == Zeroed(testdisk::ExpectedStream(d, l, 0), news.runs));
}

}  // namespace
