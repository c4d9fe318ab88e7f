// The rescue walk: a whole chain walked over the table on the disk to its
// end, whatever that end is: the end marker, a cycle, a step to cluster 0,
// an unreadable table sector, the table's end or the drive's.
#include "disk/layout.h"
#include "rescue/mirror.h"
#include "rescue/rescue.h"

bool StepOnDisk(u32 c, u32* next, ChainEnd* why) {
  u32 s = c / kTableEntriesPerSector;
  // As the check takes it: a chain goes no further than the drive holds.
  if (!ClusterOnDrive(c)) {
    *why = kChainBeyondDisk;
    return false;
  }
  if (s >= g_disk.tableSize) {
    *why = kChainPastTable;
    return false;
  }
  const ChainPatch* patch = ChainPatchCount() ? PatchOf(c) : nullptr;
  if (!patch && !ReadTableSector(s)) {
    *why = kChainUnreadable;
    return false;
  }
  u32 v = patch ? patch->next : Field32(g_disk.sector + 4 * (c % kTableEntriesPerSector));
  if (v == 0 || v == kEndOfChain || v > g_disk.clusterCount) {
    *why = v == 0 ? kChainZero : v == kEndOfChain ? kChainEnd : kChainAboveCount;
    if (*why == kChainAboveCount) *next = v;
    return false;
  }
  *next = v;
  return true;
}

namespace {

const u32 kPatchesPerChain = 4;

// A sector that read a moment ago may fail now on a dying disk: each step
// reads again.
bool Step(void*, u32 c, u32* next, ChainEnd* why) { return StepOnDisk(c, next, why); }

void WalkOnce(u32 first, ChainWalk* walk) {
  if (first == 0 || first > g_disk.clusterCount) {
    *walk = {first, 0, 0, first ? kChainAboveCount : kChainZero, first ? first : 0};
    return;
  }
  WalkChainBy(first, Step, nullptr, walk);
}

// The successor of cluster c in the table copy read second, where it differs
// from the first copy's.
bool OtherCopySuccessor(u32 c, u32* next) {
  u32 s = c / kTableEntriesPerSector, at = 4 * (c % kTableEntriesPerSector);
  if (PatchOf(c) || !ReadTableSector(s)) return false;
  u32 used = Field32(g_disk.sector + at);
  if (!ReadOtherTableSector(s)) return false;
  *next = Field32(g_disk.sector + at);
  return *next != used;
}

}  // namespace

// A chain that cycles or steps to cluster 0 where the two copies of the
// table differ may be whole in the other copy: its step there is taken from
// that copy, a few times, and kept (for the reader too) only when the chain
// comes out whole.
void WalkChain(u32 first, ChainWalk* walk) {
  WalkOnce(first, walk);
  const u32 mark = ChainPatchCount();
  u32 added = 0;
  while (MirrorReadsOn() && (walk->end == kChainCycle || walk->end == kChainZero) &&
         added < kPatchesPerChain) {
    u32 next;
    if (!OtherCopySuccessor(walk->last, &next) || !AddChainPatch(walk->last, next)) break;
    ++added;
    WalkOnce(first, walk);
  }
  if (added && !WalkIsWhole(*walk)) {
    KeepChainPatches(mark);  // no better: the chain as the first copy has it
    WalkOnce(first, walk);
  }
}
