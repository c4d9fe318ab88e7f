// The decoding tables of the 8-bit charsets names may use, and the case
// folding that file names are compared with. The data is generated from the
// system's iconv and case mapping by tools/make-charset-tables.
#ifndef MELVIR_TEXT_CHARSET_TABLES_H
#define MELVIR_TEXT_CHARSET_TABLES_H

#include "platform/types.h"

// Each charset here is ASCII below 0x80; the tables give the code points of
// bytes 0x80 to 0xFF. A byte the charset leaves undefined holds kUndefined.
const u16 kUndefined = 0;

// Indexed by part number; a part the system does not know (0, 12) is not
// present and all kUndefined.
extern const u16 kIso8859High[16][128];
extern const bool kIso8859Present[16];
extern const u16 kCp1252High[128];
// Single bytes of ISO 6937; the non-spacing marks 0xC1-0xCF are undefined
// alone and decode only with the letter that follows them.
extern const u16 kIso6937High[128];

struct Iso6937Pair {
  u16 bytes;  // mark << 8 | letter, ascending
  u16 codePoint;
};
extern const Iso6937Pair kIso6937Pairs[];
extern const u32 kIso6937PairCount;

// Code points that compare equal to another, ascending by from; a code
// point not listed folds to itself.
struct CaseFold {
  u32 from;
  u32 to;
};
extern const CaseFold kCaseFolds[];
extern const u32 kCaseFoldCount;

#endif
