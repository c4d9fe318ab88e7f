// A whole chain walked to its end, whatever that end is: the end marker, a
// cycle, a step to cluster 0, an unreadable table sector, or the table's end.
#include "disk/layout.h"
#include "disk/rescue.h"

bool ChainStep(u32 c, u32* next, ChainEnd* why) {
  if (c / kTableEntriesPerSector >= g_disk.tableSize) {
    *why = kChainPastTable;
    return false;
  }
  u32 v = c;
  if (!GetNextCluster(&v)) {
    *why = kChainUnreadable;
    return false;
  }
  if (v == kEndOfChain || v == 0) {
    *why = v ? kChainComplete : kChainToZero;
    return false;
  }
  *next = v;
  return true;
}

namespace {

void Ended(ChainWalk* walk, u64 clusters, u32 last, ChainEnd why) {
  *walk = {u32(clusters), why, last, why == kChainComplete ? kEndOfChain : 0};
}

// With a cycle of length lambda found: walks two cursors lambda apart from
// the start until they meet, at the first cluster met again (after mu
// steps). The clusters before it are mu + lambda, the last of them being the
// one whose link closes the cycle.
void MeasureCycle(u32 first, u64 lambda, ChainWalk* walk) {
  ChainEnd why;
  u32 ahead = first, behind = first, beforeAhead = first;
  for (u64 i = 0; i < lambda; ++i) {
    beforeAhead = ahead;
    // A sector that read a moment ago may fail now on a dying disk.
    if (!ChainStep(ahead, &ahead, &why)) return Ended(walk, i + 1, beforeAhead, why);
  }
  u64 mu = 0;
  while (behind != ahead) {
    if (!ChainStep(behind, &behind, &why)) return Ended(walk, mu + 1, behind, why);
    beforeAhead = ahead;
    if (!ChainStep(ahead, &ahead, &why)) return Ended(walk, lambda + mu + 1, beforeAhead, why);
    ++mu;
  }
  *walk = {u32(mu + lambda), kChainCycle, beforeAhead, behind};
}

}  // namespace

bool WalkChain(u32 first, ChainWalk* walk) {
  if (first > g_disk.clusterCount) return false;
  if (first == 0) {
    Ended(walk, 0, 0, kChainToZero);
    return true;
  }
  // Brent's cycle finding: the hare walks on, the tortoise waits at the
  // cluster of each power-of-two step; meeting it again gives the cycle's
  // length. Without a cycle the walk is one pass and every cluster distinct.
  u32 tortoise = first, hare = first;
  u64 power = 1, lambda = 0, walked = 1;
  ChainEnd why;
  for (;;) {
    u32 last = hare;
    if (!ChainStep(last, &hare, &why)) {
      Ended(walk, walked, last, why);
      return true;
    }
    ++lambda;
    if (hare == tortoise) break;
    ++walked;
    if (lambda == power) {
      tortoise = hare;
      power *= 2;
      lambda = 0;
    }
  }
  MeasureCycle(first, lambda, walk);
  return true;
}
