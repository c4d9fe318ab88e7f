// One recording copied to its output: planned, resumed from NAME.part,
// read (past damage with --rescue), written in order, synced and renamed.
#include "cli/copy.h"
#include "cli/copy_run.h"

#include <cstdio>
#include <cstring>

#include "app/messages.h"
#include "cli/cli_port.h"
#include "cli/copy_reader.h"
#include "cli/copy_subtitles.h"
#include "report/damage_file.h"
#include "report/read_failure.h"
#include "cli/os.h"
#include "files/ordered_writer.h"
#include "files/output_file.h"
#include "cli/progress.h"
#include "cli/rescue_settings.h"
#include "report/rescue_report.h"
#include "disk/block_form.h"
#include "rescue/rescue.h"
#include "platform/platform.h"

namespace {

const u32 kMiB = 1048576;

alignas(kMaxDirectAlign) u8 g_out[2 * kWriterBuffer];

OrderedWriter g_writer;

// The counts at the starts of the last blocks handed to the writer, so that
// a run that ends can leave the damage of exactly the bytes its .part keeps.
const u32 kMarks = 64;  // more blocks than the two buffers in flight hold
DamageMark g_marks[kMarks];

bool IsStandardOutput(const char* path) { return path[0] == '-' && path[1] == 0; }

// The output as messages name it.
const char* Shown(const char* path) { return IsStandardOutput(path) ? "standard output" : path; }

// "; N bytes kept in NAME.part", or nothing when no .part keeps a byte.
void Kept(const CopyRun& run, char* out, u32 size) {
  out[0] = 0;
  if (run.kept && !run.target->stream)
    FormatText(out, size, "; %llu bytes kept in %s", static_cast<unsigned long long>(run.kept),
               run.part);
}

}  // namespace

void SayFailure(const CopyRun& run, u32 id, const char* reason) {
  char text[100], kept[1200];
  LoadText(id, text, sizeof text);
  Kept(run, kept, sizeof kept);
  const char* hint = id == IDS_INPUT_ERROR ? run.target->hint : "";
  Say("%s: %s: %s%s%s", Shown(run.target->path), text, reason, kept, hint);
}

void SaySystemFailure(const CopyRun& run, u32 id, u32 error) {
  char reason[200];
  SystemErrorText(error, reason, sizeof reason);
  SayFailure(run, id, reason);
}

void BeginCopyRun(CopyRun* run, const Recording& r, const CopyTarget& t) {
  *run = CopyRun{};
  run->recording = &r;
  run->target = &t;
  run->reader = &ReaderFor(t.rescue);
  run->published = t.path;
  run->failed = FailedSectors{Shown(t.path), t.source, false, 0, 0, 0};
  FormatText(run->part, sizeof run->part, t.stream ? "%s" : "%s.part", t.path);
  FormatText(run->damage, sizeof run->damage, "%s.damage", run->part);
  run->record.output = t.path;
}

void StartCopyProgress(const Recording& r, bool quiet) {
  char format[48], label[200];
  LoadText(IDS_EXTRACTING, format, sizeof format);
  FormatText(label, sizeof label, format, r.decoded);
  StartProgress(!quiet && StderrIsTerminal(), r.entry.sizeMiB);
  ProgressLabel(label);
}

void SayInputFailure(CopyRun* run) {
  char reason[1400];
  DataFailureReason(run->target->source, reason, sizeof reason);
  SayFailure(*run, IDS_INPUT_ERROR, reason);
}

namespace {


// Ends the output: what is buffered up to stream byte end written, the
// writer ended, the file cut to the bytes it holds in order and synced, and
// still held (a stream is closed). run->kept: its length. 0, or the message
// of the first failure (its system error in *error).
u32 EndOutput(CopyRun* run, u64 end, u32* error) {
  if (!run->open) return 0;
  run->open = false;
  u64 contiguous = 0;
  u32 failure = FinishWriter(&g_writer, end, &contiguous, error) ? 0 : IDS_WRITE_ERROR;
  // A failed first write leaves the checked bytes of the .part in place.
  run->kept = contiguous > run->resumed ? contiguous : run->resumed;
  u32 other;
  if (run->out.stream) {
    if (!CloseOutputFile(&run->out, false, failure ? &other : error) && !failure)
      failure = IDS_CLOSE_ERROR;
    return failure;
  }
  if (!CutOutputFile(&run->out, run->kept, failure ? &other : error) && !failure)
    failure = IDS_WRITE_ERROR;
  if (!SyncOutputFile(&run->out, failure ? &other : error) && !failure) failure = IDS_CLOSE_ERROR;
  return failure;
}

// Lets go of the .part after a run that ends early: one that keeps no byte
// is this run's to remove (with its damage file), any other stays.
void LetGoOfPart(CopyRun* run) {
  if (!run->held) return;
  run->held = false;
  u32 error;
  if (run->kept == 0) {
    RemoveOutput(&run->out, &error);
    RemoveDamageFile(*run);
  } else {
    CloseOutputFile(&run->out, false, &error);
  }
}

// NAME.part.damage of the output's first `through` bytes; a failure is
// said once.
void SaveDamageSoFar(CopyRun* run, u64 through) {
  if (SaveDamage(run->damage, run->record, through) || run->unsaved) return;
  run->unsaved = true;
  Say("%s: cannot write the damage found so far", run->damage);
}

// A stream's reader went away: the copy ends quietly, as cat's would.
bool ReaderGone(const CopyRun& run, u32 error) { return run.out.stream && IsReaderGone(error); }

// After a run that ended early: NAME.part.damage describes exactly the
// bytes of the .part a resumed run keeps (up to the last block start within
// them), and the report and the damage line say what this run wrote.
void LeaveDamage(CopyRun* run) {
  if (!run->tracked) return;
  // The resumed run keeps whole blocks: the end of the last one handed, or
  // a block start.
  bool whole = run->handed == StreamOffset(run->plan, run->blocks);
  DamageMark mark = MarkOf(run->record, whole ? run->handed : ~0ull);
  for (const DamageMark& m : g_marks)
    if (m.at <= run->kept && (mark.at > run->kept || m.at > mark.at)) mark = m;
  RescueRecord kept = run->record;
  if (run->target->stream) {
    // Nothing to resume.
  } else if (mark.at <= run->kept) {
    CutRecord(&kept, mark);
    SaveDamage(run->damage, kept, mark.at);
  } else {
    SaveDamage(run->damage, run->record, run->handed);  // cut when it is read
  }
  if (!run->target->rescue) return;  // no report or damage line without --rescue
  // Reading runs ahead of the writer: what it read past the bytes kept is
  // not what this run wrote.
  RescueRecord done = run->record;
  CutRecord(&done, MarkOf(done, run->kept));
  RecountSectors(&done);
  FinishRecord(*run, run->kept, &done);
}

CopyOutcome Fail(CopyRun* run) {
  SayFailedSectors(&run->failed);
  u32 error;
  EndOutput(run, run->handed, &error);  // what was copied is kept
  EndProgress();
  if (run->started) LeaveDamage(run);
  run->started = false;
  LetGoOfPart(run);
  return kCopyFailed;
}

// After a failed write (message id, system error): ends the output.
CopyOutcome WriteFailed(CopyRun* run, u32 id, u32 error) {
  Fail(run);
  if (ReaderGone(*run, error)) return kCopyClosed;
  SaySystemFailure(*run, id, error);
  return kCopyFailed;
}

}  // namespace

void FinishRecord(const CopyRun& run, u64 length, RescueRecord* record) {
  const Recording& r = *run.recording;
  const CopyTarget& t = *run.target;
  EndRecord(record, length);
  if (!WalkIsWhole(r.walk) && r.walk.clusters) NoteChainDamage(record, r.walk);
  char summary[300];
  FormatDamageSummary(*record, summary, sizeof summary);
  if (summary[0]) {
    NoteDamage();
    Say("%s: %s", Shown(run.published), summary);
  }
  if (t.report && !WriteRescueReport(t.report, *record)) Say("%s", "cannot write the report");
  if (t.met) *t.met = *record;
}

bool NoteBlockDamage(CopyRun* run, u64 block, u64 bytesRead, u32 kept) {
  RescueRecord& record = run->record;
  DamageMark before = MarkOf(record, run->handed);
  size_t runs = record.unreadable.size();
  AddReadDamage(&record, g_damage, bytesRead, kept, run->handed);
  NoteBrokenStep(&record, g_damage);
  if (BlockIsCut(run->plan, block)) CountPackets(&record, g_block, kept, run->handed);
  if (g_damage.runCount) {
    AdviseImaging();
    NoteFailedSectors(&run->failed, g_damage);
  }
  return record.unreadable.size() != runs || record.unreadableSectors != before.unreadableSectors ||
         record.badPackets != before.badPackets || record.zeroPackets != before.zeroPackets;
}

CopyOutcome CopyToTarget(const Recording& r, const CopyTarget& t) {
  if (t.matroska) return RemuxToTarget(r, t);
  if (t.trim) return CutToTarget(r, t);
  static CopyRun run;
  BeginCopyRun(&run, r, t);
  u32 error = 0;
  FormPlan plan = {};
  u64 fromBlock = 0;
  RescueRecord& record = run.record;
  if (!PlanForm(*run.reader, r, &plan)) {
    SayInputFailure(&run);
    return kCopyFailed;
  }
  run.plan = plan;
  record.blockForm = plan.wholeFrom == kEveryBlockCut;
  bool srt = t.subtitles == kSubtitlesSrt && !t.stream && StartSubtitleCopy(r, t);
  if (!t.stream) {
    CopyOutcome opened = OpenPart(&run, &fromBlock);  // said, but for kCopyInUse
    if (opened != kCopyDone) return opened;
  }
  run.resumed = run.handed = StreamOffset(plan, fromBlock);
  run.blocks = fromBlock;
  if (srt && run.resumed) srt = KeptSubtitleBytes(&run.out, run.resumed, run.part);
  // The zeros an earlier run wrote into the kept bytes are this file's too.
  // Every run leaves one beside its .part, so a resumed run without it
  // knows that what the kept bytes hold as zeros is lost.
  run.tracked = t.rescue;
  if (!t.stream && fromBlock && LoadDamage(run.damage, run.resumed, &record)) {
    run.tracked = true;
  } else if (!t.stream && fromBlock) {
    record.damageUnknownBefore = run.resumed;
    if (t.rescue)
      Say("%s: missing or unreadable: what the first %llu bytes kept from an earlier run hold "
          "as zeros is not known",
          run.damage, static_cast<unsigned long long>(run.resumed));
  }
  for (DamageMark& m : g_marks) m = MarkOf(record, ~0ull);
  run.kept = run.resumed;
  bool opened = !t.stream ? StartOutputWrites(&run.out, run.resumed, &error)
                : IsStandardOutput(t.path) ? OpenStandardOutput(&run.out)
                                           : OpenStreamOutput(t.path, &run.out, &error);
  if (!opened) {
    SaySystemFailure(run, IDS_CREATE_ERROR, error);
    LetGoOfPart(&run);
    return kCopyFailed;
  }
  // Unbuffered writes start at a whole unit: the bytes from there to the
  // kept end are the ones the resume check read back from the .part.
  u64 start = run.resumed - run.resumed % run.out.align;
  if (!StartWriter(&g_writer, &run.out, g_out, start, &error)) {
    SaySystemFailure(run, IDS_CREATE_ERROR, error);
    if (run.out.stream) CloseOutputFile(&run.out, false, &error);
    LetGoOfPart(&run);
    return kCopyFailed;
  }
  run.open = run.started = true;
  if (!t.stream) SaveDamageSoFar(&run, run.resumed);
  if (start < run.resumed) {
    u64 blockStart = StreamOffset(plan, fromBlock - 1);
    if (!PutBytes(&g_writer, g_heldBlock + (start - blockStart), u32(run.resumed - start), &error))
      return WriteFailed(&run, IDS_WRITE_ERROR, error);
  }
  if (fromBlock && !t.quiet)
    Say("%s: resuming after %llu bytes", run.part, static_cast<unsigned long long>(run.resumed));

  StartCopyProgress(r, t.quiet);
  u64 skipped;
  if (!OpenAt(*run.reader, r, fromBlock * kBlockBytes, &skipped)) {
    Fail(&run);
    SayInputFailure(&run);
    return kCopyFailed;
  }
  u64 bytesRead = fromBlock * kBlockBytes;
  for (u64 block = fromBlock;; ++block) {
    if (Interrupted()) {
      Fail(&run);
      char kept[1200];
      Kept(run, kept, sizeof kept);
      Say("stopped%s", kept);
      return kCopyStopped;
    }
    u32 n;
    if (!run.reader->read(kBlockBytes, &n)) {
      Fail(&run);
      SayInputFailure(&run);
      return kCopyFailed;
    }
    if (n == 0) break;
    u32 kept = BlockStreamBytes(plan, block, n);
    if (t.rescue) {
      g_marks[block % kMarks] = MarkOf(record, run.handed);
      // Before the zeros reach the .part.
      if (NoteBlockDamage(&run, block, bytesRead, kept) && !t.stream)
        SaveDamageSoFar(&run, run.handed + kept);
    }
    if (!PutBytes(&g_writer, g_block, kept, &error))
      return WriteFailed(&run, IDS_WRITE_ERROR, error);
    if (srt) SubtitleBytes(g_block, kept);
    run.handed += kept;
    run.blocks = block + 1;
    bytesRead += n;
    u32 mib = u32(bytesRead / kMiB);
    ProgressPercent(r.entry.sizeMiB ? u32(u64(mib) * 100 / r.entry.sizeMiB) : 0);
    ProgressMiB(mib);
  }
  SayFailedSectors(&run.failed);
  u64 length = OutputLength(run.handed);
  if (u32 failure = EndOutput(&run, length, &error)) return WriteFailed(&run, failure, error);
  EndProgress();
  if (!t.stream && !PublishPart(&run)) return kCopyFailed;  // said; the .part keeps the copy
  if (!t.quiet) {
    char done[100];
    LoadText(IDS_DONE, done, sizeof done);
    Say("%s: %s", Shown(run.published), done);
  }
  if (!t.stream) RemoveDamageFile(run);
  if (run.tracked) FinishRecord(run, length, &record);
  if (srt && !EndSubtitleCopy(run.published, t)) return kCopyFailed;  // said; the .ts is whole
  return kCopyDone;
}
