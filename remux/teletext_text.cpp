// The programme's subtitle pages decoded on one clock, and the feed of the
// Matroska file's text tracks.
#include "remux/teletext_text.h"

#include "remux/timeline.h"

namespace {

// The decoders count time this far above the clock, which may go below 0
// (a subtitle sent before the first video, a clock started near 0).
const i64 kClockBase = 64 * i64(kStampWrap);

TeletextStream* StreamOf(TeletextText* t, u16 pid) {
  for (u32 i = 0; i < t->streams; ++i)
    if (t->stream[i].pid == pid) return &t->stream[i];
  return nullptr;
}

void Keep(TeletextText* t, u32 page, const TeletextCue& cue) {
  if (t->keptBytes + cue.text.size() > kKeptTextBytes) {
    ++t->lost;
    return;
  }
  t->keptBytes += cue.text.size();
  t->kept[page].push_back(cue);
}

// A cue of one of the stream's pages: to its text track while the remux
// feeds, else kept.
void TakeCue(void* context, const TeletextCue& cue) {
  TeletextStream* s = static_cast<TeletextStream*>(context);
  TeletextText* t = s->owner;
  for (u32 i = 0; i < t->pages.size(); ++i) {
    const SubtitlePage& p = t->pages[i];
    if (p.pid != s->pid || (p.entry.page & 0x7FF) != (cue.page & 0x7FF)) continue;
    if (!t->session) return Keep(t, i, cue);
    TextCue text = {i64(cue.startPts) - kClockBase, i64(cue.endPts) - kClockBase, cue.text};
    PutTextCues(t->session, i, &text, 1);
    return;
  }
}

void Feed(void* context, RemuxSession* session, u16 pid, const u8* data, u32 length, u64 pts) {
  TeletextText* t = static_cast<TeletextText*>(context);
  t->session = session;
  FeedTeletextText(t, pid, data, length, pts);
}

void Advance(void* context, RemuxSession* session, u64 dts) {
  TeletextText* t = static_cast<TeletextText*>(context);
  t->session = session;
  AdvanceTeletextText(t, dts);
}

void Finish(void* context, RemuxSession* session) {
  TeletextText* t = static_cast<TeletextText*>(context);
  t->session = session;
  FinishTeletextText(t);
}

// On the file's timeline, from 0.
void Aside(void* context, u32 track, i64 start, i64 end, const std::string& text) {
  TeletextText* t = static_cast<TeletextText*>(context);
  Keep(t, track, TeletextCue{t->pages[track].entry.page, u64(start), u64(end), text});
}

}  // namespace

void SubtitlePagesOf(const std::vector<StreamSummary>& streams, std::vector<SubtitlePage>* pages) {
  pages->clear();
  u32 used = 0;
  for (const StreamSummary& st : streams) {
    u32 taken = 0;
    for (const TeletextEntry& e : st.pages) {
      bool again = false;
      for (const SubtitlePage& p : *pages) again = again || (p.pid == st.pid && p.entry.page == e.page);
      if (!IsSubtitleEntry(e) || again || taken == kTeletextPages) continue;
      pages->push_back(SubtitlePage{st.pid, e});
      ++taken;
    }
    if (taken && ++used == kTeletextStreams) return;
  }
}

void StartTeletextText(TeletextText* t, const std::vector<SubtitlePage>& pages) {
  t->pages = pages;
  t->streams = 0;
  t->timeline = Timeline{};
  t->clockKnown = false;
  t->latest = t->furthest = 0;
  t->session = nullptr;
  t->kept.assign(pages.size(), std::vector<TeletextCue>());
  t->keptBytes = t->lost = 0;
  for (const SubtitlePage& p : pages) {
    TeletextStream* s = StreamOf(t, p.pid);
    if (!s && t->streams < kTeletextStreams) {
      s = &t->stream[t->streams++];
      s->owner = t;
      s->pid = p.pid;
      ResetTeletext(&s->decoder, TakeCue, s);
    }
    if (s) AddTeletextPage(&s->decoder, p.entry.page, p.entry.language);
  }
}

i64 TeletextTime(TeletextText* t, u64 raw, bool clock) {
  raw &= kStampWrap - 1;
  i64 at = kClockBase + (t->session ? TextTime(t->session, raw) : MapStamp(&t->timeline, raw, clock, false));
  if (at < 0) at = 0;  // a clock gone that far back (a hostile stream)
  if (!t->clockKnown || at > t->furthest) t->furthest = at;
  t->clockKnown = true;
  t->latest = at;
  return at;
}

void FeedTeletextText(TeletextText* t, u16 pid, const u8* data, size_t length, u64 pts) {
  TeletextStream* s = StreamOf(t, pid);
  if (!s || (pts == ~0ull && !t->clockKnown)) return;
  i64 at = pts == ~0ull ? t->latest : TeletextTime(t, pts, false);
  FeedTeletextData(&s->decoder, data, length, u64(at));
}

void AdvanceTeletextText(TeletextText* t, u64 raw) {
  i64 at = TeletextTime(t, raw, true);
  for (u32 i = 0; i < t->streams; ++i) AdvanceTeletext(&t->stream[i].decoder, u64(at));
}

void FinishTeletextText(TeletextText* t) {
  for (u32 i = 0; i < t->streams; ++i) FinishTeletext(&t->stream[i].decoder, u64(t->furthest));
}

void FeedTextTracks(TeletextText* t, bool aside, RemuxJob* job) {
  job->textTracks.clear();
  for (const SubtitlePage& p : t->pages) {
    TextTrackPlan plan = {};
    for (u32 i = 0; i < 4; ++i) plan.language[i] = p.entry.language[i];
    plan.hearingImpaired = p.entry.type == 5;
    job->textTracks.push_back(plan);
  }
  job->text = TeletextFeed{Feed, Advance, Finish, aside ? Aside : nullptr, t};
}
