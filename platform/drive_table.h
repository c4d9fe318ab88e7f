// The drive table a front end may set (SetDriveTable, platform.h) and the
// maps drives are served through (SetDriveMap, drive_map.h): shared by both
// implementations of the drive calls.
#ifndef MELVIR_PLATFORM_DRIVE_TABLE_H
#define MELVIR_PLATFORM_DRIVE_TABLE_H

#include "platform/drive_map.h"
#include "platform/platform.h"
#include "platform/types.h"

// False when no table is set: the platform's own drives are meant. True
// otherwise, with *path the table's entry, or null beyond its end.
bool TabledDrivePath(u32 number, const char** path);

// The implementations tell which handle a drive was opened as and when a
// handle is closed; HandleMap then gives the map a handle's reads go
// through, null for every other handle (one test when nothing is mapped).
void NoteDriveOpened(u32 number, FileHandle handle);
void NoteHandleClosed(FileHandle handle);
const DriveMap* HandleMap(FileHandle handle);

// Keeps code as this thread's last system error (LastSystemError) and
// returns false, for the implementations' failure paths.
bool NoteSystemError(u32 code);

#endif
