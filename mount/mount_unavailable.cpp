// A build without libfuse3 (and the Windows build) has no mount.
#include "mount/mount.h"
#include "report/say.h"

bool CheckMountPoint(const char*, bool) {
#ifdef _WIN32
  Say("%s", "mount needs a Linux build of melvir (FUSE)");
#else
  Say("%s", "mount needs FUSE (libfuse3), which this build of melvir lacks");
#endif
  return false;
}

bool MountAndServe(const MountRequest&) { return false; }
