// The file's chapters, one per EIT event the recording spans (the stream
// room's rule, stream/chapters.h): the tables read from the bytes as the
// demuxer takes them, each switch and time anchor placed on the timeline
// when the demuxer reaches it (the timeline moves on past jumps), and the
// chapters given to the muxer before its trailer, which writes them.
#include "remux/session.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include "stream/chapters.h"
#include "text/charset.h"

namespace {

void Note(RemuxSession* s, u64 offset, u64 stamp) {
  s->placed.push_back(PlacedStamp{offset, stamp, PlaceStamp(s->timeline, stamp)});
}

bool Placed(void* context, u64 stamp, u64 offset, i64* at) {
  return PlacedAt(*static_cast<const RemuxSession*>(context), offset, stamp, at);
}

}  // namespace

bool PlacedAt(const RemuxSession& s, u64 offset, u64 stamp, i64* at) {
  for (const PlacedStamp& p : s.placed) {
    if (p.offset != offset || p.stamp != stamp) continue;
    *at = p.at;
    return true;
  }
  return false;
}

bool StartChapters(RemuxSession* s) {
  s->placed.clear();
  s->presentsPlaced = 0;
  s->anchorPlaced = false;
  s->input.tables = StreamTables{};
  s->input.tablesOn = StartTables(&s->input.tables);
  if (!s->input.tablesOn) EndTables(&s->input.tables);
  return s->input.tablesOn;
}

void PlaceNotedStamps(RemuxSession* s, u64 offset) {
  const StreamTables& t = s->input.tables;
  for (; s->presentsPlaced < t.presents.size(); ++s->presentsPlaced) {
    const PresentSeen& p = t.presents[s->presentsPlaced];
    if (p.offset > offset) break;
    if (p.stampKnown) Note(s, p.offset, p.stamp);
  }
  if (s->anchorPlaced || s->program < 0) return;
  const ClockAnchor* anchor = AnchorOf(t, u16(s->program));
  if (!anchor || anchor->offset > offset) return;
  Note(s, anchor->offset, anchor->stamp);
  s->anchorPlaced = true;
}

void SetChapters(RemuxSession* s) {
  if (!s->input.tablesOn || s->program < 0 || !s->zeroKnown) return;
  std::vector<Chapter> chapters;
  FindChapters(s->input.tables, u16(s->program), ChapterClock{Placed, s}, s->zero, s->zero + s->end,
               &chapters);
  // Cut to the programme, the file is its chapter alone.
  if (s->job->trim) {
    std::vector<Chapter> programme;
    for (const Chapter& c : chapters)
      if (c.event->start == s->job->programmeStart) programme.push_back(c);
    chapters = programme;
    if (!chapters.empty()) chapters[0].at = s->zero;
  }
  if (chapters.empty()) return;
  s->out->chapters = static_cast<AVChapter**>(av_calloc(chapters.size(), sizeof(AVChapter*)));
  if (!s->out->chapters) return;
  for (size_t i = 0; i < chapters.size(); ++i) {
    AVChapter* c = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
    if (!c) break;
    s->out->chapters[s->out->nb_chapters++] = c;
    c->id = int64_t(i) + 1;
    c->time_base = AVRational{1, int(kTimelineTicks)};
    c->start = chapters[i].at - s->zero;
    c->end = i + 1 < chapters.size() ? chapters[i + 1].at - s->zero : s->end;
    const std::string& raw = chapters[i].event->title;
    char title[kBroadcastStringSize];
    DecodeBroadcastString(reinterpret_cast<const u8*>(raw.data()), u32(raw.size()), false, title, sizeof title);
    av_dict_set(&c->metadata, "title", title, 0);
  }
  s->result->chapters = s->out->nb_chapters;
}

void EndChapters(RemuxSession* s) {
  if (s->input.tablesOn) EndTables(&s->input.tables);
  s->input.tablesOn = false;
}
