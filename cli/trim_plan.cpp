// The cut's start looked for in the stream, read from its beginning.
#include "cli/trim_plan.h"

#include "cli/cli_port.h"
#include "cli/probe_record.h"

namespace {

StreamAnalysis g_analysis;
ProgrammeCut g_cut;

bool Found(const StreamAnalysis& a, void*) {
  u64 offset;
  return FindCutStart(g_cut, a.tables, false, &offset) != kCutOpen;
}

}  // namespace

bool PlanTrim(const Recording& r, bool rescue, const ProbeSummary& s, TrimPlan* plan) {
  *plan = TrimPlan{};
  plan->found = kCutNotFound;
  if (!s.programKnown || !s.event.known) return true;
  plan->programme = true;
  plan->service = s.program;
  plan->eventId = s.event.eventId;
  plan->startKnown = s.event.startKnown;
  plan->start = s.event.start;
  static RecordingReader reader;
  OpenRecordingReader(r, rescue, &reader);
  static ProbeRecord record;
  record = ProbeRecord{};
  if (!StartAnalysis(&g_analysis)) {
    EndAnalysis(&g_analysis);
    return true;
  }
  StartCut(&g_cut, plan->service, plan->eventId, plan->startKnown, plan->start, ~0ull);
  g_analysis.cut = &g_cut;
  u64 offset = 0;
  bool read = FeedRecording(&reader, &g_analysis, &offset, reader.length, Found, nullptr, &record);
  if (read || !record.stopped) plan->found = FindCutStart(g_cut, g_analysis.tables, true, &plan->from);
  EndAnalysis(&g_analysis);
  return !record.stopped;
}

void SayTrimPlan(const char* path, const TrimPlan& plan) {
  if (!plan.programme)
    Say("%s: the stream names no programme (no EIT event), so all of the recording is written", path);
  else if (plan.found == kCutNotFound)
    Say("%s: the stream tells neither when the programme began nor the time, so it is written from "
        "the recording's start", path);
}
