// Volume headers found by what they hold rather than through sector 2: for
// a disk whose partition table is broken, as e2fsck -b and TSK's -o take a
// superblock or a partition offset directly.
#ifndef MELVIR_CHECK_HEADER_SCAN_H
#define MELVIR_CHECK_HEADER_SCAN_H

#include "check/check.h"

// Takes the sector of the open drive for the volume header in whichever
// byte order it reads as one (plain or word-swapped, big- or little-endian
// fields), and loads its geometry; false when it is none.
bool TakeHeaderAt(u32 sector);

struct HeaderCandidate {
  u32 sector;
  bool wordSwap;
  bool bigEndian;
  CheckGeometry geometry;  // its faults: 0 for a consistent geometry
};
typedef void (*HeaderSink)(void* context, const HeaderCandidate& candidate);

// Looks at sectors 0 to count - 1 of the open drive, a megabyte at a time,
// and gives every one that holds a volume header; *scanned: the sectors
// looked at (fewer where the drive ends), *unreadable: those among them
// that could not be read. The geometry loaded is the last candidate's.
void ScanForHeaders(u32 count, HeaderSink sink, void* context, u32* scanned, u32* unreadable);

#endif
