// The command line's output writer: the copy fills one of two aligned
// buffers while a thread writes the other at its place in the file, so the
// file is always written in order and holds no hole. An unbuffered file gets
// whole units only: the last one padded, then cut to length by the caller.
#ifndef MELVIR_FILES_ORDERED_WRITER_H
#define MELVIR_FILES_ORDERED_WRITER_H

#include "app/state.h"
#include "files/output_file.h"
#include "platform/platform.h"

const u32 kWriterBuffer = 0x200000;  // each of the two buffers

struct OrderedWriter {
  OutputFile* file;
  u8* buffer[2];
  u32 count[2];     // bytes filled; owned by whoever owns the buffer
  u64 offset[2];    // the file offset of each buffer's first byte
  Flag full[2];     // handed to the writer and not yet written
  u32 active;       // the buffer the copy fills
  u64 written;      // file bytes written in order from the start (writer's until it ends)
  u32 error;        // the failed write's system error
  Flag failed;
  Flag stop;
  Flag gone;        // the writer has made its last call on the events
  EventHandle wake, done;
};

// Starts the writer on file at offset at (a multiple of the file's unit);
// buffers are two of kWriterBuffer bytes aligned to kMaxDirectAlign.
bool StartWriter(OrderedWriter* w, OutputFile* file, u8* buffers, u64 at, u32* error);
// Appends bytes; false (with *error) once a write has failed.
bool PutBytes(OrderedWriter* w, const u8* data, u32 length, u32* error);
// Writes what is buffered up to file offset end (bytes past it are dropped),
// waits for every write, and ends the thread. *contiguous: where the bytes
// written in order end (at most end); false with *error when a write failed.
bool FinishWriter(OrderedWriter* w, u64 end, u64* contiguous, u32* error);

#endif
