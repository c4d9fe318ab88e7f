// What a probe says of a recording, from its analysis: one plain record,
// strings as broadcast (the front end decodes them).
#ifndef MELVIR_STREAM_SUMMARY_H
#define MELVIR_STREAM_SUMMARY_H

#include <string>
#include <vector>

#include "stream/analysis.h"
#include "stream/chapters.h"

enum StreamKind { kKindVideo, kKindAudio, kKindSubtitles, kKindTeletext, kKindData };
enum DurationSource { kDurationNone, kDurationPcr, kDurationPts };

struct StreamSummary {
  u16 pid;
  u8 streamType;
  StreamKind kind;
  const char* codec;     // null when not known
  char language[4];      // "" when not known
  u32 continuityErrors;
  VideoFormat video;     // of a video stream whose header was read (video.known)
  std::vector<TeletextEntry> pages;         // teletext: the pages its descriptor names
  std::vector<SubtitlingEntry> subtitling;  // DVB subtitles: the services its descriptor names
};

// A programme of the PAT whose PMT was seen: its service and its streams.
struct ProgramSummary {
  u16 program;
  bool serviceKnown;
  ServiceEntry service;
  std::vector<StreamSummary> streams;
};

struct EventSummary {
  bool known;
  u16 eventId;
  std::string title, text;
  std::vector<std::string> extended;  // the extended event texts, in order
  bool contentKnown;
  u8 content;                         // content_nibble_level_1
  char language[4];
  bool startKnown, durationKnown;
  i64 start;
  u32 duration;
};

// A chapter of the recording (stream/chapters.h): its event's title as
// broadcast, and where it begins, in seconds from the programme's first PCR.
struct ChapterSummary {
  std::string title;
  double startSeconds;
  ChapterFrom from;
};

struct ProbeSummary {
  bool transportStream;   // a packet grid was found
  const char* reason;     // why there is no program ("no PAT", ...), or null
  bool programKnown;      // the programme described: program, service, streams
  u16 program;
  // Why the stream does not run on from its start to its end, as one
  // spliced from two broadcasts does (the duration and the time then mislead), or null.
  const char* splice;
  DurationSource durationSource;
  double durationSeconds;
  u64 bitrate;            // bits per second; 0 when not known
  bool serviceKnown;
  ServiceEntry service;
  EventSummary event, following;
  std::vector<ChapterSummary> chapters;
  bool timeKnown;
  i64 firstTime, lastTime;
  bool offsetKnown;
  int localOffsetMinutes;  // as valid at firstTime
  LocalOffset localOffset; // the TOT's, for any other time (OffsetMinutesAt)
  std::vector<StreamSummary> streams;
  std::vector<ProgramSummary> others;  // the PAT's other programmes, in its order
  u64 packets, syncLosses, continuityErrors, transportErrors, unreadablePackets;
};

void SummarizeStream(const StreamAnalysis& analysis, ProbeSummary* summary);

// The kind and codec name of stream_type type with its descriptors.
void ClassifyStream(const ElementaryStream& stream, StreamKind* kind, const char** codec);

#endif
