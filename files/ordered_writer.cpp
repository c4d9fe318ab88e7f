// Buffer ownership passes with its full flag, as in the Windows program's
// writer: the copy fills only a buffer whose flag is clear and only sets it;
// the thread writes only a buffer whose flag is set and only clears it.
// Every wait re-tests its flag, because the events are auto-reset.
#include "files/ordered_writer.h"

#include <cstring>

namespace {

// Writes the first length bytes of buffer i at its offset, of which the
// first keep count; on a failure the writer stops for good, what the file
// took kept.
void WriteBuffer(OrderedWriter* w, u32 i, u32 length, u32 keep) {
  if (length == 0 || TestFlag(w->failed)) return;
  u32 error = 0, taken = 0;
  bool ok = WriteOutputAt(w->file, w->buffer[i], length, w->offset[i], &taken, &error);
  w->written = w->offset[i] + (taken < keep ? taken : keep);
  if (ok) return;
  w->error = error;
  SetFlag(w->failed);
}

u32 Thread(void* argument) {
  OrderedWriter* w = static_cast<OrderedWriter*>(argument);
  RaiseThreadPriority();
  for (u32 i = 0;; i = 1 - i) {  // the copy fills buffer 0 first
    while (!TestFlag(w->full[i])) {
      if (TestFlag(w->stop)) goto end;
      WaitEvent(w->wake);
    }
    WriteBuffer(w, i, w->count[i], w->count[i]);
    w->count[i] = 0;
    ClearFlag(w->full[i]);
    SignalEvent(w->done);
  }
end:
  SignalEvent(w->done);
  SetFlag(w->gone);
  return 0;
}

// Waits until the thread owns neither buffer i nor is writing it.
void WaitFor(OrderedWriter* w, u32 i) {
  while (TestFlag(w->full[i])) WaitEvent(w->done);
}

}  // namespace

bool StartWriter(OrderedWriter* w, OutputFile* file, u8* buffers, u64 at, u32* error) {
  *error = 0;
  w->file = file;
  w->buffer[0] = buffers;
  w->buffer[1] = buffers + kWriterBuffer;
  w->count[0] = w->count[1] = 0;
  w->offset[0] = at;
  w->offset[1] = at;
  ClearFlag(w->full[0]);
  ClearFlag(w->full[1]);
  w->active = 0;
  w->written = at;
  w->error = 0;
  ClearFlag(w->failed);
  ClearFlag(w->stop);
  ClearFlag(w->gone);
  if (!CreateAutoEvent(&w->wake)) return false;
  if (!CreateAutoEvent(&w->done)) {
    CloseEvent(w->wake);
    return false;
  }
  if (StartThread(Thread, w)) return true;
  CloseEvent(w->wake);
  CloseEvent(w->done);
  return false;
}

bool PutBytes(OrderedWriter* w, const u8* data, u32 length, u32* error) {
  while (length > 0) {
    u32 a = w->active, b = 1 - a;
    u32 n = kWriterBuffer - w->count[a];
    if (n > length) n = length;
    std::memcpy(w->buffer[a] + w->count[a], data, n);
    w->count[a] += n;
    data += n;
    length -= n;
    if (w->count[a] < kWriterBuffer) break;
    // Full: hand it over, then wait only for the other one, so reading and
    // writing overlap by one buffer.
    SetFlag(w->full[a]);
    SignalEvent(w->wake);
    WaitFor(w, b);
    w->offset[b] = w->offset[a] + kWriterBuffer;
    w->active = b;
  }
  if (!TestFlag(w->failed)) return true;
  *error = w->error;
  return false;
}

bool FinishWriter(OrderedWriter* w, u64 end, u64* contiguous, u32* error) {
  u32 a = w->active;
  WaitFor(w, 1 - a);
  u32 keep = end <= w->offset[a] ? 0 : u32(end - w->offset[a] < w->count[a] ? end - w->offset[a]
                                                                          : w->count[a]);
  // An unbuffered file takes whole units: the tail goes padded, and the
  // caller cuts the file to its length.
  u32 length = keep;
  if (w->file->direct && length % w->file->align) {
    length += w->file->align - length % w->file->align;
    std::memset(w->buffer[a] + keep, 0, length - keep);
  }
  WriteBuffer(w, a, length, keep);
  SetFlag(w->stop);
  SignalEvent(w->wake);
  // The thread may still be inside its last signal; the events must outlive it.
  while (!TestFlag(w->gone)) YieldThread();
  CloseEvent(w->wake);
  CloseEvent(w->done);
  *contiguous = w->written < end ? w->written : end;
  if (!TestFlag(w->failed)) return true;
  *error = w->error;
  return false;
}
