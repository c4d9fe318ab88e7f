// One recording written as a Matroska file: read once, in order (past
// damage with --rescue, its damage reported as for a .ts), remuxed by the
// remux room into NAME.part, synced and given its name. A Matroska file
// cannot be resumed: a NAME.part an earlier run left is written afresh.
#include <cstring>

#include "app/messages.h"
#include "cli/cli_port.h"
#include "cli/copy_run.h"
#include "cli/matroska_source.h"
#include "cli/os.h"
#include "cli/progress.h"
#include "cli/rescue_settings.h"
#include "cli/srt_files.h"
#include "platform/platform.h"
#include "remux/remux.h"

namespace {

const u32 kMiB = 1048576;

// The recording read in order for the demuxer, block by block, each
// block's damage noted as the copy to .ts notes it.
struct MkvRead {
  CopyRun* run;
  u64 block;      // the next block to read
  u64 bytesRead;  // recording bytes read
  u32 have, used; // g_block's stream bytes, and those handed on
  bool ended, failed, stopped;
};

bool ReadBlocks(void* context, u64, u8* buffer, u32 count, u32* got) {
  MkvRead* m = static_cast<MkvRead*>(context);
  CopyRun& run = *m->run;
  *got = 0;
  while (*got < count) {
    if (m->used == m->have) {
      if (m->ended) break;
      if (Interrupted()) {
        m->stopped = true;
        return false;
      }
      u32 n;
      if (!run.reader->read(kBlockBytes, &n)) {
        m->failed = true;
        return false;
      }
      if (n == 0) {
        m->ended = true;
        break;
      }
      u32 kept = BlockStreamBytes(run.plan, m->block, n);
      if (run.target->rescue) NoteBlockDamage(&run, m->block, m->bytesRead, kept);
      run.handed += kept;
      run.blocks = ++m->block;
      m->bytesRead += n;
      m->have = kept;
      m->used = 0;
      u32 mib = u32(m->bytesRead / kMiB), listed = run.recording->entry.sizeMiB;
      ProgressPercent(listed ? u32(u64(mib) * 100 / listed) : 0);
      ProgressMiB(mib);
    }
    u32 take = count - *got < m->have - m->used ? count - *got : m->have - m->used;
    std::memcpy(buffer + *got, g_block + m->used, take);
    m->used += take;
    *got += take;
  }
  return true;
}

// Whether stream bytes [from, to) hold any the reads could not read.
bool Unreadable(void* context, u64 from, u64 to) {
  const std::vector<OutputRun>& runs = static_cast<CopyRun*>(context)->record.unreadable;
  size_t low = 0, high = runs.size();
  while (low < high) {  // the first run that ends after from
    size_t mid = (low + high) / 2;
    if (runs[mid].offset + runs[mid].length <= from) low = mid + 1;
    else high = mid;
  }
  return low < runs.size() && runs[low].offset < to;
}

bool WritePart(void* context, u64 offset, const u8* data, u32 length, u32* error) {
  u32 written;
  return WriteOutputAt(static_cast<OutputFile*>(context), data, length, offset, &written, error);
}

// Lets go of the .part of a run that ends early: one that holds nothing
// is removed, any other stays.
void LetGo(CopyRun* run, u64 bytes) {
  if (!run->held) return;
  run->held = false;
  u32 error;
  if (bytes == 0) RemoveOutput(&run->out, &error);
  else CloseOutputFile(&run->out, false, &error);
}

// After a remux that failed: says why, keeps what it wrote.
CopyOutcome Failed(CopyRun* run, const MkvRead& m, const RemuxResult& result) {
  run->kept = result.bytes;
  EndProgress();
  SayFailedSectors(&run->failed);
  if (run->target->rescue) FinishRecord(*run, run->handed, &run->record);
  char kept[1200] = "";
  if (result.bytes)
    FormatText(kept, sizeof kept, "; %llu bytes kept in %s",
               static_cast<unsigned long long>(result.bytes), run->part);
  LetGo(run, result.bytes);
  if (m.stopped) {
    Say("stopped%s", kept);
    return kCopyStopped;
  }
  if (m.failed) {
    SayInputFailure(run);
  } else if (result.writeFailed) {
    SaySystemFailure(*run, IDS_WRITE_ERROR, result.error);
  } else if (result.refused) {
    Say("%s: not written as Matroska: %s", run->target->path, result.reason);
  } else {
    Say("%s: %s%s", run->target->path, result.reason, kept);
  }
  return kCopyFailed;
}

}  // namespace

CopyOutcome RemuxToTarget(const Recording& r, const CopyTarget& t) {
  static CopyRun run;
  BeginCopyRun(&run, r, t);
  run.record.remuxed = true;
  run.tracked = t.rescue;
  if (!PlanForm(*run.reader, r, &run.plan)) {
    SayInputFailure(&run);
    return kCopyFailed;
  }
  run.record.blockForm = run.plan.wholeFrom == kEveryBlockCut;
  static RemuxJob job;
  job = RemuxJob{};
  char reason[200];
  static std::vector<SubtitlePage> pages;
  if (!DescribeSource(r, t.rescue, &job, &pages, reason, sizeof reason)) {
    Say("%s: not written as Matroska: %s", t.path, reason);
    return kCopyFailed;
  }
  // The subtitle pages as text tracks, or kept for .srt files beside it.
  static TeletextText text;
  bool srt = t.subtitles == kSubtitlesSrt;
  StartTeletextText(&text, pages);
  if (!pages.empty() && (srt || t.subtitles == kSubtitlesEmbed)) FeedTextTracks(&text, srt, &job);
  if (srt && pages.empty() && !t.quiet)
    Say("%s: no teletext subtitle pages in the stream's tables; no .srt written", t.path);
  CopyOutcome opened = OpenPartAfresh(&run);  // said, but for kCopyInUse
  if (opened != kCopyDone) return opened;
  u64 skipped;
  if (!OpenAt(*run.reader, r, 0, &skipped)) {
    LetGo(&run, 0);
    SayInputFailure(&run);
    return kCopyFailed;
  }
  char format[48], label[200];
  LoadText(IDS_EXTRACTING, format, sizeof format);
  FormatText(label, sizeof label, format, r.decoded);
  StartProgress(!t.quiet && StderrIsTerminal(), r.entry.sizeMiB);
  ProgressLabel(label);
  static MkvRead m;
  m = MkvRead{&run, 0, 0, 0, 0, false, false, false};
  job.source = StreamSource{ReadBlocks, &m, ~0ull};
  job.unreadable = t.rescue ? Unreadable : nullptr;
  job.unreadableContext = &run;
  job.write = WritePart;
  job.writeContext = &run.out;
  RemuxResult result;
  if (!RemuxToMatroska(job, &result)) return Failed(&run, m, result);
  EndProgress();
  SayFailedSectors(&run.failed);
  u32 error;
  if (!SyncOutputFile(&run.out, &error)) {
    run.kept = result.bytes;
    SaySystemFailure(run, IDS_CLOSE_ERROR, error);
    LetGo(&run, result.bytes);
    return kCopyFailed;
  }
  if (!PublishPart(&run)) return kCopyFailed;  // said; the .part keeps the file
  if (!t.quiet) {
    char done[100];
    LoadText(IDS_DONE, done, sizeof done);
    char damaged[80] = "", left[60] = "";
    if (result.damaged)
      FormatText(damaged, sizeof damaged, ", %llu damaged packets left out",
                 static_cast<unsigned long long>(result.damaged));
    if (result.leftOut)
      FormatText(left, sizeof left, ", %u stream%s of teletext or data left out", result.leftOut,
                 result.leftOut == 1 ? "" : "s");
    Say("%s: %s (%u tracks, %.1f s%s%s)", run.published, done, result.tracks, result.seconds, damaged,
        left);
  }
  if (run.tracked) FinishRecord(run, run.handed, &run.record);
  // Times from the file's start, as its tracks have them.
  if (srt && !pages.empty() && !WriteSrtFiles(run.published, text, 0, t)) return kCopyFailed;  // said
  return kCopyDone;
}
