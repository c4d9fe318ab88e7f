// The programme of a recording and where its cut begins (extract --trim):
// the programme as probe chooses it, and its first chapter boundary, found
// by reading the stream from its start until it tells it (the recorder's
// padding before the programme, and a second past the boundary).
#ifndef MELVIR_CLI_TRIM_PLAN_H
#define MELVIR_CLI_TRIM_PLAN_H

#include "cli/recording_table.h"
#include "stream/programme_cut.h"
#include "stream/summary.h"

struct TrimPlan {
  bool programme;       // known; else the whole recording is written
  u16 service, eventId;
  bool startKnown;
  i64 start;            // the programme's start time
  u64 from;             // the packet the cut begins at (0: the recording's start)
  CutStart found;
};

// Plans the cut from a probe's summary of the recording. False when Ctrl-C
// stopped the read; a read that fails leaves the cut at the recording's
// start (the copy's own read says why).
bool PlanTrim(const Recording& recording, bool rescue, const ProbeSummary& summary, TrimPlan* plan);

// Says why the cut does not begin at the programme's own start: no
// programme (the whole recording is written) or none found in the stream.
void SayTrimPlan(const char* path, const TrimPlan& plan);

#endif
