// The commands, run on the recording table once the disk has been read.
#ifndef MELVIR_CLI_COMMANDS_H
#define MELVIR_CLI_COMMANDS_H

#include <vector>

#include "cli/args.h"
#include "cli/catalog.h"

// Exit statuses. When several apply, the first of 130, 2, 1, 3 is given.
const int kExitDone = 0;
const int kExitFailed = 1;
const int kExitUsage = 2;
const int kExitDamaged = 3;    // done, but damage was met or found
const int kExitStopped = 130;  // as a shell reports a process ended by SIGINT

struct Destination {
  const char* folder;  // files go inside it under their own names, or null
  bool stream;         // -o names standard output, a FIFO or the null device
};
// Works out where -o and -d send the output; false (said) with the status to
// exit with. several: more than one recording is selected.
bool PlanDestination(const Options& options, bool several, Destination* destination, int* status);
// The same, before the disk is read: 0, or the status to exit with.
int CheckOutputChoice(const Options& options);

// The recordings -n, --all, --name (or for extract --lost, --all-lost)
// select, in order; false (said) when one named is not there.
bool SelectRecordings(const Options& options, const Catalog& catalog,
                      std::vector<const Recording*>* rows);

int ListCommand(const Options& options, const Catalog& catalog);
// The text info prints: the Windows program's Info lines, then the command
// line's own.
const u32 kInfoTextSize = kDiskInfoSize + 160;
void FormatInfoText(const Catalog& catalog, char* text, u32 size);
int InfoCommand(const Options& options, const Catalog& catalog);
int ExtractCommand(const Options& options, const Catalog& catalog);
int CheckDiskCommand(const Options& options, const Catalog& catalog);
int DomainCommand(const Options& options, const Catalog& catalog);

#endif
