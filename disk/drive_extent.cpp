// What of the recorder disk the drive holds: its sectors, the leading
// sectors of the table or the directory that lie on it, and the clusters
// whose sectors do. The one copy of these bounds for the check and for every
// walk past damage.
#include "disk/layout.h"
#include "disk/recorder_disk.h"

namespace {

const u64 kSectorLimit = u64(1) << 32;  // sector numbers are 32-bit

}  // namespace

u64 DiskSectors(bool* known) {
  u64 bytes = 0;
  *known = DriveSize(g_disk.device, &bytes);
  u64 sectors = *known ? bytes / kSectorSize : kSectorLimit;
  return sectors < kSectorLimit ? sectors : kSectorLimit;
}

// Copy 1's groups of k sectors lie 2k apart: the sectors before end hold
// whole groups, then up to k sectors of the next. With k = 0 both copies
// are the same sectors, end to end.
u32 CopySectorsBefore(u32 start, u32 k, u32 size, u64 end) {
  if (end <= start) return 0;
  u64 span = end - start;
  u64 rest = k ? span % (2 * u64(k)) : 0;
  u64 n = k ? span / (2 * u64(k)) * k + (rest < k ? rest : k) : span;
  return n < size ? u32(n) : size;
}

bool ClusterOnDrive(u32 cluster) {
  u64 position;
  if (!ClusterPosition(cluster, 0, &position)) return false;
  u64 sectors = g_disk.sectorsPerCluster ? g_disk.sectorsPerCluster : 1;
  return position / kSectorSize + sectors <= g_disk.driveSectors;
}
