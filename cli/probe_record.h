// One recording probed through the same reader as extract: how much was
// read, and what the stream says (report/probe_report.h writes it).
#ifndef MELVIR_CLI_PROBE_RECORD_H
#define MELVIR_CLI_PROBE_RECORD_H

#include <cstdio>
#include <string>

#include "cli/recording_reader.h"
#include "cli/recording_table.h"
#include "report/probe_report.h"

// Head (until every table, 64 MiB or 35 s of PCR) and the last 4 MiB, or
// with full the whole stream; the whole stream too when head and tail do
// not join (record->middleUnread when it cannot be read: the duration is
// then unknown, said with hint). False (said, with hint) when the recording
// cannot be read without rescue, and quietly when Ctrl-C stopped the read
// (record->stopped). A null hint: nothing is said, and damage met is not
// the run's.
bool ProbeRecording(const Recording& recording, bool full, bool rescue, const char* hint,
                    ProbeRecord* record);

// Feeds the stream's bytes [*offset, to) read through reader to the
// analysis, until enough (when given) says so after a piece; false when a
// read fails or Ctrl-C stops it (record->stopped). The bytes read and the
// damage met are counted in record.
bool FeedRecording(RecordingReader* reader, StreamAnalysis* analysis, u64* offset, u64 to,
                   bool (*enough)(const StreamAnalysis& analysis, void* context), void* context,
                   ProbeRecord* record);

#endif
