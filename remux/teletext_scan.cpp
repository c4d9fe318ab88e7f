// The packets of the programme's teletext and the first stamps of its
// audio and video, picked from the stream's bytes by PID.
#include "remux/teletext_scan.h"

#include <cstring>

#include "stream/pes.h"

namespace {

// A PID's role: audio or video before and after its first PTS, teletext
// stream i (kTeletext + i), or none.
const u8 kOther = 0, kFirstClock = 1, kClock = 2, kTeletext = 3;

void SeeZero(TeletextScan* s, i64 at) {
  if (!s->zeroKnown || at < s->zero) s->zero = at;
  s->zeroKnown = true;
}

// The PES gathered of teletext stream i, decoded.
void Flush(TeletextScan* s, u32 i) {
  std::vector<u8>& pes = s->pes[i];
  size_t data, length;
  bool hasPts;
  u64 pts;
  if (!pes.empty() && TeletextPesData(pes.data(), pes.size(), &data, &length, &hasPts, &pts)) {
    // Without audio or video, the teletext's first stamp is the start.
    if (hasPts && s->clocksLeft == 0 && !s->zeroKnown) SeeZero(s, TeletextTime(s->text, pts, false));
    FeedTeletextText(s->text, s->text->stream[i].pid, pes.data() + data, length, hasPts ? pts : ~0ull);
  }
  pes.clear();
}

void Packet(TeletextScan* s, const u8* p) {
  u16 pid = PacketPid(p);
  u8 role = s->role[pid];
  if (role == kOther || PacketTei(p)) return;
  u32 at = PayloadStart(p);
  if (role == kFirstClock || role == kClock) {
    u64 pts;
    if (!PacketStartsUnit(p) || !PesPts(p + at, kPacketSize - at, &pts)) return;
    // The pieces of long cues are given as time goes on, and the last
    // ends with the recording.
    AdvanceTeletextText(s->text, pts);
    if (role == kClock) return;
    SeeZero(s, s->text->latest);
    s->role[pid] = kClock;
    --s->clocksLeft;
    return;
  }
  u32 i = role - kTeletext;
  std::vector<u8>& pes = s->pes[i];
  if (PacketStartsUnit(p)) {
    Flush(s, i);
    pes.assign(p + at, p + kPacketSize);
  } else if (!pes.empty() && pes.size() + (kPacketSize - at) <= kTeletextPesMax) {
    pes.insert(pes.end(), p + at, p + kPacketSize);
  } else {
    pes.clear();  // its start was not seen, or it is longer than a PES can be
  }
  // Whole by its declared length: decoded now, in step with the stream.
  if (pes.size() >= 6) {
    size_t declared = size_t(pes[4]) << 8 | pes[5];
    if (declared && pes.size() >= declared + 6) Flush(s, i);
  }
}

}  // namespace

void StartTeletextScan(TeletextScan* s, TeletextText* text, const std::vector<u16>& clocks) {
  s->text = text;
  std::memset(s->role, kOther, sizeof s->role);
  s->clocksLeft = 0;
  for (u16 pid : clocks) {
    if (pid >= kNullPid || s->role[pid] == kFirstClock) continue;
    s->role[pid] = kFirstClock;
    ++s->clocksLeft;
  }
  for (u32 i = 0; i < text->streams; ++i) {
    s->role[text->stream[i].pid & kNullPid] = u8(kTeletext + i);
    s->pes[i].clear();
  }
  s->zeroKnown = false;
  s->zero = 0;
  s->synced = false;
  s->held = 0;
}

void ScanTeletext(TeletextScan* s, const u8* data, u32 length) {
  while (length > 0) {
    if (s->held) {  // a packet begun in the last piece
      u32 take = kPacketSize - s->held < length ? kPacketSize - s->held : length;
      std::memcpy(s->packet + s->held, data, take);
      s->held += take;
      data += take;
      length -= take;
      if (s->held == kPacketSize) {
        Packet(s, s->packet);
        s->held = 0;
      }
      continue;
    }
    // Off the grid (lost sync, a range read as zeros): the next sync byte
    // that another follows.
    if (data[0] != 0x47 || (!s->synced && length > kPacketSize && data[kPacketSize] != 0x47)) {
      s->synced = false;
      const void* next = std::memchr(data + 1, 0x47, length - 1);
      u32 skip = next ? u32(static_cast<const u8*>(next) - data) : length;
      data += skip;
      length -= skip;
      continue;
    }
    s->synced = true;
    if (length < kPacketSize) {
      std::memcpy(s->packet, data, length);
      s->held = length;
      return;
    }
    Packet(s, data);
    data += kPacketSize;
    length -= kPacketSize;
  }
}

void EndTeletextScan(TeletextScan* s) {
  for (u32 i = 0; i < s->text->streams; ++i) Flush(s, i);
  FinishTeletextText(s->text);
}
