#include "cli/commands.h"

#include <cstdio>
#include <cstring>

#include "app/runs.h"
#include "app/state.h"
#include "cli/cli_port.h"
#include "cli/json.h"
#include "cli/names.h"
#include "cli/os.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"

namespace {

u32 RowCount() { return g_app.recordings.rowCount.load(std::memory_order_acquire); }

// The recording's name for row i; the whole list text should it not carry
// the size suffix (it always does).
void RowName(u32 i, char* name, u32 size) {
  const char* text = ListLine(i);
  if (!NameFromListText(text, g_app.recordings.rows[i].sizeMiB, name, size))
    FormatText(name, size, "%s", text);
}

struct Target {
  u32 row;
  char path[kOutputPathSize];
};

struct Plan {
  Target targets[kMaxRecordings];
  u32 count;
  NameSet names;
};

bool PlanTarget(const Options& o, u32 row, Plan* plan) {
  Target& t = plan->targets[plan->count++];
  t.row = row;
  if (o.outputFile) {
    if (FormatText(t.path, sizeof t.path, "%s", o.outputFile) == std::strlen(o.outputFile))
      return true;
    Say("%s: output path too long (at most %u characters)", o.outputFile, kOutputPathSize - 1);
    return false;
  }
  char name[kListTextSize], stem[kFileNameSize], file[kFileNameSize];
  RowName(row, name, sizeof name);
  SafeStem(name, stem, sizeof stem);
  UniqueFileName(&plan->names, stem, file, sizeof file);
  if (JoinPath(o.outputDir, file, t.path, sizeof t.path)) return true;
  Say("%s: output path too long (at most %u characters)", file, kOutputPathSize - 1);
  return false;
}

// An output that would destroy a source, or replace a file unasked, is
// refused before anything is written.
bool CheckTarget(const Options& o, const Target& t) {
  bool onSource = IsDiskDevice(t.path);
  for (u32 i = 0; i < o.sourceCount && !onSource; ++i) onSource = SameFile(t.path, o.sources[i]);
  if (onSource) {
    Say("%s: is a disk or source, never written to", t.path);
    return false;
  }
  if (!o.force && PathExists(t.path)) {
    Say("%s: exists; use --force to replace it", t.path);
    return false;
  }
  return true;
}

enum Outcome { kDone, kFailed, kStopped };

Outcome ExtractRow(const Options& o, const Target& t) {
  const RecordingInfo& row = g_app.recordings.rows[t.row];
  Selection& sel = g_app.selection;
  sel.firstCluster = row.firstCluster;
  sel.sizeMiB = row.sizeMiB;
  FormatText(sel.text, sizeof sel.text, "%s", ListLine(t.row));
  sel.valid = true;
  FormatText(g_app.outputPath, sizeof g_app.outputPath, "%s", t.path);
  u32 errorsBefore = ErrorCount();
  ClearFlag(g_app.abortFlag);
  if (Interrupted()) SetFlag(g_app.abortFlag);  // a Ctrl-C just before the clear
  BeginExtraction(t.path, row.sizeMiB, !o.quiet && StderrIsTerminal());
  ExtractThread(nullptr);
  char notice[100];
  bool finished = EndExtraction(notice, sizeof notice);
  if (Interrupted()) {
    u64 kept = 0;
    if (FileSize(t.path, &kept))
      Say("stopped; %llu bytes kept in %s", static_cast<unsigned long long>(kept), t.path);
    else
      Say("stopped; nothing written to %s", t.path);
    return kStopped;
  }
  if (!finished || ErrorCount() != errorsBefore) return kFailed;
  if (!o.quiet) Say("%s: %s", t.path, notice);
  return kDone;
}

}  // namespace

int ListCommand(const Options& o, bool scanFailed) {
  u32 rows = RowCount();
  if (!TestFlag(g_app.diskOpen)) return kExitFailed;
  if (o.json) std::fputs(rows ? "[\n" : "[", stdout);
  for (u32 i = 0; i < rows; ++i) {
    if (!o.json) {
      std::printf("%s\n", ListLine(i));
      continue;
    }
    char name[kListTextSize];
    RowName(i, name, sizeof name);
    const RecordingInfo& row = g_app.recordings.rows[i];
    std::fputs("  ", stdout);
    WriteJsonRecording(stdout, i + 1, name, row.firstCluster, row.sizeMiB, ListLine(i));
    std::fputs(i + 1 < rows ? ",\n" : "\n", stdout);
  }
  if (o.json) std::fputs("]\n", stdout);
  bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
  if (!written) Say("%s", "cannot write the list");
  return scanFailed || !written ? kExitFailed : kExitDone;
}

int InfoCommand(bool scanFailed) {
  if (!TestFlag(g_app.diskOpen)) return kExitFailed;
  char text[kDiskInfoSize];
  FormatDiskInfo(text);
  for (char* p = text; *p; ++p)
    if (*p == '\r') *p = '\n';
  std::printf("%s\n", text);
  bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
  return scanFailed || !written ? kExitFailed : kExitDone;
}

int ExtractCommand(const Options& o, bool scanFailed) {
  if (!TestFlag(g_app.diskOpen)) return kExitFailed;
  u32 rows = RowCount();
  static Plan plan;  // 100 paths: kept off the stack
  plan.count = 0;
  plan.names.count = 0;
  bool ok = true;
  if (o.number > rows) {
    Say("no recording %u: the disk lists %u", o.number, rows);
    return kExitFailed;
  }
  u32 first = o.all ? 0 : o.number - 1, end = o.all ? rows : o.number;
  for (u32 row = first; row < end; ++row) ok = PlanTarget(o, row, &plan) && ok;
  if (!ok) return kExitFailed;
  for (u32 i = 0; i < plan.count; ++i) ok = CheckTarget(o, plan.targets[i]) && ok;
  if (ok && o.outputDir && plan.count && !MakeFolder(o.outputDir)) {
    Say("%s: cannot make this folder", o.outputDir);
    ok = false;
  }
  if (!ok) return kExitFailed;
  if (plan.count == 0 && !o.quiet) Say("%s", "the disk holds no recordings");
  CatchInterrupt();
  bool failed = scanFailed;
  for (u32 i = 0; i < plan.count; ++i) {
    if (Interrupted()) {  // between two files: the next one is not even created
      Say("stopped before %s", plan.targets[i].path);
      return kExitStopped;
    }
    Outcome outcome = ExtractRow(o, plan.targets[i]);
    if (outcome == kStopped) return kExitStopped;
    if (outcome == kFailed) failed = true;
  }
  return failed ? kExitFailed : kExitDone;
}
