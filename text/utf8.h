// UTF-8, the form every decoded name and output file name takes.
#ifndef MELVIR_TEXT_UTF8_H
#define MELVIR_TEXT_UTF8_H

#include "platform/types.h"

const u32 kReplacement = 0xFFFD;
const u32 kMaxUtf8Length = 4;

// Reads the character at p (length bytes left, at least 1) into *codePoint
// and returns the bytes it takes. Overlong forms, surrogates, values past
// U+10FFFF and sequences cut short give U+FFFD, one for each stray byte and
// one for the longest start of a sequence that could have been valid, as
// Unicode recommends.
u32 ReadUtf8(const u8* p, u32 length, u32* codePoint);

// Writes codePoint (a Unicode scalar value) to out; returns its length.
u32 WriteUtf8(u32 codePoint, char out[kMaxUtf8Length]);

#endif
