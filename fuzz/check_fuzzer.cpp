// libFuzzer target: the consistency check of a recorder disk the fuzzer
// makes up, held in memory and read through the platform calls.
//
// Input: the compact form (compact_input.h), as for the disk target, whose
// corpus this one shares. Options byte:
//   bit 0      the command line's window (kCheckWindowSectors sectors);
//              otherwise 1 + bits 1..4, so windows end inside every area
//   bit 5      the header's platform call fails or comes back short
//
// One run: discovery, then CheckDisk with the memory CheckMemoryBytes asks
// for, allocated to the byte so a write past it is caught, holding at most
// kHeldCap table entries (the command line caps them the same way). Checked:
// memory one byte short is refused before anything is reported; the sizes
// the check took are CheckTableEntries() cut to the cap, and bounded by the
// drive; what reached the sink agrees with the report's counts; and where
// the table's two copies agree and every entry is held, each entry's walk
// is the one the rescue walk finds over the table on the disk. The drive is
// never written to and every handle is closed.
//
// Speed: about 6,900 a CPU second over ten million inputs, from 13,000 at
// the start as the corpus grows. Before, from about 1,400 to 8,400, as the
// corpus reached headers declaring large directories. Measured by perf at
// 4,600: a third of the run was the check's memory, a fresh mapping each
// input faulted in page by page as the check zeroed it, now kept from input
// to input (below). Measured again at 2,200, after the corpus grew for a
// minute: 80% was the directory's two copies, read and compared twice (for
// the entries, then for the joins), nearly all in the coverage callbacks of
// the per-sector loops, for headers declaring up to kCheckDirectoryLimit
// sectors (a mutated size field is mostly large). The harness now cuts the
// directory to kDirectorySectors: as many sectors as the held table's
// kHeldCap entries fill, past the 128 passes a loop's hit counts tell
// apart. Lost with it: only the count of sectors past the check's limit.
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "check/check.h"
#include "disk/layout.h"
#include "rescue/mirror.h"
#include "rescue/rescue.h"
#include "disk/recorder_disk.h"
#include "fuzz/compact_input.h"
#include "platform/drive_table.h"
#include "platform/fault.h"
#include "platform/memory_files.h"

namespace {

const u8 kWideWindow = 1, kFault = 32;
const u32 kWideWindowSectors = 2048;  // the command line's window
// Four times the most a disk of kMaxDiskBytes has in one-sector clusters;
// only a header with no sectors per cluster asks for more.
const u32 kHeldCap = 1u << 16;
const u32 kMaxEntries = 1u << 16;
const u32 kDirectorySectors = kHeldCap / kTableEntriesPerSector;

CompactInput g_input;
DriveSource g_source;

struct Seen {
  u32 entries, recordings, crossLinks, lostRecordings, lostIntoListed, lostUnreadable, lastRecording;
  u32 sinkCalls;
} g_seen;
CheckEntry g_entries[kMaxEntries];

void Fail(const char* what) {
  std::fprintf(stderr, "check_fuzzer: %s\n", what);
  std::abort();
}

void OnEntry(void*, const CheckEntry& e) {
  ++g_seen.sinkCalls;
  if (g_seen.entries < kMaxEntries) g_entries[g_seen.entries] = e;
  ++g_seen.entries;
  if (e.raw.type == kRecordingType) ++g_seen.recordings;
  if (e.recording != kNoEntry) {
    if (e.raw.type != kRecordingType) Fail("an entry of another type numbered as a recording");
    if (e.recording != ++g_seen.lastRecording) Fail("recordings not numbered in turn from 1");
  }
  if (e.walk.clusters > g_disk.clusterCount) Fail("a chain longer than the cluster count");
  if (e.sharedClusters > e.walk.clusters) Fail("more clusters shared than the chain holds");
}
void OnCrossLink(void*, const CrossLink& link) {
  ++g_seen.sinkCalls;
  ++g_seen.crossLinks;
  if (link.cluster == 0 || link.cluster > g_disk.clusterCount) Fail("a cross-link at no cluster");
}
void OnLost(void*, const LostChain& chain) {
  ++g_seen.sinkCalls;
  if (chain.kind == kLostRecording) ++g_seen.lostRecordings;
  else if (chain.kind == kLostUnreadable) ++g_seen.lostUnreadable;
  else ++g_seen.lostIntoListed;
  if (chain.first == 0 || chain.first > g_disk.clusterCount) Fail("a lost chain at no cluster");
  if (chain.kind != kLostIntoListed && chain.clusters == 0) Fail("a lost recording of no cluster");
}
const CheckSink kSink = {nullptr, OnEntry, OnCrossLink, OnLost};

bool CopiesAgree(const CopyFindings& f) {
  for (u32 k = 0; k < kCopyFindings; ++k)
    if (f.count[k]) return false;
  return f.notRead == 0;
}

// The walks the check made over the table it held, made again by the
// rescue walk over the table on the disk.
void CompareWalks(const CheckReport& report) {
  if (!CopiesAgree(report.table) || report.tableEntriesHeld != report.tableEntriesWanted) return;
  if (g_seen.entries > kMaxEntries) return;
  StartMirrorReads(1, nullptr);
  for (u32 i = 0; i < g_seen.entries; ++i) {
    const ChainWalk& held = g_entries[i].walk;
    if (held.end != kChainEnd && held.end != kChainAboveCount && held.end != kChainZero &&
        held.end != kChainCycle)
      continue;
    ChainWalk disk;
    WalkChain(g_entries[i].raw.firstCluster, &disk);
    if (disk.clusters != held.clusters || disk.end != held.end || disk.last != held.last)
      Fail("the check's walk and the rescue walk of a chain differ");
  }
}

// The check's memory, bytes long, kept from input to input: a fresh
// allocation was a fresh mapping, faulted in page by page as the check
// zeroed it. The bytes past those asked for are poisoned, so a write past
// them is caught as at the end of an allocation made to the byte; only the
// stretch between the last input's length and this one's changes state.
void* CheckMemory(u64 bytes) {
  static u8* memory = nullptr;
  static u64 capacity = 0, open = 0;  // open: the bytes not poisoned
  if (bytes > capacity) {
    ASAN_UNPOISON_MEMORY_REGION(memory, capacity);
    std::free(memory);
    memory = static_cast<u8*>(std::malloc(bytes));
    if (!memory) Fail("cannot allocate the check's memory");
    capacity = open = bytes;
  }
  if (bytes > open) ASAN_UNPOISON_MEMORY_REGION(memory + open, bytes - open);
  // To the end of the 8-byte granule that held the last length's end,
  // which the sanitizer would otherwise leave open.
  else ASAN_POISON_MEMORY_REGION(memory + bytes, std::min((open + 7) / 8 * 8, capacity) - bytes);
  open = bytes;
  return memory;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
  DecodeCompactInput(data, size, &g_input);
  u8 options = g_input.options;
  ResetDiskRecord();
  ResetFaultCounts();
  if (options & kFault) ArmInputFault(g_input);
  g_source = DriveSource{nullptr, &g_input.drive};
  SetDriveSources(&g_source, 1);

  if (FindRecorderDisk(false)) {
    DisarmFault();  // a fault is for discovery; the check reads a healthy drive
    if (g_disk.directorySize > kDirectorySectors) g_disk.directorySize = kDirectorySectors;
    u32 window = options & kWideWindow ? kWideWindowSectors : 1 + ((options >> 1) & 15);
    u64 wanted = CheckTableEntries();
    if (g_disk.sectorsPerCluster && wanted > g_input.drive.size / kSectorSize + 1)
      Fail("more table entries wanted than clusters on the drive");
    u32 held = wanted < kHeldCap ? u32(wanted) : kHeldCap;
    u64 bytes = CheckMemoryBytes(held, window);
    if (bytes > (64u << 20)) Fail("the check asks for more memory than its entries need");
    void* memory = CheckMemory(bytes);
    g_seen = Seen{};
    CheckReport report;
    if (CheckDisk(memory, bytes - 1, held, window, kSink, &report) || g_seen.sinkCalls)
      Fail("memory one byte short was taken");
    if (!CheckDisk(memory, bytes, held, window, kSink, &report)) Fail("enough memory was refused");

    if (report.tableEntriesWanted != wanted || report.tableEntriesHeld != held)
      Fail("the report's table sizes are not those the check was given");
    if (g_seen.entries != report.entries || g_seen.recordings != report.recordings)
      Fail("entries or recordings delivered differ from the report's counts");
    if (g_seen.lostRecordings != report.lostRecordings ||
        g_seen.lostUnreadable != report.chainsUnreadableStart)
      Fail("lost recordings delivered differ from the report's count");
    if (g_seen.crossLinks + g_seen.lostIntoListed + report.unresolved !=
        report.crossLinks + report.lostIntoListed)
      Fail("shared chains delivered and unresolved differ from the report's counts");
    CompareWalks(report);
  }

  ResetDiskRecord();
  DisarmFault();
  SetDriveSources(nullptr, 0);
  if (g_input.drive.writeAttempts) Fail("the drive was written to");
  if (OpenMemoryFiles() != 0) Fail("a drive handle was left open");
  return 0;
}
