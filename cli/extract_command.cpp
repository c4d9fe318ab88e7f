// `melvir extract`: the selected recordings copied, each to its output.
#include "cli/recording_commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/check_command.h"
#include "report/check_report.h"
#include "cli/cli_port.h"
#include "cli/copy.h"
#include "cli/existing_output.h"
#include "cli/rescue_settings.h"
#include "rescue/rescue.h"
#include "report/info_text.h"
#include "report/json.h"
#include "report/long_list.h"
#include "cli/file_names.h"
#include "cli/os.h"
#include "cli/output_file.h"
#include "text/pattern.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"

namespace {

// The file name recording r gets.
const char* OutputName(const Options& o, const Catalog& c,
                       const std::vector<std::string>& formatted, const Recording& r) {
  // A lost recording is no row of the catalog and keeps its name.
  bool listed = o.nameFormat && r.number >= 1 && r.number <= c.recordings.size() &&
                &c.recordings[r.number - 1] == &r;
  return listed ? formatted[r.number - 1].c_str() : r.file;
}

// Where recording r goes; false when the path is too long.
bool OutputPath(const Options& o, const Destination& d, const Catalog& c,
                const std::vector<std::string>& formatted, const Recording& r, char* path, u32 size) {
  const char* file = OutputName(o, c, formatted, r);
  if (d.folder || !o.outputFile) return JoinPath(d.folder, file, path, size);
  return FormatText(path, size, "%s", o.outputFile) < size - 1;
}

// Several recordings: the bytes their outputs still need against the
// folder's free space (an output kept as it exists needs none, a .part
// holds some). False, said, when they do not fit.
bool SpaceSuffices(const Options& o, const Destination& d, const Catalog& c,
                   const std::vector<std::string>& formatted,
                   const std::vector<const Recording*>& rows) {
  const char* folder = d.folder ? d.folder : ".";
  u64 need = 0, available = 0, held = 0;
  char path[1100], part[1200];
  for (const Recording* r : rows) {
    if (!OutputPath(o, d, c, formatted, *r, path, sizeof path)) continue;  // said when copied
    if (!o.force && KindOfTarget(path) != kTargetMissing) continue;     // skipped
    u64 bytes = OutputBytes(*r, o.rescue);
    FormatText(part, sizeof part, "%s.part", path);
    need += bytes - (SizeOfFile(part, &held) && held < bytes ? held : 0);
  }
  if (!FreeSpace(folder, &available) || available >= need) return true;
  const double kMiB = 1048576.0;
  Say("%s: %.1f MiB free, the outputs still need %.1f MiB: %.1f MiB missing; nothing copied "
      "(--ignore-space copies what fits)",
      folder, available / kMiB, need / kMiB, (need - available) / kMiB);
  return false;
}

bool OnSource(const Options& o, const char* path) {
  if (IsDiskDevice(path)) return true;
  for (u32 i = 0; i < o.sourceCount; ++i)
    if (SameFile(path, o.sources[i])) return true;
  return false;
}

}  // namespace

int ExtractCommand(const Options& o, const Catalog& c) {
  std::vector<const Recording*> rows;
  if (!SelectRecordings(o, c, &rows)) return kExitFailed;
  bool several = SelectsSeveral(o);
  Destination d;
  int status;
  if (!PlanDestination(o, several || rows.size() > 1, &d, &status)) return status;
  if (rows.empty()) {
    if (!o.quiet) Say("%s", o.allLost ? "no lost recordings found" : "the disk holds no recordings");
    return c.scanFailed ? kExitFailed : kExitDone;
  }
  u32 error;
  if (d.folder && !MakeFolders(d.folder, &error)) {
    char reason[200];
    SystemErrorText(error, reason, sizeof reason);
    Say("%s: cannot make this folder: %s", d.folder, reason);
    return kExitFailed;
  }
  std::FILE* report = nullptr;
  // Binary: the same bytes, LF line ends, on every system.
  if (o.report && !(report = std::fopen(o.report, "wb"))) {
    Say("%s: cannot create the report: %s", o.report, std::strerror(errno));
    return kExitFailed;
  }
  std::vector<std::string> formatted;
  if (o.nameFormat) FormatFileNames(o.nameFormat, o.rescue, c, &formatted);
  if (!d.stream && (several || rows.size() > 1) && !o.ignoreSpace &&
      !SpaceSuffices(o, d, c, formatted, rows)) {
    if (report) std::fclose(report);
    return kExitFailed;
  }
  CatchInterrupt();
  u32 extracted = 0, skipped = 0, failed = 0;
  for (const Recording* row : rows) {
    const Recording& r = *row;
    char path[1100];
    bool joined = OutputPath(o, d, c, formatted, r, path, sizeof path);
    if (Interrupted()) {
      Say("stopped before %s", joined ? path : OutputName(o, c, formatted, r));
      return kExitStopped;
    }
    if (!joined) {
      Say("%s: output path too long", OutputName(o, c, formatted, r));
      ++failed;
      continue;
    }
    if (!d.stream && OnSource(o, path)) {
      Say("%s: is a disk or source, never written to", path);
      ++failed;
      continue;
    }
    if (!d.stream && !o.force && KindOfTarget(path) != kTargetMissing) {
      if (!several && OutputIsComplete(r, o.rescue, path)) {
        if (!o.quiet) Say("%s: is there complete (its size and last block are the recording's)", path);
        return kExitDone;
      }
      if (!several) {
        Say("%s: exists; use --force to replace it", path);
        return kExitFailed;
      }
      Say("%s: exists, skipped (--force replaces it)", path);
      ++skipped;
      continue;
    }
    CopyTarget target = {path, d.stream, o.quiet, o.rescue, report, RescueHint(o), c.source};
    CopyOutcome outcome = CopyToTarget(r, target);
    if (outcome == kCopyStopped || outcome == kCopyClosed) {
      if (report) std::fclose(report);
      return outcome == kCopyStopped ? kExitStopped : kExitDone;
    }
    if (outcome == kCopyDone) ++extracted;
    else ++failed;
  }
  if (several && !o.quiet)
    Say("%u recording%s: %u extracted, %u skipped, %u failed", u32(rows.size()),
        rows.size() == 1 ? "" : "s", extracted, skipped, failed);
  if (report && std::fclose(report) != 0) {
    Say("%s: cannot write the report: %s", o.report, std::strerror(errno));
    return kExitFailed;
  }
  return failed || c.scanFailed ? kExitFailed : kExitDone;
}
