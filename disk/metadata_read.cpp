// Allocation-table and directory sectors, located through their copies'
// interleave: copy 1, or as the reader a rescue has set reads them.
#include "disk/layout.h"
#include "disk/recorder_disk.h"

namespace {

MetadataReader g_reader = nullptr;

// A header whose two copies start together gives no interleave to divide by.
bool ReadMetadata(MetadataArea area, u32 start, u32 k, u32 size, u32 s) {
  if (k == 0) return false;
  if (g_reader) return g_reader(area, start, k, size, s);
  return ReadSector(CopySector(start, k, s, 1));
}

}  // namespace

void SetMetadataReader(MetadataReader reader) { g_reader = reader; }
MetadataReader CurrentMetadataReader() { return g_reader; }

bool ReadTableSector(u32 s) {
  return ReadMetadata(kTableArea, g_disk.tableStart, g_disk.tableInterleave, g_disk.tableSize, s);
}

bool ReadDirectorySector(u32 s) {
  return ReadMetadata(kDirectoryArea, g_disk.directoryStart, g_disk.directoryInterleave,
                      g_disk.directorySize, s);
}
