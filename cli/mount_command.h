// `melvir mount` on the command line's side.
#ifndef MELVIR_CLI_MOUNT_COMMAND_H
#define MELVIR_CLI_MOUNT_COMMAND_H

#include "cli/args.h"
#include "cli/recording_table.h"

// Before the disk is read: 0 when the mount point can take a mount, else 1
// (the reason on stderr).
int PrepareMount(const Options& options);

// Mounts and serves until unmounted or interrupted; the exit status.
int MountCommand(const Options& options, const Catalog& catalog);

#endif
