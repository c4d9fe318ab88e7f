// One recording probed: how much was read, and what the stream says,
// with its strings decoded for output.
#ifndef MELVIR_CLI_PROBE_RECORD_H
#define MELVIR_CLI_PROBE_RECORD_H

#include <cstdio>
#include <string>

#include "cli/catalog.h"
#include "stream/summary.h"

struct ProbeRecord {
  const Recording* recording;
  bool full;          // the whole stream was read
  u64 probedBytes;    // stream bytes read
  u64 streamBytes;    // the recording's stream bytes, as extract writes them
  bool damaged;       // unreadable bytes were met (read as zeros)
  ProbeSummary summary;
};

// Head (until every table, 64 MiB or 35 s of PCR) and the last 4 MiB, or
// with full the whole stream. False (said, with hint) when the recording
// cannot be read without rescue. A null hint: nothing is said, and damage
// met is not the run's.
bool ProbeRecording(const Recording& recording, bool full, bool rescue, const char* hint,
                    ProbeRecord* record);

// The members of its JSON object, without the braces, so that other
// commands can add theirs.
void WriteProbeJsonMembers(std::FILE* out, const ProbeRecord& record);
// The catalogue's member after them: , "thumbnail": path (null when none).
void WriteProbeJsonThumbnail(std::FILE* out, const char* path);
// Its text block.
void WriteProbeText(std::FILE* out, const ProbeRecord& record);

// A duration as hours and minutes: "0h45", "1h05" (to the nearest minute).
void FormatHoursMinutes(u32 seconds, char out[16]);

// The first broadcast time in local time where the TOT gives the offset,
// else UTC (summary.timeKnown).
i64 LocalFirstTime(const ProbeSummary& summary);

// A broadcast string decoded into UTF-8 (text: its line breaks kept).
void DecodeStreamString(const std::string& raw, bool text, char* out, u32 size);
std::string DecodedStreamString(const std::string& raw);

#endif
