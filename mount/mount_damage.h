// What the mount knows of its files' unreadable ranges, in file offsets:
// a mapfile's from the start, then each range a read under --rescue meets.
// Any thread may add to them and read them.
#ifndef MELVIR_MOUNT_MOUNT_DAMAGE_H
#define MELVIR_MOUNT_MOUNT_DAMAGE_H

#include <string>

#include "mount/mount_files.h"

// While the table is built: the ranges of the recording file that map says
// cannot be read (its plan, index and size set).
void KnowMapDamage(const DriveMap& map, MountFile* file);

// Adds a range met by a read; true when it was not known yet.
bool NoteUnreadable(const MountFile& file, const ByteRun& range);

// The value of the file's user.melvir.unreadable.
std::string UnreadableValue(const MountFile& file);

// DAMAGE.txt as it stands.
std::string DamageText(const MountTable& table);

#endif
