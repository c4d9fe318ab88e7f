// A build without libfuse3 (and the Windows build) has no mount.
#include "mount/mount.h"
#include "report/say.h"

bool CheckMountPoint(const char*, bool) {
  Say("%s", "mount needs FUSE (libfuse3), which this build of melvir lacks");
  return false;
}

bool MountAndServe(const MountRequest&) { return false; }
