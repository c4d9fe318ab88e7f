// What an output already holds of its recording, looked at before copying:
// an output that is there complete is left as it is, and a run of several
// recordings is measured against the output folder's free space.
#ifndef MELVIR_CLI_EXISTING_OUTPUT_H
#define MELVIR_CLI_EXISTING_OUTPUT_H

#include "cli/catalog.h"

// The bytes the recording's output has (as extract writes it), read as
// --rescue reads when rescue is set.
u64 OutputBytes(const Recording& recording, bool rescue);

// path holds the recording's output whole: its length, and its last block
// (up to 131072 bytes) the same as the recording's. A read of the disk that
// fails leaves it not complete.
bool OutputIsComplete(const Recording& recording, bool rescue, const char* path);

#endif
