// The consistency check on builder disks: geometry faults, copies that fail
// or differ, damaged chains of each kind, cross-links, lost chains, and the
// report made of them.
#include <cstdio>
#include <cstring>
#include <functional>

#include "report/check_report.h"
#include "cli/json_check.h"
#include "check/check.h"
#include "platform/fault.h"
#include "support.h"

using testdisk::Disk;
using testdisk::Entry;
using testdisk::Layout;

namespace {

const u32 kNoValue = 0xFFFFFFFFu;

// Names are ASCII in these disks: the bytes as they are.
void PlainName(const u8* raw, u32 length, void*, char* out, u32 size) {
  u32 n = length < size - 1 ? length : size - 1;
  std::memcpy(out, raw, n);
  out[n] = 0;
}

// Pattern bytes with the sync byte at every 188th: a transport stream's
// first bytes as far as the check looks.
testdisk::Content StreamContent(uint32_t seed) {
  testdisk::Content bytes = testdisk::PatternContent(seed);
  return [bytes](uint64_t offset, uint8_t* out, size_t n) {
    bytes(offset, out, n);
    for (uint64_t p = (offset + 187) / 188 * 188; p < offset + n; p += 188) out[p - offset] = 0x47;
  };
}

Entry Chain(const std::string& name, std::vector<uint32_t> chain, uint16_t type = 13,
            testdisk::Content content = nullptr) {
  Entry e;
  e.name = name;
  e.type = type;
  e.chain = std::move(chain);
  e.content = std::move(content);
  return e;
}

// A deleted recording: its slot emptied, its chain and data left behind.
Entry Deleted(std::vector<uint32_t> chain, testdisk::Content content) {
  return Chain("", std::move(chain), 0, std::move(content));
}

Disk SmallDisk() {
  Disk d;
  d.sectorsPerCluster = 1;
  d.clusterCount = 1000;
  d.entries = {Chain("Listed", {10, 11, 12, 13, 14}, 13, StreamContent(1))};
  return d;
}

void PatchBytes(const std::string& path, uint64_t offset, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "r+b");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(fseeko(f, off_t(offset), SEEK_SET), 0);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  ASSERT_EQ(std::fclose(f), 0);
}

// A big-endian u32 of the volume header.
void PatchHeader(const std::string& path, const Layout& l, uint32_t offset, uint32_t v) {
  std::string b = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  PatchBytes(path, uint64_t(l.headerSector) * 512 + offset, b);
}

class CheckTest : public ScratchTest {
 protected:
  // Discovers the mapped disk and checks it.
  CheckFindings Check(u32 maxEntries = kCheckMaxTableEntries, u32 window = kCheckWindowSectors) {
    CheckFindings f;
    EXPECT_TRUE(FindRecorderDisk(false));
    EXPECT_TRUE(RunCheckWith(maxEntries, window, &f));
    return f;
  }
  CheckFindings BuildAndCheck(const Disk& d, Layout* layout = nullptr) {
    Layout l = BuildAndMap(d);
    if (layout) *layout = l;
    return Check();
  }
  static std::string Summary(const CheckFindings& f) {
    char text[400];
    FormatCheckSummary(f, text, sizeof text);
    return text;
  }
  std::string Report(const CheckFindings& f, bool json) {
    std::string path = Path(json ? "report.json" : "report.txt");
    FILE* out = std::fopen(path.c_str(), "wb");
    CheckOutput how = {"disk.img", PlainName, nullptr};
    EXPECT_TRUE(json ? WriteCheckJson(out, f, how) : WriteCheckText(out, f, how));
    std::fclose(out);
    return ReadWholeFile(path);
  }
};

// ---- A healthy disk -------------------------------------------------------

class HealthyCheckTest : public CheckTest, public ::testing::WithParamInterface<testdisk::ByteOrder> {};

TEST_P(HealthyCheckTest, ReportsNothingAndSizesAsTheListDoes) {
  Disk d;
  d.order = GetParam();
  d.sectorsPerCluster = 256;
  d.clusterCount = 9000;
  d.entries = {testdisk::PatternRecording("News", 12, 7), Chain("folder", {}, 5),
               testdisk::PatternRecording("Film", 4000, 8, true), testdisk::PatternRecording("Clip", 3, 9)};
  Layout l;
  CheckFindings f = BuildAndCheck(d, &l);
  EXPECT_EQ(CheckExitStatus(f), 0);
  EXPECT_EQ(Summary(f), "3 recordings, no problems found");
  // The sizes the recording list gives.
  std::vector<u32> listed;
  ResetDirectory();
  for (;;) {
    char text[kEntryTextSize];
    u32 start = 0, size = 0;
    ASSERT_TRUE(GetNextEntry(text, &start, &size));
    if (start == 0) break;
    listed.push_back(size);
  }
  ASSERT_EQ(f.entries.size(), 4u);
  std::vector<u32> sizes;
  for (const CheckEntry& e : f.entries) {
    if (e.raw.type != 13) continue;
    EXPECT_EQ(e.walk.end, kChainEnd) << e.slot;
    EXPECT_EQ(e.walk.clusters, l.chains[e.slot].size()) << e.slot;
    EXPECT_EQ(e.walk.last, l.chains[e.slot].back()) << e.slot;
    sizes.push_back(e.sizeMiB);
  }
  EXPECT_EQ(sizes, listed);
  EXPECT_EQ(sizes, (std::vector<u32>{1, 496, 0}));
  EXPECT_TRUE(f.crossLinks.empty());
  EXPECT_TRUE(f.lost.empty());
}

INSTANTIATE_TEST_SUITE_P(Orders, HealthyCheckTest,
                         ::testing::Values(testdisk::kBigEndian, testdisk::kLittleEndian, testdisk::kWordSwapped));

// ---- Geometry -------------------------------------------------------------

struct GeometryCase {
  const char* name;
  std::function<void(Disk*)> describe;
  std::function<void(const std::string&, const Layout&)> patch;  // after the image is written
  u32 faults;
  u32 area, overlaps, pastDevice, pastLimit;  // area kAreaCount: no overlap
};

TEST_F(CheckTest, GeometryFaultsAreEachFlagged) {
  auto none = [](const std::string&, const Layout&) {};
  auto same = [](Disk*) {};
  const GeometryCase cases[] = {
      {"no sectors per cluster", [](Disk* d) { d->sectorsPerCluster = 0; }, none, kFaultNoSectorsPerCluster,
       kAreaCount, 0, 0, 0},
      {"table interleave 0", [](Disk* d) { d->tableInterleave = 0; }, none,
       kFaultTableInterleaveZero | kFaultAreasOverlap, kAreaTable1, 1u << kAreaTable2, 0, 0},
      {"directory interleave 0", [](Disk* d) { d->directoryInterleave = 0; }, none,
       kFaultDirectoryInterleaveZero | kFaultAreasOverlap, kAreaDirectory1, 1u << kAreaDirectory2, 0, 0},
      {"table too small", [](Disk* d) { d->tableSize = 2; }, none, kFaultTableTooSmall, kAreaCount, 0, 0, 0},
      {"directory over the table", same,
       [](const std::string& p, const Layout& l) {
         PatchHeader(p, l, 52, l.tableStart + 1);  // copy 1 at +1, copy 2 at +3
         PatchHeader(p, l, 56, l.tableStart + 3);
       },
       kFaultAreasOverlap, kAreaTable1, 1u << kAreaDirectory1 | 1u << kAreaDirectory2, 0, 0},
      {"data area past the image", [](Disk* d) { d->truncateAt = 600 * 512; }, none, kFaultPastDevice,
       kAreaCount, 0, 1u << kAreaData, 0},
      {"data area past sector 2^32 - 1", same,
       [](const std::string& p, const Layout& l) { PatchHeader(p, l, 20, 1u << 23); },
       kFaultPastDevice | kFaultPastSectorLimit, kAreaCount, 0, 1u << kAreaData, 1u << kAreaData},
      {"cluster count is the end marker", same,
       [](const std::string& p, const Layout& l) { PatchHeader(p, l, 60, 0xFFFFFFFFu); },
       kFaultClusterCountIsEnd | kFaultTableTooSmall | kFaultPastDevice | kFaultPastSectorLimit, kAreaCount, 0,
       1u << kAreaData, 1u << kAreaData},
  };
  for (const GeometryCase& c : cases) {
    ResetDiskRecord();
    Disk d = SmallDisk();
    c.describe(&d);
    Layout l = BuildAndMap(d);
    c.patch(Path("disk.img"), l);
    CheckFindings f = Check();
    const CheckGeometry& g = f.report.geometry;
    EXPECT_EQ(g.faults, c.faults) << c.name;
    if (c.area != kAreaCount) {
      EXPECT_EQ(g.overlaps[c.area], c.overlaps) << c.name;
    }
    EXPECT_EQ(g.pastDevice, c.pastDevice) << c.name;
    EXPECT_EQ(g.pastLimit, c.pastLimit) << c.name;
    EXPECT_EQ(CheckExitStatus(f), 3) << c.name;
    // Never sized by a header value alone: the table held is what the drive can hold.
    EXPECT_LE(f.report.tableEntriesHeld, 1001u) << c.name;
  }
}

// ---- The two copies ---------------------------------------------------------

struct CopyCase {
  const char* name;
  bool directory;    // else the table
  u32 sector;        // of the structure
  u32 copy;          // whose read fails, or that is patched
  bool fail;         // else patched
  u32 offset;        // of the patched byte
  u32 window;        // sectors read at a time
  int expected;      // a CopyFinding, or -1: none
};

TEST_F(CheckTest, CopiesThatFailOrDifferAreCountedBySector) {
  // Reads, one sector at a time: table sectors 0..7 copy 1 then copy 2,
  // then the directory's in the same way.
  const CopyCase cases[] = {
      {"table copy 1 unreadable", false, 2, 1, true, 0, 1, kCopy1Unreadable},
      {"table copy 2 unreadable", false, 0, 2, true, 0, 1, kCopy2Unreadable},
      {"directory copy 1 unreadable", true, 0, 1, true, 0, 1, kCopy1Unreadable},
      {"a failed long read is read again sector by sector", false, 0, 1, true, 0, kCheckWindowSectors, -1},
      {"table copies differ", false, 1, 2, false, 40, kCheckWindowSectors, kCopiesDiffer},
      {"directory copies differ", true, 0, 2, false, 3, kCheckWindowSectors, kCopiesDiffer},
      {"unused table bytes do not count", false, 1, 2, false, 509, kCheckWindowSectors, -1},
  };
  for (const CopyCase& c : cases) {
    ResetDiskRecord();
    Layout l = BuildAndMap(SmallDisk());
    ASSERT_EQ(l.tableSize, 8u);
    if (!c.fail) {
      uint64_t s = c.directory ? l.DirectorySector(c.sector, c.copy) : l.TableSector(c.sector, c.copy);
      PatchBytes(Path("disk.img"), s * 512 + c.offset, "\x5A");
    }
    ASSERT_TRUE(FindRecorderDisk(false));
    ResetFaultCounts();
    if (c.fail) ArmFault(kCallRead, (c.directory ? 16 : 0) + 2 * c.sector + c.copy - 1, kFaultFail);
    CheckFindings f;
    ASSERT_TRUE(RunCheckWith(kCheckMaxTableEntries, c.window, &f));
    DisarmFault();
    const CopyFindings& got = c.directory ? f.report.directory : f.report.table;
    for (int k = 0; k < kCopyFindings; ++k) {
      EXPECT_EQ(got.count[k], k == c.expected ? 1u : 0u) << c.name << " finding " << k;
      if (k == c.expected) {
        EXPECT_EQ(got.first[k][0], c.sector) << c.name;
      }
    }
    // Where one copy reads, the recording is whole.
    ASSERT_EQ(f.entries.size(), 1u) << c.name;
    EXPECT_EQ(f.entries[0].walk.end, kChainEnd) << c.name;
    EXPECT_EQ(f.entries[0].fromCopy2, c.directory && c.fail) << c.name;
    EXPECT_EQ(CheckExitStatus(f), c.expected < 0 ? 0 : 3) << c.name;
  }
}

// ---- Damaged chains ----------------------------------------------------------

struct ChainCase {
  const char* name;
  std::function<void(Disk*)> damage;
  ChainEnd end;
  u32 clusters, last, next;
};

TEST_F(CheckTest, DamagedChainsTellHowTheyEnd) {
  auto ending = [](uint32_t v) {
    return [v](Disk* d) { d->tableOverrides = {{14, v}}; };
  };
  auto first = [](uint32_t v) {
    return [v](Disk* d) {
      d->entries[0].overrideFirst = true;
      d->entries[0].firstCluster = v;
    };
  };
  const ChainCase cases[] = {
      {"successor above the count", ending(1005), kChainAboveCount, 5, 14, 1005},
      {"step to cluster 0", ending(0), kChainZero, 5, 14, 0},
      {"cycle", ending(12), kChainCycle, 5, 14, 12},
      {"cycle back to the first cluster", ending(10), kChainCycle, 5, 14, 10},
      {"past the table",
       [](Disk* d) {
         d->clusterCount = 1100;
         d->tableSize = 8;  // entries 0 to 1015
         d->tableOverrides = {{14, 1050}};
       },
       kChainPastTable, 6, 1050, 0},
      {"past the end of the image",
       [](Disk* d) {
         d->tableOverrides = {{14, 900}};
         d->truncateAt = 800 * 512;
       },
       kChainBeyondDisk, 6, 900, 0},
      {"table sector unreadable in both copies",
       [](Disk* d) {
         // The table after the data area, cut off from its sector 4 on.
         d->directoryStart = 70;
         d->dataStart = 100;
         d->tableStart = 1200;
         d->tableInterleave = 8;
         d->tableOverrides = {{14, 600}};
         d->truncateAt = 1204 * 512;
       },
       kChainUnreadable, 6, 600, 0},
      {"first cluster 0", first(0), kChainZero, 0, 0, 0},
      {"first cluster above the count", first(2000), kChainAboveCount, 0, 0, 2000},
  };
  for (const ChainCase& c : cases) {
    ResetDiskRecord();
    Disk d = SmallDisk();
    c.damage(&d);
    CheckFindings f = BuildAndCheck(d);
    ASSERT_EQ(f.entries.size(), 1u) << c.name;
    const ChainWalk& w = f.entries[0].walk;
    EXPECT_EQ(w.end, c.end) << c.name;
    EXPECT_EQ(w.clusters, c.clusters) << c.name;
    EXPECT_EQ(w.last, c.last) << c.name;
    EXPECT_EQ(w.next, c.next) << c.name;
    EXPECT_EQ(Summary(f).substr(0, 22), "1 recording, 1 damaged") << c.name;
    EXPECT_EQ(CheckExitStatus(f), 3) << c.name;
  }
}

TEST_F(CheckTest, TableEntriesPastWhatTheCheckHoldsAreNotChecked) {
  Disk d = SmallDisk();
  d.tableOverrides = {{14, 700}};
  BuildAndMap(d);
  CheckFindings f = Check(500);
  EXPECT_EQ(f.report.tableEntriesHeld, 500u);
  EXPECT_EQ(f.report.tableEntriesWanted, 1001u);
  EXPECT_EQ(f.entries[0].walk.end, kChainNotChecked);
  EXPECT_NE(Summary(f).find("check incomplete"), std::string::npos);
}

// ---- Cross-links ----------------------------------------------------------------

TEST_F(CheckTest, CrossLinkedChainsAreReportedWithBothEntries) {
  Disk d = SmallDisk();
  d.entries.push_back(Chain("Joins", {20, 21}));
  d.entries.push_back(Chain("Same start", {}, 13));
  d.entries[2].overrideFirst = true;
  d.entries[2].firstCluster = 20;
  d.tableOverrides = {{21, 12}};
  CheckFindings f = BuildAndCheck(d);
  ASSERT_EQ(f.entries.size(), 3u);
  EXPECT_EQ(f.entries[0].sharedClusters, 0u);
  EXPECT_EQ(f.entries[1].walk.clusters, 5u);  // 20 21 12 13 14
  EXPECT_EQ(f.entries[1].sharedFrom, 12u);
  EXPECT_EQ(f.entries[1].sharedClusters, 3u);
  EXPECT_EQ(f.entries[2].sharedFrom, 20u);
  EXPECT_EQ(f.entries[2].sharedClusters, 5u);
  ASSERT_EQ(f.crossLinks.size(), 2u);
  EXPECT_EQ(f.crossLinks[0].slot, 1u);
  EXPECT_EQ(f.crossLinks[0].earlier, 0u);
  EXPECT_EQ(f.crossLinks[0].cluster, 12u);
  EXPECT_EQ(f.crossLinks[1].slot, 2u);
  EXPECT_EQ(f.crossLinks[1].earlier, 1u);  // the first entry whose chain holds cluster 20
  EXPECT_EQ(Summary(f), "3 recordings, 3 damaged, 2 cross-linked chains");
}

// ---- Lost chains --------------------------------------------------------------

struct LostCase {
  const char* name;
  std::function<void(Disk*)> add;
  bool offered;
  u32 intoListedAt;  // kNoValue: does not run into the listed chain
};

TEST_F(CheckTest, LostChainsAreOfferedOnlyWhenWholeAloneAndAStream) {
  const LostCase cases[] = {
      {"a deleted recording", [](Disk* d) { d->entries.push_back(Deleted({40, 41, 45}, StreamContent(2))); }, true,
       kNoValue},
      {"on a word-swapped disk",
       [](Disk* d) {
         d->order = testdisk::kWordSwapped;
         d->entries.push_back(Deleted({40, 41, 45}, StreamContent(2)));
       },
       true, kNoValue},
      {"random bytes", [](Disk* d) { d->entries.push_back(Deleted({40, 41, 45}, testdisk::PatternContent(3))); },
       false, kNoValue},
      {"one cluster", [](Disk* d) { d->entries.push_back(Deleted({40}, StreamContent(2))); }, false, kNoValue},
      {"a cycle",
       [](Disk* d) {
         d->entries.push_back(Deleted({40, 41, 45}, StreamContent(2)));
         d->tableOverrides = {{45, 41}};
       },
       false, kNoValue},
      {"ends in cluster 0",
       [](Disk* d) {
         d->entries.push_back(Deleted({40, 41, 45}, StreamContent(2)));
         d->tableOverrides = {{45, 0}};
       },
       false, kNoValue},
      {"two sharing a cluster",
       [](Disk* d) {
         d->entries.push_back(Deleted({40, 41, 45}, StreamContent(2)));
         d->entries.push_back(Deleted({50, 51}, StreamContent(4)));
         d->tableOverrides = {{51, 41}};
       },
       false, kNoValue},
      {"runs into a listed recording",
       [](Disk* d) {
         d->entries.push_back(Deleted({40, 41, 45}, StreamContent(2)));
         d->tableOverrides = {{45, 12}};
       },
       false, 12},
  };
  for (const LostCase& c : cases) {
    ResetDiskRecord();
    Disk d = SmallDisk();
    c.add(&d);
    Layout l;
    CheckFindings f = BuildAndCheck(d, &l);
    LostChain lost;
    bool offered = FindLostRecording(f, 40, &lost);
    EXPECT_EQ(offered, c.offered) << c.name;
    EXPECT_EQ(f.report.lostRecordings, c.offered ? 1u : 0u) << c.name;
    EXPECT_EQ(f.report.lostIntoListed, c.intoListedAt != kNoValue ? 1u : 0u) << c.name;
    if (c.intoListedAt != kNoValue) {
      ASSERT_EQ(f.lost.size(), 1u) << c.name;
      EXPECT_EQ(f.lost[0].kind, kLostIntoListed) << c.name;
      EXPECT_EQ(f.lost[0].first, 40u) << c.name;
      EXPECT_EQ(f.lost[0].clusters, 3u) << c.name;
      EXPECT_EQ(f.lost[0].slot, 0u) << c.name;
      EXPECT_EQ(f.lost[0].cluster, c.intoListedAt) << c.name;
    }
    EXPECT_EQ(f.entries.size(), 1u) << c.name;  // the deleted slots are no entries
    if (!offered) continue;
    EXPECT_EQ(lost.clusters, 3u) << c.name;
    // Read as a listed recording with that first cluster, it is the deleted one.
    ASSERT_TRUE(OpenEntry(lost.first));
    std::vector<uint8_t> data(3 * 512 + 512);
    u32 got = 0;
    ASSERT_TRUE(ReadEntryData(data.data(), u32(data.size()), &got));
    data.resize(got);
    EXPECT_TRUE(data == testdisk::ExpectedStream(d, l, 1)) << c.name;
  }
}

// ---- The report ----------------------------------------------------------------

TEST_F(CheckTest, ReportSumsUpFirstAndGivesTheSameInJson) {
  Disk d = SmallDisk();
  d.entries.push_back(Chain("Looping", {20, 21, 22}));
  d.entries.push_back(Chain("Fine", {30, 31}));
  d.entries.push_back(Deleted({40, 41}, StreamContent(2)));
  d.entries.push_back(Deleted({50, 51, 52}, StreamContent(3)));
  d.tableOverrides = {{22, 21}};
  Layout l = BuildAndMap(d);
  for (u32 s : {0u, 1u, 3u, 7u}) PatchBytes(Path("disk.img"), l.TableSector(s, 2) * 512 + 100, "\x01");
  CheckFindings f = Check();
  EXPECT_EQ(Summary(f), "3 recordings, 1 damaged, 2 lost recordings found, table copies differ in 4 sectors");
  EXPECT_EQ(CheckExitStatus(f), 3);

  std::string text = Report(f, false);
  EXPECT_EQ(text.substr(0, text.find('\n')), Summary(f));
  EXPECT_NE(text.find("slot 1: recording 2 \"Looping\", first cluster 20, 3 clusters, 0 MiB: DAMAGED: cycle: "
                      "cluster 22 leads back to cluster 21\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("first cluster 50: 3 clusters, 0 MiB (lost-50.ts)"), std::string::npos) << text;

  JsonValue v;
  std::string error;
  ASSERT_TRUE(ParseJson(Report(f, true), &v, &error)) << error;
  EXPECT_EQ(v.members["summary"].text, Summary(f));
  EXPECT_TRUE(v.members["problems"].boolean);
  EXPECT_EQ(v.members["table_copies"].members["differ"].members["count"].number, 4);
  ASSERT_EQ(v.members["entries"].items.size(), 3u);
  JsonValue& looping = v.members["entries"].items[1];
  EXPECT_EQ(looping.members["end"].text, "cycle");
  EXPECT_EQ(looping.members["end_value"].number, 21);
  EXPECT_TRUE(looping.members["damaged"].boolean);
  ASSERT_EQ(v.members["lost_recordings"].items.size(), 2u);
  EXPECT_EQ(v.members["lost_recordings"].items[0].members["first_cluster"].number, 40);
  EXPECT_EQ(v.members["lost_recordings"].items[1].members["file"].text, "lost-50.ts");
}

// A chain that cycles in the copy held and is whole in the other: the check
// says which copy holds it whole.
TEST_F(CheckTest, AChainWholeInTheOtherCopyIsSaidSo) {
  struct {
    const char* what;
    std::vector<int> copies;  // whose entry 14 leads back to 10
    u32 wholeInCopy;
  } cases[] = {{"copy 1 cycles", {1}, 2}, {"both cycle alike", {1, 2}, 0}};
  for (const auto& c : cases) {
    ResetDiskRecord();
    Layout l = BuildAndMap(SmallDisk());  // Listed: 10 11 12 13 14
    for (int copy : c.copies)
      PatchBytes(Path("disk.img"), l.TableSector(0, copy) * 512 + 4 * 14, std::string("\0\0\0\x0A", 4));
    CheckFindings f = Check();
    ASSERT_EQ(f.entries.size(), 1u) << c.what;
    EXPECT_EQ(f.entries[0].walk.end, kChainCycle) << c.what;
    EXPECT_EQ(f.entries[0].wholeInCopy, c.wholeInCopy) << c.what;
    EXPECT_EQ(Report(f, false).find("; whole in table copy 2 (5 clusters)") != std::string::npos,
              c.wholeInCopy == 2) << c.what;
    EXPECT_NE(Report(f, true).find(c.wholeInCopy ? "\"whole_in_table_copy\": 2}" : "\"whole_in_table_copy\": null}"),
              std::string::npos) << c.what;
  }
}

// Every count of one in the text takes its noun in the singular.
TEST_F(CheckTest, ACountOfOneTakesTheSingular) {
  Disk d;
  d.sectorsPerCluster = 1;
  d.clusterCount = 2;
  d.tableSize = 1;
  d.directorySize = 1;
  d.entries = {Chain("One", {2}), Chain("Same", {}, 13)};
  d.entries[1].overrideFirst = true;
  d.entries[1].firstCluster = 2;
  CheckFindings f = BuildAndCheck(d);
  std::string text = Report(f, false);
  for (const char* singular : {"1 sector per cluster", "1 sector read from each copy", ", 1 cluster, 0 MiB",
                               "shares 1 cluster with", "share 1 cluster from"})
    EXPECT_NE(text.find(singular), std::string::npos) << singular << "\n" << text;
  for (const char* noun : {"sectors", "clusters", "entries", "recordings", "slots", "chains"})
    for (const char* before : {" ", "("})
      EXPECT_EQ(text.find(std::string(before) + "1 " + noun), std::string::npos) << noun << "\n" << text;
}

}  // namespace
