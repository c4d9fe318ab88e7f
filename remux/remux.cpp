// The remux: demux, decide each packet's fate, put it on the timeline, mux.
#include "remux/remux.h"

#include <cstdarg>
#include <cstdio>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include "remux/session.h"

namespace {

const size_t kEarlyMax = 4096;  // packets held before the start is known
const AVRational kTicks = {1, int(kTimelineTicks)};

void Reason(RemuxResult* r, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(r->reason, sizeof r->reason, format, args);
  va_end(args);
}

void Drop(RemuxSession* s, AVPacket** p, bool damaged = false) {
  ++s->result->dropped;
  if (damaged) ++s->result->damaged;
  av_packet_free(p);
}

// On the file's timeline: from the start on, video from a key frame on
// where it must wait for one, each track's decoding times never going back.
void Emit(RemuxSession* s, u32 t, AVPacket* p) {
  TrackState& track = s->tracks[t];
  if (track.needKey && !(p->flags & AV_PKT_FLAG_KEY)) return Drop(s, &p, track.written);
  track.needKey = false;
  i64 pts = p->pts - s->zero, dts = p->dts - s->zero;
  if (pts < 0) return Drop(s, &p);  // before the start (an open GOP's leading frames)
  if (dts < 0) dts = 0;
  if (track.written && dts < track.lastDts) {
    if (track.lastDts > pts) return Drop(s, &p);
    dts = track.lastDts;
  }
  track.lastDts = dts;
  track.written = true;
  p->pts = pts;
  p->dts = dts;
  if (s->job->trim) HoldPacket(s, t, p);
  else WriteTrackPacket(s, t, p);
}

// A packet whose bytes are whole: held until the start is known (the
// leading video's first key frame; without video, the first packet).
void Place(RemuxSession* s, u32 t, AVPacket* p) {
  if (BeforeCut(*s, t, p)) return Drop(s, &p);
  if (s->zeroKnown) return Emit(s, t, p);
  bool leads = s->leader < 0 || int(t) == s->leader;
  if (!leads) {
    p->stream_index = int(t);
    s->early.push_back(p);
    if (s->early.size() > kEarlyMax) {
      Drop(s, &s->early.front());
      s->early.pop_front();
    }
    return;
  }
  if (s->leader >= 0 && !(p->flags & AV_PKT_FLAG_KEY)) return Drop(s, &p);
  s->zeroKnown = true;
  s->zero = p->pts;
  Emit(s, t, p);
  while (!s->early.empty() && !s->failed) {
    AVPacket* e = s->early.front();
    s->early.pop_front();
    Emit(s, u32(e->stream_index), e);
  }
  PutEarlyCues(s);
}

// The packets of track t waiting for their PES's end, which is end: those
// marked corrupt or over bytes that could not be read are dropped (and a
// video waits for its next key frame), the others placed.
void Settle(RemuxSession* s, u32 t, u64 end) {
  TrackState& track = s->tracks[t];
  const RemuxJob& job = *s->job;
  for (AVPacket* p : track.waiting) {
    bool unread = job.unreadable && p->pos >= 0 && u64(p->pos) < end &&
                  job.unreadable(job.unreadableContext, u64(p->pos), end);
    if (unread || (p->flags & AV_PKT_FLAG_CORRUPT)) {
      if (track.plan.role == kRoleVideo) track.needKey = true;
      Drop(s, &p, true);
    } else if (s->failed) {
      av_packet_free(&p);
    } else {
      Place(s, t, p);
    }
  }
  track.waiting.clear();
}

// A demuxed packet of track t: its stamps mapped onto the timeline, and
// held until the next PES of its stream shows where its bytes end.
void Take(RemuxSession* s, u32 t, AVPacket* pkt) {
  TrackState& track = s->tracks[t];
  if (pkt->dts == AV_NOPTS_VALUE && pkt->pts == AV_NOPTS_VALUE) {
    ++s->result->dropped;
    return av_packet_unref(pkt);
  }
  u64 rawDts = u64(pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts) & (kStampWrap - 1);
  u64 rawPts = u64(pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts) & (kStampWrap - 1);
  bool clock = track.plan.role == kRoleVideo || track.plan.role == kRoleAudio;
  ForgetMarks(&s->input, pkt->pos >= 0 ? u64(pkt->pos) : s->input.read);
  u32 jumps = s->timeline.jumps;
  i64 dts = MapStamp(&s->timeline, rawDts, clock, MarkPending(s->input));
  if (s->timeline.jumps != jumps) TakeMarks(&s->input);
  PlaceNotedStamps(s, pkt->pos >= 0 ? u64(pkt->pos) : s->input.read);
  pkt->dts = dts;
  pkt->pts = dts + (UnwrapStamp(i64(rawDts), rawPts) - i64(rawDts));
  if (!track.waiting.empty() && (pkt->pos < 0 || track.waiting.back()->pos != pkt->pos))
    Settle(s, t, pkt->pos >= 0 ? u64(pkt->pos) : s->input.read);
  AVPacket* held = av_packet_alloc();
  if (!held) {
    ++s->result->dropped;
    return av_packet_unref(pkt);
  }
  av_packet_move_ref(held, pkt);
  track.waiting.push_back(held);
}

bool OpenDemuxer(RemuxSession* s, AVIOContext* io) {
  s->in = avformat_alloc_context();
  if (!s->in) return false;
  s->in->pb = io;
  s->in->flags |= AVFMT_FLAG_CUSTOM_IO;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "skip_estimate_duration_from_pts", "1", 0);
  int opened = avformat_open_input(&s->in, nullptr, av_find_input_format("mpegts"), &options);
  av_dict_free(&options);
  if (opened < 0) {
    s->in = nullptr;  // freed on failure
    return false;
  }
  return avformat_find_stream_info(s->in, nullptr) >= 0;
}

// The file's tracks and header: the programme's streams, then the text tracks.
bool OpenMuxer(RemuxSession* s, AVIOContext* io) {
  const RemuxJob& job = *s->job;
  if (avformat_alloc_output_context2(&s->out, nullptr, "matroska", nullptr) < 0) return false;
  s->out->pb = io;
  s->out->flags |= AVFMT_FLAG_CUSTOM_IO;
  // The stamps are made non-negative here, each track's own way.
  s->out->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
  // The muxer holds the other tracks' packets while a sparse track has none,
  // this long at most: longer than a text cue is held before it is put.
  if (!job.textTracks.empty() && !job.text.aside)
    s->out->max_interleave_delta = int64_t(kTextCueHoldSeconds + 5) * AV_TIME_BASE;
  for (TrackState& t : s->tracks) {
    t.out = avformat_new_stream(s->out, nullptr);
    if (!t.out) return false;
    if (t.plan.input >= 0) {
      if (avcodec_parameters_copy(t.out->codecpar, s->in->streams[t.plan.input]->codecpar) < 0)
        return false;
    } else {
      t.out->codecpar->codec_type = AVMEDIA_TYPE_SUBTITLE;
      t.out->codecpar->codec_id = AV_CODEC_ID_SUBRIP;
    }
    t.out->codecpar->codec_tag = 0;  // the transport stream's tags mean nothing here
    t.out->time_base = kTicks;
    t.out->disposition = t.plan.outFlags;
    if (t.plan.language[0]) av_dict_set(&t.out->metadata, "language", t.plan.language, 0);
    if (t.plan.title) av_dict_set(&t.out->metadata, "title", t.plan.title, 0);
  }
  if (!job.title.empty()) av_dict_set(&s->out->metadata, "title", job.title.c_str(), 0);
  for (const RemuxTag& tag : job.tags) av_dict_set(&s->out->metadata, tag.name.c_str(), tag.value.c_str(), 0);
  AVDictionary* options = nullptr;
  av_dict_set(&options, "default_mode", "passthrough", 0);  // the flags are set above, exactly
  // CRC-32 elements are optional and cost more than all the rest of the muxing.
  av_dict_set(&options, "write_crc32", "0", 0);
  int written = avformat_write_header(s->out, &options);
  av_dict_free(&options);
  return written >= 0;
}

// The tracks: the programme's streams, then the text tracks the job names.
bool PlanSession(RemuxSession* s) {
  const RemuxJob& job = *s->job;
  std::vector<TrackPlan> plans;
  std::vector<int> teletext;
  int program;
  PlanTracks(s->in, job.program, &plans, &teletext, &s->result->leftOut, &program);
  s->program = program;
  if (!job.text.feed) s->result->leftOut += u32(teletext.size());
  s->trackOf.assign(s->in->nb_streams, -1);
  s->teletextPid.assign(s->in->nb_streams, -1);
  s->leader = -1;
  for (const TrackPlan& p : plans) {
    if (p.role == kRoleVideo && s->leader < 0) s->leader = int(s->tracks.size());
    s->trackOf[p.input] = int(s->tracks.size());
    s->tracks.push_back(TrackState{p, nullptr, {}, 0, false, p.role == kRoleVideo});
  }
  s->textTracksFrom = u32(s->tracks.size());
  for (const TextTrackPlan& text : job.textTracks) {
    if (job.text.aside) break;  // written beside the file
    TrackPlan p = {-1, kRoleText, 0, text.hearingImpaired ? AV_DISPOSITION_HEARING_IMPAIRED : 0, "", nullptr};
    for (u32 i = 0; i < 4; ++i) p.language[i] = text.language[i];
    p.title = text.title.empty() ? nullptr : text.title.c_str();
    s->tracks.push_back(TrackState{p, nullptr, {}, 0, false, false});
  }
  if (job.text.feed)
    for (int index : teletext) s->teletextPid[index] = s->in->streams[index]->id;
  for (unsigned i = 0; i < s->in->nb_streams; ++i)
    if (s->trackOf[i] < 0 && s->teletextPid[i] < 0) s->in->streams[i]->discard = AVDISCARD_ALL;
  s->result->tracks = u32(s->tracks.size());
  if (s->textTracksFrom > 0) return true;
  if (program < 0) Reason(s->result, "no programme in the stream");
  else Reason(s->result, "programme %d has no stream a Matroska file can hold", program);
  s->result->refused = true;
  return false;
}

// Demuxes to the end (or the muxer's refusal), then settles what waits.
void Demux(RemuxSession* s) {
  const RemuxJob& job = *s->job;
  AVPacket* pkt = av_packet_alloc();
  while (pkt && !s->failed && !(job.trim && ProgrammeOver(*s)) && av_read_frame(s->in, pkt) >= 0) {
    int index = pkt->stream_index;
    // A stream the demuxer found after the plan is none of the file's.
    if (index < 0 || size_t(index) >= s->trackOf.size()) {
      av_packet_unref(pkt);
      continue;
    }
    if (s->teletextPid[index] >= 0) {
      u64 pts = pkt->pts == AV_NOPTS_VALUE ? ~0ull : u64(pkt->pts) & (kStampWrap - 1);
      job.text.feed(job.text.context, s, u16(s->teletextPid[index]), pkt->data, u32(pkt->size), pts);
    } else if (s->trackOf[index] >= 0) {
      // Once the video's stamp is on the timeline.
      bool advance = s->trackOf[index] == s->leader && job.text.advance && pkt->dts != AV_NOPTS_VALUE;
      u64 dts = u64(pkt->dts) & (kStampWrap - 1);
      Take(s, u32(s->trackOf[index]), pkt);
      if (advance && !s->failed) job.text.advance(job.text.context, s, dts);
    }
    av_packet_unref(pkt);
  }
  av_packet_free(&pkt);
  for (u32 t = 0; t < s->tracks.size(); ++t) Settle(s, t, s->input.read);
  if (job.text.finish && !s->failed) job.text.finish(job.text.context, s);
  if (job.trim) ReleaseHeld(s, true);
}

void ResetSession(RemuxSession* s) {
  s->tracks.clear();
  s->trackOf.clear();
  s->teletextPid.clear();
  s->early.clear();
  s->earlyCues.clear();
  s->in = s->out = nullptr;
  s->textTracksFrom = 0;
  s->leader = -1;
  s->timeline = Timeline{};
  s->zeroKnown = false;
  s->zero = s->end = 0;
  s->failed = false;
  s->ring.running = false;
  s->ring.ready = s->ring.space = s->ring.done = nullptr;
  s->program = -1;
  s->held.clear();
  s->endKnown = s->videoDone = false;
  s->endAt = s->videoEnd = 0;
}

void Close(RemuxSession* s, AVIOContext** inIo, AVIOContext** outIo) {
  for (TrackState& t : s->tracks)
    for (AVPacket* p : t.waiting) av_packet_free(&p);
  for (AVPacket* p : s->early) av_packet_free(&p);
  s->early.clear();
  DropHeld(s);
  if (s->in) avformat_close_input(&s->in);
  if (s->out) avformat_free_context(s->out);
  s->out = nullptr;
  CloseIo(inIo);
  CloseIo(outIo);
  EndChapters(s);
}

}  // namespace

bool WriteTrackPacket(RemuxSession* s, u32 t, AVPacket* p) {
  p->stream_index = int(t);
  p->pos = -1;
  p->flags &= ~AV_PKT_FLAG_CORRUPT;
  if (p->pts + p->duration > s->end) s->end = p->pts + p->duration;
  av_packet_rescale_ts(p, kTicks, s->tracks[t].out->time_base);
  QueuePacket(s, p);
  return !s->failed;
}

bool RemuxToMatroska(const RemuxJob& job, RemuxResult* result) {
  av_log_set_level(AV_LOG_QUIET);
  *result = RemuxResult{};
  static RemuxSession s;
  ResetSession(&s);
  s.job = &job;
  s.result = result;
  s.output.write = job.write;
  s.output.context = job.writeContext;
  StartChapters(&s);  // without them, the file has no chapters
  AVIOContext* inIo = OpenInput(&s.input, job.source);
  AVIOContext* outIo = OpenOutput(&s.output);
  bool ok = false;
  if (!inIo || !outIo) {
    Reason(result, "not enough memory");
  } else if (!OpenDemuxer(&s, inIo)) {
    if (!s.input.failed) Reason(result, "libavformat does not read it as a transport stream");
    result->refused = !s.input.failed;
  } else if (!PlanSession(&s)) {
    // said
  } else if (!OpenMuxer(&s, outIo)) {
    Reason(result, "the Matroska muxer refused the tracks");
  } else {
    StartMuxing(&s);
    Demux(&s);
    EndMuxing(&s);
    if (!s.zeroKnown && !s.failed && !s.input.failed)
      Reason(result, s.leader >= 0 ? "no whole video key frame in the recording" : "no whole packet in the recording");
    bool started = s.zeroKnown;
    if (started && !s.failed) SetChapters(&s);
    int ended = av_write_trailer(s.out);
    ok = started && ended >= 0 && !s.failed && !s.input.failed && !s.output.failed;
    if (ended < 0 && !s.failed && !s.output.failed) Reason(result, "the Matroska muxer could not end the file");
  }
  result->readFailed = s.input.failed;
  result->writeFailed = s.output.failed;
  result->error = s.output.error;
  if (s.output.failed) Reason(result, "a write failed");
  result->joins = s.timeline.joins;
  result->bytes = s.output.end;
  result->seconds = double(s.end) / kTimelineTicks;
  Close(&s, &inIo, &outIo);
  return ok;
}
