// The state of one recording's copy, shared by the copy loop (copy.cpp) and
// the handling of its NAME.part (part_file.cpp).
#ifndef MELVIR_CLI_COPY_RUN_H
#define MELVIR_CLI_COPY_RUN_H

#include "cli/copy.h"
#include "cli/copy_reader.h"
#include "files/output_file.h"
#include "cli/progress.h"
#include "disk/block_form.h"
#include "report/rescue_report.h"
#include "report/read_failure.h"

struct CopyRun {
  const Recording* recording;
  const CopyTarget* target;
  const CopyReader* reader;  // plain, or past damage: chosen once
  char part[1100];        // where the bytes go: NAME.part, or the target itself
  const char* published;  // the name the copy has in the end
  OutputFile out;
  bool held;              // the .part is open, this run's own
  bool open;              // the output's writer is running
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

// The .part's bytes kept from an earlier run, read back by the resume check
// for the unaligned start of the first unbuffered write.
extern u8 g_heldBlock[kBlockBytes];

// A run of r to t afresh: its reader, its NAME.part and damage file names.
void BeginCopyRun(CopyRun* run, const Recording& r, const CopyTarget& t);

// The progress display of r's copy, labelled with its name, on a terminal
// unless quiet.
void StartCopyProgress(const Recording& r, bool quiet);

void SayFailure(const CopyRun& run, u32 id, const char* reason);
void SaySystemFailure(const CopyRun& run, u32 id, u32 error);
void SayInputFailure(CopyRun* run);

// What a read past damage met in block `block` just read into g_block
// (its first byte recording offset bytesRead, kept stream bytes going to
// stream offset run->handed), added to the run's record before the bytes
// are handed on; true when the record changed.
bool NoteBlockDamage(CopyRun* run, u64 block, u64 bytesRead, u32 kept);

// The damage line and the --report object of a recording read past
// damage, whose output ends after length bytes.
void FinishRecord(const CopyRun& run, u64 length, RescueRecord* record);

// The recording written as Matroska into NAME.part, then published.
CopyOutcome RemuxToTarget(const Recording& recording, const CopyTarget& target);
// The recording's programme alone written as a .ts into NAME.part (--trim).
CopyOutcome CutToTarget(const Recording& recording, const CopyTarget& target);

// The recording read once, in order, from its start, for a copy that is no
// copy of its bytes (copy_in_order.cpp): a StreamSource's read over the
// run's reader, each block's damage noted as the copy to .ts notes it.
struct InOrderRead {
  CopyRun* run;
  u64 block;       // the next block to read
  u64 bytesRead;   // recording bytes read
  u32 have, used;  // g_block's stream bytes, and those handed on
  bool ended, failed, stopped;
};
bool ReadInOrder(void* context, u64 offset, u8* buffer, u32 count, u32* got);
// Whether stream bytes [from, to) of the run hold any the reads could not read.
bool UnreadableInRun(void* context, u64 from, u64 to);
// Writes at offset of the run's output (its OutputFile the context).
bool WritePartAt(void* context, u64 offset, const u8* data, u32 length, u32* error);
// Lets go of the .part of a run that ends early: one that holds nothing is
// removed, any other stays.
void LetGoOfOutput(CopyRun* run, u64 bytes);
// Syncs the run's .part of `bytes` bytes and publishes it; false, said,
// when either fails.
bool SyncAndPublish(CopyRun* run, u64 bytes);

// Opens the run's NAME.part as its own and plans the resume: *fromBlock,
// the first block to copy (0: afresh); a .part that does not match the disk
// is kept as NAME.part.old. kCopyDone when the copy can go on; kCopyInUse
// (not said) when another run holds the .part; kCopyFailed, said, else.
CopyOutcome OpenPart(CopyRun* run, u64* fromBlock);

// Opens the run's NAME.part as its own, to be written from its start: one
// an earlier run left is kept as NAME.part.old (said, with why: "a Matroska
// file cannot be resumed"). As OpenPart otherwise.
CopyOutcome OpenPartAfresh(CopyRun* run, const char* why);

// Gives the synced .part its final name (replacing an existing file only
// with replace) and closes it. False, said, when it cannot.
bool PublishPart(CopyRun* run);

// Removes the run's NAME.part.damage, when it is a side file of this run's.
void RemoveDamageFile(const CopyRun& run);

#endif
