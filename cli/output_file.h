// Where an extraction writes: a regular file (written as NAME.part, synced,
// then renamed), or a stream (standard output, a FIFO, /dev/null) written
// straight. Paths are UTF-8; on Windows they go through the wide-character
// file interface. Every failure leaves the system's error code in *error.
#ifndef MELVIR_CLI_OUTPUT_FILE_H
#define MELVIR_CLI_OUTPUT_FILE_H

#include "platform/types.h"

enum TargetKind { kTargetMissing, kTargetFile, kTargetFolder, kTargetStream, kTargetDevice };

// What path names now: nothing, a regular file, a folder, a FIFO or the
// null device (written without --force), or any other device.
TargetKind KindOfTarget(const char* path);

struct OutputFile {
  std::intptr_t handle;
  bool stream;    // standard output or a FIFO: no seeking, syncing or truncating
  bool owned;     // closed by CloseOutputFile (not standard output)
};

bool OpenStandardOutput(OutputFile* out);
bool StandardOutputIsTerminal();
// Opens path for writing: created empty when it does not exist or when
// fresh is set, otherwise kept and positioned at offset (cut there).
bool OpenOutputFile(const char* path, bool fresh, u64 offset, bool stream, OutputFile* out,
                    u32* error);
bool WriteOutputFile(OutputFile* out, const void* data, u32 length, u32* error);
// Flushes a regular file to the disk (fsync) and closes it.
bool CloseOutputFile(OutputFile* out, bool sync, u32* error);

// Reads length bytes at offset of a file into buffer; false when fewer exist.
bool ReadFileAt(const char* path, u64 offset, void* buffer, u32 length, u32* error);
// Renames from to to, replacing to.
bool RenameFile(const char* from, const char* to, u32* error);
// The size of a regular file; false when there is none.
bool SizeOfFile(const char* path, u64* size);
// Makes the folder and any missing parents; false (with *error) otherwise.
bool MakeFolders(const char* path, u32* error);

#endif
