// The one check of every file a run writes: on the opened handle, before
// a byte of it is cut or written, it must not be anything the run reads (a
// source, a drive it probed, a mapfile; by any name: another path, a hard
// link, a symbolic link, a loop device's backing file), nor a disk device.
// A run's own side files (NAME.part and what goes with it) are held more
// strictly: never reached through a link, a regular file with one name,
// and held by one run at a time.
#ifndef MELVIR_PLATFORM_WRITE_GUARD_H
#define MELVIR_PLATFORM_WRITE_GUARD_H

#include <cstdio>
#include <string>

#include "platform/platform.h"

// Remembers what path names (links followed) as read by this run, and a
// loop device's backing file with it. A path that names nothing is passed
// over: it cannot be opened for reading either.
void GuardRead(const char* path);
// Forgets every path GuardRead remembered (a new run in the same process).
void ClearGuard();

enum WriteVerdict {
  kWriteAllowed,
  kWriteIsSource,    // it is something this run reads
  kWriteIsDevice,    // a disk or other device (the null device aside)
  kWriteNotRegular,  // a side file that is a link, a FIFO, a folder ...
  kWriteLinked,      // a side file with more than one name
  kWriteInUse,       // a side file another run holds
  kWriteFailed,      // the system refused: its code in *error
};

// What a refusal says, for "PATH: TEXT"; the system's text for kWriteFailed.
void WriteVerdictText(WriteVerdict verdict, u32 error, char* out, u32 size);

// How OpenForWriting opens.
const u32 kWriteSide = 1;        // a side file, held by this run until closed
const u32 kWriteFresh = 2;       // made here: never an existing file
const u32 kWriteExisting = 4;    // only an existing file
const u32 kWriteCut = 8;         // cut to nothing once checked
const u32 kWriteReadToo = 16;    // read as well as written
const u32 kWriteUnbuffered = 32; // Windows: FILE_FLAG_NO_BUFFERING (POSIX sets O_DIRECT later)

// Opens path for writing as how says, created when missing unless
// kWriteExisting, and checked. *handle: the system's handle (a file
// descriptor or a HANDLE), blocking, closed with CloseFile.
WriteVerdict OpenForWriting(const char* path, u32 how, FileHandle* handle, u32* error);

// A standard C stream ("wb") over a file opened as OpenForWriting opens it
// with kWriteCut, and kWriteSide when side is set (a file the run keeps
// as its own, as the catalogue's); null with *verdict and *error otherwise.
std::FILE* OpenStreamForWriting(const char* path, bool side, WriteVerdict* verdict, u32* error);

// What path names now, looked at by name: allowed when nothing, or a file
// that may be replaced by name (not a source by its own name or through a
// link, not a device). side: also a regular file of one name, not a link.
WriteVerdict CheckWritePath(const char* path, bool side);

// Writes the whole of the side file path through write: a fresh file
// beside it, synced, renamed over it, its folder synced; a stop leaves the
// old contents or the new, never neither.
typedef bool (*SideWriter)(std::FILE* file, const void* context);
WriteVerdict ReplaceSideFile(const char* path, SideWriter write, const void* context, u32* error);

// Reads the side file path whole (never through a link, never a FIFO);
// false when there is none or it cannot be read.
bool ReadSideFile(const char* path, std::string* text);

// Removes the side file path, when it is one (never a link's target, a
// source or a file of other names); false when it stays.
bool RemoveSideFile(const char* path);

// Makes a rename into path's folder durable; a file system that cannot sync
// a folder has nothing to sync.
bool SyncFolderOf(const char* path, u32* error);

#endif
