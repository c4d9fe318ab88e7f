// Allocation-table and directory sectors, located through their copies'
// interleave.
#include "disk/layout.h"
#include "disk/recorder_disk.h"

namespace {
// A header whose two copies start together gives no interleave to divide by.
bool ReadCopy1(u32 start, u32 k, u32 s) { return k != 0 && ReadSector(CopySector(start, k, s, 1)); }
}  // namespace

bool ReadTableSector(u32 s) { return ReadCopy1(g_disk.tableStart, g_disk.tableInterleave, s); }

bool ReadDirectorySector(u32 s) {
  return ReadCopy1(g_disk.directoryStart, g_disk.directoryInterleave, s);
}
