// The rescue walk: a whole chain walked over the table on the disk to its
// end, whatever that end is: the end marker, a cycle, a step to cluster 0,
// an unreadable table sector, or the table's end.
#include "disk/layout.h"
#include "rescue/rescue.h"

bool StepOnDisk(u32 c, u32* next, ChainEnd* why) {
  u32 s = c / kTableEntriesPerSector;
  if (s >= g_disk.tableSize) {
    *why = kChainPastTable;
    return false;
  }
  if (!ReadTableSector(s)) {
    *why = kChainUnreadable;
    return false;
  }
  u32 v = Field32(g_disk.sector + 4 * (c % kTableEntriesPerSector));
  if (v == 0 || v == kEndOfChain || v > g_disk.clusterCount) {
    *why = v == 0 ? kChainZero : v == kEndOfChain ? kChainEnd : kChainAboveCount;
    if (*why == kChainAboveCount) *next = v;
    return false;
  }
  *next = v;
  return true;
}

namespace {

// A sector that read a moment ago may fail now on a dying disk: each step
// reads again.
bool Step(void*, u32 c, u32* next, ChainEnd* why) { return StepOnDisk(c, next, why); }

}  // namespace

void WalkChain(u32 first, ChainWalk* walk) {
  if (first == 0 || first > g_disk.clusterCount) {
    *walk = {first, 0, 0, first ? kChainAboveCount : kChainZero, first ? first : 0};
    return;
  }
  WalkChainBy(first, Step, nullptr, walk);
}
