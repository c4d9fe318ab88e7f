// A recorder disk taken at a volume header the user names (--header), and
// `melvir check --find-header`, which looks for one: for a disk whose
// partition table in sector 2 is broken.
#include "cli/header_source.h"

#include <cstdio>

#include "check/header_scan.h"
#include "cli/exit_status.h"
#include "report/say.h"

namespace {

const u32 kSearchSectors = 32768;  // the first 16 MiB

bool OpenSource(const Options& o) {
  ResetDiskRecord();
  g_disk.cachedSector = kNoSector;
  FileHandle device;
  if (!OpenDrive(0, &device)) {
    char reason[200];
    SystemErrorText(LastSystemError(), reason, sizeof reason);
    Say("%s: cannot open: %s", o.sources[0], reason);
    return false;
  }
  g_disk.device = device;
  return true;
}

const char* OrderName(const HeaderCandidate& c) {
  if (c.wordSwap) return "word-swapped";
  return c.bigEndian ? "big-endian" : "little-endian";
}

struct Found {
  const Options* options;
  u32 count;
  u32 consistent;
};

void Print(void* context, const HeaderCandidate& c) {
  Found* f = static_cast<Found*>(context);
  ++f->count;
  bool whole = c.geometry.faults == 0;
  if (whole) ++f->consistent;
  std::printf("sector %u: %s, %u sectors per cluster, %u clusters, data from sector %u; %s\n",
              c.sector, OrderName(c), g_disk.sectorsPerCluster, g_disk.clusterCount,
              g_disk.dataStart,
              whole ? "a consistent geometry" : "its geometry has faults ('check' tells which)");
  std::printf("  melvir list --header %u %s\n", c.sector, f->options->sources[0]);
}

}  // namespace

bool FindDiskAtHeader(const Options& o) {
  if (!OpenSource(o)) return false;
  if (TakeHeaderAt(o.headerSector)) return true;
  Say("%s: sector %u holds no volume header in any byte order ('melvir check --find-header' "
      "looks for one)", o.sources[0], o.headerSector);
  CloseDisk();
  return false;
}

int FindHeaderCommand(const Options& o) {
  if (!OpenSource(o)) return kExitFailed;
  Found found = {&o, 0, 0};
  u32 scanned = 0, unreadable = 0;
  ScanForHeaders(kSearchSectors, Print, &found, &scanned, &unreadable);
  CloseDisk();
  std::printf("%u volume header%s in sectors 0 to %u (%.1f MiB) of %s", found.count,
              found.count == 1 ? "" : "s", scanned ? scanned - 1 : 0,
              scanned * double(kSectorSize) / 1048576.0, o.sources[0]);
  if (unreadable) std::printf(", %u sector%s unreadable", unreadable, unreadable == 1 ? "" : "s");
  std::printf("%s\n", scanned < kSearchSectors ? " (the whole source)" : "");
  return found.consistent ? kExitDone : kExitDamaged;
}
