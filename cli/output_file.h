// Where an extraction writes: a regular file (written unbuffered as
// NAME.part where the file system allows it, synced, then renamed), or a
// stream (standard output, a FIFO, /dev/null) written straight. Paths are
// UTF-8; on Windows they go through the wide-character file interface.
// Every failure leaves the system's error code in *error.
#ifndef MELVIR_CLI_OUTPUT_FILE_H
#define MELVIR_CLI_OUTPUT_FILE_H

#include "platform/types.h"

enum TargetKind { kTargetMissing, kTargetFile, kTargetFolder, kTargetStream, kTargetDevice };

// What path names now: nothing, a regular file, a folder, a FIFO or the
// null device (written without --force), or any other device.
TargetKind KindOfTarget(const char* path);

// The largest unit of unbuffered writes taken; memory handed to
// WriteOutputAt of an unbuffered file is aligned to it.
const u32 kMaxDirectAlign = 4096;

struct OutputFile {
  std::intptr_t handle;
  bool stream;    // standard output or a FIFO: no seeking, syncing or truncating
  bool owned;     // closed by CloseOutputFile (not standard output)
  bool direct;    // unbuffered: writes are whole units at multiples of align
  u32 align;      // the unbuffered unit (1 once buffered)
  const char* path;  // as opened (the Windows fallback opens it again)
};

bool OpenStandardOutput(OutputFile* out);
bool StandardOutputIsTerminal();
// Opens path for writing: created empty when it does not exist or when
// fresh is set, otherwise kept and cut to offset. A regular file is opened
// unbuffered (O_DIRECT, FILE_FLAG_NO_BUFFERING) in the unit the file system
// gives for it (statx's direct-I/O alignment, the volume's logical sector
// size; else 4096), or buffered where it refuses.
bool OpenOutputFile(const char* path, bool fresh, u64 offset, bool stream, OutputFile* out,
                    u32* error);
// Writes at offset of a regular file, or appends to a stream. A direct
// write the file system refuses (EINVAL) is made again buffered, and the
// rest of the file with it.
// *written: the bytes taken, a failure's included.
bool WriteOutputAt(OutputFile* out, const void* data, u32 length, u64 offset, u32* written,
                   u32* error);
// The error says a stream's reader has gone (EPIPE, a closed pipe).
bool IsReaderGone(u32 error);
// Sets a regular file's length.
bool CutOutputFile(OutputFile* out, u64 length, u32* error);
// Makes a regular file's bytes and length durable (fdatasync,
// FlushFileBuffers) when sync is set, and closes it.
bool CloseOutputFile(OutputFile* out, bool sync, u32* error);

// Reads length bytes at offset of a file into buffer; false when fewer exist.
bool ReadFileAt(const char* path, u64 offset, void* buffer, u32 length, u32* error);
// Renames from to to, replacing to, and makes the new name durable (the
// folder synced; on Windows a write-through move).
bool RenameFile(const char* from, const char* to, u32* error);
// The size of a regular file; false when there is none.
bool SizeOfFile(const char* path, u64* size);
// Makes the folder and any missing parents; false (with *error) otherwise.
bool MakeFolders(const char* path, u32* error);

#endif
