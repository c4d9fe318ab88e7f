// The write guard told what the run reads, and the outputs the line names
// checked against it before the first read.
#include "cli/write_checks.h"

#include <cstring>

#include "cli/cli_port.h"
#include "cli/exit_status.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"
#include "platform/write_guard.h"

void GuardSources(const Options& o) {
  ClearGuard();
  for (u32 i = 0; i < o.sourceCount; ++i) GuardRead(o.sources[i]);
  if (o.mapfile) GuardRead(o.mapfile);
  if (o.sourceCount) return;
  char path[1024];
  for (u32 drive = 0; drive <= kLastDrive && DriveName(drive, path, sizeof path); ++drive)
    GuardRead(path);
}

bool MayWrite(const char* path, bool side) {
  WriteVerdict verdict = CheckWritePath(path, side);
  // Only what no run may write counts here; a side file's own shape is
  // said when it is opened.
  if (verdict != kWriteIsSource && verdict != kWriteIsDevice) return true;
  char reason[200];
  WriteVerdictText(verdict, 0, reason, sizeof reason);
  Say("%s: %s", path, reason);
  return false;
}

int CheckNamedWrites(const Options& o) {
  bool ok = true;
  char side[1200];
  if (o.report) ok = MayWrite(o.report, false) && ok;
  if (o.trace || o.traceFile) ok = MayWrite(o.traceFile ? o.traceFile : kTraceLogName, false) && ok;
  if (o.command == kExtract && o.outputFile && std::strcmp(o.outputFile, "-") != 0) {
    ok = MayWrite(o.outputFile, false) && ok;
    FormatText(side, sizeof side, "%s.part", o.outputFile);
    ok = MayWrite(side, true) && ok;
    FormatText(side, sizeof side, "%s.part.damage", o.outputFile);
    ok = MayWrite(side, true) && ok;
  }
  if (o.command == kLibrary && o.outputDir) {
    FormatText(side, sizeof side, "%s/index.html", o.outputDir);
    ok = MayWrite(side, false) && ok;
  }
  if (o.command == kCatalog && o.outputDir) {
    for (const char* page : {"catalog.json", "index.html"}) {
      FormatText(side, sizeof side, "%s/%s", o.outputDir, page);
      ok = MayWrite(side, false) && ok;
    }
  }
  return ok ? 0 : kExitUsage;
}
