// One recording's programme alone written as a .ts (--trim): where the cut
// begins found first (cli/trim_plan.h), then the recording read once, in
// order, from its start: the last PAT and PMT before the cut written in
// front, then its bytes, whole packets as recorded, from the packet that
// starts the cut's key frame to the one that starts the first picture
// shown after the programme. What is read is held until the stream shows
// that it is the programme's (the switch past it is noted up to seconds
// late), and reading stops at the cut's end. A .part an earlier run left
// is written afresh; the copy of a whole recording is not touched by any
// of this.
#include <cstring>
#include <new>
#include <vector>

#include "app/messages.h"
#include "cli/cli_port.h"
#include "cli/copy_run.h"
#include "cli/copy_subtitles.h"
#include "cli/existing_output.h"
#include "cli/os.h"
#include "cli/probe_record.h"
#include "cli/progress.h"
#include "cli/trim_plan.h"
#include "files/output_file.h"

namespace {

const u32 kRing = 24u << 20;   // stream bytes held: seconds of a broadcast, and more
const u32 kChunk = 1u << 20;   // read at a time

// Made on the first cut and kept: a run that cuts nothing does not carry
// it (a sanitizer's leak check at exit scans every static byte).
u8* g_ring;
StreamAnalysis g_analysis;
ProgrammeCut g_cut;

struct CutWrite {
  CopyRun* run;
  u64 from;     // the cut's first stream byte
  u64 read;     // stream bytes read; [written, read) of them are in the ring
  u64 written;  // the next stream byte to write (from `from` on)
  u64 out;      // output bytes written
  u32 error;
  bool srt;     // the bytes written are read for .srt files beside it
};

// Writes the ring's stream bytes up to `to`.
bool WriteUpTo(CutWrite* w, u64 to) {
  while (w->written < to) {
    u32 at = u32(w->written % kRing);
    u32 n = u32(to - w->written < kRing - at ? to - w->written : kRing - at);
    if (!WritePartAt(&w->run->out, w->out, g_ring + at, n, &w->error)) return false;
    if (w->srt) SubtitleBytes(g_ring + at, n);
    w->written += n;
    w->out += n;
  }
  return true;
}

// The PAT and PMT in front.
bool WriteTables(CutWrite* w) {
  for (const CutTable* table : {&g_cut.pat, &g_cut.pmt})
    for (u32 i = 0; i < table->count; ++i) {
      if (!WritePartAt(&w->run->out, w->out, table->packets[i], kPacketSize, &w->error)) return false;
      if (w->srt) SubtitleBytes(table->packets[i], kPacketSize);
      w->out += kPacketSize;
    }
  return true;
}

enum Ended { kEndedWhole, kEndedReadFailed, kEndedWriteFailed };

// Reads the recording, writes the cut; *endFound: it ended before the recording did.
Ended Cut(CutWrite* w, InOrderRead* m, bool* endFound) {
  bool front = false;
  *endFound = false;
  for (;;) {
    u32 at = u32(w->read % kRing);
    u32 n = kRing - at < kChunk ? kRing - at : kChunk, got;
    // Bounded: what does not fit any more is written as it is.
    if (front && w->read + n > w->written + kRing && !WriteUpTo(w, w->read + n - kRing)) return kEndedWriteFailed;
    if (!ReadInOrder(m, w->read, g_ring + at, n, &got)) return kEndedReadFailed;
    if (got == 0) break;
    FeedStream(&g_analysis, g_ring + at, got);
    w->read += got;
    if (!front && w->read >= w->from) {
      if (!WriteTables(w)) return kEndedWriteFailed;
      front = true;
    }
    if (!front) continue;
    u64 end;
    if (FindCutEnd(g_cut, g_analysis.tables, &end)) {
      *endFound = true;
      return WriteUpTo(w, end > w->written ? end : w->written) ? kEndedWhole : kEndedWriteFailed;
    }
    if (!WriteUpTo(w, CutSafeOffset(&g_cut, g_analysis.tables, w->read))) return kEndedWriteFailed;
  }
  if (!front && !WriteTables(w)) return kEndedWriteFailed;
  // To the recording's end: as its copy, whole 512-byte units.
  return WriteUpTo(w, OutputLength(w->read)) ? kEndedWhole : kEndedWriteFailed;
}

// After a cut that failed: says why, keeps what it wrote.
CopyOutcome Failed(CopyRun* run, const InOrderRead& m, u64 bytes, bool writeFailed, u32 error) {
  run->kept = bytes;
  EndProgress();
  SayFailedSectors(&run->failed);
  if (run->target->rescue) FinishRecord(*run, run->handed, &run->record);
  char kept[1200] = "";
  if (bytes)
    FormatText(kept, sizeof kept, "; %llu bytes kept in %s", static_cast<unsigned long long>(bytes), run->part);
  LetGoOfOutput(run, bytes);
  if (m.stopped) {
    Say("stopped%s", kept);
    return kCopyStopped;
  }
  if (writeFailed) SaySystemFailure(*run, IDS_WRITE_ERROR, error);
  else SayInputFailure(run);
  return kCopyFailed;
}

// The programme's cut planned from a quiet probe; false when Ctrl-C stopped it.
bool Plan(const Recording& r, bool rescue, TrimPlan* plan) {
  static ProbeRecord probe;
  *plan = TrimPlan{};
  if (ProbeRecording(r, false, rescue, nullptr, &probe) && probe.summary.transportStream)
    return PlanTrim(r, rescue, probe.summary, plan);
  return !probe.stopped;
}

}  // namespace

bool TrimAvailable() { return true; }

CopyOutcome CutToTarget(const Recording& r, const CopyTarget& t) {
  TrimPlan plan;
  if (!Plan(r, t.rescue, &plan)) {
    Say("%s", "stopped");
    return kCopyStopped;
  }
  SayTrimPlan(t.path, plan);
  if (!plan.programme) {  // the whole recording, copied as ever
    CopyTarget whole = t;
    whole.trim = false;
    return CopyToTarget(r, whole);
  }
  if (!g_ring) g_ring = new (std::nothrow) u8[kRing];
  if (!g_ring) {
    Say("%s: not enough memory for the cut", t.path);
    return kCopyFailed;
  }
  static CopyRun run;
  run = CopyRun{};
  run.recording = &r;
  run.target = &t;
  run.reader = &ReaderFor(t.rescue);
  run.published = t.path;
  run.failed = FailedSectors{t.path, t.source, false, 0, 0, 0};
  FormatText(run.part, sizeof run.part, "%s.part", t.path);
  FormatText(run.damage, sizeof run.damage, "%s.damage", run.part);
  run.record.output = t.path;
  run.tracked = t.rescue;
  if (!PlanForm(*run.reader, r, &run.plan)) {
    SayInputFailure(&run);
    return kCopyFailed;
  }
  run.record.blockForm = run.plan.wholeFrom == kEveryBlockCut;
  CopyOutcome opened = OpenPartAfresh(&run, "a .ts cut to its programme cannot be resumed");
  if (opened != kCopyDone) return opened;  // said, but for kCopyInUse
  // The .srt files of what is written, read as it is written.
  bool srt = t.subtitles == kSubtitlesSrt && StartSubtitleCopy(r, t);
  u64 skipped;
  if (!OpenAt(*run.reader, r, 0, &skipped) || !StartAnalysis(&g_analysis)) {
    EndAnalysis(&g_analysis);
    LetGoOfOutput(&run, 0);
    SayInputFailure(&run);
    return kCopyFailed;
  }
  StartCut(&g_cut, plan.service, plan.eventId, plan.startKnown, plan.start, plan.from);
  g_analysis.cut = &g_cut;
  StartCopyProgress(r, t.quiet);
  static InOrderRead m;
  m = InOrderRead{&run, 0, 0, 0, 0, false, false, false};
  CutWrite w = {&run, plan.from, 0, plan.from, 0, 0, srt};
  bool endFound;
  Ended ended = Cut(&w, &m, &endFound);
  EndAnalysis(&g_analysis);
  if (ended != kEndedWhole) return Failed(&run, m, w.out, ended == kEndedWriteFailed, w.error);
  EndProgress();
  SayFailedSectors(&run.failed);
  if (!SyncAndPublish(&run, w.out)) return kCopyFailed;
  if (!t.quiet) {
    char done[100];
    LoadText(IDS_DONE, done, sizeof done);
    Say("%s: %s (the programme%s: stream bytes %llu to %llu, %llu bytes)", run.published, done,
        endFound ? "" : " to the end", static_cast<unsigned long long>(plan.from),
        static_cast<unsigned long long>(w.written), static_cast<unsigned long long>(w.out));
  }
  if (run.tracked) FinishRecord(run, run.handed, &run.record);
  if (srt && !EndSubtitleCopy(run.published, t)) return kCopyFailed;  // said; the .ts is whole
  return kCopyDone;
}

bool CutIsComplete(const Recording& r, bool rescue, const char* path) {
  TrimPlan plan;
  if (!Plan(r, rescue, &plan)) return false;
  if (!plan.programme) return OutputIsComplete(r, rescue, path, false, false);
  static RecordingReader reader;
  static u8 mine[kBlockBytes], held[kBlockBytes];
  OpenRecordingReader(r, rescue, &reader);
  u64 size;
  u32 got, error;
  std::vector<StreamHole> holes;
  if (!SizeOfFile(path, &size) || !ReadStreamAt(&reader, plan.from, mine, kPacketSize, &got, &holes) ||
      got < kPacketSize)
    return false;
  // The cut's first packet follows the PAT and PMT in front.
  u64 front = 0;
  for (;; front += kPacketSize) {
    if (front > 2 * kCutTablePackets * kPacketSize || front + kPacketSize > size ||
        !ReadFileAt(path, front, held, kPacketSize, &error))
      return false;
    if (std::memcmp(mine, held, kPacketSize) == 0) break;
  }
  u64 length = size - front;
  if (plan.from + length > reader.length) return false;
  const u32 kSamples = 11;  // the first block, one at each tenth, the last
  for (u32 i = 0; i < kSamples; ++i) {
    u64 at = i + 1 == kSamples ? (length > kBlockBytes ? length - kBlockBytes : 0) : length / 10 * i;
    u32 n = length - at < kBlockBytes ? u32(length - at) : kBlockBytes;
    holes.clear();
    if (!ReadStreamAt(&reader, plan.from + at, mine, n, &got, &holes) || got != n ||
        !ReadFileAt(path, front + at, held, n, &error))
      return false;
    std::vector<OutputRun> skip;
    for (const StreamHole& h : holes) skip.push_back({h.offset, h.length});
    if (!AgreeOutside(mine, held, plan.from + at, n, skip)) return false;
  }
  return true;
}
