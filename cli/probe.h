// `melvir probe`: what each recording holds, from its transport stream's
// own tables and clocks, read through the same reader as extract.
#ifndef MELVIR_CLI_PROBE_H
#define MELVIR_CLI_PROBE_H

#include <cstdio>

#include "cli/args.h"
#include "cli/recording_table.h"

// Before the disk is read: this build has the probe (said when not).
bool ProbeAvailable();

int ProbeCommand(const Options& options, const Catalog& catalog);

#endif
