// Allocation-table and directory sectors, located through their copies'
// interleave, with the fallback to the mirror copy when rescue asks for it.
#include "disk/layout.h"
#include "disk/recorder_disk.h"

namespace {

u32 Bit(u32 copy) { return copy == 2 ? 2u : 1u; }

BadMetadata* FindBad(MetadataArea area, u32 s) {
  for (u32 i = 0; i < g_disk.badMetadataCount; ++i)
    if (g_disk.badMetadata[i].area == area && g_disk.badMetadata[i].s == s)
      return &g_disk.badMetadata[i];
  return nullptr;
}

// Remembers the copies found bad and tells the front end, once per sector
// while there is room (after that, each time).
void NoteBad(MetadataArea area, u32 s, u32 copies, u32 copyRead) {
  BadMetadata* bad = FindBad(area, s);
  if (!bad && g_disk.badMetadataCount < kBadMetadataSlots) {
    bad = &g_disk.badMetadata[g_disk.badMetadataCount++];
    *bad = {area, s, 0};
  }
  if (bad) bad->copies |= copies;
  if (g_disk.onMirror) g_disk.onMirror(area, s, copyRead);
}

bool ReadWithMirror(MetadataArea area, u32 start, u32 k, u32 s, u32 first) {
  u32 other = first == 2 ? 1 : 2;
  const BadMetadata* bad = FindBad(area, s);
  u32 known = bad ? bad->copies : 0;
  if (!(known & Bit(first)) && ReadSector(CopySector(start, k, s, first))) return true;
  if (!(known & Bit(other)) && ReadSector(CopySector(start, k, s, other))) {
    if (!(known & Bit(first))) NoteBad(area, s, Bit(first), other);
    return true;
  }
  if (!(known & Bit(other))) NoteBad(area, s, Bit(first) | Bit(other), 0);
  return false;
}

// A header whose two copies start together gives no interleave to divide by.
// Past damage, a sector both of whose copies lie past the drive's end is not
// asked for: a damaged size would otherwise have every one of billions of
// them tried and told.
bool ReadMetadata(MetadataArea area, u32 start, u32 k, u32 size, u32 s) {
  if (k == 0) return false;
  u32 first = g_disk.firstCopy == 2 ? 2 : 1;
  if (!g_disk.mirrorFallback) return ReadSector(CopySector(start, k, s, first));
  if (s >= CopySectorsBefore(start, k, size, g_disk.driveSectors)) return false;
  return ReadWithMirror(area, start, k, s, first);
}

}  // namespace

bool ReadTableSector(u32 s) {
  return ReadMetadata(kTableArea, g_disk.tableStart, g_disk.tableInterleave, g_disk.tableSize, s);
}

bool ReadOtherTableSector(u32 s) {
  u32 k = g_disk.tableInterleave;
  if (!g_disk.mirrorFallback || k == 0) return false;
  u32 first = g_disk.firstCopy == 2 ? 2 : 1;
  if (FindBad(kTableArea, s)) return false;  // the walk read the one copy that reads
  return ReadSector(CopySector(g_disk.tableStart, k, s, first == 2 ? 1 : 2));
}

bool ReadDirectorySector(u32 s) {
  return ReadMetadata(kDirectoryArea, g_disk.directoryStart, g_disk.directoryInterleave,
                      g_disk.directorySize, s);
}
