// The commands, run on the recording table once the disk has been read.
#ifndef MELVIR_CLI_RECORDING_COMMANDS_H
#define MELVIR_CLI_RECORDING_COMMANDS_H

#include <vector>

#include "cli/args.h"
#include "cli/recording_table.h"
#include "cli/exit_status.h"


struct Destination {
  const char* folder;  // files go inside it under their own names, or null
  bool stream;         // -o names standard output, a FIFO or the null device
};
// Works out where -o and -d send the output: false, with the reason on
// stderr and the status to exit with, when they cannot be used. several:
// more than one recording is selected.
bool PlanDestination(const Options& options, bool several, Destination* destination, int* status);
// The same, before the disk is read: 0, or the status to exit with.
int CheckOutputChoice(const Options& options);

// The recordings -n, --all, --name (or for extract --lost, --all-lost)
// select, in order; false (said) when one named is not there.
bool SelectRecordings(const Options& options, const Catalog& catalog,
                      std::vector<const Recording*>* rows);

int ListCommand(const Options& options, const Catalog& catalog);
int InfoCommand(const Options& options, const Catalog& catalog);
int ExtractCommand(const Options& options, const Catalog& catalog);
int CheckDiskCommand(const Options& options, const Catalog& catalog);
int DomainCommand(const Options& options, const Catalog& catalog);

#endif
