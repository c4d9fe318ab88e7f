// One recording copied to its output: planned, resumed from NAME.part,
// read (past damage with --rescue), written in order, synced and renamed.
#include "cli/copy.h"

#include <cstdio>
#include <cstring>

#include "app/messages.h"
#include "cli/cli_port.h"
#include "cli/copy_reader.h"
#include "report/damage_file.h"
#include "report/read_failure.h"
#include "cli/os.h"
#include "cli/ordered_writer.h"
#include "cli/output_file.h"
#include "cli/progress.h"
#include "cli/rescue_settings.h"
#include "report/rescue_report.h"
#include "disk/block_form.h"
#include "rescue/rescue.h"
#include "platform/platform.h"

namespace {

const u32 kMiB = 1048576;

alignas(4096) u8 g_compare[kBlockBytes];
alignas(kMaxDirectAlign) u8 g_out[2 * kWriterBuffer];

OrderedWriter g_writer;

struct CopyRun {
  const Recording* recording;
  const CopyTarget* target;
  const CopyReader* reader;  // plain, or past damage: chosen once
  char part[1100];        // where the bytes go: NAME.part, or the target itself
  OutputFile out;
  bool open;              // the output is open and its writer running
  bool started;           // it was, and has not ended done
  u64 handed;             // stream bytes in the output or handed to its writer
  u64 resumed;            // of those, checked bytes an earlier run's .part kept
  u64 kept;               // the bytes the output holds, once it is ended
  u64 blocks;             // recording blocks whose bytes were handed
  char damage[1200];      // NAME.part.damage: the zeros written so far
  bool tracked;           // damage is recorded: --rescue, or an earlier run's resumed
  bool unsaved;           // the damage file could not be written (said once)
  RescueRecord record;
  FormPlan plan;
  FailedSectors failed;   // with rescue: the run of failed sectors not yet said
};

// The counts at the starts of the last blocks handed to the writer, so that
// a run that ends can leave the damage of exactly the bytes its .part keeps.
const u32 kMarks = 64;  // more blocks than the two buffers in flight hold
DamageMark g_marks[kMarks];

bool IsStandardOutput(const char* path) { return path[0] == '-' && path[1] == 0; }

// The output as messages name it.
const char* Shown(const char* path) { return IsStandardOutput(path) ? "standard output" : path; }

void Kept(const CopyRun& run, char* out, u32 size) {
  FormatText(out, size, "%llu bytes kept in %s", static_cast<unsigned long long>(run.kept),
             run.part);
}

void SayFailure(const CopyRun& run, u32 id, const char* reason) {
  char text[100], kept[1200];
  LoadText(id, text, sizeof text);
  Kept(run, kept, sizeof kept);
  const char* hint = id == IDS_INPUT_ERROR ? run.target->hint : "";
  if (run.target->stream) Say("%s: %s: %s%s", Shown(run.target->path), text, reason, hint);
  else Say("%s: %s: %s; %s%s", run.target->path, text, reason, kept, hint);
}

void SaySystemFailure(const CopyRun& run, u32 id, u32 error) {
  char reason[200];
  SystemErrorText(error, reason, sizeof reason);
  SayFailure(run, id, reason);
}

void SayInputFailure(CopyRun* run) {
  char reason[1400];
  DataFailureReason(run->target->source, reason, sizeof reason);
  SayFailure(*run, IDS_INPUT_ERROR, reason);
}

// Keeps an earlier run's .part aside as NAME.part.old (or .old2 ...).
bool KeepAside(CopyRun* run) {
  char old[1200];
  FormatText(old, sizeof old, "%s.old", run->part);
  for (u32 n = 2; KindOfTarget(old) != kTargetMissing; ++n)
    FormatText(old, sizeof old, "%s.old%u", run->part, n);
  u32 error = 0;
  if (!RenameFile(run->part, old, &error)) {
    SaySystemFailure(*run, IDS_CREATE_ERROR, error);
    return false;
  }
  char oldDamage[1300];
  FormatText(oldDamage, sizeof oldDamage, "%s.damage", old);
  if (KindOfTarget(run->damage) == kTargetFile) RenameFile(run->damage, oldDamage, &error);
  Say("%s: does not match the disk; kept as %s, copying afresh", run->part, old);
  return true;
}

// Looks at an earlier run's NAME.part: the block it resumes from (0 for a
// fresh start), with the last whole block it holds, compared, left in
// g_block. A .part that does not match the disk, or holds more than the
// recording's stream, is kept as NAME.part.old.
bool PlanResume(CopyRun* run, const FormPlan& plan, u64* fromBlock) {
  *fromBlock = 0;
  u64 held;
  if (!SizeOfFile(run->part, &held) || held == 0) return true;
  u64 whole = 0;
  while (StreamOffset(plan, whole + 1) <= held && whole < (u64(1) << 40)) ++whole;
  const Recording& r = *run->recording;
  const CopyReader& reader = *run->reader;
  u32 got;
  run->kept = held;
  // The block after the whole ones: the .part may hold no more of it than
  // the recording has.
  if (!ReadBlock(reader, r, whole, kBlockBytes, &got)) {
    SayInputFailure(run);
    return false;
  }
  bool longer = held - StreamOffset(plan, whole) > BlockStreamBytes(plan, whole, got);
  u64 compareBlock = whole ? whole - 1 : 0;
  u64 at = StreamOffset(plan, compareBlock);
  if (!longer && whole && !ReadBlock(reader, r, compareBlock, kBlockBytes, &got)) {
    SayInputFailure(run);
    return false;
  }
  u32 length = BlockStreamBytes(plan, compareBlock, got);
  if (whole && length < StreamOffset(plan, whole) - at) longer = true;  // a short last block
  if (!whole) length = u32(held);
  u32 error = 0;
  bool same = !longer && length > 0 && ReadFileAt(run->part, at, g_compare, length, &error) &&
              std::memcmp(g_compare, g_block, length) == 0;
  if (!same) return KeepAside(run);
  *fromBlock = whole;
  return true;
}

// Ends the output: what is buffered up to stream byte end written, the
// writer ended, the file cut to the bytes it holds in order and synced.
// run->kept: its length. 0, or the message of the first failure (its
// system error in *error).
u32 EndOutput(CopyRun* run, u64 end, u32* error) {
  if (!run->open) return 0;
  run->open = false;
  u64 contiguous = 0;
  u32 failure = FinishWriter(&g_writer, end, &contiguous, error) ? 0 : IDS_WRITE_ERROR;
  // A failed first write leaves the checked bytes of the .part in place.
  run->kept = contiguous > run->resumed ? contiguous : run->resumed;
  u32 other;
  if (!run->out.stream && !CutOutputFile(&run->out, run->kept, failure ? &other : error) &&
      !failure)
    failure = IDS_WRITE_ERROR;
  if (!CloseOutputFile(&run->out, !run->out.stream, failure ? &other : error) && !failure)
    failure = IDS_CLOSE_ERROR;
  return failure;
}

// A stream's reader went away: the copy ends quietly, as cat's would.
bool ReaderGone(const CopyRun& run, u32 error) { return run.out.stream && IsReaderGone(error); }

void FinishRecord(const CopyRun& run, u64 length, RescueRecord* record);

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
  return kCopyFailed;
}

// After a failed write (message id, system error): ends the output.
CopyOutcome WriteFailed(CopyRun* run, u32 id, u32 error) {
  Fail(run);
  if (ReaderGone(*run, error)) return kCopyClosed;
  SaySystemFailure(*run, id, error);
  return kCopyFailed;
}


// The damage line and the --report object of a recording read past damage.
void FinishRecord(const CopyRun& run, u64 length, RescueRecord* record) {
  const Recording& r = *run.recording;
  const CopyTarget& t = *run.target;
  EndRecord(record, length);
  if (!WalkIsWhole(r.walk) && r.walk.clusters) NoteChainDamage(record, r.walk);
  char summary[300];
  FormatDamageSummary(*record, summary, sizeof summary);
  if (summary[0]) {
    NoteDamage();
    Say("%s: %s", Shown(t.path), summary);
  }
  if (t.report && !WriteRescueReport(t.report, *record)) Say("%s", "cannot write the report");
}

}  // namespace

CopyOutcome CopyToTarget(const Recording& r, const CopyTarget& t) {
  static CopyRun run;
  run = CopyRun{};
  run.recording = &r;
  run.target = &t;
  run.reader = &ReaderFor(t.rescue);
  run.failed = FailedSectors{Shown(t.path), t.source, false, 0, 0, 0};
  FormatText(run.part, sizeof run.part, t.stream ? "%s" : "%s.part", t.path);
  u32 error = 0;
  FormPlan plan = {};
  u64 fromBlock = 0;
  FormatText(run.damage, sizeof run.damage, "%s.damage", run.part);
  RescueRecord& record = run.record;
  record.output = t.path;
  if (!PlanForm(*run.reader, r, &plan)) {
    SayInputFailure(&run);
    return kCopyFailed;
  }
  run.plan = plan;
  record.blockForm = plan.wholeFrom == kEveryBlockCut;
  if (!t.stream && !PlanResume(&run, plan, &fromBlock)) return kCopyFailed;  // said
  run.resumed = run.handed = StreamOffset(plan, fromBlock);
  run.blocks = fromBlock;
  // The zeros an earlier run wrote into the kept bytes are this file's too.
  run.tracked = t.rescue;
  if (!t.stream && fromBlock && LoadDamage(run.damage, run.resumed, &record)) run.tracked = true;
  if (!t.stream && !fromBlock) std::remove(run.damage);
  for (DamageMark& m : g_marks) m = MarkOf(record, ~0ull);
  run.kept = 0;
  bool opened = IsStandardOutput(t.path)
                    ? OpenStandardOutput(&run.out)
                    : OpenOutputFile(run.part, fromBlock == 0, run.resumed, t.stream, &run.out, &error);
  if (!opened) {
    SaySystemFailure(run, IDS_CREATE_ERROR, error);
    return kCopyFailed;
  }
  // Unbuffered writes start at a whole unit: the bytes from there to the
  // kept end come again from the block the resume check compared.
  u64 start = run.resumed - run.resumed % run.out.align;
  if (!StartWriter(&g_writer, &run.out, g_out, start, &error)) {
    CloseOutputFile(&run.out, false, &error);
    SaySystemFailure(run, IDS_CREATE_ERROR, error);
    return kCopyFailed;
  }
  run.open = run.started = true;
  run.kept = run.resumed;
  if (start < run.resumed) {
    u64 blockStart = StreamOffset(plan, fromBlock - 1);
    if (!PutBytes(&g_writer, g_block + (start - blockStart), u32(run.resumed - start), &error))
      return WriteFailed(&run, IDS_WRITE_ERROR, error);
  }
  if (fromBlock && !t.quiet)
    Say("%s: resuming after %llu bytes", run.part, static_cast<unsigned long long>(run.resumed));

  char format[48], label[200];
  LoadText(IDS_EXTRACTING, format, sizeof format);
  FormatText(label, sizeof label, format, r.decoded);
  StartProgress(!t.quiet && StderrIsTerminal(), r.entry.sizeMiB);
  ProgressLabel(label);
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
      Say("stopped; %s", kept);
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
      DamageMark before = g_marks[block % kMarks] = MarkOf(record, run.handed);
      size_t runs = record.unreadable.size();
      AddReadDamage(&record, g_damage, bytesRead, kept, run.handed);
      NoteBrokenStep(&record, g_damage);
      if (BlockIsCut(plan, block)) CountPackets(&record, g_block, kept, run.handed);
      if (g_damage.runCount) {
        AdviseImaging();
        NoteFailedSectors(&run.failed, g_damage);
      }
      bool changed = record.unreadable.size() != runs || record.unreadableSectors != before.unreadableSectors ||
                     record.badPackets != before.badPackets || record.zeroPackets != before.zeroPackets;
      // Before the zeros reach the .part.
      if (changed && !t.stream && !SaveDamage(run.damage, record, run.handed + kept) && !run.unsaved) {
        run.unsaved = true;
        Say("%s: cannot write the damage found so far", run.damage);
      }
    }
    if (!PutBytes(&g_writer, g_block, kept, &error))
      return WriteFailed(&run, IDS_WRITE_ERROR, error);
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
  if (!t.stream && !RenameFile(run.part, t.path, &error)) {
    SaySystemFailure(run, IDS_CLOSE_ERROR, error);
    return kCopyFailed;
  }
  if (!t.quiet) {
    char done[100];
    LoadText(IDS_DONE, done, sizeof done);
    Say("%s: %s", Shown(t.path), done);
  }
  if (!t.stream) std::remove(run.damage);
  if (run.tracked) FinishRecord(run, length, &record);
  return kCopyDone;
}
