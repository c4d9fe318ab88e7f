// NAME.part: opened as this run's own, compared with the disk to resume,
// kept aside when it does not match, published under the final name.
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/messages.h"
#include "cli/cli_port.h"
#include "cli/copy_run.h"
#include "cli/existing_output.h"
#include "report/damage_file.h"
#include "text/names.h"
#include "platform/platform.h"

u8 g_heldBlock[kBlockBytes];

namespace {

bool ReadHeld(void* context, u64 offset, void* buffer, u32 length) {
  u32 error;
  return ReadOutputAt(static_cast<OutputFile*>(context), offset, buffer, length, &error);
}

// Opens the .part; a refusal is said (but for another run's .part).
CopyOutcome Open(CopyRun* run, bool fresh) {
  u32 error = 0;
  WriteVerdict verdict = OpenOutputFile(run->part, fresh, &run->out, &error);
  run->held = verdict == kWriteAllowed;
  if (run->held || verdict == kWriteInUse) return run->held ? kCopyDone : kCopyInUse;
  char reason[300];
  WriteVerdictText(verdict, error, reason, sizeof reason);
  if (verdict == kWriteFailed) SayFailure(*run, IDS_CREATE_ERROR, reason);
  else Say("%s: %s", run->part, reason);
  return kCopyFailed;
}

// Keeps the .part this run holds aside as NAME.part.old (or .old2 ...),
// its damage file with it, and starts a fresh one.
CopyOutcome KeepAside(CopyRun* run, const char* why) {
  char old[1200];
  u32 error = 0;
  for (u32 n = 1;; ++n) {
    if (n == 1) FormatText(old, sizeof old, "%s.old", run->part);
    else FormatText(old, sizeof old, "%s.old%u", run->part, n);
    if (RenameOutput(&run->out, old, false, &error)) break;
    if (!IsNameTaken(error) || n >= 1000) {
      CloseOutputFile(&run->out, false, &error);
      run->held = false;
      SaySystemFailure(*run, IDS_CREATE_ERROR, error);
      return kCopyFailed;
    }
  }
  CloseOutputFile(&run->out, false, &error);
  run->held = false;
  char oldDamage[1300];
  FormatText(oldDamage, sizeof oldDamage, "%s.damage", old);
  if (KindOfTarget(run->damage) != kTargetMissing) RenameSideFile(run->damage, oldDamage, &error);
  Say("%s: %s; kept as %s, copying afresh", run->part, why, old);
  return Open(run, true);
}

// Whether the .part's bytes of stream [at, at + length), read into
// g_heldBlock, are the recording's in g_block but where skip says not.
bool SameBlock(CopyRun* run, u64 at, u32 length, const std::vector<OutputRun>& skip) {
  u32 error;
  return length > 0 && ReadOutputAt(&run->out, at, g_heldBlock, length, &error) &&
         AgreeOutside(g_block, g_heldBlock, at, length, skip);
}

// Looks at the .part the run holds: the block it resumes from (0 for a
// fresh start), with the last whole block it holds compared (its .part
// bytes left in g_heldBlock). It agrees with the disk where
// AgreesWithRecording looks, and holds no more than the recording's stream;
// otherwise it is kept as NAME.part.old.
CopyOutcome PlanResume(CopyRun* run, u64* fromBlock) {
  *fromBlock = 0;
  u64 held;
  if (!SizeOfOutput(run->out, &held) || held == 0) return kCopyDone;
  const FormPlan& plan = run->plan;
  const Recording& r = *run->recording;
  const CopyReader& reader = *run->reader;
  run->kept = held;
  // The whole blocks it holds, by arithmetic: a sparse .part of any length
  // costs no more than one that fits.
  u64 at, whole;
  u32 left;
  StreamPosition(plan, held, &at, &left);
  whole = at / kBlockBytes;
  // Zeros an earlier run wrote where the disk could not be read may read now.
  RescueRecord earlier;
  std::vector<OutputRun> zeroed;
  if (LoadDamage(run->damage, held, &earlier)) zeroed = earlier.unreadable;
  u32 got;
  // The block after the whole ones: the .part may hold no more of it than
  // the recording has.
  if (!ReadBlock(reader, r, whole, kBlockBytes, &got)) {
    SayInputFailure(run);
    return kCopyFailed;
  }
  bool longer = held - StreamOffset(plan, whole) > BlockStreamBytes(plan, whole, got);
  u64 compareBlock = whole ? whole - 1 : 0;
  at = StreamOffset(plan, compareBlock);
  if (!longer && whole && !ReadBlock(reader, r, compareBlock, kBlockBytes, &got)) {
    SayInputFailure(run);
    return kCopyFailed;
  }
  u32 length = BlockStreamBytes(plan, compareBlock, got);
  if (whole && length < StreamOffset(plan, whole) - at) longer = true;  // a short last block
  if (!whole) length = u32(held);
  std::vector<OutputRun> skip = zeroed;
  if (reader.pastDamage)
    for (u32 i = 0; i < g_damage.runCount; ++i)
      skip.push_back({at + (g_damage.runs[i].offset - compareBlock * kBlockBytes), g_damage.runs[i].length});
  Agreement sampled = kDiffers;
  if (!longer && SameBlock(run, at, length, skip))
    sampled = AgreesWithRecording(r, reader.pastDamage, StreamOffset(plan, whole), zeroed, ReadHeld,
                                  &run->out);
  // A disk that no longer reads where the .part holds bytes tells nothing
  // against them: the .part stays as it is.
  if (sampled == kUnread) {
    SayInputFailure(run);
    return kCopyFailed;
  }
  if (sampled != kAgrees) return KeepAside(run, "does not match the disk");
  *fromBlock = whole;
  return kCopyDone;
}

}  // namespace

CopyOutcome OpenPart(CopyRun* run, u64* fromBlock) {
  *fromBlock = 0;
  CopyOutcome opened = Open(run, false);
  if (opened != kCopyDone) return opened;
  CopyOutcome planned = PlanResume(run, fromBlock);
  if (planned != kCopyDone && run->held) {
    u32 error;
    CloseOutputFile(&run->out, false, &error);
    run->held = false;
  }
  return planned;
}

CopyOutcome OpenPartAfresh(CopyRun* run, const char* why) {
  CopyOutcome opened = Open(run, false);
  if (opened != kCopyDone) return opened;
  u64 held = 0;
  if (!SizeOfOutput(run->out, &held) || held == 0) return kCopyDone;
  // What an earlier run copied off the disk is kept, never cut.
  char reason[120];
  FormatText(reason, sizeof reason, "left by an earlier run, and %s", why);
  CopyOutcome aside = KeepAside(run, reason);
  if (aside != kCopyDone && run->held) {
    u32 error;
    CloseOutputFile(&run->out, false, &error);
    run->held = false;
  }
  return aside;
}

bool PublishPart(CopyRun* run) {
  u32 error = 0;
  const CopyTarget& t = *run->target;
  bool renamed = RenameOutput(&run->out, t.path, t.replace, &error);
  // Another run published that name while this one copied.
  static char other[1100];
  for (u32 n = 2; !renamed && IsNameTaken(error) && t.anotherName && n < 10000; ++n) {
    if (!NumberedPath(t.path, n, other, sizeof other)) break;
    renamed = RenameOutput(&run->out, other, false, &error);
    if (renamed) {
      Say("%s: written by another run meanwhile; this copy is %s", t.path, other);
      run->published = other;
      run->record.output = other;
    }
  }
  u32 closeError = 0;
  bool closed = CloseOutputFile(&run->out, false, &closeError);
  run->held = false;
  if (renamed && closed) return true;
  if (renamed) {
    SaySystemFailure(*run, IDS_CLOSE_ERROR, closeError);
  } else if (IsNameTaken(error)) {
    Say("%s: appeared while copying (another run?); the copy stays in %s", run->target->path,
        run->part);
  } else {
    SaySystemFailure(*run, IDS_CLOSE_ERROR, error);
  }
  return false;
}

void RemoveDamageFile(const CopyRun& run) { RemoveSideFile(run.damage); }
