// The run's rescue settings: the map, the mirror reads and their messages.
#include "cli/rescue_settings.h"

#include <atomic>

#include "cli/cli_port.h"
#include "files/output_file.h"
#include "disk/recorder_disk.h"
#include "rescue/mirror.h"
#include "platform/platform.h"

namespace {

DriveMap g_map;
bool g_mapped = false;
std::atomic<bool> g_damage{false};  // a mount's threads note damage too
bool g_advised = false;

struct HeldRun {
  bool held;
  MetadataArea area;
  SectorTale tale;
  u32 first, last;
};
HeldRun g_run = {};
bool g_holding = false;

// A directory sector unreadable in both copies is told by the directory
// walk, with the entries it loses.
void OnMirror(MetadataArea area, u32 s, u32 copyRead) {
  NoteDamage();
  if (area == kDirectoryArea && copyRead == 0) return;
  TellSectorRun(area, s, copyRead == 0 ? kUnreadable : copyRead == 2 ? kReadFromMirror : kReadFromCopy1);
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
  StartMirrorReads(o.firstCopy ? o.firstCopy : 1, OnMirror);
}

void SayHeldRun() {
  if (!g_run.held) return;
  g_run.held = false;
  const char* what = g_run.area == kTableArea ? "allocation table" : "directory";
  char sectors[40];
  bool one = g_run.first == g_run.last;
  if (one)
    FormatText(sectors, sizeof sectors, "sector %u", g_run.first);
  else
    FormatText(sectors, sizeof sectors, "sectors %u to %u", g_run.first, g_run.last);
  typedef unsigned long long ull;
  if (g_run.tale == kEntriesLost)
    Say("%s %s unreadable in both copies: entries %llu to %llu lost", what, sectors,
        ull(g_run.first) * 7, ull(g_run.last) * 7 + 6);
  else if (g_run.tale == kUnreadable)
    Say("%s %s unreadable in both copies", what, sectors);
  else if (g_run.tale == kReadFromMirror)
    Say("%s %s unreadable, read from %s mirror cop%s", what, sectors, one ? "its" : "their",
        one ? "y" : "ies");
  else
    Say("%s %s unreadable in copy 2, read from copy 1", what, sectors);
}

void TellSectorRun(MetadataArea area, u32 s, SectorTale tale) {
  NoteDamage();
  if (g_run.held && g_run.area == area && g_run.tale == tale && g_run.last + 1 == s) {
    g_run.last = s;
    return;
  }
  SayHeldRun();
  g_run = {true, area, tale, s, s};
  if (!g_holding) SayHeldRun();
}

void HoldSectorRuns(bool hold) {
  if (!hold) SayHeldRun();
  g_holding = hold;
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
