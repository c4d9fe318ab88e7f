// Before anything is read or written: what the run reads is known to the
// write guard, and every file it will write whose name the command line
// gives is checked against it.
#ifndef MELVIR_CLI_WRITE_CHECKS_H
#define MELVIR_CLI_WRITE_CHECKS_H

#include "cli/args.h"

// Tells the write guard the run's sources, or the machine's drives when
// none is named, and its mapfile.
void GuardSources(const Options& options);

// Every output named on the line (-o with its .part and damage file,
// --report, --trace-file, catalog's pages): none may be a source or a
// device. kExitUsage, said, when one is; 0 otherwise.
int CheckNamedWrites(const Options& options);

// Says why path may not be written ("PATH: is a source of this run, never
// written to") when the guard refuses it by name; side: a run's own side file.
bool MayWrite(const char* path, bool side);

#endif
