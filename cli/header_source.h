// The recorder disk at a volume header the user names, and the search for
// one, for a disk whose sector 2 is broken.
#ifndef MELVIR_CLI_HEADER_SOURCE_H
#define MELVIR_CLI_HEADER_SOURCE_H

#include "cli/args.h"

// Opens the one SOURCE and takes --header's sector for its volume header.
// False, the reason on stderr, when it holds none.
bool FindDiskAtHeader(const Options& options);

// `check --find-header`: every sector of the first 16 MiB that holds a
// volume header, with the command that uses it. 0 when one has a
// consistent geometry, 3 when none has, 1 when the source cannot be read.
int FindHeaderCommand(const Options& options);

#endif
