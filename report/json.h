// JSON text: Latin-1 and UTF-8 strings, and the members every recording's
// object starts with.
#ifndef MELVIR_REPORT_JSON_H
#define MELVIR_REPORT_JSON_H

#include <cstdio>

#include "platform/types.h"

// Writes text as a JSON string, quotes included. Bytes are taken as
// Latin-1: quotes and backslashes are escaped, and every byte outside
// 0x20..0x7E is written as \u00XX, so the output is plain ASCII whatever
// the text holds.
void WriteJsonString(std::FILE* out, const char* text);

// Writes UTF-8 text as a JSON string: quotes, backslashes and control
// codes escaped, everything else as it is.
void WriteJsonUtf8(std::FILE* out, const char* text);

// The first members of one recording's JSON object, from its opening brace
// on: the caller adds more and closes it.
void WriteJsonRecording(std::FILE* out, u32 index, const char* name, u32 firstCluster,
                        u32 sizeMiB, const char* text);

#endif
