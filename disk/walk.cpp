// A whole chain walked over the table on the disk to its end, whatever that
// end is: the end marker, a cycle, a step to cluster 0, an unreadable table
// sector, or the table's end.
#include "disk/layout.h"
#include "disk/rescue.h"

namespace {

const ChainPatch* PatchOf(u32 c) {
  for (u32 i = 0; i < g_disk.chainPatchCount; ++i)
    if (g_disk.chainPatches[i].cluster == c) return &g_disk.chainPatches[i];
  return nullptr;
}

}  // namespace

bool ChainStep(u32 c, u32* next, ChainEnd* why) {
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

void Ended(ChainWalk* walk, u64 clusters, u32 last, ChainEnd why, u32 next) {
  *walk = {walk->first, u32(clusters), last, why, why == kChainAboveCount ? next : 0};
}

// With a cycle of length lambda found: walks two cursors lambda apart from
// the start until they meet, at the first cluster met again (after mu
// steps). The clusters before it are mu + lambda, the last of them being the
// one whose link closes the cycle.
void MeasureCycle(u64 lambda, ChainWalk* walk) {
  ChainEnd why;
  u32 ahead = walk->first, behind = walk->first, beforeAhead = walk->first, next = 0;
  for (u64 i = 0; i < lambda; ++i) {
    beforeAhead = ahead;
    // A sector that read a moment ago may fail now on a dying disk.
    if (!ChainStep(ahead, &ahead, &why)) return Ended(walk, i + 1, beforeAhead, why, ahead);
  }
  u64 mu = 0;
  while (behind != ahead) {
    if (!ChainStep(behind, &next, &why)) return Ended(walk, mu + 1, behind, why, next);
    behind = next;
    beforeAhead = ahead;
    if (!ChainStep(ahead, &ahead, &why)) return Ended(walk, lambda + mu + 1, beforeAhead, why, ahead);
    ++mu;
  }
  *walk = {walk->first, u32(mu + lambda), beforeAhead, kChainCycle, behind};
}

const u32 kPatchesPerChain = 4;

void WalkOnce(u32 first, ChainWalk* walk) {
  walk->first = first;
  if (first == 0 || first > g_disk.clusterCount) {
    Ended(walk, 0, 0, first ? kChainAboveCount : kChainZero, first);
    return;
  }
  // Brent's cycle finding: the hare walks on, the tortoise waits at the
  // cluster of each power-of-two step; meeting it again gives the cycle's
  // length. Without a cycle the walk is one pass and every cluster distinct.
  u32 tortoise = first, hare = first;
  u64 power = 1, lambda = 0, walked = 1;
  ChainEnd why;
  for (;;) {
    u32 last = hare;
    if (!ChainStep(last, &hare, &why)) return Ended(walk, walked, last, why, hare);
    ++lambda;
    if (hare == tortoise) break;
    ++walked;
    if (lambda == power) {
      tortoise = hare;
      power *= 2;
      lambda = 0;
    }
  }
  MeasureCycle(lambda, walk);
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
  while (g_disk.mirrorFallback && (walk->end == kChainCycle || walk->end == kChainZero) && added < kPatchesPerChain &&
         g_disk.chainPatchCount < kChainPatchSlots) {
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
