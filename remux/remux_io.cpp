// Both sides' I/O: the input read in order through the picture room's
// context (with the discontinuity marks noted on the way), the output
// written where the muxer puts it.
#include "remux/session.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include "stream/packet.h"

namespace {

const u64 kMarksKept = 8ull << 20;  // bytes a mark is kept behind the packets
const int kOutputBuffer = 1 << 18;

void SeePacket(InputState* in, const u8* p, u64 offset) {
  u64 pcr;
  bool hasPcr = PacketPcr(p, &pcr);
  if (hasPcr && PacketDiscontinuity(p) && in->marks.size() < 4096) in->marks.push_back(offset);
  if (!in->tablesOn || PacketTei(p)) return;
  u16 pid = PacketPid(p);
  if (hasPcr) SeeTablePcr(&in->tables, pid, pcr);
  if (CarriesTables(in->tables, pid)) PushTablePacket(&in->tables, pid, p, offset);
}

// Walks the packet grid over the bytes just read, [at, at + length): a
// packet with a PCR and the discontinuity indicator is a mark. Off the
// grid (a zeroed range, lost sync) it looks for the next sync byte.
void ScanMarks(InputState* in, const u8* data, u32 length, u64 at) {
  u64 end = at + length;
  while (in->next < end) {
    u64 start = in->next;
    if (start < at) {  // a packet begun in the last read
      u32 take = u32(end - at < kPacketSize - in->held ? end - at : kPacketSize - in->held);
      for (u32 i = 0; i < take; ++i) in->packet[in->held + i] = data[i];
      in->held += take;
      if (in->held < kPacketSize) return;
      in->held = 0;
      in->next = start + kPacketSize;
      if (in->packet[0] == 0x47) SeePacket(in, in->packet, start);
      else in->next = start + 1;
      continue;
    }
    const u8* p = data + (start - at);
    if (*p != 0x47) {
      in->next = start + 1;
      continue;
    }
    if (end - start < kPacketSize) {
      in->held = u32(end - start);
      for (u32 i = 0; i < in->held; ++i) in->packet[i] = p[i];
      return;
    }
    SeePacket(in, p, start);
    in->next = start + kPacketSize;
  }
}

bool ReadInput(void* context, u64 offset, u8* buffer, u32 count, u32* got) {
  InputState* in = static_cast<InputState*>(context);
  if (in->failed || offset != in->read) return false;  // in order only
  if (!in->source.read(in->source.context, offset, buffer, count, got)) {
    in->failed = true;
    return false;
  }
  ScanMarks(in, buffer, *got, offset);
  in->read += *got;
  return true;
}

int WriteOutput(void* opaque, uint8_t* data, int size) {
  OutputState* o = static_cast<OutputState*>(opaque);
  if (o->failed) return AVERROR(EIO);
  if (size <= 0) return 0;
  if (!o->write(o->context, o->pos, data, u32(size), &o->error)) {
    o->failed = true;
    return AVERROR(EIO);
  }
  o->pos += u64(size);
  if (o->pos > o->end) o->end = o->pos;
  return size;
}

int64_t SeekOutput(void* opaque, int64_t offset, int whence) {
  OutputState* o = static_cast<OutputState*>(opaque);
  if (whence & AVSEEK_SIZE) return int64_t(o->end);
  int64_t base;
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = int64_t(o->pos); break;
    case SEEK_END: base = int64_t(o->end); break;
    default: return AVERROR(EINVAL);
  }
  if (base + offset < 0) return AVERROR(EINVAL);
  o->pos = u64(base + offset);
  return int64_t(o->pos);
}

}  // namespace

AVIOContext* OpenInput(InputState* in, const StreamSource& source) {
  in->source = source;
  in->read = in->next = 0;
  in->held = 0;
  in->failed = false;
  in->marks.clear();
  in->window = StreamWindow{StreamSource{ReadInput, in, source.length}, 0, source.length, 0, false};
  return OpenStreamIo(&in->window, false);
}

bool MarkPending(const InputState& in) { return !in.marks.empty() && in.marks.front() < in.read; }

void TakeMarks(InputState* in) {
  while (!in->marks.empty() && in->marks.front() < in->read) in->marks.pop_front();
}

void ForgetMarks(InputState* in, u64 offset) {
  while (!in->marks.empty() && in->marks.front() + kMarksKept < offset) in->marks.pop_front();
}

AVIOContext* OpenOutput(OutputState* o) {
  o->pos = o->end = 0;
  o->failed = false;
  o->error = 0;
  unsigned char* buffer = static_cast<unsigned char*>(av_malloc(kOutputBuffer));
  if (!buffer) return nullptr;
  AVIOContext* io = avio_alloc_context(buffer, kOutputBuffer, 1, o, nullptr, WriteOutput, SeekOutput);
  if (!io) av_free(buffer);
  return io;
}

void CloseIo(AVIOContext** io) { CloseStreamIo(io); }
