// The raw operating-system calls under the portable layer (drive.cpp for
// the drives, faulted_calls.cpp for the rest): one POSIX and one Win32 file
// provide them. They are handed real handles only
// (never a memory drive's or a sink's) and know nothing of injected faults
// or mapfiles. A failure that the system reports is noted (NoteSystemError,
// drive_table.h) where the public call notes it, and the call returns false.
#ifndef MELVIR_PLATFORM_OS_CALLS_H
#define MELVIR_PLATFORM_OS_CALLS_H

#include "platform/platform.h"

// The system's codes for the failures the portable layer finds before the
// system is asked (LastSystemError gives them), as a disk or the system
// itself reports each on that platform.
struct OsErrorCodes {
  u32 injectedOpen;       // a fault injected into OpenDrive
  u32 injectedSeek;       // into SeekFile
  u32 injectedRead;       // into a read
  u32 injectedCreateLog;  // into CreateLogFile
  u32 noFreeHandle;       // no memory handle left for a memory drive or a sink
  u32 seekTooFar;         // a position past the system's signed 64-bit offsets
  u32 readTooFar;         // the same for a positional read; 0: the system's read tells
  u32 memorySeekFailed;   // a memory drive refused the seek
  u32 unreadable;         // a sector the map marks unreadable, a memory drive's failed read
};
extern const OsErrorCodes kOsErrors;

// Whether ordinary reads of a disk device pass through a cache that a
// sector read again must bypass (POSIX: the page cache, read past through
// an O_DIRECT twin, OsReadDirect). Where they do not (Win32: reads of a
// physical drive skip the file cache), ReadDirect is a seek and an ordinary
// read, and no OsReadDirect exists.
#if defined(_WIN32)
constexpr bool kOsRereadsPastCache = false;
#else
constexpr bool kOsRereadsPastCache = true;
#endif

// The system's text for one of its error codes.
void OsErrorText(u32 code, char* out, u32 size);

// ---- Drives --------------------------------------------------------------

// Opens the path drive number stands for (the drive table's, or the
// machine's own devices) read only, sharing read and write with others.
bool OsOpenDrive(u32 number, FileHandle* out);
bool OsSeek(FileHandle file, u64 position);
// Where the file's position is now.
bool OsTell(FileHandle file, u64* position);
// Reads up to length bytes at the file's position; *got 0 at the end.
bool OsRead(FileHandle file, void* buffer, u32 length, u32* got);
// Reads at position without moving the file's position, until length bytes
// or the end of the file.
bool OsReadAt(FileHandle file, u64 position, void* buffer, u32 length, u32* got);
// OsReadAt past the system's cache (kOsRereadsPastCache only).
bool OsReadDirect(FileHandle file, u64 position, void* buffer, u32 length, u32* got);
// The size of a device, image or file; false when unknown (nothing noted).
bool OsSize(FileHandle file, u64* size);
// Closes a drive, log or output file.
bool OsClose(FileHandle file);
bool OsIsBlockDevice(FileHandle file);
u32 OsDirectReadUnit(FileHandle file);

// ---- Trace log, output files, events, threads ----------------------------

bool OsCreateLogFile(const char* path, FileHandle* out);
// Writes length bytes, refusing what an unbuffered file refuses (and the
// lengths a forced sector size refuses, fault.h); nothing noted.
bool OsWrite(FileHandle file, const void* buffer, u32 length, u32* written);
bool OsCreateOutputFile(const char* path, FileHandle* out);
bool OsCreateEvent(EventHandle* out);
bool OsStartThread(ThreadRoutine routine, void* argument);

#endif
