// Drives and files held in memory, for runs that must not touch the file
// system (fuzzing): a drive made of byte extents over zeros, and sinks that
// take the place of created files and only count and hash what is written.
// Both are reached through the ordinary platform calls (platform.h), fault
// injection included, so the code above sees one more kind of drive or file.
#ifndef MELVIR_PLATFORM_MEMORY_FILES_H
#define MELVIR_PLATFORM_MEMORY_FILES_H

#include "platform/platform.h"

// length bytes at position; the bytes are not copied and must outlive
// every read of the drive.
struct MemoryExtent {
  u64 position;
  u32 length;
  const u8* bytes;
};

// size bytes: what the extents hold, zeros elsewhere; where extents
// overlap, the later one counts. Reads end at size, as on a short image.
// reads counts the reads made; once it has reached readLimit (when that is
// not 0) every read fails, as on a disk that dies. writeAttempts counts
// writes made to it (each one refused).
struct MemoryDrive {
  u64 size;
  const MemoryExtent* extents;
  u32 extentCount;
  u32 readLimit;
  u32 reads;
  u32 writeAttempts;
};

// What was written to the files created into it since it was zeroed.
// unalignedWrites counts writes that unbuffered output would refuse (a
// length not a whole number of sectors, or memory not page-aligned): none
// may reach an output file; the trace log is written the ordinary way.
struct FileSink {
  u32 creates;
  u32 closes;
  u32 writes;
  u32 unalignedWrites;
  u64 bytes;
  u64 hash;  // over every byte, in order (memory_files.cpp)
};

// While set (non-null), CreateOutputFile and CreateLogFile create no file
// and write into these sinks instead. Null restores real files.
void SetFileSinks(FileSink* output, FileSink* log);

// Memory drives and sink files open now: 0 when every handle was closed.
u32 OpenMemoryFiles();

// ---- For the drive layer and the faulted calls --------------------------------

// Memory handles lie in a range no descriptor or Win32 handle takes.
bool IsMemoryHandle(FileHandle file);
bool OpenMemoryDrive(MemoryDrive* drive, FileHandle* out);
// False when no sink of that kind is set: the real file is meant.
bool OutputSinkSet();
bool LogSinkSet();
bool CreateSinkFile(bool log, FileHandle* out);
bool SeekMemory(FileHandle file, u64 position);
u64 MemoryPosition(FileHandle file);  // where SeekMemory and reads left it
bool ReadMemory(FileHandle file, void* buffer, u32 length, u32* got);
// Reads at position, leaving the position SeekMemory set where it was.
bool ReadMemoryAt(FileHandle file, u64 position, void* buffer, u32 length, u32* got);
bool WriteMemory(FileHandle file, const void* buffer, u32 length, u32* written);
bool MemorySize(FileHandle file, u64* size);
bool CloseMemory(FileHandle file);

#endif
