// One step along an allocation chain.
#include "disk/layout.h"
#include "disk/recorder_disk.h"

bool GetNextCluster(u32* cluster) {
  u32 s = *cluster / kTableEntriesPerSector;
  u32 slot = *cluster % kTableEntriesPerSector;
  if (s >= g_disk.tableSize) return false;
  if (!ReadTableSector(s)) return false;
  u32 next = Field32(g_disk.sector + 4 * slot);
  *cluster = ChainEnded(next) ? kEndOfChain : next;
  return true;
}
