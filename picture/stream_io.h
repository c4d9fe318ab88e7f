// The caller's reader as an FFmpeg I/O context: a window of the stream,
// seekable or read in order, so nothing goes through a temporary file.
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

// The window's I/O context, or null; closed by CloseStreamIo. Not
// seekable: read once from start to end, each read at the offset the last
// one ended (the demuxer keeps what it must look at again).
AVIOContext* OpenStreamIo(StreamWindow* window, bool seekable = true);
void CloseStreamIo(AVIOContext** io);

#endif
