// One directory entry, raw: for readers that decode names themselves.
#include <cstring>

#include "disk/entries.h"
#include "disk/layout.h"
#include "disk/recorder_disk.h"

u64 DirectoryEntryCount() { return u64(g_disk.directorySize) * kDirEntriesPerSector; }

bool ReadDirEntry(u32 index, DirEntry* out) {
  if (index >= DirectoryEntryCount()) return false;
  if (!ReadDirectorySector(index / kDirEntriesPerSector)) return false;
  DecodeDirEntry(g_disk.sector + (index % kDirEntriesPerSector) * kDirEntrySize, out);
  return true;
}

void DecodeDirEntry(const u8* entry, DirEntry* out) {
  u32 n = 0;
  while (n < kDirNameSize && entry[n] != 0) ++n;
  std::memcpy(out->name, entry, n);
  out->nameLength = n;
  out->type = Field16(entry + kDirType);
  out->firstCluster = Field32(entry + kDirFirstCluster);
}
