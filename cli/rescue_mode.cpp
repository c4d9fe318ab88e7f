#include "cli/rescue_mode.h"

#include <atomic>

#include "cli/cli_port.h"
#include "cli/output_file.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"

namespace {

DriveMap g_map;
bool g_mapped = false;
std::atomic<bool> g_damage{false};  // a mount's threads note damage too
bool g_advised = false;

void OnMirror(MetadataArea area, u32 s, u32 copyRead) {
  const char* what = area == kTableArea ? "allocation table" : "directory";
  NoteDamage();
  if (copyRead == 0) Say("%s sector %u unreadable in both copies", what, s);
  else if (copyRead == 2) Say("%s sector %u unreadable, read from its mirror copy", what, s);
  else Say("%s sector %u unreadable in copy 2, read from copy 1", what, s);
}

}  // namespace

bool PrepareMapfile(const Options& o) {
  if (!o.mapfile) return true;
  u64 size = 0;
  if (!SizeOfFile(o.sources[0], &size)) {
    Say("%s: --mapfile goes with an image file, not a device", o.sources[0]);
    return false;
  }
  char error[600];
  if (!LoadMapfile(o.mapfile, size, &g_map, error, sizeof error)) {
    Say("%s", error);
    return false;
  }
  g_mapped = SetDriveMap(0, &g_map);
  return g_mapped;
}

const DriveMap* ActiveMap() { return g_mapped ? &g_map : nullptr; }

void StartRescue(const Options& o) {
  if (!o.rescue && !o.firstCopy) return;
  g_disk.mirrorFallback = true;
  g_disk.firstCopy = o.firstCopy ? o.firstCopy : 1;
  g_disk.onMirror = OnMirror;
}

void NoteDamage() { g_damage = true; }
bool DamageMet() { return g_damage; }

const char* RescueHint(const Options& o) {
  return o.rescue || !TakesRescue(o.command) ? "" : " (--rescue reads past damage)";
}

void AdviseImaging() {
  if (g_advised || !IsBlockDevice(g_disk.device)) return;
  g_advised = true;
  Say("%s", "this disk has unreadable sectors: imaging it with GNU ddrescue first, then "
            "reading the image with --mapfile, spares it");
}
