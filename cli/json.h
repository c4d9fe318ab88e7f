// JSON text for the recording list.
#ifndef MELVIR_CLI_JSON_H
#define MELVIR_CLI_JSON_H

#include <cstdio>

#include "platform/types.h"

// Writes text as a JSON string, quotes included. Bytes are taken as
// Latin-1: quotes and backslashes are escaped, and every byte outside
// 0x20..0x7E is written as \u00XX, so the output is plain ASCII whatever
// the text holds.
void WriteJsonString(std::FILE* out, const char* text);

// One recording of the list as a JSON object (no trailing comma or newline).
void WriteJsonRecording(std::FILE* out, u32 index, const char* name, u32 firstCluster,
                        u32 sizeMiB, const char* text);

#endif
