// Field access inside metadata sectors, the interleaved-copy rule shared by
// the allocation table and the directory, and the cluster-to-device
// arithmetic: the one copy of each that every reader uses.
#ifndef MELVIR_DISK_LAYOUT_H
#define MELVIR_DISK_LAYOUT_H

#include <cstring>

#include "disk/recorder_disk.h"

const u32 kTableEntriesPerSector = 127;  // the last four bytes of a table sector are unused
const u32 kDirEntrySize = 72;
const u32 kDirEntriesPerSector = 7;      // bytes 504 to 511 of a directory sector are unused
const u32 kDirNameSize = 64;
const u32 kDirFirstCluster = 64;     // u32
const u32 kDirType = 70;             // u16: 0 empty slot, 13 recording, other kinds
const u16 kRecordingType = 13;

inline u32 Field32(const u8* at) {
  u32 raw;
  std::memcpy(&raw, at, 4);
  return SwapLong(raw);
}

inline u16 Field16(const u8* at) {
  u16 raw;
  std::memcpy(&raw, at, 2);
  return SwapShort(raw);
}

// Both structures are stored as two copies interleaved in groups of k
// sectors; this is the absolute sector of sector s of copy 1 or 2 (copy 2's
// lies one interleave further on), in 64 bits so that a check can tell a
// sector past 2^32 - 1. The reader's 32-bit sector numbers wrap there.
inline u64 WideCopySector(u32 start, u32 k, u32 s, u32 copy) {
  return u64(start) + s % k + u64(s / k) * k * 2 + (copy == 2 ? k : 0);
}
inline u32 CopySector(u32 start, u32 k, u32 s, u32 copy) {
  return static_cast<u32>(WideCopySector(start, k, s, copy));
}
inline u32 InterleavedSector(u32 start, u32 k, u32 s) { return CopySector(start, k, s, 1); }

// Device byte position of byte offset of cluster. False for cluster 0,
// which lies before the data area, and for a cluster whose sectors pass
// sector 2^32 - 1, where 32-bit sector numbers would wrap to low sectors.
inline bool ClusterPosition(u32 cluster, u32 offset, u64* position) {
  if (cluster == 0) return false;
  u64 first = u64(cluster - 1) * g_disk.sectorsPerCluster + g_disk.dataStart;
  u64 last = first + (g_disk.sectorsPerCluster ? g_disk.sectorsPerCluster - 1 : 0);
  if (last > 0xFFFFFFFFull) return false;
  *position = first * kSectorSize + offset;
  return true;
}

// A chain's size as the recording list shows it: the usable cluster bytes
// in whole KiB times the clusters, rounded to MiB, in 32-bit arithmetic.
inline u32 ListSizeMiB(u32 clusters) {
  return ((g_disk.usableClusterBytes / 1024) * clusters + 511) / 1024;
}

#endif
