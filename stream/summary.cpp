// The probe's record made from an analysis.
#include "stream/summary.h"

#include <cstdint>
#include <cstring>

#include "stream/chapters.h"

namespace {

u64 PacketsOf(const StreamAnalysis& a, u16 pid) { return pid < kPidCount ? a.pids[pid].packets : 0; }

// The PAT program whose PMT and elementary streams carry packets; of
// several, the one with the most.
const ProgramTable* ChooseProgram(const StreamAnalysis& a) {
  const ProgramTable* best = nullptr;
  u64 most = 0;
  for (const ProgramTable& p : a.tables.programs) {
    if (!PacketsOf(a, p.pmtPid)) continue;
    u64 packets = 0;
    for (const ElementaryStream& s : p.streams) packets += PacketsOf(a, s.pid);
    if (packets == 0 || (best && packets <= most)) continue;
    best = &p;
    most = packets;
  }
  return best;
}

// The clock of pid, or among all when pid has none, the one covering most.
const Clock* ClockFor(const std::vector<PidClock>& clocks, const u16* pid) {
  const Clock* best = nullptr;
  for (const PidClock& c : clocks) {
    if (pid && c.pid != *pid) continue;
    if (!best || c.clock.ticks > best->ticks) best = &c.clock;
  }
  return best;
}

// The duration and bit rate from the clock that tells them, which is returned.
const Clock* Duration(const StreamAnalysis& a, const ProgramTable* program, ProbeSummary* s) {
  const u16* pcrPid = program ? &program->pcrPid : nullptr;
  const Clock* clock = ClockFor(a.pcr, pcrPid);
  s->durationSource = kDurationPcr;
  if (!clock || clock->ticks == 0) {
    // Without PCR, the PTS of the program's streams (or of any).
    clock = nullptr;
    s->durationSource = kDurationPts;
    for (const PidClock& c : a.pts) {
      bool ours = !program;
      for (size_t i = 0; program && i < program->streams.size(); ++i)
        ours = ours || program->streams[i].pid == c.pid;
      if (ours && (!clock || c.clock.ticks > clock->ticks)) clock = &c.clock;
    }
  }
  if (!clock || clock->ticks == 0) {
    s->durationSource = kDurationNone;
    return nullptr;
  }
  s->durationSeconds = double(clock->ticks) / double(kTicksPerSecond);
  s->bitrate = u64(double(clock->bytes) * 8.0 / s->durationSeconds + 0.5);
  return clock;
}

void Copy(const EventEntry& e, EventSummary* out) {
  out->known = true;
  out->eventId = e.eventId;
  out->title = e.title;
  out->text = e.text;
  out->extended = e.extended;
  out->contentKnown = e.contentKnown;
  out->content = e.content;
  std::memcpy(out->language, e.language, sizeof out->language);
  out->startKnown = e.startKnown;
  out->durationKnown = e.durationKnown;
  out->start = e.start;
  out->duration = e.duration;
}

// The programme and the event after it.
void ChooseEvents(const StreamAnalysis& a, u16 service, ProbeSummary* s) {
  const EventEntry* best = ChooseProgramme(a.tables, service);
  if (!best) return;
  Copy(*best, &s->event);
  if (!best->startKnown) return;
  const EventEntry* next = nullptr;
  for (const EventEntry& e : a.tables.events)
    if (e.serviceId == service && e.startKnown && e.start > best->start &&
        (!next || e.start < next->start))
      next = &e;
  if (next) Copy(*next, &s->following);
}

// A stamp as seconds from the start of the clock given (90 kHz), in
// either direction across the wrap.
bool FromStart(void* context, u64 stamp, u64, i64* at) {
  const u64 wrap = u64(1) << 33;
  u64 ahead = (stamp - *static_cast<const u64*>(context)) & (wrap - 1);
  *at = ahead >= wrap / 2 ? i64(ahead) - i64(wrap) : i64(ahead);
  return true;
}

// The chapters, from the start of the programme's PCR.
void ListChapters(const StreamAnalysis& a, const ProgramTable& program, const Clock* clock,
                  ProbeSummary* s) {
  if (!clock) return;
  u64 first = clock->first / 300;
  ChapterClock place = {FromStart, &first};
  i64 end = s->durationSeconds > 0 ? i64(s->durationSeconds * kStampTicks) : INT64_MAX;
  std::vector<Chapter> chapters;
  FindChapters(a.tables, program.number, place, 0, end, &chapters);
  for (const Chapter& c : chapters)
    s->chapters.push_back(ChapterSummary{c.event->title, double(c.at) / kStampTicks, c.from});
}

}  // namespace

void ClassifyStream(const ElementaryStream& e, StreamKind* kind, const char** codec) {
  *kind = kKindData;
  *codec = nullptr;
  static const char* const kVideoCodecs[] = {nullptr, "MPEG-1/2 video", "H.264", "HEVC"};
  if (VideoCodingOf(e.streamType) != kVideoOther) {
    *kind = kKindVideo;
    *codec = kVideoCodecs[VideoCodingOf(e.streamType)];
    return;
  }
  switch (e.streamType) {
    case 0x03: case 0x04: *kind = kKindAudio; *codec = "MPEG audio"; return;
    case 0x0F: *kind = kKindAudio; *codec = "AAC"; return;
    case 0x11: *kind = kKindAudio; *codec = "HE-AAC (LATM)"; return;
    // ATSC's stream types for Dolby audio, which ffmpeg writes too.
    case 0x81: *kind = kKindAudio; *codec = "AC-3"; return;
    case 0x87: *kind = kKindAudio; *codec = "E-AC-3"; return;
    case 0x06:
      if (e.ac3) *kind = kKindAudio, *codec = "AC-3";
      else if (e.eac3) *kind = kKindAudio, *codec = "E-AC-3";
      else if (e.teletext) *kind = kKindTeletext, *codec = "teletext";
      else if (e.subtitles) *kind = kKindSubtitles, *codec = "subtitles";
      return;
    default: return;
  }
}

namespace {

void DescribeProgram(const StreamAnalysis& a, const ProgramTable& program, ProgramSummary* out) {
  out->program = program.number;
  for (const ElementaryStream& e : program.streams) {
    StreamSummary st = {};
    st.pid = e.pid;
    st.streamType = e.streamType;
    ClassifyStream(e, &st.kind, &st.codec);
    std::memcpy(st.language, e.language, sizeof st.language);
    st.continuityErrors = a.pids[e.pid].continuityErrors;
    if (const VideoFormat* f = VideoFormatOf(a, e.pid)) st.video = *f;
    st.pages = e.pages;
    st.subtitling = e.subtitling;
    out->streams.push_back(st);
  }
  for (const ServiceEntry& e : a.tables.services) {
    if (e.serviceId != program.number) continue;
    out->serviceKnown = true;
    out->service = e;
  }
}

}  // namespace

void SummarizeStream(const StreamAnalysis& a, ProbeSummary* s) {
  *s = ProbeSummary{};
  s->transportStream = a.everInSync;
  s->packets = a.packets;
  s->syncLosses = a.syncLosses + (SyncLossOpen(a) ? 1 : 0);
  s->continuityErrors = a.continuityErrors;
  s->transportErrors = a.transportErrors;
  s->unreadablePackets = a.unreadablePackets;
  if (!s->transportStream) {
    s->reason = "no transport-stream packets";
    return;
  }
  const StreamTables& t = a.tables;
  s->timeKnown = t.timeKnown;
  s->firstTime = t.firstTime;
  s->lastTime = t.lastTime;
  if (t.offset.known) {
    s->offsetKnown = true;
    s->localOffset = t.offset;
    s->localOffsetMinutes = t.timeKnown ? OffsetMinutesAt(t.offset, t.firstTime) : t.offset.minutes;
  }
  const ProgramTable* program = ChooseProgram(a);
  if (!t.patSeen) s->reason = "no PAT";
  else if (!program) s->reason = "no program of the PAT carries packets";
  const Clock* clock = Duration(a, program, s);
  if (t.timeKnown && t.lastTime < t.firstTime) s->splice = "the broadcast time runs backwards";
  else if (clock && !ClockRunsOn(*clock)) s->splice = "the clock does not run on across the bytes not read";
  if (!program) return;
  s->programKnown = true;
  ProgramSummary chosen = {};
  DescribeProgram(a, *program, &chosen);
  s->program = chosen.program;
  s->serviceKnown = chosen.serviceKnown;
  s->service = chosen.service;
  s->streams = chosen.streams;
  for (const ProgramTable& p : t.programs) {
    if (&p == program || !p.known) continue;
    s->others.push_back(ProgramSummary{});
    DescribeProgram(a, p, &s->others.back());
  }
  ChooseEvents(a, program->number, s);
  if (s->durationSource == kDurationPcr) ListChapters(a, *program, clock, s);
}
