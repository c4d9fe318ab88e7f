// The drive table a front end may set (SetDriveTable, platform.h) and the
// maps drives are served through (SetDriveMap, drive_map.h), for the drive
// layer (drive.cpp) and the system's drive names (the two OS files).
#ifndef MELVIR_PLATFORM_DRIVE_TABLE_H
#define MELVIR_PLATFORM_DRIVE_TABLE_H

#include "platform/drive_map.h"
#include "platform/platform.h"
#include "platform/types.h"

struct MemoryDrive;

// False when no table is set: the platform's own drives are meant. True
// otherwise, with *path the table's entry, or null beyond its end or for a
// drive held in memory.
bool TabledDrivePath(u32 number, const char** path);

// A table whose entries are paths or drives held in memory
// (platform/memory_files.h); an entry with a drive ignores its path. It
// replaces SetDriveTable's table, and is kept by reference the same way.
struct DriveSource {
  const char* path;
  MemoryDrive* memory;
};
void SetDriveSources(const DriveSource* sources, u32 count);

// True when the table gives drive number as a drive held in memory.
bool TabledMemoryDrive(u32 number, MemoryDrive** drive);

// The drive layer tells which handle a drive was opened as and when a
// handle is closed; HandleMap then gives the map a handle's reads go
// through, null for every other handle (one test when nothing is mapped).
void NoteDriveOpened(u32 number, FileHandle handle);
void NoteHandleClosed(FileHandle handle);
const DriveMap* HandleMap(FileHandle handle);

// Keeps code as this thread's last system error (LastSystemError) and
// returns false, for the failure paths of the drive layer and the OS calls.
bool NoteSystemError(u32 code);

#endif
