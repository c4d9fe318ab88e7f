// The stream's placeholders of --name-format, from the probe.
#include "text/charset.h"
#include "cli/file_names.h"
#include "cli/probe_record.h"

namespace {

// "2009-05-03" and "22.44" of seconds.
void DateAndTime(i64 seconds, std::string* date, std::string* time) {
  char iso[21];
  FormatIsoUtc(seconds, iso);
  *date = std::string(iso, 10);
  *time = std::string(iso + 11, 2) + "." + std::string(iso + 14, 2);
}

}  // namespace

bool StreamPlaceholdersBuilt() { return true; }

void StreamNameValues(const Recording& r, bool rescue, NameValues* v) {
  static ProbeRecord record;
  if (!ProbeRecording(r, false, rescue, nullptr, &record) || !record.summary.transportStream) return;
  const ProbeSummary& s = record.summary;
  if (s.serviceKnown) v->service = DecodedStreamString(s.service.name);
  if (s.event.known) v->title = DecodedStreamString(s.event.title);
  if (s.timeKnown) {
    DateAndTime(s.firstTime, &v->dateUtc, &v->timeUtc);
    DateAndTime(LocalFirstTime(s), &v->date, &v->time);
  }
  if (s.durationSource != kDurationNone) {
    char length[16];
    FormatHoursMinutes(u32(s.durationSeconds), length);
    v->duration = length;
  }
}
