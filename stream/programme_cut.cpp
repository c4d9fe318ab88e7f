// The programme's cut found in its packets.
#include "stream/programme_cut.h"

#include <cstring>

#include "stream/chapters.h"
#include "stream/pes.h"

namespace {

const u64 kStampMask = (u64(1) << 33) - 1;
const u64 kLookingFor = ~0ull;  // `from` while the start is looked for
// PES starts kept for the end: a minute of frames and more; a stream whose
// clock stands still keeps no more.
const size_t kMaxStarts = 1u << 14;

// a comes no later than b, across the 33-bit wrap.
bool NotAfter(u64 a, u64 b) { return ((b - a) & kStampMask) < (u64(1) << 32); }

const ProgramTable* ProgramOf(const StreamTables& t, u16 number) {
  for (const ProgramTable& p : t.programs)
    if (p.number == number && p.known) return &p;
  return nullptr;
}

// The programme's clock now (90 kHz), when it has one.
bool ClockNow(const StreamTables& t, u16 service, u64* now) {
  const ProgramTable* p = ProgramOf(t, service);
  if (!p || !p->pcrSeen) return false;
  *now = p->pcr / 300 & kStampMask;
  return true;
}

void Keep(CutTable* table, const u8* p) {
  if (PacketStartsUnit(p)) table->count = 0;
  else if (table->count == 0) return;  // the rest of a section whose start was not kept
  if (table->count < kCutTablePackets) std::memcpy(table->packets[table->count++], p, kPacketSize);
}

// The packet starting the last key frame shown at or before s.
u64 KeyAtOrBefore(const ProgrammeCut& c, u64 s, u64 none) {
  u64 kept = c.keysSeen < kCutKeyFrames ? c.keysSeen : kCutKeyFrames;
  if (kept == 0) return none;
  for (u64 i = 0; i < kept; ++i) {
    const CutPoint& k = c.keys[(c.keysSeen - 1 - i) % kCutKeyFrames];
    if (NotAfter(k.pts, s)) return k.offset;
  }
  // Every key frame kept is shown after s: the recording begins after it,
  // or s lies before the earliest kept.
  return c.keysSeen > kCutKeyFrames ? c.keys[c.keysSeen % kCutKeyFrames].offset : 0;
}

void SeeVideo(ProgrammeCut* c, const u8* p, u64 offset) {
  bool looking = c->from == kLookingFor;
  if (PacketStartsUnit(p)) {
    c->pesOpen = false;
    u32 start = PayloadStart(p), payload;
    u64 pts;
    if (start >= kPacketSize || !PesPts(p + start, kPacketSize - start, &pts) || !PesPayload(p, &payload))
      return;
    c->pes = CutPoint{offset, pts};
    if (!looking && offset >= c->from) {
      if (c->starts.size() >= kMaxStarts) c->starts.pop_front();
      c->starts.push_back(c->pes);
    }
    if (!looking) return;
    StartKeyFrameScan(&c->scan, c->coding, p + payload, kPacketSize - payload);
    c->pesOpen = true;
  } else if (c->pesOpen && PacketHasPayload(p) && PayloadStart(p) < kPacketSize) {
    ScanKeyFrame(&c->scan, p + PayloadStart(p), kPacketSize - PayloadStart(p));
  }
  if (!c->pesOpen || c->scan.verdict == kKeyUnknown) return;
  c->pesOpen = false;
  if (c->scan.verdict != kKeyFrame) return;
  c->keys[c->keysSeen % kCutKeyFrames] = c->pes;
  ++c->keysSeen;
}

}  // namespace

void StartCut(ProgrammeCut* c, u16 service, u16 eventId, bool startKnown, i64 start, u64 from) {
  c->service = service;
  c->eventId = eventId;
  c->startKnown = startKnown;
  c->start = start;
  c->from = from;
  c->videoPid = kNullPid;
  c->coding = kVideoOther;
  c->scan = KeyFrameScan{};
  c->pes = CutPoint{};
  c->pesOpen = false;
  // A ring read only as far as keysSeen counts: not cleared, and its memory
  // kept from one start to the next.
  if (from == kLookingFor) c->keys.resize(kCutKeyFrames);
  c->keysSeen = 0;
  c->pat.count = c->pmt.count = 0;
  c->starts.clear();
}

void SeeCutPacket(ProgrammeCut* c, const StreamTables& t, u16 pid, const u8* p, u64 offset) {
  const ProgramTable* program = ProgramOf(t, c->service);
  if (!program) return;
  if (c->videoPid == kNullPid) {
    for (const ElementaryStream& s : program->streams) {
      if (VideoCodingOf(s.streamType) == kVideoOther) continue;
      c->videoPid = s.pid;
      c->coding = VideoCodingOf(s.streamType);
      break;
    }
  }
  if (c->from != kLookingFor && offset < c->from) {
    if (pid == 0) Keep(&c->pat, p);
    else if (pid == program->pmtPid) Keep(&c->pmt, p);
  }
  if (pid == c->videoPid) SeeVideo(c, p, offset);
}

CutStart FindCutStart(const ProgrammeCut& c, const StreamTables& t, bool ended, u64* offset) {
  *offset = 0;
  const PresentSeen* first = nullptr;
  const PresentSeen* to = nullptr;
  for (const PresentSeen& p : t.presents) {
    if (p.serviceId != c.service) continue;
    if (!first) first = &p;
    if (!to && p.eventId == c.eventId && p.switched && p.stampKnown) to = &p;
  }
  u64 s;
  CutStart found;
  if (to) {
    s = to->stamp;
    found = kCutAtSwitch;
  } else if (first && first->eventId == c.eventId) {
    return kCutAtBeginning;
  } else if (!ended && !PresentAfter(t, c.service, c.start)) {
    return kCutOpen;  // the switch may come yet
  } else if (const ClockAnchor* anchor = c.startKnown ? AnchorOf(t, c.service) : nullptr) {
    s = u64(i64(anchor->stamp) + TicksFromAnchor(*anchor, c.start)) & kStampMask;
    found = kCutAtStartTime;
  } else {
    return kCutNotFound;
  }
  // A second on, every key frame shown by then has been read and told.
  u64 now;
  if (!ended && (!ClockNow(t, c.service, &now) || !NotAfter((s + kStampTicks) & kStampMask, now)))
    return kCutOpen;
  *offset = KeyAtOrBefore(c, s, to ? to->offset : 0);
  return found;
}

bool FindCutEnd(const ProgrammeCut& c, const StreamTables& t, u64* offset) {
  const PresentSeen* e = PresentAfter(t, c.service, c.start);
  if (!e) return false;
  for (const CutPoint& s : c.starts) {
    if (e->stampKnown ? !NotAfter(e->stamp, s.pts) : s.offset < e->offset) continue;
    *offset = s.offset;
    return true;
  }
  return false;
}

u64 CutSafeOffset(ProgrammeCut* c, const StreamTables& t, u64 read) {
  u64 now;
  bool clock = ClockNow(t, c->service, &now);
  while (!c->starts.empty()) {
    const CutPoint& s = c->starts.front();
    if (!clock || !NotAfter((s.pts + u64(kSwitchLagTicks)) & kStampMask, now)) return s.offset;
    c->starts.pop_front();
  }
  return read;
}
