// What the volume header's geometry cannot have right, told from the header
// alone and the drive's size.
#include "check/check_state.h"
#include "disk/layout.h"

namespace {

const u64 kSectorLimit = u64(1) << 32;  // sector numbers are 32-bit

// Sectors [first, end) of one copy of an interleaved structure. With an
// interleave of 0 both copies are the same sectors.
void CopyExtent(u32 start, u32 k, u32 size, u32 copy, u64* first, u64* end) {
  *first = *end = start;
  if (size == 0) return;
  if (k == 0) {
    *end = u64(start) + size;
    return;
  }
  *first = WideCopySector(start, k, 0, copy);
  *end = WideCopySector(start, k, size - 1, copy) + 1;
}

// Copies of one structure interleave; they share sectors only when their
// interleave is 0. Other areas share sectors when their extents meet.
bool Overlap(const CheckGeometry& g, u32 i, u32 j) {
  bool empty = g.areaFirst[i] == g.areaEnd[i] || g.areaFirst[j] == g.areaEnd[j];
  if (empty) return false;
  if (i == kAreaTable1 && j == kAreaTable2) return g_disk.tableInterleave == 0;
  if (i == kAreaDirectory1 && j == kAreaDirectory2) return g_disk.directoryInterleave == 0;
  return g.areaFirst[i] < g.areaEnd[j] && g.areaFirst[j] < g.areaEnd[i];
}

}  // namespace

u64 CheckTableEntries() {
  u64 n = u64(g_disk.tableSize) * kTableEntriesPerSector;
  if (n > u64(g_disk.clusterCount) + 1) n = u64(g_disk.clusterCount) + 1;
  u32 spc = g_disk.sectorsPerCluster;
  if (spc != 0) {
    u64 disk = g_disk.driveSectors;
    u64 fit = disk > g_disk.dataStart ? (disk - g_disk.dataStart) / spc : 0;
    if (n > fit + 1) n = fit + 1;  // entry 0 and the clusters on the drive
  }
  return n;
}

void CheckGeometryOf(CheckGeometry* g) {
  *g = CheckGeometry();
  u64 bytes = 0;
  g->deviceSizeKnown = DriveSize(g_disk.device, &bytes);
  g->deviceSectors = bytes / kSectorSize;
  const RecorderDisk& d = g_disk;
  if (d.sectorsPerCluster == 0) g->faults |= kFaultNoSectorsPerCluster;
  if (d.tableInterleave == 0) g->faults |= kFaultTableInterleaveZero;
  if (d.directoryInterleave == 0) g->faults |= kFaultDirectoryInterleaveZero;
  if (u64(d.tableSize) * kTableEntriesPerSector < u64(d.clusterCount) + 1)
    g->faults |= kFaultTableTooSmall;
  if (d.clusterCount == kEndOfChain) g->faults |= kFaultClusterCountIsEnd;

  g->areaFirst[kAreaPartitionTable] = 2;
  g->areaEnd[kAreaPartitionTable] = 3;
  g->areaFirst[kAreaHeader] = d.headerSector;
  g->areaEnd[kAreaHeader] = u64(d.headerSector) + 1;
  for (u32 copy = 1; copy <= 2; ++copy) {
    CopyExtent(d.tableStart, d.tableInterleave, d.tableSize, copy,
               &g->areaFirst[kAreaTable1 + copy - 1], &g->areaEnd[kAreaTable1 + copy - 1]);
    CopyExtent(d.directoryStart, d.directoryInterleave, d.directorySize, copy,
               &g->areaFirst[kAreaDirectory1 + copy - 1], &g->areaEnd[kAreaDirectory1 + copy - 1]);
  }
  g->areaFirst[kAreaData] = d.dataStart;
  g->areaEnd[kAreaData] = d.dataStart + u64(d.clusterCount) * d.sectorsPerCluster;

  for (u32 i = 0; i < kAreaCount; ++i) {
    for (u32 j = i + 1; j < kAreaCount; ++j)
      if (Overlap(*g, i, j)) g->overlaps[i] |= 1u << j;
    if (g->overlaps[i]) g->faults |= kFaultAreasOverlap;
    if (g->areaFirst[i] == g->areaEnd[i]) continue;
    if (g->deviceSizeKnown && g->areaEnd[i] > g->deviceSectors) g->pastDevice |= 1u << i;
    if (g->areaEnd[i] > kSectorLimit) g->pastLimit |= 1u << i;
  }
  if (g->pastDevice) g->faults |= kFaultPastDevice;
  if (g->pastLimit) g->faults |= kFaultPastSectorLimit;
}
