// A file of the programme alone (--trim). Its start is known before the
// remux (the packet of the key frame the stream room found): the leading
// video waits for it. Its end is the switch of the present/following table
// to an event after the programme, which the remux reads itself: packets
// are held until they lie further behind the clock than such a switch can
// be noted late (stream/programme_cut.h), then written; once the switch is
// placed, the video ends before its first picture shown at or after it
// (in decoding order, so that what is kept decodes) and every other track
// at the end of the video's last frame.
#include "remux/session.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include "stream/chapters.h"
#include "stream/programme_cut.h"

namespace {

void Free(RemuxSession* s, AVPacket* p) {
  ++s->result->dropped;
  av_packet_free(&p);
}

bool IsVideo(const RemuxSession& s, u32 t) { return s.leader >= 0 && int(t) == s.leader; }

// The programme's end on the file's timeline, once the switch past it is placed.
void LookForEnd(RemuxSession* s) {
  if (s->endKnown || s->program < 0) return;
  const PresentSeen* e = PresentAfter(s->input.tables, u16(s->program), s->job->programmeStart);
  i64 at;
  if (!e || !e->stampKnown || !PlacedAt(*s, e->offset, e->stamp, &at)) return;
  s->endKnown = true;
  s->endAt = at - s->zero;
  s->result->endFound = true;
  if (s->leader < 0) {  // no video: every track ends there
    s->videoDone = true;
    s->videoEnd = s->endAt;
  }
}

// The video's cut: its first held packet shown at or after the end, and
// every held one after it, go; the end of the frames before it is kept.
// A video that stops short of the end ends where it stopped.
void CutVideo(RemuxSession* s, bool all) {
  if (!s->endKnown || s->videoDone) return;
  i64 reach = s->videoEnd;
  bool cut = false;
  for (auto it = s->held.begin(); it != s->held.end();) {
    if (!IsVideo(*s, it->first)) {
      ++it;
      continue;
    }
    AVPacket* p = it->second;
    if (!cut && p->pts < s->endAt) {
      if (p->pts + p->duration > reach) reach = p->pts + p->duration;
      ++it;
      continue;
    }
    cut = true;
    Free(s, p);
    it = s->held.erase(it);
  }
  i64 frontier = s->timeline.latest - s->zero;
  if (!cut && !all && frontier < s->endAt + kSwitchLagTicks) return;
  s->videoDone = true;
  s->videoEnd = reach;
}

}  // namespace

bool BeforeCut(const RemuxSession& s, u32 t, const AVPacket* p) {
  bool leads = s.leader < 0 || int(t) == s.leader;
  return s.job->trim && !s.zeroKnown && leads && p->pos >= 0 && u64(p->pos) < s.job->trimFrom;
}

void HoldPacket(RemuxSession* s, u32 t, AVPacket* p) {
  if (s->videoDone && IsVideo(*s, t)) return Free(s, p);
  s->held.push_back(std::make_pair(t, p));
  ReleaseHeld(s, false);
}

void ReleaseHeld(RemuxSession* s, bool all) {
  LookForEnd(s);
  CutVideo(s, all);
  i64 frontier = s->timeline.latest - s->zero;
  while (!s->held.empty() && !s->failed) {
    u32 t = s->held.front().first;
    AVPacket* p = s->held.front().second;
    bool keep = true;
    if (s->endKnown) {
      if (!s->videoDone && !all) break;  // the video's cut decides the others' end
      keep = IsVideo(*s, t) || p->pts < s->videoEnd;
    } else if (!all && p->pts + kSwitchLagTicks >= frontier) {
      break;
    }
    s->held.pop_front();
    if (!keep) {
      Free(s, p);
      continue;
    }
    if (IsVideo(*s, t) && p->pts + p->duration > s->videoEnd) s->videoEnd = p->pts + p->duration;
    WriteTrackPacket(s, t, p);
  }
}

bool ProgrammeOver(const RemuxSession& s) {
  return s.videoDone && s.timeline.latest - s.zero > s.videoEnd + kStampAhead;
}

void DropHeld(RemuxSession* s) {
  for (auto& h : s->held) av_packet_free(&h.second);
  s->held.clear();
}
