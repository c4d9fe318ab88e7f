// The sources opened before the scan, and why one is no recorder disk.
#include "cli/sources.h"

#include "cli/cli_port.h"
#include "cli/os.h"
#include "files/output_file.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"

namespace {

#ifdef _WIN32
const char kRightsHint[] = "run melvir-cli.exe as administrator to read the machine's disks";
const char kRefusedHint[] =
    "these disks are refused even to an administrator: give the recorder disk or its image as "
    "SOURCE";
#else
const char kRightsHint[] = "run melvir as root to read the machine's disks";
// A container's device rules or a security module can refuse root.
const char kRefusedHint[] =
    "these disks are refused even to root: give the recorder disk or its image as SOURCE";
#endif

// Why a read during the probe failed: the system's reason, or a short read.
void ReadFailure(u32 error, const char* what, char* out, u32 size) {
  char reason[200];
  if (error) SystemErrorText(error, reason, sizeof reason);
  else FormatText(reason, sizeof reason, "%s", "the disk or image ends before it");
  FormatText(out, size, "cannot read %s: %s", what, reason);
}

// Why the probe of drive stopped, for a source that opened.
bool NotADiskReason(u32 drive, const char* path, char* out, u32 size) {
  const DriveProbe& p = ProbeOf(drive);
  u64 bytes = 0;
  switch (p.step) {
    case kProbeTableUnreadable:
      if (!p.error && SizeOfFile(path, &bytes)) {
        FormatText(out, size, "too short to be a recorder disk (%llu bytes)",
                   static_cast<unsigned long long>(bytes));
        return true;
      }
      if (!p.error) {
        FormatText(out, size, "%s", "too short to be a recorder disk (it ends before sector 3)");
        return true;
      }
      ReadFailure(p.error, "sector 2 (the partition table)", out, size);
      return true;
    case kProbeNoMagic:
      FormatText(out, size, "%s", "no partition table magic in sector 2");
      return true;
    case kProbeNoPartition:
      FormatText(out, size, "%s", "no recording partition (HDD1_AV1) in the partition table");
      return true;
    case kProbeHeaderUnreadable:
      ReadFailure(p.error, "the volume header", out, size);
      return true;
    case kProbeHeaderInvalid:
      FormatText(out, size, "%s", "invalid volume header");
      return true;
    default:
      return false;
  }
}

}  // namespace

bool CheckSources(const Options& o) {
  for (u32 i = 0; i < o.sourceCount; ++i) {
    const char* path = o.sources[i];
    if (KindOfTarget(path) == kTargetFolder) {
      Say("%s: cannot open: is a folder, not a disk or image", path);
      return false;
    }
    SetDriveTable(&o.sources[i], 1);
    FileHandle h;
    ClearSystemError();
    bool opened = OpenDrive(0, &h);
    u32 error = LastSystemError();
    SetDriveTable(nullptr, 0);
    if (opened) {
      CloseFile(h);
      continue;
    }
    char reason[200];
    SystemErrorText(error, reason, sizeof reason);
    Say("%s: cannot open: %s", path, reason);
    return false;
  }
  return true;
}

void ReportProbes(const Options& o, bool found) {
  u32 last = found ? g_disk.diskNumber : kLastDrive + 1;
  bool denied = false;
  for (u32 drive = 0; drive < last; ++drive) {
    char path[1024], reason[300];
    if (!DriveName(drive, path, sizeof path)) break;
    const DriveProbe& p = ProbeOf(drive);
    if (p.step == kProbeNotOpened) {
      if (IsAccessDenied(p.error)) {
        SystemErrorText(p.error, reason, sizeof reason);
        Say("%s: cannot open: %s", path, reason);
        denied = true;
      }
      continue;
    }
    // The machine's own disks are not named: most of them are no recorder disk.
    if (o.sourceCount && NotADiskReason(drive, path, reason, sizeof reason))
      Say("%s: not a recorder disk: %s", path, reason);
  }
  if (denied && !o.sourceCount) Say("%s", RunsAsAdministrator() ? kRefusedHint : kRightsHint);
  if (found && o.sourceCount != 1) {
    char path[1024];
    if (DriveName(g_disk.diskNumber, path, sizeof path))
      Say("recorder disk on %s (drive %u)", path, g_disk.diskNumber);
  }
}
