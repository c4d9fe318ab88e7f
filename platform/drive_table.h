// The drive table a front end may set (SetDriveTable, platform.h): shared by
// both implementations of OpenDrive.
#ifndef MELVIR_PLATFORM_DRIVE_TABLE_H
#define MELVIR_PLATFORM_DRIVE_TABLE_H

#include "platform/types.h"

// False when no table is set: the platform's own drives are meant. True
// otherwise, with *path the table's entry, or null beyond its end.
bool TabledDrivePath(u32 number, const char** path);

#endif
