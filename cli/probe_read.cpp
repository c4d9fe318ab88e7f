// A recording's stream fed to the analysis: its head and tail, or all of it.
#include "cli/probe_record.h"

#include <cstring>

#include "cli/cli_port.h"
#include "cli/os.h"
#include "cli/recording_reader.h"
#include "cli/rescue_settings.h"
#include "rescue/rescue.h"

namespace {

const u64 kHeadMax = 64ull << 20;
const u64 kTailBytes = 4ull << 20;

alignas(4096) u8 g_piece[kRescueReadMax];

// Gives the bytes of one piece to the analysis, its holes as unreadable.
void Feed(StreamAnalysis* a, u64 offset, u32 got, const std::vector<StreamHole>& holes) {
  u64 at = offset, end = offset + got;
  for (const StreamHole& h : holes) {
    u64 from = h.offset > at ? h.offset : at, to = h.offset + h.length < end ? h.offset + h.length : end;
    if (to <= from) continue;
    if (from > at) FeedStream(a, g_piece + (at - offset), u32(from - at));
    FeedUnreadable(a, to - from);
    at = to;
  }
  if (end > at) FeedStream(a, g_piece + (at - offset), u32(end - at));
}

bool HeadRead(const StreamAnalysis& a, void*) { return a.offset >= kHeadMax || HeadComplete(a); }

// Reads [*offset, to) into the analysis, or until the head is complete.
bool ReadInto(RecordingReader* reader, StreamAnalysis* a, u64* offset, u64 to, bool head,
              ProbeRecord* record) {
  return FeedRecording(reader, a, offset, to, head ? HeadRead : nullptr, nullptr, record);
}

enum Analysed { kAnalysed, kUnread, kNoMemory };

// The stream analysed from its start: its head and tail, or with full all of
// it. kUnread: a read failed at *offset, or Ctrl-C stopped it.
Analysed Analyse(RecordingReader* reader, bool full, ProbeRecord* record, u64* offset) {
  static StreamAnalysis analysis;
  *offset = 0;
  record->probedBytes = 0;
  if (!StartAnalysis(&analysis)) {
    EndAnalysis(&analysis);
    return kNoMemory;
  }
  bool read = ReadInto(reader, &analysis, offset, reader->length, !full, record);
  u64 tail = reader->length > kTailBytes ? reader->length - kTailBytes : 0;
  if (read && tail > *offset) {
    SkipTo(&analysis, tail);
    *offset = tail;
  }
  record->full = *offset == record->probedBytes;  // nothing was left unread
  if (read) read = ReadInto(reader, &analysis, offset, reader->length, false, record);
  if (read) SummarizeStream(analysis, &record->summary);
  EndAnalysis(&analysis);
  return read ? kAnalysed : kUnread;
}

}  // namespace

bool FeedRecording(RecordingReader* reader, StreamAnalysis* a, u64* offset, u64 to,
                   bool (*enough)(const StreamAnalysis& analysis, void* context), void* context,
                   ProbeRecord* record) {
  std::vector<StreamHole> holes;
  while (*offset < to) {
    if (enough && enough(*a, context)) return true;
    if (Interrupted()) {
      record->stopped = true;
      return false;
    }
    u32 n = to - *offset < kRescueReadMax ? u32(to - *offset) : kRescueReadMax;
    u32 got = 0;
    holes.clear();
    if (!ReadStreamAt(reader, *offset, g_piece, n, &got, &holes)) return false;
    if (!holes.empty()) record->damaged = true;
    Feed(a, *offset, got, holes);
    *offset += got;
    record->probedBytes += got;
    if (got < n) return true;
  }
  return true;
}

bool ProbeRecording(const Recording& r, bool full, bool rescue, const char* hint, ProbeRecord* record) {
  *record = ProbeRecord{};
  record->index = r.number;
  record->name = r.entry.name;
  record->decoded = r.decoded;
  static RecordingReader reader;
  OpenRecordingReader(r, rescue, &reader);
  bool quiet = hint == nullptr;
  if (reader.chainCut && !rescue) {
    if (!quiet) Say("recording %u: its allocation chain cannot be followed%s", r.number, hint);
    return false;
  }
  record->streamBytes = reader.length;
  u64 offset;
  Analysed outcome = Analyse(&reader, full, record, &offset);
  if (outcome == kAnalysed && !record->full && record->summary.splice) {
    // Head and tail are of different broadcasts: only the whole stream tells
    // the duration; when it cannot be read, the duration is not known.
    static ProbeRecord headAndTail;
    headAndTail = *record;
    if (Analyse(&reader, true, record, &offset) == kAnalysed) {
      if (!record->summary.splice) record->summary.splice = headAndTail.summary.splice;
    } else {
      bool stopped = record->stopped;
      *record = headAndTail;
      record->stopped = stopped;
      record->summary.durationSource = kDurationNone;
      record->summary.bitrate = 0;
      record->middleUnread = !stopped;
      if (!quiet && !stopped)
        Say("recording %u: cannot be read at stream byte %llu, so its duration is not known%s",
            r.number, static_cast<unsigned long long>(offset), hint);
    }
  }
  if (outcome == kNoMemory && !quiet) Say("%s", "not enough memory for the stream's tables");
  if (outcome == kUnread && !quiet && !record->stopped)
    Say("recording %u: cannot be read at stream byte %llu%s", r.number,
        static_cast<unsigned long long>(offset), hint);
  if (!quiet && (record->damaged || reader.chainCut)) NoteDamage();
  return outcome == kAnalysed && !record->stopped;
}
