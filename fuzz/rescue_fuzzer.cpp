// libFuzzer target: reading a damaged recorder disk, the disk made up by
// the fuzzer and served through a map of sectors that fail.
//
// Input: the compact form (compact_input.h), then the bad sectors
// (bad_sectors.h), set on the drive: reads touching a bad sector fail.
// Options:
//   bit 0      the table and directory are read from copy 2 first
//   bit 1      each recording is opened for one cluster more than its walk
//              found, so a broken chain is met
//   bits 2..7  the read length: 512 x (1 + 4 x value)
//
// One run: discovery, mirror fallback on, then for the first kMaxEntries
// entries with a first cluster: WalkChain, OpenEntryRescue for the clusters
// it found, ReadEntryRescue to the end (at most kEntryBudget bytes an entry,
// kRunBudget a run; the first kMaxSlots slots). Checked: a read delivers whole clusters' usable bytes
// and never more than the walk found, every damage run lies inside the
// bytes that read delivered, in order and apart; a walk's clusters read
// without a broken chain, and one cluster more breaks exactly where the
// walk ended; the mirror is told only of sectors the areas hold. The drive
// is never written to and every handle is closed.
//
// Speed: perf showed four fifths of a run in reading the directory an
// entry at a time, each sector read again for each of its seven slots
// through the mirror's search of the sectors known bad; it is now read once
// a sector, and the rate no longer falls as the corpus finds bad directory
// sectors. After that, two thirds of a run went to tracing comparisons in
// the sector reader's word swap and the mirror's list of bad copies, both
// now built without it (fuzz/CMakeLists.txt), and inputs are held to 16 KiB
// (fuzz/targets): ten million inputs from the seeds ran at 18,196 a CPU
// second (2,792 before), 465 edges, 2,451 features.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "disk/layout.h"
#include "rescue/mirror.h"
#include "rescue/rescue.h"
#include "disk/recorder_disk.h"
#include "fuzz/bad_sectors.h"
#include "fuzz/compact_input.h"
#include "platform/drive_map.h"
#include "platform/drive_table.h"
#include "platform/memory_files.h"

namespace {

const u8 kCopy2First = 1, kOneMore = 2;
const u32 kMaxEntries = 64;
const u32 kMaxSlots = 16384;  // directory slots looked at, most of them empty
const u64 kEntryBudget = 512u << 10, kRunBudget = 2u << 20;

CompactInput g_input;
DriveSource g_source;
DriveMap g_map;
alignas(4096) u8 g_buffer[kRescueReadMax];
ReadDamage g_damage;

void Fail(const char* what) {
  std::fprintf(stderr, "rescue_fuzzer: %s\n", what);
  std::abort();
}

void OnMirror(MetadataArea area, u32 s, u32 copyRead) {
  u32 size = area == kTableArea ? g_disk.tableSize : g_disk.directorySize;
  if (s >= size) Fail("the mirror is told of a sector past its area");
  if (copyRead > 2) Fail("the mirror is told of a third copy");
}

// Reads the recording from first to its end or the budget; true when it
// ended before the budget.
bool ReadRecording(u32 first, u32 clusters, u32 length, u64 budget, u64* delivered,
                   ReadDamage* last) {
  if (!OpenEntryRescue(first, clusters)) Fail("a walked first cluster does not open");
  *delivered = 0;
  ClearDamage(last);
  while (*delivered < budget) {
    u32 got = 0;
    if (!ReadEntryRescue(g_buffer, length, &got, &g_damage)) Fail("a valid read length refused");
    if (got > length) Fail("a read delivered more than asked");
    u64 end = *delivered + got;
    for (u32 i = 0; i < g_damage.runCount; ++i) {
      const ReadDamage::Run& r = g_damage.runs[i];
      if (r.length == 0) Fail("an empty damage run");
      if (r.offset < *delivered || r.offset + r.length > end)
        Fail("a damage run lies outside the bytes the read delivered");
      if (!i) continue;
      const ReadDamage::Run& p = g_damage.runs[i - 1];
      if (p.offset + p.length > r.offset) Fail("damage runs not in order");
      bool onDisk = r.position == kNoPosition ? p.position == kNoPosition
                                              : p.position != kNoPosition &&
                                                    p.position + p.length == r.position;
      if (p.offset + p.length == r.offset && p.error == r.error && onDisk)
        Fail("damage runs that go on, on the disk too, not merged");
    }
    *delivered = end;
    *last = g_damage;
    if (g_damage.chainBroken || got < length) return true;
  }
  return false;
}

void RescueEntry(const DirEntry& entry, u32 length, bool oneMore, u64* spent) {
  ChainWalk walk;
  WalkChain(entry.firstCluster, &walk);
  if (walk.clusters == 0) return;
  if (walk.clusters > g_disk.clusterCount) Fail("a walk longer than the cluster count");
  u64 budget = std::min(kEntryBudget, kRunBudget - *spent);
  u64 delivered;
  ReadDamage last;
  bool ended = ReadRecording(entry.firstCluster, walk.clusters, length, budget, &delivered, &last);
  *spent += delivered;
  u64 whole = u64(walk.clusters) * g_disk.usableClusterBytes;
  if (delivered > whole) Fail("more bytes delivered than the walked clusters hold");
  if (ended && last.chainBroken) Fail("a walked chain broke while read");
  if (ended && delivered != whole) Fail("a recording read to its end is not its walked clusters");

  if (!oneMore || *spent >= kRunBudget || whole >= budget) return;
  budget = std::min(kEntryBudget, kRunBudget - *spent);
  ended = ReadRecording(entry.firstCluster, walk.clusters + 1, length, budget, &delivered, &last);
  *spent += delivered;
  if (!ended) return;
  bool breaks = walk.end == kChainZero || walk.end == kChainUnreadable || walk.end == kChainPastTable ||
                walk.end == kChainBeyondDisk;
  if (breaks != last.chainBroken) Fail("one cluster past the walk, the chain breaks otherwise");
  if (breaks && (last.brokenAfter != walk.last || last.brokenHow != walk.end))
    Fail("the chain breaks elsewhere or otherwise than the walk ended");
  if (!breaks && delivered < whole) Fail("reading one cluster more delivered less");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
  u32 n = BadRuns(data, size);
  DecodeCompactInput(data, DiskBytes(size, n), &g_input);
  MapAroundBadRuns(data + size, n, g_input.drive.size, &g_map);
  u8 options = g_input.options;
  ResetDiskRecord();
  g_source = DriveSource{nullptr, &g_input.drive};
  SetDriveSources(&g_source, 1);
  if (!SetDriveMap(0, &g_map)) Fail("cannot map the drive");

  if (FindRecorderDisk(false)) {
    StartMirrorReads(options & kCopy2First ? 2 : 1, OnMirror);
    u32 length = kSectorSize * (1 + 4 * (options >> 2));
    u64 count = DirectoryEntryCount();
    u64 spent = 0;
    u32 rescued = 0;
    count = std::min<u64>(count, kMaxSlots);
    // A directory sector is read once, as the listing reads it, its other
    // slots decoded from a copy (the rescues between read table sectors
    // into the disk record's buffer).
    u8 directory[kSectorSize];
    bool sectorRead = false;
    for (u64 i = 0; i < count && rescued < kMaxEntries && spent < kRunBudget; ++i) {
      DirEntry entry;
      if (i % kDirEntriesPerSector == 0) {
        sectorRead = ReadDirEntry(u32(i), &entry);
        if (sectorRead) std::memcpy(directory, g_disk.sector, kSectorSize);
      } else if (sectorRead) {
        DecodeDirEntry(directory + (i % kDirEntriesPerSector) * kDirEntrySize, &entry);
      }
      if (!sectorRead) continue;
      if (entry.type == 0 || entry.firstCluster == 0 || entry.firstCluster > g_disk.clusterCount)
        continue;
      ++rescued;
      RescueEntry(entry, length, options & kOneMore, &spent);
    }
    u32 got;
    if (ReadEntryRescue(g_buffer, kSectorSize + 1, &got, &g_damage)) Fail("a bad length taken");
  }

  ResetDiskRecord();
  SetDriveMap(0, nullptr);
  SetDriveSources(nullptr, 0);
  if (g_input.drive.writeAttempts) Fail("the drive was written to");
  if (OpenMemoryFiles() != 0) Fail("a drive handle was left open");
  return 0;
}
