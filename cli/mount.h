// `melvir mount`: the recorder disk as a read-only folder of its recordings,
// through FUSE (Linux).
#ifndef MELVIR_CLI_MOUNT_H
#define MELVIR_CLI_MOUNT_H

#include "cli/args.h"
#include "cli/catalog.h"

// Before the disk is read: the mount point is an empty folder and FUSE is
// at hand. False (said) otherwise.
bool CheckMountPoint(const Options& options);

// Mounts and serves until unmounted or interrupted; the exit status.
int MountCommand(const Options& options, const Catalog& catalog);

#endif
