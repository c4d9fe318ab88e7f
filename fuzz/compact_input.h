// The input form of the fuzz targets that read a disk: a short header that
// chooses how the run is made, then the disk as byte runs placed over
// zeros. A few mutated bytes thus move a whole table, directory or chain
// (a run's sector number), cut the disk (its size) or arm a fault, where a
// raw image would only change one sector's contents.
//
//   offset  size  field (little-endian)
//   0       1     run options: bits the target gives meaning to
//   1       1     fault: bits 0..6 the platform call kind (taken modulo the
//                 number of kinds, platform/fault.h), bit 7 a short call
//                 rather than a failed one
//   2       2     fault: which call of that kind fails, from the run's start
//   4       4     a number of the target's own (disk target: a cluster)
//   8       4     disk size in bytes, cut to kMaxDiskBytes
//   12            runs, to the end of the input, each:
//                   4  sector
//                   2  byte offset from the sector's start
//                   2  length n
//                   n  bytes (fewer if the input ends first)
//
// Reads past the disk size come back short, as on a truncated image; where
// runs overlap, the later one counts. A header cut short reads as zeros.
#ifndef MELVIR_FUZZ_COMPACT_INPUT_H
#define MELVIR_FUZZ_COMPACT_INPUT_H

#include <cstddef>

#include "platform/fault.h"
#include "platform/memory_files.h"

const size_t kCompactHeaderBytes = 12;
const size_t kCompactRunHeaderBytes = 8;
// Big enough for recordings that keep both output buffers busy; small
// enough that a scan over a whole disk of empty directory sectors is quick.
const u64 kMaxDiskBytes = 8u << 20;
const u32 kMaxRuns = 1024;  // later runs are ignored

struct CompactInput {
  u8 options;
  PlatformCall faultKind;
  FaultMode faultMode;
  u32 faultOccurrence;
  u32 extra;
  MemoryDrive drive;  // its extents point into the input
};

// The little-endian number in bytes bytes (at most 8) at p: the fields of
// every target's input.
u64 Little(const u8* p, u32 bytes);

// Decodes data into *input; the drive's extents live in a static table
// reused by the next call.
void DecodeCompactInput(const u8* data, size_t size, CompactInput* input);

// Arms the input's fault (platform/fault.h); the target's options say
// whether to.
void ArmInputFault(const CompactInput& input);

#endif
