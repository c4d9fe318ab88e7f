// The output writer. Buffer ownership passes with its full flag: the
// producer fills only a buffer whose flag is clear and only sets it; the
// writer writes only a buffer whose flag is set and only clears it. Every
// wait re-tests its flag, because the events are auto-reset.
#include "output/writer.h"

#include <cstring>

#include "app/messages.h"

OutputWriter g_writer;

namespace {
const u32 kWriteUnit = 512;
}

namespace {

// Writes the whole of n bytes; a short write is a failure.
bool WriteAll(const u8* data, u32 n) {
  u32 written = 0;
  return WriteBytes(g_writer.file, data, n, &written) && written == n;
}

void FailWrite() {
  SetFlag(g_writer.writeError);
  SetFlag(g_app.abortFlag);
  ShowError(IDS_WRITE_ERROR);
}

void CloseEvents() {
  CloseEvent(g_writer.wake);
  CloseEvent(g_writer.done);
}

}  // namespace

bool OpenOutput(const char* path) {
  OutputWriter& w = g_writer;
  if (!g_app.bufferA || !g_app.bufferB) return false;
  if (!CreateOutputFile(path, &w.file)) return false;
  if (!CreateAutoEvent(&w.wake)) {
    CloseFile(w.file);
    return false;
  }
  if (!CreateAutoEvent(&w.done)) {
    CloseEvent(w.wake);
    CloseFile(w.file);
    return false;
  }
  w.buffer[0] = g_app.bufferA;
  w.buffer[1] = g_app.bufferB;
  w.count[0] = w.count[1] = 0;
  ClearFlag(w.full[0]);
  ClearFlag(w.full[1]);
  ClearFlag(w.stopRequest);
  ClearFlag(w.writerGone);
  ClearFlag(w.writeError);
  w.active = 0;
  w.fill = w.buffer[0];
  // Without a writer the first hand-over would wait for ever.
  if (!StartThread(WriterThread, nullptr)) {
    CloseEvents();
    CloseFile(w.file);
    return false;
  }
  return true;
}

bool WriteOutput(const void* src, u32 length) {
  OutputWriter& w = g_writer;
  if (TestFlag(w.writeError)) return false;
  const u8* p = static_cast<const u8*>(src);
  for (;;) {
    u32 a = w.active, b = 1 - a;
    u32 room = kOutputBufferSize - w.count[a];
    if (length < room) {
      std::memcpy(w.fill, p, length);
      w.fill += length;
      w.count[a] += length;
      return true;
    }
    // The buffer becomes exactly full: hand it over, then wait only for the
    // other one, so reading and writing overlap by one buffer.
    std::memcpy(w.fill, p, room);
    w.count[a] = kOutputBufferSize;
    SetFlag(w.full[a]);
    SignalEvent(w.wake);
    while (TestFlag(w.full[b])) WaitEvent(w.done);
    if (TestFlag(w.writeError)) return false;
    w.active = b;
    w.fill = w.buffer[b];
    p += room;
    length -= room;
    if (length == 0) return true;
  }
}

u32 WriterThread(void*) {
  OutputWriter& w = g_writer;
  RaiseThreadPriority();
  for (u32 i = 0;; i = 1 - i) {
    while (!TestFlag(w.full[i])) {
      if (TestFlag(w.stopRequest)) goto end;
      WaitEvent(w.wake);
    }
    if (TestFlag(w.stopRequest)) goto end;
    if (!WriteAll(w.buffer[i], w.count[i])) goto error;
    w.count[i] = 0;
    ClearFlag(w.full[i]);
    SignalEvent(w.done);
    if (i == 1 && TestFlag(w.stopRequest)) goto end;
  }
error:
  SetFlag(w.writeError);
  ClearFlag(w.full[0]);
  ClearFlag(w.full[1]);
  SignalEvent(w.done);
  SetFlag(g_app.abortFlag);
  ShowError(IDS_WRITE_ERROR);
  // Keep answering the producer's hand-overs so it never blocks.
  while (!TestFlag(w.stopRequest)) {
    WaitEvent(w.wake);
    ClearFlag(w.full[0]);
    ClearFlag(w.full[1]);
    SignalEvent(w.done);
  }
end:
  ClearFlag(w.stopRequest);
  SignalEvent(w.done);
  SetFlag(w.writerGone);
  return 0;
}

bool CloseOutput() {
  OutputWriter& w = g_writer;
  u32 a = w.active, b = 1 - a;
  while (TestFlag(w.full[b])) WaitEvent(w.done);
  // Unbuffered writes are whole sectors: the tail below 512 bytes is dropped.
  w.count[a] &= ~(kWriteUnit - 1);
  if (!TestFlag(w.writeError) && w.count[a] != 0 && !WriteAll(w.buffer[a], w.count[a]))
    FailWrite();
  SetFlag(w.stopRequest);
  SignalEvent(w.wake);
  while (TestFlag(w.stopRequest)) WaitEvent(w.done);
  // The writer may still be inside its last signal; the events must outlive it.
  while (!TestFlag(w.writerGone)) YieldThread();
  CloseEvents();
  bool closed = CloseFile(w.file);
  bool ok = true;
  if (TestFlag(w.writeError)) {
    ok = false;
  } else if (!closed) {
    SetFlag(g_app.abortFlag);
    ShowError(IDS_CLOSE_ERROR);
    ok = false;
  }
  SetFlag(w.writeError);  // refuse appends until the next OpenOutput
  return ok;
}
