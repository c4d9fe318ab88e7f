// A build without libfuse3 (and the Windows build) has no mount.
#include "cli/cli_port.h"
#include "cli/commands.h"
#include "cli/mount.h"

bool CheckMountPoint(const Options&) {
  Say("%s", "mount needs FUSE (libfuse3), which this build of melvir lacks");
  return false;
}

int MountCommand(const Options&, const Catalog&) { return kExitFailed; }
