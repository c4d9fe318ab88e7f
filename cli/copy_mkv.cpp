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

// After a remux that failed: says why, keeps what it wrote.
CopyOutcome Failed(CopyRun* run, const InOrderRead& m, const RemuxResult& result) {
  run->kept = result.bytes;
  EndProgress();
  SayFailedSectors(&run->failed);
  if (run->target->rescue) FinishRecord(*run, run->handed, &run->record);
  char kept[1200] = "";
  if (result.bytes)
    FormatText(kept, sizeof kept, "; %llu bytes kept in %s",
               static_cast<unsigned long long>(result.bytes), run->part);
  LetGoOfOutput(run, result.bytes);
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
  TrimPlan trim;
  if (!DescribeSource(r, t.rescue, t.trim, &job, &pages, &trim, reason, sizeof reason)) {
    if (std::strcmp(reason, "stopped") == 0) {
      Say("%s", "stopped");
      return kCopyStopped;
    }
    Say("%s: not written as Matroska: %s", t.path, reason);
    return kCopyFailed;
  }
  if (t.trim) SayTrimPlan(t.path, trim);
  // The subtitle pages as text tracks, or kept for .srt files beside it.
  static TeletextText text;
  bool srt = t.subtitles == kSubtitlesSrt;
  StartTeletextText(&text, pages);
  if (!pages.empty() && (srt || t.subtitles == kSubtitlesEmbed)) FeedTextTracks(&text, srt, &job);
  if (srt && pages.empty() && !t.quiet)
    Say("%s: no teletext subtitle pages in the stream's tables; no .srt written", t.path);
  // Said, but for kCopyInUse.
  CopyOutcome opened = OpenPartAfresh(&run, "a Matroska file cannot be resumed");
  if (opened != kCopyDone) return opened;
  u64 skipped;
  if (!OpenAt(*run.reader, r, 0, &skipped)) {
    LetGoOfOutput(&run, 0);
    SayInputFailure(&run);
    return kCopyFailed;
  }
  StartCopyProgress(r, t.quiet);
  static InOrderRead m;
  m = InOrderRead{&run, 0, 0, 0, 0, false, false, false};
  job.source = StreamSource{ReadInOrder, &m, ~0ull};
  job.unreadable = t.rescue ? UnreadableInRun : nullptr;
  job.unreadableContext = &run;
  job.write = WritePartAt;
  job.writeContext = &run.out;
  RemuxResult result;
  if (!RemuxToMatroska(job, &result)) return Failed(&run, m, result);
  EndProgress();
  SayFailedSectors(&run.failed);
  if (!SyncAndPublish(&run, result.bytes)) return kCopyFailed;
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
    char chapters[40] = "", part[40] = "";
    if (result.chapters)
      FormatText(chapters, sizeof chapters, ", %u chapter%s", result.chapters, result.chapters == 1 ? "" : "s");
    if (job.trim) FormatText(part, sizeof part, ", the programme%s", result.endFound ? "" : " to the end");
    Say("%s: %s (%u tracks, %.1f s%s%s%s%s)", run.published, done, result.tracks, result.seconds, part,
        chapters, damaged, left);
  }
  if (run.tracked) FinishRecord(run, run.handed, &run.record);
  // Times from the file's start, as its tracks have them.
  if (srt && !pages.empty() && !WriteSrtFiles(run.published, text, 0, t)) return kCopyFailed;  // said
  return kCopyDone;
}
