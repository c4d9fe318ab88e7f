// The recording as a Matroska file describes it: its programme, title and
// tags from the stream's own tables, and the tag naming its source.
#include "cli/matroska_source.h"

#include "cli/copy.h"
#include "cli/existing_output.h"
#include "cli/probe_record.h"
#include "cli/recording_reader.h"
#include "disk/recorder_disk.h"
#include "remux/source_tag.h"
#include "stream/chapters.h"
#include "stream/dvb_time.h"

namespace {

RecordingReader g_reader;
u8 g_first[kBlockBytes], g_last[kBlockBytes];

// Up to a block of the stream at offset, read as the copy reads it.
bool ReadPiece(u64 offset, u8* buffer, u32* got) {
  std::vector<StreamHole> holes;
  return ReadStreamAt(&g_reader, offset, buffer, kBlockBytes, got, &holes);
}

// The programme's title, its synopsis, the channel and the programme's
// start, as probe reads them.
void Describe(const ProbeSummary& s, RemuxJob* job) {
  if (s.event.known && !s.event.title.empty()) job->title = DecodedStreamString(s.event.title);
  // The short event text, then the extended one (its pieces each in their
  // own character table).
  std::string description;
  char text[kBroadcastStringSize];
  if (s.event.known && !s.event.text.empty()) {
    DecodeStreamString(s.event.text, true, text, sizeof text);
    description = text;
  }
  if (s.event.known && !s.event.extended.empty() && !description.empty()) description += "\n";
  for (const std::string& piece : s.event.extended) {
    DecodeStreamString(piece, true, text, sizeof text);
    description += text;
  }
  if (!description.empty()) job->tags.push_back(RemuxTag{"DESCRIPTION", description});
  if (s.event.known && s.event.contentKnown && GenreName(s.event.content))
    job->tags.push_back(RemuxTag{"GENRE", GenreName(s.event.content)});
  if (s.serviceKnown && !s.service.name.empty())
    job->tags.push_back(RemuxTag{"SERVICE_NAME", DecodedStreamString(s.service.name)});
  if (s.event.known && s.event.startKnown) {
    char iso[21];  // 2009-05-03T20:36:40Z
    FormatIsoUtc(s.event.start, iso);
    iso[10] = ' ';
    iso[19] = 0;
    job->tags.push_back(RemuxTag{"DATE_RECORDED", iso});
  }
}

}  // namespace

bool MatroskaAvailable() { return true; }

bool SourceTagOf(const Recording& r, bool rescue, bool trim, std::string* tag) {
  OpenRecordingReader(r, rescue, &g_reader);
  u64 bytes = g_reader.length;
  u64 lastAt = bytes > kBlockBytes ? bytes - kBlockBytes : 0;
  u32 first = 0, last = 0;
  if (!ReadPiece(0, g_first, &first) || !ReadPiece(lastAt, g_last, &last)) return false;
  SourceFacts f = {g_disk.headerSector, g_disk.sectorsPerCluster, g_disk.clusterCount,
                   g_disk.dataStart, r.number == 0, r.entry.entry, r.entry.firstCluster, bytes,
                   g_first, first, g_last, last, trim};
  *tag = SourceTagValue(f);
  return true;
}

bool MatroskaIsComplete(const Recording& r, bool rescue, bool trim, const char* path) {
  std::string held, expected;
  bool cues;
  return ReadMatroskaSource(path, &held, &cues) && cues && !held.empty() &&
         SourceTagOf(r, rescue, trim, &expected) && held == expected;
}

bool DescribeSource(const Recording& r, bool rescue, bool trim, RemuxJob* job,
                    std::vector<SubtitlePage>* pages, TrimPlan* plan, char* reason, u32 size) {
  job->program = -1;
  job->trim = false;
  *plan = TrimPlan{};
  pages->clear();
  static ProbeRecord record;
  // A probe that cannot read leaves the reason to the copy's own reads.
  if (ProbeRecording(r, false, rescue, nullptr, &record)) {
    const ProbeSummary& s = record.summary;
    if (!s.transportStream) {
      FormatText(reason, size, "no transport stream%s%s", s.reason ? ": " : "", s.reason ? s.reason : "");
      return false;
    }
    if (s.programKnown) job->program = s.program;
    Describe(s, job);
    SubtitlePagesOf(s.streams, pages);
    if (trim && !PlanTrim(r, rescue, s, plan)) {
      FormatText(reason, size, "stopped");
      return false;
    }
  } else if (record.stopped) {
    FormatText(reason, size, "stopped");
    return false;
  }
  job->trim = trim && plan->programme;
  job->trimFrom = plan->from;
  job->programmeStart = plan->start;
  std::string source;
  if (SourceTagOf(r, rescue, trim, &source)) job->tags.push_back(RemuxTag{kSourceTagName, source});
  return true;
}
