// Output file names made from recording names: safe on every file system
// the program writes to, and unique within one run.
#ifndef MELVIR_TEXT_NAMES_H
#define MELVIR_TEXT_NAMES_H

#include "text/charset.h"
#include "platform/types.h"

// A decoded name, the '_' a device name gets, " (4294967295)", ".ts".
const u32 kFileNameSize = kDecodedNameSize + 1 + 13 + 3;

// The recording's name: its list text without the "  %uMo" size suffix.
// False when the text does not end in that suffix for sizeMiB.
bool NameFromListText(const char* text, u32 sizeMiB, char* name, u32 size);

// name (UTF-8, as DecodeName gives it) made into a file name stem: letters
// beyond ASCII stay; U+FFFD, bytes that are no UTF-8, control codes and the
// characters / \ : * ? " < > | become '_'; leading and trailing dots and
// blanks go; an empty result becomes "recording"; and a Windows device name
// (CON, NUL, COM1 ...) gets a '_' appended. A stem cut short by size ends at
// a whole character.
void SafeStem(const char* name, char* stem, u32 size);

// The file names chosen so far in this run, compared without regard to case
// over every letter (as Windows file systems do: "CAFÉ.ts" is "café.ts").
// It holds any number of names. All zero is an empty set; setting count to
// 0 empties it again and keeps its memory.
struct NameEntry {
  u32 keyStart;  // offset of its key in the pool
  u32 next;      // for a stem: the copy number to try next
};
struct NameSet {
  u32 count;     // entries held: each file name, and each stem it came from
  u32 held;      // count as last left here: a count set lower is noticed
  u32 capacity;  // entries allocated
  NameEntry* entries;
  char* pool;  // keys, NUL-terminated, one after another
  u32 poolSize;
  u32* slots;  // by hash of key: entry index + 1, or 0 when free
  u32 slotCount;
};

// stem + ".ts", or stem + " (2).ts", " (3).ts" ... when taken in *set;
// adds the result to *set. False when memory runs out or file is too small.
bool UniqueFileName(NameSet* set, const char* stem, char* file, u32 size);

void FreeNameSet(NameSet* set);

// A letter's case-folded form (a code point), as names are compared.
u32 FoldLetter(u32 codePoint);

// "NAME (n).EXT" of the path "NAME.EXT" (" (n)" at the end without an
// extension): the n-th name of a file whose name is taken, as
// UniqueFileName numbers names. False when it does not fit.
bool NumberedPath(const char* path, u32 n, char* out, u32 size);

// folder + separator + file into path; false when it does not fit.
bool JoinPath(const char* folder, const char* file, char* path, u32 size);

#endif
