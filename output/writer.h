// The double-buffered output writer: the extraction thread appends into one
// 1 MiB buffer while a writer thread writes the other to the file.
#ifndef MELVIR_OUTPUT_WRITER_H
#define MELVIR_OUTPUT_WRITER_H

#include "app/state.h"
#include "platform/platform.h"

struct OutputWriter {
  FileHandle file;
  u8* buffer[2];     // A and B: g_app's output buffers
  u32 count[2];      // bytes filled; owned by whoever owns the buffer
  Flag full[2];      // handed to the writer and not yet written
  u32 active;        // 0 = A, 1 = B: the buffer the producer fills
  u8* fill;          // next free byte of the active buffer
  Flag stopRequest;
  Flag writeError;
  Flag writerGone;   // the writer has made its last call on the events
  EventHandle wake;  // producer to writer: a buffer is full, or stop
  EventHandle done;  // writer to producer: a buffer written, error, or end
};

extern OutputWriter g_writer;

bool OpenOutput(const char* path);
bool WriteOutput(const void* src, u32 length);
bool CloseOutput();
u32 WriterThread(void* argument);

#endif
