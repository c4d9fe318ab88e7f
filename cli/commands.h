// The commands, run on the recording table once the disk has been read.
#ifndef MELVIR_CLI_COMMANDS_H
#define MELVIR_CLI_COMMANDS_H

#include "cli/args.h"
#include "cli/catalog.h"

// Exit statuses. When several apply, the first of 130, 2, 1, 3 is given.
const int kExitDone = 0;
const int kExitFailed = 1;
const int kExitUsage = 2;
const int kExitDamaged = 3;    // done, but damage was met or found
const int kExitStopped = 130;  // as a shell reports a process ended by SIGINT

int ListCommand(const Options& options, const Catalog& catalog);
int InfoCommand(const Options& options, const Catalog& catalog);
int ExtractCommand(const Options& options, const Catalog& catalog);

#endif
