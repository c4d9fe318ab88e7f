// Muxing and writing on a thread of their own, so that reading and
// demuxing (the parser's search for start codes above all) go on meanwhile:
// packets pass through a bounded ring, in order.
#include "remux/session.h"

#include <cstdio>

extern "C" {
#include <libavformat/avformat.h>
}

#include "platform/platform.h"

namespace {

// What the muxer has taken: a thread of its own, or the caller's when none
// could be started.
void Mux(RemuxSession* s, AVPacket* p) {
  if (s->failed) return av_packet_free(&p);
  int t = p->stream_index;
  int written = av_interleaved_write_frame(s->out, p);
  av_packet_free(&p);
  if (written >= 0) {
    ++s->result->packets;
    return;
  }
  char text[AV_ERROR_MAX_STRING_SIZE];
  av_strerror(written, text, sizeof text);
  std::snprintf(s->result->reason, sizeof s->result->reason,
                "the Matroska muxer refused a packet of track %d: %s", t + 1, text);
  s->failed = true;
}

u32 MuxLoop(void* argument) {
  RemuxSession* s = static_cast<RemuxSession*>(argument);
  MuxRing& ring = s->ring;
  for (;;) {
    while (ring.count.load() == 0) {
      ring.muxerIdle.store(true);
      if (ring.count.load() == 0) WaitEvent(ring.ready);
      ring.muxerIdle.store(false);
    }
    AVPacket* p = ring.slots[ring.head % kMuxSlots];
    ++ring.head;
    u32 left = ring.count.fetch_sub(1) - 1;
    if (left <= kMuxSlots - kMuxBatch && ring.demuxerWaits.load()) SignalEvent(ring.space);
    if (!p) break;  // the end
    Mux(s, p);
  }
  SignalEvent(ring.done);
  return 0;
}

}  // namespace

void StartMuxing(RemuxSession* s) {
  MuxRing& ring = s->ring;
  ring.head = ring.tail = 0;
  ring.count.store(0);
  ring.muxerIdle.store(false);
  ring.demuxerWaits.store(false);
  ring.running = CreateAutoEvent(&ring.ready) && CreateAutoEvent(&ring.space) &&
                 CreateAutoEvent(&ring.done) && StartThread(MuxLoop, s);
}

void QueuePacket(RemuxSession* s, AVPacket* p) {
  MuxRing& ring = s->ring;
  if (!ring.running) {
    if (p) Mux(s, p);
    return;
  }
  while (ring.count.load() == kMuxSlots) {
    ring.demuxerWaits.store(true);
    if (ring.count.load() == kMuxSlots) WaitEvent(ring.space);
    ring.demuxerWaits.store(false);
  }
  ring.slots[ring.tail % kMuxSlots] = p;
  ++ring.tail;
  u32 queued = ring.count.fetch_add(1) + 1;
  if ((queued >= kMuxBatch || !p) && ring.muxerIdle.load()) SignalEvent(ring.ready);
}

void EndMuxing(RemuxSession* s) {
  MuxRing& ring = s->ring;
  if (ring.running) {
    QueuePacket(s, nullptr);
    WaitEvent(ring.done);
    ring.running = false;
  }
  for (EventHandle* e : {&ring.ready, &ring.space, &ring.done}) {
    if (*e) CloseEvent(*e);
    *e = nullptr;
  }
}
