// What `melvir probe` and `melvir catalog` write of a probed recording: its
// JSON members, its text block and its catalogue card, from one plain record.
#ifndef MELVIR_REPORT_PROBE_REPORT_H
#define MELVIR_REPORT_PROBE_REPORT_H

#include <cstdio>
#include <string>

#include "report/catalogue_page.h"
#include "stream/summary.h"

struct ProbeRecord {
  u32 index;            // the recording's number in the listing
  const char* name;     // its name as list --json gives it
  const char* decoded;  // its decoded name
  bool full;            // the whole stream was read
  u64 probedBytes;      // stream bytes read
  u64 streamBytes;      // the recording's stream bytes, as extract writes them
  bool damaged;         // unreadable bytes were met (read as zeros)
  bool middleUnread;    // head and tail do not join, and the rest could not be read (said)
  bool stopped;         // Ctrl-C stopped the read
  ProbeSummary summary;
};

// The members of its JSON object, without the braces, so that other
// commands can add theirs.
void WriteProbeJsonMembers(std::FILE* out, const ProbeRecord& record);
// The catalogue's member after them: , "thumbnail": path (null when none).
void WriteProbeJsonThumbnail(std::FILE* out, const char* path);
// Its text block.
void WriteProbeText(std::FILE* out, const ProbeRecord& record);
// Everything of its catalogue card but the picture.
void CardOfProbe(const ProbeRecord& record, CatalogueCard* card);
// The stream holds a video stream.
bool HasVideo(const ProbeSummary& summary);

// A video stream's format as one line shows it: "720x576, 25 fps, 16:9"
// (what is not known left out); "" when none is.
void FormatVideo(const VideoFormat& format, char out[64]);
// Its display aspect ratio: "16:9", "2.21:1"; "" when not known.
void FormatAspect(const VideoFormat& format, char out[24]);

// A duration as hours and minutes: "0h45", "1h05" (to the nearest minute).
void FormatHoursMinutes(u32 seconds, char out[16]);

// The first broadcast time in local time where the TOT gives the offset,
// else UTC (summary.timeKnown).
i64 LocalFirstTime(const ProbeSummary& summary);

// A broadcast string decoded into UTF-8 (text: its line breaks kept).
void DecodeStreamString(const std::string& raw, bool text, char* out, u32 size);
std::string DecodedStreamString(const std::string& raw);

#endif
