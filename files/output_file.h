// Where an extraction writes: a regular file (written unbuffered as
// NAME.part where the file system allows it, synced, then renamed), or a
// stream (standard output, a FIFO, /dev/null) written straight. Paths are
// UTF-8; on Windows they go through the wide-character file interface.
// Every failure leaves the system's error code in *error.
#ifndef MELVIR_FILES_OUTPUT_FILE_H
#define MELVIR_FILES_OUTPUT_FILE_H

#include "platform/types.h"
#include "platform/write_guard.h"

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
  const char* path;  // as opened (the Windows program opens it again unbuffered)
  u64 behind;     // buffered: written back from here on is yet to be started
};

bool OpenStandardOutput(OutputFile* out);
bool StandardOutputIsTerminal();
// Opens a FIFO or the null device named as the output, to be written straight.
bool OpenStreamOutput(const char* path, OutputFile* out, u32* error);
// Opens path (a NAME.part) as this run's own, through the write guard's
// side-file check: never through a link, a regular file of one name that no
// other run holds and that is nothing the run reads; created when missing
// (always, with fresh). It is held until closed, read and written through
// the ordinary interface until StartOutputWrites.
WriteVerdict OpenOutputFile(const char* path, bool fresh, OutputFile* out, u32* error);
// The bytes an opened output holds.
bool SizeOfOutput(const OutputFile& out, u64* size);
// Reads length bytes at offset of an opened output; false when fewer exist.
bool ReadOutputAt(OutputFile* out, u64 offset, void* buffer, u32 length, u32* error);
// Cuts the output to offset and goes on unbuffered (O_DIRECT,
// FILE_FLAG_NO_BUFFERING) in the unit the file system gives for it
// (statx's direct-I/O alignment, the volume's logical sector size; else
// 4096), or buffered where it refuses.
bool StartOutputWrites(OutputFile* out, u64 offset, u32* error);
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
// FlushFileBuffers).
bool SyncOutputFile(OutputFile* out, u32* error);
// Closes the output (SyncOutputFile first when sync is set).
bool CloseOutputFile(OutputFile* out, bool sync, u32* error);

// Reads length bytes at offset of a file into buffer; false when fewer exist.
bool ReadFileAt(const char* path, u64 offset, void* buffer, u32 length, u32* error);
// Gives the opened output the name to, while this run still holds it;
// never replacing a file of that name unless replace is set (an existing
// one fails with an error IsNameTaken tells). The new name is made durable
// (the folder synced; on Windows written through).
bool RenameOutput(OutputFile* out, const char* to, bool replace, u32* error);
bool IsNameTaken(u32 error);
// Removes the opened output, while this run still holds it, and closes it.
bool RemoveOutput(OutputFile* out, u32* error);
// Renames the side file from to to, never replacing a file of that name;
// a from that is no side file of this run's (write_guard.h) stays.
bool RenameSideFile(const char* from, const char* to, u32* error);
// Something has the name path, be it a link to nothing.
bool NameExists(const char* path);
// The size of a regular file; false when there is none.
bool SizeOfFile(const char* path, u64* size);
// Makes the folder and any missing parents; false (with *error) otherwise.
bool MakeFolders(const char* path, u32* error);

#endif
