// Output file names made from recording names: safe on every file system
// the program writes to, and unique within one run.
#ifndef MELVIR_CLI_NAMES_H
#define MELVIR_CLI_NAMES_H

#include "app/state.h"
#include "platform/types.h"

const u32 kFileNameSize = 80;  // a 64-character name, " (100)", ".ts", NUL

// The recording's name: its list text without the "  %uMo" size suffix.
// False when the text does not end in that suffix for sizeMiB.
bool NameFromListText(const char* text, u32 sizeMiB, char* name, u32 size);

// name made into a file name stem: the characters / \ : * ? " < > | and
// control or non-ASCII bytes become '_', leading and trailing dots and
// blanks go, an empty result becomes "recording", and a Windows device name
// (CON, NUL, COM1 ...) gets a '_' appended.
void SafeStem(const char* name, char* stem, u32 size);

// The file names chosen so far in this run, compared without regard to case
// (as Windows file systems do).
struct NameSet {
  char names[kMaxRecordings][kFileNameSize];
  u32 count;
};

// stem + ".ts", or stem + " (2).ts", " (3).ts" ... when taken in *set;
// adds the result to *set. False when the set is full.
bool UniqueFileName(NameSet* set, const char* stem, char* file, u32 size);

// folder + separator + file into path; false when it does not fit.
bool JoinPath(const char* folder, const char* file, char* path, u32 size);

#endif
