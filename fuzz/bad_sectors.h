// The bad sectors the targets that read past damage take from the end of
// their input, after the compact form (compact_input.h):
//   n times  4  first bad sector
//            2  sectors (taken modulo 64, plus 1)
//   1        n (at most kMaxBadRuns are taken)
// and the map made from them as the mapfile parser makes one (sorted runs,
// apart), to be set on the drive: reads touching a bad sector fail.
#ifndef MELVIR_FUZZ_BAD_SECTORS_H
#define MELVIR_FUZZ_BAD_SECTORS_H

#include <cstddef>

#include "platform/drive_map.h"

const u32 kMaxBadRuns = 32;
const size_t kBadRecordBytes = 6;

// How many bad-sector records end the input of size bytes.
u32 BadRuns(const u8* data, size_t size);

// The compact form's bytes: what lies before the records and their count.
inline size_t DiskBytes(size_t size, u32 runs) { return size ? size - 1 - runs * kBadRecordBytes : 0; }

// The readable runs of [0, diskSize) around the n bad sectors before end.
void MapAroundBadRuns(const u8* end, u32 n, u64 diskSize, DriveMap* map);

#endif
