// The caller's reader as an FFmpeg I/O context: a seekable window of the
// stream, so nothing goes through a temporary file.
#ifndef MELVIR_PICTURE_STREAM_IO_H
#define MELVIR_PICTURE_STREAM_IO_H

#include "picture/thumbnail.h"

struct AVIOContext;

struct StreamWindow {
  StreamSource source;
  u64 start;  // the window's first stream byte, its position 0
  u64 end;    // one past its last
  u64 pos;
  bool failed;  // the reader failed
};

// The window's I/O context, or null; closed by CloseStreamIo.
AVIOContext* OpenStreamIo(StreamWindow* window);
void CloseStreamIo(AVIOContext** io);

#endif
