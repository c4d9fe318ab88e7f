// A GNU ddrescue mapfile of an image, and the drives served through one: a
// read that touches a 512-byte sector not wholly inside a finished ("+")
// block fails as the original disk's read did, whatever the image holds
// there. The disk code above only ever sees the failed read.
#ifndef MELVIR_PLATFORM_DRIVE_MAP_H
#define MELVIR_PLATFORM_DRIVE_MAP_H

#include <vector>

#include "platform/types.h"

struct ByteRun {
  u64 begin, end;  // [begin, end)
};

// The finished blocks of a mapfile, sorted, adjacent ones merged, and its
// bad sectors: those whose read failed on the disk itself ("-"); the rest
// are not imaged yet. Built once at start-up; only read afterwards.
struct DriveMap {
  std::vector<ByteRun> readable;
  std::vector<ByteRun> bad;
  u64 extent = 0;  // where the last block ends: the drive's size, as ddrescue takes it
};

// Parses mapfile text for an image of imageSize bytes. A malformed file is
// refused: *line is then the 1-based line at fault (0: the file as a whole)
// and reason says what is wrong.
bool ParseMapfile(const char* text, size_t length, u64 imageSize, DriveMap* map, u32* line,
                  char* reason, u32 reasonSize);

// Reads and parses the mapfile at path. On refusal error holds
// "PATH:LINE: reason", or "PATH: reason" when it cannot be read.
bool LoadMapfile(const char* path, u64 imageSize, DriveMap* map, char* error, u32 errorSize);

// True when every sector that [position, position + length) touches lies
// wholly inside a finished block.
bool MapReadable(const DriveMap& map, u64 position, u64 length);

// Why a read of [position, position + length) that the map fails, fails:
// the disk's own error (unreadable) when a sector it touches is a bad one,
// else kNotImagedError.
u32 MapFailure(const DriveMap& map, u64 position, u64 length, u32 unreadable);

// After a read of [position, position + length) that the map let through
// came back with *got bytes: the bytes the image file lacks (it ends where
// ddrescue last wrote) are zeros, so *got becomes length.
void FillPastFileEnd(const DriveMap& map, u64 position, void* buffer, u32 length, u32* got);

// The size of a drive served through map, from its own (*size, when known):
// as long as the map's blocks reach, however short the image file. False
// when neither tells one.
bool MappedDriveSize(const DriveMap& map, bool known, u64* size);

// The runs of [position, position + length) lying in sectors that a read
// through the map fails on, in order, each as long as it goes; and their
// bytes.
typedef void (*ByteRunSink)(void* context, const ByteRun& run);
void MapUnreadableRuns(const DriveMap& map, u64 position, u64 length, ByteRunSink sink,
                       void* context);
u64 MapUnreadableBytes(const DriveMap& map, u64 position, u64 length);

// Serves drive number (of the drive table) through map from now on; null
// serves it plainly again. The map is not copied: it must outlive every
// later OpenDrive of that number. False when too many drives are mapped.
bool SetDriveMap(u32 drive, const DriveMap* map);

#endif
