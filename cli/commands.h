// The three commands, run after the scan has filled the recording list.
#ifndef MELVIR_CLI_COMMANDS_H
#define MELVIR_CLI_COMMANDS_H

#include "cli/args.h"

// Exit statuses.
const int kExitDone = 0;
const int kExitFailed = 1;
const int kExitUsage = 2;
const int kExitStopped = 130;  // as a shell reports a process ended by SIGINT

// scanFailed: the scan reported an error (the rows listed so far stand).
int ListCommand(const Options& options, bool scanFailed);
int InfoCommand(bool scanFailed);
int ExtractCommand(const Options& options, bool scanFailed);

#endif
