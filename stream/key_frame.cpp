// Key frames told from the picture headers, one byte at a time.
#include "stream/key_frame.h"

namespace {

void Decide(KeyFrameScan* s, bool key) { s->verdict = key ? kKeyFrame : kNotKeyFrame; }

// An H.264 SEI payload byte (emulation prevention removed): its messages'
// types and sizes summed, their payloads skipped; a recovery point (6)
// makes the picture a key frame.
void SeiByte(KeyFrameScan* s, u8 b) {
  if (s->seiField == 2) {
    if (--s->seiSkip == 0) s->seiField = 0;
    return;
  }
  u32& field = s->seiField == 0 ? s->seiType : s->seiSize;
  field += b;
  if (b == 0xFF) return;
  if (s->seiField == 0) {
    s->seiField = 1;
    return;
  }
  if (s->seiType == 6) s->recovery = true;
  s->seiSkip = s->seiSize;
  s->seiField = s->seiSkip ? 2 : 0;
  s->seiType = s->seiSize = 0;
}

// A byte of the unit after a start code.
void UnitByte(KeyFrameScan* s, u8 b) {
  u32 at = s->unitAt++;
  if (at < 2) s->head[at] = b;
  switch (s->coding) {
    case kVideoMpeg12:
      // picture_start_code (00), then 10 bits of temporal_reference and 3
      // of picture_coding_type (1: I).
      if (at == 2 && s->head[0] == 0x00) Decide(s, (b >> 3 & 7) == 1);
      return;
    case kVideoH264: {
      u32 type = s->head[0] & 0x1F;
      if (at == 0) {
        if (type == 5) Decide(s, true);
        else if (type == 1) Decide(s, s->recovery);
        else if (type == 6) s->seiType = s->seiSize = s->seiSkip = s->seiField = 0;
        return;
      }
      if (type == 6) SeiByte(s, b);
      return;
    }
    case kVideoHevc:
      if (at == 0) {
        u32 type = b >> 1 & 0x3F;
        if (type <= 9) Decide(s, false);
        else if (type >= 16 && type <= 21) Decide(s, true);
      }
      return;
    default: return;
  }
}

}  // namespace

bool PesPayload(const u8* p, u32* at) {
  u32 start = PayloadStart(p);
  if (start + 9 > kPacketSize || p[start] != 0 || p[start + 1] != 0 || p[start + 2] != 1) return false;
  *at = start + 9 + p[start + 8];
  return *at <= kPacketSize;
}

void StartKeyFrameScan(KeyFrameScan* s, VideoCoding coding, const u8* payload, u32 size) {
  *s = KeyFrameScan{};
  s->coding = coding;
  if (coding == kVideoOther) s->verdict = kNotKeyFrame;
  ScanKeyFrame(s, payload, size);
}

void ScanKeyFrame(KeyFrameScan* s, const u8* payload, u32 size) {
  for (u32 i = 0; i < size && s->verdict == kKeyUnknown; ++i) {
    u8 b = payload[i];
    if (++s->seen > kKeyFrameLook) {
      Decide(s, false);
      break;
    }
    if (b == 0x01 && s->zeros >= 2) {  // a start code: a new unit follows
      s->inUnit = true;
      s->unitAt = 0;
      s->zeros = 0;
      continue;
    }
    bool prevention = b == 0x03 && s->zeros >= 2 && s->coding != kVideoMpeg12;
    s->zeros = b == 0 ? s->zeros + 1 : 0;
    if (prevention || !s->inUnit) continue;
    UnitByte(s, b);
  }
}
