// The sources a run reads, and why one is or is not a recorder disk.
#ifndef MELVIR_CLI_SOURCES_H
#define MELVIR_CLI_SOURCES_H

#include "cli/args.h"

// Opens every SOURCE once, before anything is scanned: one that cannot be
// read is named with the system's reason and the run ends (false), so a
// mistyped name never selects the next image.
bool CheckSources(const Options& options);

// After a discovery: names each probed source that is no recorder disk with
// why, a machine disk refused for lack of rights, and, with several sources
// or none, the source that holds the recorder disk.
void ReportProbes(const Options& options, bool found);

#endif
