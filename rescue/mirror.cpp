// Metadata sectors read from either copy, and what is known bad.
#include "rescue/mirror.h"

#include "disk/layout.h"

namespace {

const u32 kBadMetadataSlots = 64;
struct BadMetadata {
  MetadataArea area;
  u32 s;
  u32 copies;  // bit 1: copy 1 failed, bit 2: copy 2 failed
};

struct MirrorState {
  bool on;
  u32 firstCopy;  // 1 or 2
  MirrorHook tell;
  u32 badCount;
  BadMetadata bad[kBadMetadataSlots];
  u32 patchCount;
  ChainPatch patches[kChainPatchSlots];
};
MirrorState g_mirror;

u32 Bit(u32 copy) { return copy == 2 ? 2u : 1u; }

BadMetadata* FindBad(MetadataArea area, u32 s) {
  for (u32 i = 0; i < g_mirror.badCount; ++i)
    if (g_mirror.bad[i].area == area && g_mirror.bad[i].s == s) return &g_mirror.bad[i];
  return nullptr;
}

// Remembers the copies found bad and tells the front end, once per sector
// while there is room (after that, each time).
void NoteBad(MetadataArea area, u32 s, u32 copies, u32 copyRead) {
  BadMetadata* bad = FindBad(area, s);
  if (!bad && g_mirror.badCount < kBadMetadataSlots) {
    bad = &g_mirror.bad[g_mirror.badCount++];
    *bad = {area, s, 0};
  }
  if (bad) bad->copies |= copies;
  if (g_mirror.tell) g_mirror.tell(area, s, copyRead);
}

// Past damage, a sector both of whose copies lie past the drive's end is not
// asked for: a damaged size would otherwise have every one of billions of
// them tried and told.
bool ReadWithMirror(MetadataArea area, u32 start, u32 k, u32 size, u32 s) {
  if (s >= CopySectorsBefore(start, k, size, g_disk.driveSectors)) return false;
  u32 first = g_mirror.firstCopy, other = first == 2 ? 1 : 2;
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

}  // namespace

void StartMirrorReads(u32 firstCopy, MirrorHook tell) {
  g_mirror = MirrorState{};
  g_mirror.on = true;
  g_mirror.firstCopy = firstCopy == 2 ? 2 : 1;
  g_mirror.tell = tell;
  SetMetadataReader(ReadWithMirror);
}

// Until the disk record is reset (tests and fuzz targets run many disks).
bool MirrorReadsOn() { return g_mirror.on && CurrentMetadataReader() == ReadWithMirror; }
u32 MirrorFirstCopy() { return g_mirror.firstCopy ? g_mirror.firstCopy : 1; }

bool ReadOtherTableSector(u32 s) {
  u32 k = g_disk.tableInterleave;
  if (!MirrorReadsOn() || k == 0) return false;
  if (FindBad(kTableArea, s)) return false;  // the walk read the one copy that reads
  return ReadSector(CopySector(g_disk.tableStart, k, s, g_mirror.firstCopy == 2 ? 1 : 2));
}

const ChainPatch* PatchOf(u32 c) {
  for (u32 i = 0; i < g_mirror.patchCount; ++i)
    if (g_mirror.patches[i].cluster == c) return &g_mirror.patches[i];
  return nullptr;
}

u32 ChainPatchCount() { return g_mirror.patchCount; }

bool AddChainPatch(u32 cluster, u32 next) {
  if (g_mirror.patchCount == kChainPatchSlots) return false;
  g_mirror.patches[g_mirror.patchCount++] = {cluster, next};
  return true;
}

void KeepChainPatches(u32 count) {
  if (count < g_mirror.patchCount) g_mirror.patchCount = count;
}
