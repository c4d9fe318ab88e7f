// A recording's card on the catalogue page, from what the probe read.
#include "report/probe_report.h"

namespace {

void AddCount(u64 n, const char* one, const char* many, std::string* out) {
  if (!n) return;
  if (!out->empty()) *out += ", ";
  *out += std::to_string(n) + " " + (n == 1 ? one : many);
}

void Health(const ProbeRecord& record, CatalogueCard* c) {
  const ProbeSummary& s = record.summary;
  AddCount(s.unreadablePackets, "unreadable packet", "unreadable packets", &c->health);
  AddCount(s.syncLosses, "sync loss", "sync losses", &c->health);
  AddCount(s.continuityErrors, "continuity error", "continuity errors", &c->health);
  AddCount(s.transportErrors, "transport error", "transport errors", &c->health);
  c->damaged = !c->health.empty() || record.damaged;
  if (c->health.empty()) c->health = record.damaged ? "unreadable bytes" : "no errors";
  // Without --full the counts are of the start and the end alone.
  if (!record.full) c->health += " (start and end read)";
}

}  // namespace

bool HasVideo(const ProbeSummary& s) {
  for (const StreamSummary& st : s.streams)
    if (st.kind == kKindVideo) return true;
  return false;
}

void CardOfProbe(const ProbeRecord& record, CatalogueCard* c) {
  const ProbeSummary& s = record.summary;
  *c = CatalogueCard{};
  c->index = record.index;
  c->name = record.decoded;
  c->sizeBytes = record.streamBytes;
  c->durationS = -1;
  if (!s.transportStream) {
    c->health = std::string("not a transport stream (") + (s.reason ? s.reason : "no packets") + ")";
    c->damaged = true;
    return;
  }
  if (s.serviceKnown) c->service = DecodedStreamString(s.service.name);
  if (s.event.known) c->title = DecodedStreamString(s.event.title);
  if (s.timeKnown) {
    char iso[21];
    FormatIsoUtc(LocalFirstTime(s), iso);
    c->date.assign(iso, 10);
    c->time.assign(iso + 11, 5);
  }
  for (const StreamSummary& st : s.streams) {
    if (st.kind != kKindVideo || !st.video.known) continue;
    char video[64];
    FormatVideo(st.video, video);
    c->video = video;
    break;
  }
  if (s.durationSource != kDurationNone) c->durationS = s.durationSeconds;
  Health(record, c);
}
