// Cues of a text subtitle track as SubRip packets on the file's timeline.
#include "remux/text_track.h"

#include <cstring>

extern "C" {
#include <libavcodec/packet.h>
}

#include "remux/session.h"

namespace {

const size_t kEarlyCuesMax = 256;

}  // namespace

i64 TextTime(RemuxSession* s, u64 pts) { return MapStamp(&s->timeline, pts, false, false); }

void PutEarlyCues(RemuxSession* s) {
  std::vector<std::pair<u32, TextCue>> held;
  held.swap(s->earlyCues);
  for (const auto& cue : held) PutTextCues(s, cue.first, &cue.second, 1);
}

bool PutTextCues(RemuxSession* s, u32 track, const TextCue* cues, u32 count) {
  const TeletextFeed& text = s->job->text;
  u32 t = s->textTracksFrom + track;
  if (track >= s->job->textTracks.size() || (!text.aside && t >= s->tracks.size()) || s->failed)
    return false;
  for (u32 i = 0; i < count; ++i) {
    const TextCue& cue = cues[i];
    if (!s->zeroKnown) {  // put once the start is known, if it is before the cue's end
      if (s->earlyCues.size() < kEarlyCuesMax) s->earlyCues.push_back({track, cue});
      else ++s->result->dropped;
      continue;
    }
    // Ending before the start: not in the file.
    i64 start = cue.start - s->zero, end = cue.end - s->zero;
    if (end <= 0 || end <= start || cue.text.empty()) {
      ++s->result->dropped;
      continue;
    }
    if (start < 0) start = 0;
    // Cut to the programme: none that begins after its end.
    if (s->job->trim && s->videoDone && start >= s->videoEnd) {
      ++s->result->dropped;
      continue;
    }
    if (text.aside) {
      text.aside(text.context, track, start, end, cue.text);
      continue;
    }
    TrackState& ts = s->tracks[t];
    if (ts.written && start < ts.lastDts) start = ts.lastDts;
    AVPacket* p = av_packet_alloc();
    if (!p || av_new_packet(p, int(cue.text.size())) < 0) {
      av_packet_free(&p);
      ++s->result->dropped;
      continue;
    }
    std::memcpy(p->data, cue.text.data(), cue.text.size());
    p->pts = p->dts = start;
    p->duration = end - start;
    p->flags |= AV_PKT_FLAG_KEY;
    ts.lastDts = start;
    ts.written = true;
    if (s->job->trim) HoldPacket(s, t, p);
    else if (!WriteTrackPacket(s, t, p)) return false;
  }
  return true;
}
