// Read failures as the command line names them: the sectors and the
// system's reason ("reading sector 1,630,503 of disk.img: Input/output
// error"), one line for each run of failed sectors however many reads met it.
#ifndef MELVIR_REPORT_READ_FAILURE_H
#define MELVIR_REPORT_READ_FAILURE_H

#include "rescue/rescue.h"

// "reading sector N of SOURCE: REASON", or "reading sectors N to M ..."
// for more than one. error 0: the disk or image ended there.
void FormatReadFailure(char* out, u32 size, const char* source, u64 first, u64 last, u32 error);

// Why the plain reader's last read of a recording failed (disk/data.cpp):
// the failing read's sector with the system's reason, the end of the disk
// or image, or the chain.
void DataFailureReason(const char* source, char* out, u32 size);

// The failed sectors met so far and not yet said: one run, widened while
// the next failure goes on from it on the disk for the same reason.
struct FailedSectors {
  const char* output;  // the line's subject
  const char* source;
  bool open;
  u64 first, last;  // sectors
  u32 error;
};

// Takes the runs of one read past damage in; says the run before when
// a new one starts.
void NoteFailedSectors(FailedSectors* failed, const ReadDamage& damage);
// Says the open run, if any.
void SayFailedSectors(FailedSectors* failed);

// A recording whose blocks exist but none of whose block starts could be
// read is taken to be in block form (FormPlan::unvoted): says so of the
// subject ("recording 3 \"News\"", "News.ts"), once per subject in a run,
// however many times its form is planned.
void SayFormTaken(const char* subject);

#endif
