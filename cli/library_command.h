// `melvir library -d DIR`: the recordings copied into a media library that
// Kodi and Jellyfin read (the library room says where each goes and writes
// what goes beside it); this parses nothing more and reports.
#ifndef MELVIR_CLI_LIBRARY_COMMAND_H
#define MELVIR_CLI_LIBRARY_COMMAND_H

#include "cli/args.h"
#include "cli/recording_table.h"

// Before the disk is read: 0 when this build has the library and -d can be
// a folder, else 1 (the reason on stderr).
int PrepareLibrary(const Options& options);

int LibraryCommand(const Options& options, const Catalog& catalog);

#endif
