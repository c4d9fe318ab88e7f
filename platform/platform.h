// The few operating-system operations the portable core uses. Injected
// faults, memory drives and maps are applied in portable files (drive.cpp,
// faulted_calls.cpp) over one Win32 and one POSIX file of raw calls
// (os_calls.h); everything above this header is portable.
#ifndef MELVIR_PLATFORM_PLATFORM_H
#define MELVIR_PLATFORM_PLATFORM_H

#include <cstdarg>

#include "platform/types.h"

// An open file, drive or log. Wide enough for a Win32 HANDLE or a POSIX fd.
typedef std::intptr_t FileHandle;
const FileHandle kNoFile = -1;

// ---- Drives (read only) --------------------------------------------------

// The drive table maps drive numbers to paths (image files or devices).
// With a table set, drive N is paths[N] and numbers beyond it do not exist.
// Without one, Win32 opens "\\.\PhysicalDrive%u" and POSIX the machine's
// whole-disk block devices in name order. The paths are not copied: they
// must outlive every later OpenDrive. count 0 removes the table.
void SetDriveTable(const char* const* paths, u32 count);

// Opens drive number for reading only, sharing read and write with others.
bool OpenDrive(u32 number, FileHandle* out);

// The path drive number stands for (an image, a device), into out; false
// when there is no such drive.
bool DriveName(u32 number, char* out, u32 size);

// The system's error code for the last failed drive open, seek or read, or
// log creation, of this thread (errno, or GetLastError on Windows); 0 when it gave none.
u32 LastSystemError();
void ClearSystemError();
// A read through a ddrescue mapfile of sectors it has not imaged (none of
// them a bad sector): no system's code. Outside errno's values, and in the
// range Win32 leaves to applications (bit 29).
const u32 kNotImagedError = 0x20000001;
// The system's text for an error code, into out ("not yet imaged
// (mapfile)" for kNotImagedError).
void SystemErrorText(u32 code, char* out, u32 size);
// The error says the caller lacks the rights (EACCES/EPERM, ERROR_ACCESS_DENIED).
bool IsAccessDenied(u32 code);

// Seeks to an absolute byte position (64-bit).
bool SeekFile(FileHandle file, u64 position);

// Reads up to length bytes; *got tells how many arrived (0 at end of file).
bool ReadBytes(FileHandle file, void* buffer, u32 length, u32* got);

// Reads up to length bytes at position without moving the position SeekFile
// set, so threads reading one drive share no cursor. *got falls short only
// at the end of the drive.
bool ReadAt(FileHandle file, u64 position, void* buffer, u32 length, u32* got);

// The size in bytes of an open drive, image or file; false when unknown.
bool DriveSize(FileHandle file, u64* size);

// Closes a drive, log or output file; false when the close failed.
bool CloseFile(FileHandle file);

// ---- Reading a failing drive ------------------------------------------------

// True when the drive is a disk device rather than an image or other file.
bool IsBlockDevice(FileHandle file);

// The unit a drive is read again in: a disk device's logical sector size
// (512 when unknown), 512 for an image.
u32 DirectReadUnit(FileHandle file);

// Reads at position past the system's cache where a disk device has one, so
// that a sector read again comes from the disk, not from a cached copy.
// position and length are multiples of DirectReadUnit, buffer is aligned to
// it (at most 4096). Leaves the position SeekFile set undefined.
bool ReadDirect(FileHandle file, u64 position, void* buffer, u32 length, u32* got);

// ---- Trace log -------------------------------------------------------------

// Creates (replacing) a text file for writing, not shared with others.
bool CreateLogFile(const char* path, FileHandle* out);

// Writes length bytes; *written tells how many were taken.
bool WriteBytes(FileHandle file, const void* buffer, u32 length, u32* written);

// ---- Output file -----------------------------------------------------------

// Creates (replacing) a file for unbuffered writing: writes must be whole
// 512-byte sectors from page-aligned memory. Where the volume's sectors are
// not 512 bytes, or the file system refuses unbuffered writes, the file is
// written through the ordinary interface.
bool CreateOutputFile(const char* path, FileHandle* out);

// ---- Formatting ------------------------------------------------------------

// printf-style formatting into out (size bytes, always NUL-terminated).
// Returns the length written, cut to fit.
u32 FormatText(char* out, u32 size, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
u32 FormatTextV(char* out, u32 size, const char* format, va_list args);

// ---- Events and threads -----------------------------------------------------

// Auto-reset events: a signal wakes one wait, or the next wait if none is
// waiting. Waits have no time-out.
typedef struct PlatformEvent* EventHandle;
bool CreateAutoEvent(EventHandle* out);
void SignalEvent(EventHandle event);
void WaitEvent(EventHandle event);
void CloseEvent(EventHandle event);

typedef u32 (*ThreadRoutine)(void* argument);

// Starts a detached thread; its handle is not kept.
bool StartThread(ThreadRoutine routine, void* argument);

// Gives the rest of the calling thread's time slice to others.
void YieldThread();

// Raises the calling thread to the highest normal priority (best effort).
void RaiseThreadPriority();

// ---- Memory ----------------------------------------------------------------

// Page-aligned, zeroed, committed memory that is never freed. Start-up only.
void* AllocPages(u32 size);

#endif
