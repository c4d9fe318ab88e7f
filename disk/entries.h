// Directory entries: as they stand on the disk, and as recordings with
// their chain's length, size and list text.
#ifndef MELVIR_DISK_ENTRIES_H
#define MELVIR_DISK_ENTRIES_H

#include "disk/recorder_disk.h"

const u32 kEntryTextSize = 76;  // the longest list text and its NUL

// What GetNextEntry yields, and more: the entry's number in the directory,
// its raw name (up to its NUL) and its chain's cluster count. firstCluster 0:
// the directory is exhausted.
struct RecordingEntry {
  u32 entry;
  u32 firstCluster;
  u32 clusters;
  u32 sizeMiB;
  u8 raw[64];
  u32 rawLength;
  char name[65];               // sanitised: bytes outside 0x20..0x7E as "."
  char text[kEntryTextSize];   // "%s  %uMo"
};
bool GetNextRecording(RecordingEntry* recording);
// Counts the clusters of the chain starting at first (the walk of a listing).
bool CountChain(u32 first, u32* count);

// One directory entry as it stands on the disk: its raw name (up to its
// NUL, at most 64 bytes), type and first cluster. False when its directory
// sector cannot be read; entries at or past directorySize x 7 do not exist.
struct DirEntry {
  u8 name[64];
  u32 nameLength;
  u16 type;
  u32 firstCluster;
};
u64 DirectoryEntryCount();
bool ReadDirEntry(u32 index, DirEntry* entry);
// The entry of 72 bytes at `at`, inside a directory sector.
void DecodeDirEntry(const u8* at, DirEntry* entry);

// The list text and size of an entry whose chain has clusters clusters,
// made as GetNextEntry makes them, so that any walk lists the same.
void FormatEntryText(const DirEntry& entry, u32 clusters, char* text, u32* sizeMiB);
// Its name as the list shows it: bytes outside 0x20..0x7E as "." (65 bytes).
void FormatEntryName(const DirEntry& entry, char* name);

#endif
