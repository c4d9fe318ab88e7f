// Packets fed in, the grid found, sync, continuity, clocks and tables followed.
#include "stream/analysis.h"

#include <cstring>
#include <utility>

#include "stream/pes.h"
#include "stream/programme_cut.h"

namespace {

const u64 kHeadPcrTicks = 35 * kTicksPerSecond;
const u64 kPtsLateness = kTicksPerSecond;  // frames come out of order by far less

// The clock of pid, found through index (each PID's clock + 1, or 0) so
// that a stream with clocks on many PIDs costs no more per packet.
Clock* ClockOf(std::vector<PidClock>* clocks, std::vector<u16>* index, u16 pid) {
  u16& at = (*index)[pid];
  if (!at) {
    clocks->push_back(PidClock{pid, Clock{}});
    at = u16(clocks->size());
  }
  return &(*clocks)[at - 1].clock;
}

// A packet of a video stream, until the stream's format is read.
void SeeVideo(StreamAnalysis* a, u16 pid, VideoCoding coding, const u8* p) {
  u8& at = a->videoOf[pid];
  if (!at) {
    if (a->video.size() >= kMaxVideoStreams) return;
    a->video.push_back(VideoProbe{});
    at = u8(a->video.size());
  }
  VideoProbe& v = a->video[at - 1];
  if (v.coding != coding) {
    v = VideoProbe{};
    v.pid = pid;
    v.coding = coding;
  }
  SeeVideoPacket(&v, p);
}

// Nothing is compared across a break: only the PIDs seen since the last
// one are walked, as a damaged stream breaks every few packets.
void ForgetContinuity(StreamAnalysis* a) {
  for (u16 pid : a->continuityKnown) a->continuity[pid].known = false;
  a->continuityKnown.clear();
}

void ReadPacket(StreamAnalysis* a, const u8* p, u64 at) {
  ++a->packets;
  if (p[0] != kSyncByte) return;  // one bad sync byte keeps the grid, but the packet is not to be trusted
  u16 pid = PacketPid(p);
  ++a->pids[pid].packets;
  if (PacketTei(p)) {
    ++a->transportErrors;
    return;
  }
  if (pid == kNullPid) return;
  PidContinuity& continuity = a->continuity[pid];
  if (!continuity.known) a->continuityKnown.push_back(pid);
  if (ContinuityBroken(&continuity, p)) {
    ++a->continuityErrors;
    ++a->pids[pid].continuityErrors;
  }
  u64 ticks;
  if (PacketPcr(p, &ticks)) {
    SeeClock(ClockOf(&a->pcr, &a->pcrOf, pid), ticks, at, PacketDiscontinuity(p), 0);
    SeeTablePcr(&a->tables, pid, ticks);
  }
  if (a->cut) SeeCutPacket(a->cut, a->tables, pid, p, at);
  if (CarriesTables(a->tables, pid)) {
    PushTablePacket(&a->tables, pid, p, at);
    return;
  }
  if (PacketStartsUnit(p) && PesTimestamp(p, &ticks))
    SeeClock(ClockOf(&a->pts, &a->ptsOf, pid), ticks, at, PacketDiscontinuity(p), kPtsLateness);
  VideoCoding coding = VideoCodingOf(a->tables.streamTypeOf[pid]);
  if (coding == kVideoMpeg12 || coding == kVideoH264) SeeVideo(a, pid, coding, p);
}

// A packet in sync: its sync byte decides whether sync holds.
// The stream offset has been moved past it.
void TakePacket(StreamAnalysis* a, const u8* p, u64 at) {
  if (p[0] == kSyncByte) {
    a->badSyncs = 0;
  } else if (++a->badSyncs == kSyncLostAfter) {
    a->lossPending = true;
    a->bytesAfterLoss = false;
    a->inSync = false;
    ForgetContinuity(a);
    // Its bytes are searched again for the grid.
    std::memcpy(a->window, p, kPacketSize);
    a->held = kPacketSize;
    return;
  }
  ReadPacket(a, p, at);
}

// A grid of kSyncFoundAfter sync bytes starting at window[i].
bool GridAt(const u8* window, u32 i) {
  for (u32 k = 0; k < kSyncFoundAfter; ++k)
    if (window[i + k * kPacketSize] != kSyncByte) return false;
  return true;
}

// The window is full: when a grid starts in it, its packets are read and
// the analysis is in sync; otherwise the bytes that cannot start one go.
void SearchWindow(StreamAnalysis* a) {
  const u32 size = sizeof a->window;
  const u32 span = size - (kSyncFoundAfter - 1) * kPacketSize;  // starts with room for a grid
  for (u32 i = 0; i < span; ++i) {
    if (!GridAt(a->window, i)) continue;
    if (a->lossPending) ++a->syncLosses;
    a->lossPending = false;
    a->inSync = a->everInSync = true;
    a->badSyncs = 0;
    u32 rest = size - i, whole = rest / kPacketSize * kPacketSize;
    u64 start = a->offset - rest;
    for (u32 k = 0; k < whole; k += kPacketSize) ReadPacket(a, a->window + i + k, start + k);
    a->held = rest - whole;
    std::memcpy(a->packet, a->window + i + whole, a->held);
    return;
  }
  std::memmove(a->window, a->window + span, size - span);
  a->held = size - span;
}

// The per-PID table *v, kPidCount zeroed entries, zeroed in place when it
// has them: a caller that reads many short streams reallocates nothing.
template <typename T>
void ZeroPerPid(std::vector<T>* v) {
  v->resize(kPidCount);
  std::memset(static_cast<void*>(v->data()), 0, kPidCount * sizeof(T));
}

void BridgeClocks(StreamAnalysis* a) {
  for (PidClock& c : a->pcr) BridgeClock(&c.clock);
  for (PidClock& c : a->pts) BridgeClock(&c.clock);
}

}  // namespace

bool StartAnalysis(StreamAnalysis* a) {
  // Every field afresh but the per-PID tables' memory, taken over.
  StreamAnalysis fresh{};
  fresh.pids.swap(a->pids);
  fresh.continuity.swap(a->continuity);
  fresh.pcrOf.swap(a->pcrOf);
  fresh.ptsOf.swap(a->ptsOf);
  fresh.videoOf.swap(a->videoOf);
  fresh.tables.streamTypeOf.swap(a->tables.streamTypeOf);
  fresh.tables.decoderOf.swap(a->tables.decoderOf);
  *a = std::move(fresh);
  ZeroPerPid(&a->pids);
  ZeroPerPid(&a->continuity);
  ZeroPerPid(&a->pcrOf);
  ZeroPerPid(&a->ptsOf);
  ZeroPerPid(&a->videoOf);
  return StartTables(&a->tables);
}

void EndAnalysis(StreamAnalysis* a) { EndTables(&a->tables); }

void FeedStream(StreamAnalysis* a, const u8* data, u32 length) {
  while (length > 0) {
    if (!a->inSync) {
      u32 n = u32(sizeof a->window) - a->held;
      if (n > length) n = length;
      std::memcpy(a->window + a->held, data, n);
      for (u32 i = 0; i < n && a->lossPending && !a->bytesAfterLoss; ++i)
        a->bytesAfterLoss = data[i] != 0;
      a->held += n;
      a->offset += n;
      data += n;
      length -= n;
      if (a->held == sizeof a->window) SearchWindow(a);
    } else if (a->held || length < kPacketSize) {
      u32 n = kPacketSize - a->held < length ? kPacketSize - a->held : length;
      std::memcpy(a->packet + a->held, data, n);
      a->held += n;
      a->offset += n;
      data += n;
      length -= n;
      if (a->held < kPacketSize) continue;
      a->held = 0;
      if (a->heldDamaged) {
        a->heldDamaged = false;
        ++a->unreadablePackets;
      } else {
        TakePacket(a, a->packet, a->offset - kPacketSize);
      }
    } else {
      a->offset += kPacketSize;
      TakePacket(a, data, a->offset - kPacketSize);
      data += kPacketSize;
      length -= kPacketSize;
    }
  }
}

void FeedUnreadable(StreamAnalysis* a, u64 length) {
  ForgetContinuity(a);
  BridgeClocks(a);
  a->offset += length;
  if (!a->inSync) {
    a->held = 0;
    a->unreadablePackets += (length + kPacketSize - 1) / kPacketSize;
    return;
  }
  if (a->held) {
    u64 n = kPacketSize - a->held < length ? kPacketSize - a->held : length;
    a->held += u32(n);
    a->heldDamaged = true;
    length -= n;
    if (a->held < kPacketSize) return;
    a->held = 0;
    a->heldDamaged = false;
    ++a->unreadablePackets;
  }
  a->unreadablePackets += length / kPacketSize;
  a->held = u32(length % kPacketSize);
  a->heldDamaged = a->held != 0;
}

void SkipTo(StreamAnalysis* a, u64 offset) {
  a->syncLosses += SyncLossOpen(*a) ? 1 : 0;
  a->lossPending = false;
  ForgetContinuity(a);
  BridgeClocks(a);
  ForgetShowing(&a->tables);
  a->inSync = false;
  a->held = 0;
  a->heldDamaged = false;
  a->badSyncs = 0;
  a->offset = offset;
}

bool HeadComplete(const StreamAnalysis& a) {
  if (TablesComplete(a.tables)) return true;
  for (const PidClock& c : a.pcr)
    if (c.clock.ticks >= kHeadPcrTicks) return true;
  return false;
}

const VideoFormat* VideoFormatOf(const StreamAnalysis& a, u16 pid) {
  u8 at = pid < kPidCount ? a.videoOf[pid] : 0;
  return at && a.video[at - 1].format.known ? &a.video[at - 1].format : nullptr;
}
