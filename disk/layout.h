// Field access inside metadata sectors and the interleaved-copy rule shared
// by the allocation table and the directory.
#ifndef MELVIR_DISK_LAYOUT_H
#define MELVIR_DISK_LAYOUT_H

#include <cstring>

#include "disk/recorder_disk.h"

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
// sectors; this is the absolute sector of sector s of copy 1.
inline u32 InterleavedSector(u32 start, u32 k, u32 s) { return start + s % k + (s / k) * k * 2; }

#endif
