// The mount's read handler. Every reply comes from memory and holds every
// byte asked for up to the file's end, or the whole request fails: the
// kernel takes a short reply for the end of the file and shrinks its size,
// and libfuse sends the bytes it had copied before a failing read of a
// descriptor as such a short reply.
#ifndef MELVIR_MOUNT_MOUNT_READ_H
#define MELVIR_MOUNT_MOUNT_READ_H

#ifndef FUSE_USE_VERSION
#define FUSE_USE_VERSION 31
#endif
#include <fuse.h>
#include <sys/types.h>

#include "mount/mount_files.h"

// FUSE's read of size bytes at offset of the table's file number file:
// 0 with *reply (one memory buffer, libfuse's to send and free), or a
// negative errno (-EIO where any piece could not be read whole).
int ReplyToRead(const MountTable& table, u64 file, size_t size, off_t offset,
                struct fuse_bufvec** reply);

#endif
