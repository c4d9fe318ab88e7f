// The command line's rescue parts: the domain mapfile for ddrescue (checked
// with the real ddrescue), and what an extraction past damage reports.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "../support.h"
#include "child.h"
#include "recordings.h"
#include "cli/args.h"
#include "report/domain_mapfile.h"
#include "report/rescue_report.h"
#include "rescue/unreadable.h"
#include "rescue/rescue.h"
#include "platform/drive_map.h"

namespace {

std::string Captured(const std::function<void(std::FILE*)>& write) {
  char* data = nullptr;
  size_t size = 0;
  std::FILE* f = open_memstream(&data, &size);
  write(f);
  std::fclose(f);
  std::string out(data, size);
  free(data);
  return out;
}

TEST(CliDomain, RunsAreSortedMergedClippedAndEveryByteCovered) {
  std::vector<SectorRun> runs = {{10, 5}, {2, 1}, {12, 8}, {20, 2}, {3, 1}, {90, 20}, {200, 1}};
  std::string text = Captured([&](std::FILE* f) { WriteDomainMapfile(f, runs, 100 * 512 + 512); });
  std::string blocks = text.substr(text.find("#      pos"));
  EXPECT_EQ(blocks,
            "#      pos        size  status\n"
            "0x00000000  0x00000400  ?\n"
            "0x00000400  0x00000400  +\n"
            "0x00000800  0x00000C00  ?\n"
            "0x00001400  0x00001800  +\n"
            "0x00002C00  0x00008800  ?\n"
            "0x0000B400  0x00001600  +\n");
  DriveMap map;
  u32 line;
  char reason[160];
  EXPECT_TRUE(ParseMapfile(text.data(), text.size(), 100 * 512 + 512, &map, &line, reason,
                           sizeof reason))
      << reason;
}

TEST(CliReport, DamageIsReportedAtItsOutputPlace) {
  // Two block-form reads: zeros cut away with the filler are not in the
  // output; a run at the end of the first block's stream part and one at
  // the start of the second meet in the output and merge.
  static ReadDamage first, second;
  first.runCount = 3;
  first.runs[0] = {0, 512, 0, kNoPosition};
  first.runs[1] = {129024, 1024, 0, kNoPosition};  // 320 bytes kept, the rest is filler
  first.runs[2] = {130048, 512, 0, kNoPosition};  // filler only
  second.runCount = 1;
  second.runs[0] = {131072, 1024, 0, kNoPosition};
  second.chainBroken = true;
  second.brokenAfter = 1234;
  second.brokenHow = kChainUnreadable;
  RescueRecord r;
  r.output = "out/Film.ts";
  r.blockForm = true;
  AddReadDamage(&r, first, 0, 129344, 0);
  AddReadDamage(&r, second, 131072, 2048, 129344);
  NoteBrokenStep(&r, second);
  r.bytesWritten = 129344 + 2048;
  r.badPackets = 3;
  std::string json = Captured([&](std::FILE* f) { WriteRescueReport(f, r); });
  EXPECT_EQ(json,
            "{\"output\": \"out/Film.ts\", \"bytes_written\": 131392, \"unreadable\": [[0, 512], "
            "[129024, 1344]], \"chain_end\": 1234, \"damaged\": \"table sector unreadable at "
            "cluster 1234\", \"bad_packets\": 3}\n");
  char line[200];
  FormatDamageSummary(r, line, sizeof line);
  EXPECT_STREQ(line,
               "4 unreadable sectors (1856 bytes) written as zeros; chain ends early at cluster "
               "1234");
}

TEST(CliReport, SummariesAndChainDamageTexts) {
  struct {
    u64 zeros;  // one run of whole sectors
    bool chain;
    ChainWalk walk;
    const char* summary;
    const char* damage;
  } cases[] = {
      {1536, true, {5, 3, 1234, kChainCycle, 17},
       "3 unreadable sectors (1536 bytes) written as zeros; chain ends early at cluster 1234",
       "cycle at cluster 1234"},
      {512, false, {}, "1 unreadable sector (512 bytes) written as zeros", nullptr},
      {0, true, {5, 2, 6, kChainZero, 0}, "chain ends early at cluster 6",
       "step to cluster 0 at cluster 6"},
      {0, true, {0, 0, 0, kChainZero, 0}, "chain ends early at cluster 0", "first cluster 0"},
      {0, true, {5, 5, 300, kChainPastTable, 0}, "chain ends early at cluster 300",
       "step past the table at cluster 300"},
      {0, false, {}, "", nullptr},
  };
  for (const auto& c : cases) {
    RescueRecord r;
    if (c.zeros) {
      static ReadDamage damage;
      damage.runCount = 1;
      damage.runs[0] = {4096, u32(c.zeros), 0, kNoPosition};
      AddReadDamage(&r, damage, 0, 131072, 0);
    }
    if (c.chain) NoteChainDamage(&r, c.walk);
    char text[200];
    FormatDamageSummary(r, text, sizeof text);
    EXPECT_STREQ(text, c.summary);
    if (!c.damage) continue;
    FormatChainDamage(c.walk, text, sizeof text);
    EXPECT_STREQ(text, c.damage);
  }
  u8 packets[188 * 3 + 10] = {};
  packets[0] = 0x47;
  packets[188 * 2] = 0x47;
  EXPECT_EQ(CountBadPackets(packets, sizeof packets), 2u) << "the second and the partial fourth";
}

// Each key a report object can hold is described where --report is, in the
// help and in the manual.
TEST(CliReport, EveryKeyIsDescribedInTheHelpAndTheManual) {
  RescueRecord r;
  r.output = "Film.ts";
  r.blockForm = true;
  NoteChainDamage(&r, ChainWalk{5, 3, 1234, kChainCycle, 17});
  std::string json = Captured([&](std::FILE* f) { WriteRescueReport(f, r); });
  std::ifstream page(MELVIR_SOURCE_DIR "/cli/melvir.1");
  std::string manual((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
  // From the option's entry to the next option's.
  auto entry = [](const std::string& text, const std::string& start, const std::string& next) {
    size_t at = text.find(start);
    return at == std::string::npos ? std::string() : text.substr(at, text.find(next, at + 1) - at);
  };
  std::string help = entry(HelpText(kExtract), "\n  --report FILE", "\n  --");
  std::string described = entry(manual, ".It Fl \\-report", ".It Fl");
  ASSERT_NE(help, "");
  ASSERT_NE(described, "");
  u32 keys = 0;
  for (size_t at = json.find('"'); at != std::string::npos; at = json.find('"', at + 1)) {
    size_t end = json.find('"', at + 1);
    if (json.compare(end, 3, "\": ") != 0) {
      at = end;
      continue;
    }
    std::string key = json.substr(at + 1, end - at - 1);
    EXPECT_NE(help.find(key), std::string::npos) << key << " in the help:\n" << help;
    EXPECT_NE(described.find(key), std::string::npos) << key << " in the manual:\n" << described;
    ++keys;
    at = end;
  }
  EXPECT_EQ(keys, 6u) << json;
}

// ---- On builder disks -----------------------------------------------------------

class CliDiskTest : public ScratchTest {};

// A hand-written map: one bad sector in the second cluster, the skipped
// sector of the first (no recording data), and a finished block ending
// inside the third cluster's last data sector, which then cannot be read.
TEST_F(CliDiskTest, UnreadableBytesComeFromTheChainAndTheMapAlone) {
  testdisk::Disk d;
  d.sectorsPerCluster = 256;
  d.clusterCount = 100;
  testdisk::Entry e = testdisk::PatternRecording("r", 0, 1);
  e.chain = {10, 11, 12};
  d.entries = {e};
  testdisk::Layout l = BuildAndMap(d);
  u64 c10 = l.ClusterByte(10), c11 = l.ClusterByte(11), c12 = l.ClusterByte(12);
  const u64 cut = c12 + 254 * 512 + 100;  // inside the third cluster's last data sector
  const struct {
    u64 from, to;
    char status;
  } blocks[] = {{0, c10 + 255 * 512, '+'},       {c10 + 255 * 512, c11, '-'},
                {c11, c11 + 3 * 512, '+'},       {c11 + 3 * 512, c11 + 4 * 512, '-'},
                {c11 + 4 * 512, cut, '+'},       {cut, l.imageSize, '?'}};
  std::string text = "0 +\n";
  for (const auto& b : blocks) {
    char row[80];
    FormatText(row, sizeof row, "0x%llX 0x%llX %c\n", (unsigned long long)b.from,
               (unsigned long long)(b.to - b.from), b.status);
    text += row;
  }
  DriveMap map;
  u32 line;
  char reason[160];
  ASSERT_TRUE(ParseMapfile(text.data(), text.size(), l.imageSize, &map, &line, reason,
                           sizeof reason))
      << line << ": " << reason << "\n" << text;
  ASSERT_TRUE(FindRecorderDisk(false));
  u64 bytes = 0;
  ASSERT_TRUE(RecordingUnreadableBytes(map, 10, 3, &bytes));
  EXPECT_EQ(bytes, 512u + 512u);
  ASSERT_TRUE(RecordingUnreadableBytes(map, 10, 1, &bytes));
  EXPECT_EQ(bytes, 0u) << "the skipped sector holds no recording data";
  EXPECT_FALSE(RecordingUnreadableBytes(map, 10, 4, &bytes)) << "the chain has three clusters";
}

// The report speaks of the file written: its ranges end at the file's end
// (whole 512-byte units of a stream of 401856 bytes), and its bad packets
// are the file's whole packets that lost their sync byte or hold unreadable
// bytes, as the probe counts them. Sectors a mapfile has not imaged are
// said to be so, not given the disk's error.
TEST_F(CliDiskTest, TheReportCountsTheFilesPacketsAndRanges) {
  testdisk::Disk d;
  d.sectorsPerCluster = 1;
  d.clusterCount = 1000;
  testdisk::Entry e = BigBlockForm("Rec", 4, 512);
  e.clusters = (3 * 131072 + 13824) / 512;
  d.entries.push_back(e);
  const testdisk::Layout l = Build(d);
  const std::string img = Path("disk.img");
  const uint64_t file = (3 * 129344 + 13824) / 512 * 512;  // 401408
  std::vector<uint64_t> all, four;
  for (uint32_t c : l.chains[0]) all.push_back(l.ClusterByte(c) / 512);
  // Recording bytes 153600 to 155648: block 1's stream bytes 22528 on, so
  // file bytes 151872 to 153920, which touch packets 807 to 818.
  for (uint32_t i = 300; i < 304; ++i) four.push_back(l.ClusterByte(l.chains[0][i]) / 512);
  struct Case {
    const char* name;
    std::vector<uint64_t> sectors;
    char status;
    std::string reason, runs;
    uint64_t badPackets;
  } cases[] = {
      {"never imaged", all, '?', "not yet imaged (mapfile)", "[[0, 401408]]", file / 188},
      {"four bad sectors", four, '-', "Input/output error", "[[151872, 2048]]", 12},
  };
  for (const Case& c : cases) {
    WriteMap(Path("disk.map"), l.imageSize, c.sectors, c.status);
    std::remove(Path("Rec.ts").c_str());
    ChildResult r = RunMelvir({"extract", "-n", "1", "--rescue", "--mapfile", "disk.map", "--report",
                               "report.json", "-o", "Rec.ts", "--quiet", img});
    EXPECT_EQ(r.status, 3) << c.name << r.err;
    EXPECT_NE(r.err.find(" of " + img + ": " + c.reason + "\n"), std::string::npos) << c.name << r.err;
    EXPECT_EQ(r.err.find(c.status == '?' ? "Input/output error" : "not yet imaged"), std::string::npos)
        << c.name << r.err;
    EXPECT_EQ(ReadWholeFile(Path("Rec.ts")).size(), file) << c.name;
    EXPECT_EQ(ReadWholeFile(Path("report.json")),
              "{\"output\": \"Rec.ts\", \"bytes_written\": 401408, \"unreadable\": " + c.runs +
                  ", \"bad_packets\": " + std::to_string(c.badPackets) + "}\n")
        << c.name;
  }
}

// A run killed outright leaves a damage file that may describe more than its
// .part holds (it is saved before the zeros reach the .part, which the
// writer fills later): the resumed run reports what an uninterrupted one
// does, the packets it reads again not counted twice.
TEST_F(CliDiskTest, AKilledRunResumesToTheSameReport) {
  testdisk::Disk d;
  d.sectorsPerCluster = 1;
  d.clusterCount = 103000;
  d.entries.push_back(BigBlockForm("Big", 400, 512));  // 52 MB
  const testdisk::Layout l = Build(d);
  const std::string img = Path("disk.img");
  std::vector<uint64_t> bad;
  for (size_t i = 50; i < l.chains[0].size(); i += 97) bad.push_back(l.ClusterByte(l.chains[0][i]) / 512);
  WriteMap(Path("disk.map"), l.imageSize, bad);
  auto extract = [&](const std::string& out, const std::string& report, const Watch& watch) {
    return RunMelvir({"extract", "-n", "1", "--rescue", "--mapfile", "disk.map", "--report", report,
                      "-o", out, "--quiet", img}, 120, watch);
  };
  ASSERT_EQ(extract("whole.ts", "whole.json", nullptr).status, 3);
  const std::string damage = Path("out.ts.part.damage");
  bool killed = false;
  ChildResult first = extract("out.ts", "first.json", [&](pid_t child) {
    std::string text = ReadWholeFile(damage);
    size_t at = text.find("\"bytes_written\": ");
    if (killed || at == std::string::npos || text.back() != '\n') return;  // whole, as saved
    struct stat part;
    uint64_t described = std::stoull(text.substr(at + 17));
    uint64_t held = stat(Path("out.ts.part").c_str(), &part) == 0 ? uint64_t(part.st_size) : 0;
    if (held == 0 || described <= held) return;
    kill(child, SIGKILL);
    killed = true;
  });
  if (!killed) GTEST_SKIP() << "the run ended before its damage file ran ahead of its .part";
  EXPECT_EQ(first.status, 128 + SIGKILL);
  ChildResult resumed = extract("out.ts", "resumed.json", nullptr);
  EXPECT_EQ(resumed.status, 3) << resumed.err;
  std::string want = ReadWholeFile(Path("whole.json")), got = ReadWholeFile(Path("resumed.json"));
  auto from = [](const std::string& report, const char* key) {
    size_t at = report.find(key);
    return at == std::string::npos ? std::string() : report.substr(at);
  };
  EXPECT_NE(from(want, "\"bad_packets\": "), "");
  EXPECT_EQ(from(got, "\"bad_packets\": "), from(want, "\"bad_packets\": "));
  EXPECT_TRUE(ReportedRuns(got) == ReportedRuns(want)) << "the unreadable ranges differ";
  EXPECT_TRUE(ReadWholeFile(Path("out.ts")) == ReadWholeFile(Path("whole.ts")));
}

// ---- With the real ddrescue --------------------------------------------------------

class CliDomainImaging : public ScratchTest {};

void ReadWhole(u32 first, std::vector<uint8_t>* out) {
  ASSERT_TRUE(OpenEntry(first));
  std::vector<uint8_t> buf(131072);
  for (u32 got = 1; got;) {
    ASSERT_TRUE(ReadEntryData(buf.data(), 131072, &got));
    out->insert(out->end(), buf.begin(), buf.begin() + got);
  }
}

// Imaging only the domain gives a partial image from which the chosen
// recordings come out byte for byte, and the others do not.
TEST_F(CliDomainImaging, ThePartialImageHoldsTheChosenRecordings) {
  if (std::system("command -v ddrescue >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "ddrescue (Debian gddrescue) is not installed";
  testdisk::Disk d;
  d.sectorsPerCluster = 256;
  d.entries = {testdisk::PatternRecording("Morning", 7, 1, true),
               testdisk::PatternRecording("Film", 9, 2, true),
               testdisk::PatternRecording("Late show", 5, 3, true)};
  testdisk::Layout l = BuildAndMap(d);
  ASSERT_TRUE(FindRecorderDisk(false));
  std::vector<SectorRun> runs;
  MetadataSectorRuns(AppendSectorRun, &runs);
  for (size_t i : {0u, 2u}) {
    ChainWalk walk;
    WalkChain(l.chains[i][0], &walk);
    ASSERT_TRUE(RecordingSectorRuns(l.chains[i][0], walk.clusters, AppendSectorRun, &runs));
  }
  u64 size;
  ASSERT_TRUE(DriveSize(g_disk.device, &size));
  CloseDisk();
  std::FILE* f = std::fopen(Path("domain.map").c_str(), "w");
  ASSERT_TRUE(WriteDomainMapfile(f, runs, size));
  std::fclose(f);
  std::string cmd = "ddrescue -q -m '" + Path("domain.map") + "' '" + Path("disk.img") + "' '" +
                    Path("partial.img") + "' '" + Path("partial.map") + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

  MapDrives({Path("partial.img")});
  ASSERT_TRUE(FindRecorderDisk(false));
  for (size_t i : {0u, 1u, 2u}) {
    std::vector<uint8_t> data;
    ReadWhole(l.chains[i][0], &data);
    if (i == 1)
      EXPECT_EQ(data, std::vector<uint8_t>(data.size(), 0)) << "left out of the domain";
    else
      EXPECT_TRUE(data == testdisk::ExpectedStream(d, l, i)) << "recording " << i;
  }
  // The domain: sector 2, the header, both copies of the table and of the
  // directory, and the 255 data sectors of each of the 12 clusters (not the
  // one in 256 that holds no recording data).
  u64 domainSectors = 0;
  MergeSectorRuns(&runs);
  for (const SectorRun& r : runs) domainSectors += r.count;
  EXPECT_EQ(domainSectors, 2 + 2 * l.tableSize + 2 * l.directorySize + 12ull * 255);
}

}  // namespace
