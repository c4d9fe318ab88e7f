// Benchmark disks and the measurements that need the core's own counters.
//
//   bench_disk make-extract IMAGE [MiB]   one recording of at least MiB (default
//       2048) in the recorder's block form, on 256-sector clusters, fragmented
//       chain; prints "recording BYTES output BYTES" (bytes read from the disk,
//       bytes an extraction writes)
//   bench_disk scan IMAGE [RECORDINGS [GiB]]   writes a sparse disk of RECORDINGS
//       (default 100) recordings of GiB (default 4) each, scans it as the
//       program does (ScanThread), prints the wall time and the device reads
//       against the least possible; the image is left for other measurements
//   bench_disk make-many IMAGE [RECORDINGS]   a disk of RECORDINGS (default
//       10000) one-cluster recordings, for timing a listing of all of them
//   bench_disk extract IMAGE OUT         extracts recording 1 of IMAGE into OUT
//       in this process (ExtractThread), for a memory figure without the CLI
//   bench_disk rescue IMAGE [ROUNDS]     reads recording 1 of IMAGE (from the
//       page cache) as a plain extraction does, then past damage on the
//       healthy disk, then past 100 unreadable sectors spread over it (a
//       mapfile made up in memory); prints the times against the plain read
//   bench_disk make-check IMAGE [CLUSTERS [RECORDINGS]]   a sparse disk of
//       CLUSTERS (default 3800000) 256-sector clusters, RECORDINGS (default
//       300) recordings filling nearly all of them, and two deleted ones
//   bench_disk check IMAGE               the consistency check of IMAGE and its
//       report (to /dev/null) in this process: wall time, peak resident memory
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>
#include <string>

#include "app/runs.h"
#include "app/state.h"
#include "app/ui_port.h"
#include "report/check_report.h"
#include "disk/recorder_disk.h"
#include "rescue/rescue.h"
#include "platform/drive_map.h"
#include "platform/fault.h"
#include "platform/platform.h"
#include "bench/block_form_content.h"
#include "testdisk.h"

namespace {

const u32 kStreamBytes = testdisk::kBlockStreamBytes;
const u32 kBlockBytes = testdisk::kBlockBytes;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A transport stream of pattern bytes in the recorder's block form.
testdisk::Content BlockFormPattern(uint32_t seed) {
  return BlockFormOf(testdisk::PatternContent(seed), true);
}

int MakeExtract(const std::string& image, uint64_t mib) {
  testdisk::Disk d;
  d.sectorsPerCluster = 256;
  uint32_t usable = (256 - 1) * 512;
  uint32_t clusters = uint32_t(((mib << 20) + usable - 1) / usable);
  d.clusterCount = clusters * 2 + 16;  // room for every other cluster
  testdisk::Entry e;
  e.name = "Benchmark recording";
  e.clusters = clusters;
  e.fragmented = true;
  e.content = BlockFormPattern(1);
  d.entries = {e};
  std::string error;
  testdisk::Layout layout;
  if (!testdisk::WriteImage(d, image, &layout, &error)) {
    std::fprintf(stderr, "bench_disk: %s\n", error.c_str());
    return 1;
  }
  // What an extraction writes: 129344 of every full 131072-byte block, a
  // last shorter block whole unless it reaches 129344, all cut to sectors.
  uint64_t recording = uint64_t(clusters) * usable;
  uint64_t full = recording / kBlockBytes, rest = recording % kBlockBytes;
  uint64_t output = full * kStreamBytes + (rest >= kStreamBytes ? kStreamBytes : rest);
  std::printf("recording %llu output %llu\n", (unsigned long long)recording,
              (unsigned long long)(output / 512 * 512));
  return 0;
}

// Least device reads a scan can make: sector 2 and the header, every
// directory sector, and for each recording each table sector its chain
// touches once, plus the directory sector again after each recording (the
// one-sector cache then holds a table sector).
uint64_t LeastScanReads(const testdisk::Layout& l, uint64_t* tableReads) {
  *tableReads = 0;
  for (size_t i = 0; i < l.chains.size() && i < 100; ++i) {
    const std::vector<uint32_t>& chain = l.chains[i];
    std::set<uint32_t> sectors;
    for (uint32_t c : chain) sectors.insert(c / 127);
    *tableReads += sectors.size();
  }
  // One directory read per recording (its sector is read again after the
  // previous recording's chain walk, or first). A list that does not fill
  // up goes on to the directory's end: the last recording's sector once
  // more if it has slots after it.
  uint64_t n = l.chains.size();
  uint64_t tail = n < 100 && n % 7 != 0 ? 1 : 0;
  return 2 + *tableReads + std::min<uint64_t>(n, 100) + tail;
}

int Scan(const std::string& image, uint32_t recordings, uint64_t gib) {
  testdisk::Disk d;
  d.sectorsPerCluster = 256;
  uint32_t usable = (256 - 1) * 512;
  uint32_t clusters = uint32_t(((gib << 30) + usable - 1) / usable);
  d.clusterCount = clusters * recordings + 64;
  for (uint32_t i = 0; i < recordings; ++i) {
    testdisk::Entry e;
    e.name = "Recording " + std::to_string(i + 1);
    e.clusters = clusters;
    d.entries.push_back(e);
  }
  std::string error;
  testdisk::Layout layout;
  double b0 = Now();
  if (!testdisk::WriteImage(d, image, &layout, &error)) {
    std::fprintf(stderr, "bench_disk: %s\n", error.c_str());
    return 1;
  }
  double built = Now() - b0;
  const char* drives[] = {image.c_str()};
  SetDriveTable(drives, 1);
  u32 lines = 0;
  static u32* counter = &lines;
  static const UiPort port = {[](const char*) {}, [](const char*) {}, [] {},
                              [](const char*) { ++*counter; }, [](const char*) {},
                              [](u32) {}, [] {}, [] {}, [] {}, nullptr};
  SetUiPort(&port);
  ResetFaultCounts();
  double t0 = Now();
  ScanThread(nullptr);
  double wall = Now() - t0;
  u32 reads = FaultCallCount(kCallRead), seeks = FaultCallCount(kCallSeek);
  CloseDisk();
  uint64_t tableReads;
  uint64_t least = LeastScanReads(layout, &tableReads);
  std::printf("disk of %u recordings of %llu GiB (256-sector clusters, %u clusters each), built in %.1f s\n",
              recordings, (unsigned long long)gib, clusters, built);
  std::printf("scan: %u listed in %.3f s; %u device reads, %u seeks; least possible %llu "
              "(of which %llu allocation-table sectors)\n",
              lines, wall, reads, seeks, (unsigned long long)least, (unsigned long long)tableReads);
  std::printf("device reads / least possible: %.3f  (target 1.000, each table sector of a chain read "
              "once per recording: %s)\n",
              double(reads) / double(least), reads <= least ? "met" : "NOT met");
  return lines == recordings && reads <= least ? 0 : 1;
}

int Extract(const std::string& image, const std::string& out) {
  if (!AllocateBuffers()) return 1;
  const char* drives[] = {image.c_str()};
  SetDriveTable(drives, 1);
  ScanThread(nullptr);
  if (g_app.recordings.rowCount.load() == 0) {
    std::fprintf(stderr, "bench_disk: no recording on %s\n", image.c_str());
    return 1;
  }
  const RecordingInfo& r = g_app.recordings.rows[0];
  g_app.selection.valid = true;
  g_app.selection.firstCluster = r.firstCluster;
  g_app.selection.sizeMiB = r.sizeMiB;
  std::strcpy(g_app.selection.text, "recording 1");
  std::snprintf(g_app.outputPath, kOutputPathSize, "%s", out.c_str());
  ExtractThread(nullptr);
  CloseDisk();
  return 0;
}

// Reads the whole recording from the open disk; returns the seconds taken
// and the bytes read as zeros (the rescue reader only).
double ReadThrough(u32 first, u32 clusters, bool rescue, u8* buffer, u64* zeros) {
  static ReadDamage damage;
  *zeros = 0;
  double t0 = Now();
  if (!(rescue ? OpenEntryRescue(first, clusters) : OpenEntry(first))) return -1;
  for (u32 got = 1; got;) {
    bool ok = rescue ? ReadEntryRescue(buffer, kBlockBytes, &got, &damage)
                     : ReadEntryData(buffer, kBlockBytes, &got);
    if (!ok) return -1;
    for (u32 i = 0; rescue && i < damage.runCount; ++i) *zeros += damage.runs[i].length;
  }
  return Now() - t0;
}

void CollectSectorRun(void* runs, u64 first, u64 count) {
  static_cast<std::vector<ByteRun>*>(runs)->push_back({first * 512, (first + count) * 512});
}

int Rescue(const std::string& image, int rounds) {
  const char* drives[] = {image.c_str()};
  SetDriveTable(drives, 1);
  DirEntry entry;
  ChainWalk walk;
  if (!FindRecorderDisk(false) || !ReadDirEntry(0, &entry)) return 1;
  WalkChain(entry.firstCluster, &walk);
  // A map whose finished blocks are everything but 100 sectors spread
  // evenly over the recording's data.
  std::vector<ByteRun> data;
  if (!RecordingSectorRuns(entry.firstCluster, walk.clusters, CollectSectorRun, &data)) return 1;
  u64 dataSectors = 0;
  for (const ByteRun& r : data) dataSectors += (r.end - r.begin) / 512;
  std::vector<u64> bad;
  u64 step = dataSectors / 100, seen = 0;
  for (const ByteRun& r : data)
    for (u64 s = r.begin / 512; s < r.end / 512; ++s, ++seen)
      if (seen % step == step / 2 && bad.size() < 100) bad.push_back(s);
  std::sort(bad.begin(), bad.end());
  struct stat st;
  if (stat(image.c_str(), &st) != 0) return 1;
  static DriveMap map;
  u64 at = 0;
  for (u64 s : bad) {
    if (s * 512 > at) map.readable.push_back({at, s * 512});
    at = s * 512 + 512;
  }
  map.readable.push_back({at, u64(st.st_size)});
  u8* buffer = static_cast<u8*>(AllocPages(kBlockBytes));
  double best[3] = {1e9, 1e9, 1e9};
  u64 zeros[3] = {0, 0, 0};
  for (int r = 0; r < rounds; ++r)
    for (int kind = 0; kind < 3; ++kind) {
      SetDriveMap(0, kind == 2 ? &map : nullptr);
      if (!FindRecorderDisk(false)) return 1;
      double t = ReadThrough(entry.firstCluster, walk.clusters, kind > 0, buffer, &zeros[kind]);
      if (t < 0) return 1;
      best[kind] = std::min(best[kind], t);
    }
  CloseDisk();
  double mib = double(dataSectors) * 512 / 1048576;
  std::printf("recording of %.0f MiB read from the page cache, best of %d rounds: plain %.3f s, "
              "rescue %.3f s, rescue past %zu unreadable sectors %.3f s (%llu bytes zeroed)\n",
              mib, rounds, best[0], best[1], bad.size(), best[2], (unsigned long long)zeros[2]);
  double healthy = best[1] / best[0], damaged = best[2] / best[0];
  std::printf("rescue read / plain read, healthy disk: %.3f  (target <= 1.05: %s)\n", healthy,
              healthy <= 1.05 ? "met" : "NOT met");
  std::printf("rescue read past 100 unreadable sectors / plain read: %.3f  (target <= 1.50: %s)\n",
              damaged, damaged <= 1.5 ? "met" : "NOT met");
  return zeros[1] == 0 && zeros[2] == bad.size() * 512 ? 0 : 1;
}

int MakeMany(const std::string& image, uint32_t recordings) {
  testdisk::Disk d;
  d.clusterCount = recordings + 10;
  for (uint32_t i = 0; i < recordings; ++i)
    d.entries.push_back(testdisk::PatternRecording("Recording " + std::to_string(i + 1), 1));
  std::string error;
  if (!testdisk::WriteImage(d, image, nullptr, &error)) {
    std::fprintf(stderr, "bench_disk: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

int MakeCheck(const std::string& image, uint32_t clusters, uint32_t recordings) {
  testdisk::Disk d;
  d.sectorsPerCluster = 256;
  d.clusterCount = clusters;
  uint32_t each = (clusters - 64) / recordings;
  for (uint32_t i = 0; i < recordings; ++i) {
    testdisk::Entry e;
    e.name = "Recording " + std::to_string(i + 1);
    e.clusters = each;
    e.fragmented = i >= recordings - recordings / 10;  // last, so they take what is left
    d.entries.push_back(e);
  }
  // Two deleted recordings left for the check to find.
  for (uint32_t i = 0; i < 2; ++i) {
    testdisk::Entry e;
    e.type = 0;
    e.clusters = 3;
    e.fragmented = true;  // in the holes the others left
    e.content = BlockFormPattern(i + 2);
    d.entries.push_back(e);
  }
  std::string error;
  double t0 = Now();
  if (!testdisk::WriteImage(d, image, nullptr, &error)) {
    std::fprintf(stderr, "bench_disk: %s\n", error.c_str());
    return 1;
  }
  std::printf("disk of %u clusters of 256 sectors, %u recordings of %u clusters, built in %.1f s\n", clusters,
              recordings, each, Now() - t0);
  return 0;
}

void PlainName(const u8* raw, u32 length, void*, char* out, u32 size) {
  std::snprintf(out, size, "%.*s", int(length), reinterpret_cast<const char*>(raw));
}

int Check(const std::string& image) {
  const char* drives[] = {image.c_str()};
  SetDriveTable(drives, 1);
  double t0 = Now();
  if (!FindRecorderDisk(false)) {
    std::fprintf(stderr, "bench_disk: no recorder disk on %s\n", image.c_str());
    return 1;
  }
  CheckFindings f;
  bool ok = RunCheck(&f);
  // The report is part of the cost: written as `melvir check` writes it.
  FILE* sink = std::fopen("/dev/null", "w");
  CheckOutput how = {image.c_str(), PlainName, nullptr};
  ok = ok && sink && WriteCheckText(sink, f, how);
  if (sink) std::fclose(sink);
  double wall = Now() - t0;
  CloseDisk();
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  char summary[400];
  FormatCheckSummary(f, summary, sizeof summary);
  double mib = double(usage.ru_maxrss) / 1024;
  std::printf("check: %s; %zu entries, %u table entries held\n", summary, f.entries.size(),
              f.report.tableEntriesHeld);
  std::printf("check wall time %.3f s (target < 3 s: %s), peak resident memory %.1f MiB (target < 64 MiB: %s)\n",
              wall, wall < 3 ? "met" : "NOT met", mib, mib < 64 ? "met" : "NOT met");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "make-extract" && argc >= 3)
    return MakeExtract(argv[2], argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 2048);
  if (cmd == "scan" && argc >= 3)
    return Scan(argv[2], argc > 3 ? uint32_t(std::strtoul(argv[3], nullptr, 10)) : 100,
                argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 4);
  if (cmd == "extract" && argc == 4) return Extract(argv[2], argv[3]);
  if (cmd == "rescue" && argc >= 3) return Rescue(argv[2], argc > 3 ? std::atoi(argv[3]) : 3);
  if (cmd == "make-many" && argc >= 3)
    return MakeMany(argv[2], argc > 3 ? uint32_t(std::strtoul(argv[3], nullptr, 10)) : 10000);
  if (cmd == "make-check" && argc >= 3)
    return MakeCheck(argv[2], argc > 3 ? uint32_t(std::strtoul(argv[3], nullptr, 10)) : 3800000,
                     argc > 4 ? uint32_t(std::strtoul(argv[4], nullptr, 10)) : 300);
  if (cmd == "check" && argc == 3) return Check(argv[2]);
  std::fprintf(stderr,
               "usage: bench_disk make-extract IMAGE [MiB] | scan IMAGE [RECORDINGS [GiB]] | "
               "extract IMAGE OUT | make-many IMAGE [RECORDINGS] | make-check IMAGE [CLUSTERS "
               "[RECORDINGS]] | check IMAGE | rescue IMAGE [ROUNDS]\n");
  return 2;
}
