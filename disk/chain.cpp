// One step along an allocation chain.
#include "disk/layout.h"
#include "disk/recorder_disk.h"

namespace {
const u32 kEntriesPerSector = 127;  // the last four bytes of a table sector are unused
}

bool GetNextCluster(u32* cluster) {
  u32 s = *cluster / kEntriesPerSector;
  u32 slot = *cluster % kEntriesPerSector;
  if (s >= g_disk.tableSize) return false;
  // A header whose two copies start together gives no interleave to divide by.
  if (g_disk.tableInterleave == 0) return false;
  if (!ReadSector(InterleavedSector(g_disk.tableStart, g_disk.tableInterleave, s))) return false;
  u32 next = Field32(g_disk.sector + 4 * slot);
  *cluster = next > g_disk.clusterCount ? kEndOfChain : next;
  return true;
}
