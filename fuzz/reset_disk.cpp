#include "fuzz/reset_disk.h"

#include "disk/recorder_disk.h"

void ResetDisk() {
  CloseDisk();
  g_disk = RecorderDisk{};
  g_disk.device = kNoFile;
  g_disk.traceLog = kNoFile;
  g_disk.cachedSector = kNoSector;
}
