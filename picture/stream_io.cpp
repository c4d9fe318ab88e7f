// The caller's reader as an FFmpeg I/O context.
#include "picture/stream_io.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace {

const int kIoBufferSize = 65536;

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  StreamWindow* w = static_cast<StreamWindow*>(opaque);
  if (w->pos >= w->end || size <= 0) return AVERROR_EOF;
  u64 left = w->end - w->pos;
  u32 want = left < u64(size) ? u32(left) : u32(size);
  u32 got = 0;
  if (!w->source.read(w->source.context, w->pos, buffer, want, &got)) {
    w->failed = true;
    return AVERROR(EIO);
  }
  if (got == 0) return AVERROR_EOF;
  w->pos += got;
  return int(got);
}

int64_t Seek(void* opaque, int64_t offset, int whence) {
  StreamWindow* w = static_cast<StreamWindow*>(opaque);
  int64_t size = int64_t(w->end - w->start);
  if (whence & AVSEEK_SIZE) return size;
  int64_t base;
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = int64_t(w->pos - w->start); break;
    case SEEK_END: base = size; break;
    default: return AVERROR(EINVAL);
  }
  if (offset < -base || offset > size - base) return AVERROR(EINVAL);
  w->pos = w->start + u64(base + offset);
  return base + offset;
}

}  // namespace

AVIOContext* OpenStreamIo(StreamWindow* window, bool seekable) {
  unsigned char* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
  if (!buffer) return nullptr;
  AVIOContext* io = avio_alloc_context(buffer, kIoBufferSize, 0, window, ReadPacket, nullptr,
                                       seekable ? Seek : nullptr);
  if (!io) av_free(buffer);
  return io;
}

void CloseStreamIo(AVIOContext** io) {
  if (!*io) return;
  // The demuxer may have replaced the buffer: free the one it holds now.
  av_freep(&(*io)->buffer);
  avio_context_free(io);
}
