// The rescue walk: a whole chain walked over the table on the disk to its
// end, whatever that end is: the end marker, a cycle, a step to cluster 0,
// an unreadable table sector, the table's end or the drive's.
#include "disk/layout.h"
#include "rescue/rescue.h"

namespace {

const ChainPatch* PatchOf(u32 c) {
  for (u32 i = 0; i < g_disk.chainPatchCount; ++i)
    if (g_disk.chainPatches[i].cluster == c) return &g_disk.chainPatches[i];
  return nullptr;
}

}  // namespace

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
  const ChainPatch* patch = g_disk.chainPatchCount ? PatchOf(c) : nullptr;
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
  const u32 mark = g_disk.chainPatchCount;
  u32 added = 0;
  while (g_disk.mirrorFallback && (walk->end == kChainCycle || walk->end == kChainZero) &&
         added < kPatchesPerChain && g_disk.chainPatchCount < kChainPatchSlots) {
    u32 next;
    if (!OtherCopySuccessor(walk->last, &next)) break;
    g_disk.chainPatches[g_disk.chainPatchCount++] = {walk->last, next};
    ++added;
    WalkOnce(first, walk);
  }
  if (added && !WalkIsWhole(*walk)) {
    g_disk.chainPatchCount = mark;  // no better: the chain as the first copy has it
    WalkOnce(first, walk);
  }
}
