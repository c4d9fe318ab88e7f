// The one-line progress display on a terminal: percentage, MiB read of MiB
// listed, rate and time left.
#ifndef MELVIR_CLI_PROGRESS_H
#define MELVIR_CLI_PROGRESS_H

#include "platform/types.h"

// The line for these figures, cut to columns - 1 characters (the label is
// shortened first). seconds is the time since the start; below 0.1 s no
// rate is given yet.
u32 FormatProgressLine(char* out, u32 size, const char* label, u32 percent, u32 mibRead,
                       u32 mibListed, double seconds, u32 columns);

// The display itself, on stderr; a no-op unless started with show = true.
// Not thread-safe: the caller serialises these with its other stderr lines.
void StartProgress(bool show, u32 sizeMiB);
void ProgressLabel(const char* label);
void ProgressPercent(u32 percent);
void ProgressMiB(u32 mibRead);  // redraws at most ten times a second
void ClearProgress();           // erases the line, if drawn (before a message)
void EndProgress();             // erases it and stops the display

// A run of count copies on one line: between its start and end, each
// copy's display adds to the run's figures (recordings done of count, MiB
// of totalMiB, the run's rate and time left) rather than starting its own.
void StartRunProgress(bool show, u32 count, u32 totalMiB);
// Before the copy of recording index (from 0), the run's copies so far having read doneMiB.
void RunProgressNext(u32 index, u32 doneMiB);
void EndRunProgress();

#endif
