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
#include "files/output_file.h"
#include "cli/write_checks.h"
#include "cli/exit_status.h"
#include "text/pattern.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"

namespace {

// The file name recording r gets: NAME.ts, or NAME.mkv for Matroska.
const char* OutputName(const Options& o, const Catalog& c,
                       const std::vector<std::string>& formatted, const Recording& r) {
  // A lost recording is no row of the catalog and keeps its name.
  bool listed = o.nameFormat && r.number >= 1 && r.number <= c.recordings.size() &&
                &c.recordings[r.number - 1] == &r;
  const char* name = listed ? formatted[r.number - 1].c_str() : r.file;
  if (o.container != kContainerMkv) return name;
  static char mkv[kFileNameSize + kDecodedNameSize + 4];
  u32 n = u32(std::strlen(name));
  u32 stem = n >= 3 && std::strcmp(name + n - 3, ".ts") == 0 ? n - 3 : n;
  FormatText(mkv, sizeof mkv, "%.*s.mkv", int(stem), name);
  return mkv;
}

// Where recording r goes; false when the path is too long.
bool OutputPath(const Options& o, const Destination& d, const Catalog& c,
                const std::vector<std::string>& formatted, const Recording& r, char* path, u32 size) {
  const char* file = OutputName(o, c, formatted, r);
  if (d.folder || !o.outputFile) return JoinPath(d.folder, file, path, size);
  return FormatText(path, size, "%s", o.outputFile) < size - 1;
}

// The folder path's file goes into.
void FolderOf(const char* path, char* folder, u32 size) {
  const char* slash = std::strrchr(path, '/');
#ifdef _WIN32
  const char* back = std::strrchr(path, '\\');
  if (back && (!slash || back > slash)) slash = back;
#endif
  if (!slash) FormatText(folder, size, ".");
  else if (slash == path) FormatText(folder, size, "/");
  else FormatText(folder, size, "%.*s", int(slash - path), path);
}

// The bytes the outputs still need against their folder's free space (an
// output there complete needs none, a .part holds some). False, said, when
// they do not fit.
bool SpaceSuffices(const Options& o, const Destination& d, const Catalog& c,
                   const std::vector<std::string>& formatted,
                   const std::vector<const Recording*>& rows) {
  char folder[1100];
  u64 need = 0, available = 0, held = 0;
  char path[1100], part[1200];
  FormatText(folder, sizeof folder, "%s", d.folder ? d.folder : ".");
  for (const Recording* r : rows) {
    if (!OutputPath(o, d, c, formatted, *r, path, sizeof path)) continue;  // said when copied
    if (!d.folder) FolderOf(path, folder, sizeof folder);
    if (!o.force && NameExists(path) &&
        OutputIsComplete(*r, o.rescue, path, o.container == kContainerMkv, o.trim))
      continue;  // skipped
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

}  // namespace

Ending CopyToFreeName(bool force, bool several, const char* path, const Recording& r,
                      CopyTarget* target, char* written, u32 size) {
  char name[1100];
  FormatText(name, sizeof name, "%s", path);
  for (u32 n = 2;; ++n) {
    FormatText(written, size, "%s", name);
    if (!MayWrite(name, false)) return kEndFailed;
    if (!force && NameExists(name)) {
      if (OutputIsComplete(r, target->rescue, name, target->matroska, target->trim)) {
        if (!target->quiet)
          Say("%s: is there complete (%s)%s", name,
              target->matroska ? "its source tag is the recording's and it has cues"
              : target->trim   ? "its sampled blocks are the programme's"
                               : "its size and sampled blocks are the recording's",
              several ? ", skipped" : "");
        return several ? kEndSkipped : kEndCopied;
      }
      if (!several) {
        Say("%s: exists; use --force to replace it", name);
        return kEndFailed;
      }
    } else {
      target->path = name;
      target->anotherName = several;
      CopyOutcome outcome = CopyToTarget(r, *target);
      if (outcome == kCopyInUse && !several) Say("%s.part: is in use by another run of melvir", name);
      if (outcome != kCopyInUse || !several) {
        if (outcome == kCopyDone) return n > 2 ? kEndRenamed : kEndCopied;
        return outcome == kCopyStopped ? kEndStopped : outcome == kCopyClosed ? kEndClosed : kEndFailed;
      }
    }
    char next[1100];
    if (!NumberedPath(path, n, next, sizeof next) || n > 9999) {
      Say("%s: no free name for it", path);
      return kEndFailed;
    }
    Say("%s: %s; writing %s", name,
        NameExists(name) ? "exists and holds another recording" : "is being written by another run",
        next);
    FormatText(name, sizeof name, "%s", next);
  }
}

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
  if (o.report) {
    WriteVerdict verdict;
    if (!(report = OpenStreamForWriting(o.report, false, &verdict, &error))) {
      char reason[200];
      WriteVerdictText(verdict, error, reason, sizeof reason);
      Say("%s: cannot create the report: %s", o.report, reason);
      return verdict == kWriteFailed ? kExitFailed : kExitUsage;
    }
  }
  std::vector<std::string> formatted;
  if (o.nameFormat) FormatFileNames(o.nameFormat, o.rescue, c, &formatted);
  if (!d.stream && !o.ignoreSpace && !SpaceSuffices(o, d, c, formatted, rows)) {
    if (report) std::fclose(report);
    return kExitFailed;
  }
  CatchInterrupt();
  u32 extracted = 0, renamed = 0, skipped = 0, failed = 0;
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
    CopyTarget target = {path,    d.stream, o.quiet, o.rescue, report, RescueHint(o), c.source,
                         o.force, false,    o.container == kContainerMkv, o.subtitles, o.trim, nullptr};
    char written[1100];
    Ending ending = d.stream ? kEndFailed
                             : CopyToFreeName(o.force, several, path, r, &target, written, sizeof written);
    if (d.stream) {
      CopyOutcome outcome = CopyToTarget(r, target);
      ending = outcome == kCopyDone ? kEndCopied : outcome == kCopyStopped ? kEndStopped
               : outcome == kCopyClosed ? kEndClosed : kEndFailed;
    }
    if (ending == kEndStopped || ending == kEndClosed) {
      if (report) std::fclose(report);
      if (ending == kEndClosed) EndByBrokenPipe();  // as cat ends when its reader has gone
      return ending == kEndStopped ? kExitStopped : kExitReaderGone;
    }
    if (ending == kEndCopied || ending == kEndRenamed) ++extracted;
    if (ending == kEndRenamed) ++renamed;
    if (ending == kEndSkipped) ++skipped;
    if (ending == kEndFailed) ++failed;
  }
  char under[60] = "";
  if (renamed) FormatText(under, sizeof under, " (%u under a new name)", renamed);
  if (several && !o.quiet)
    Say("%u recording%s: %u extracted%s, %u skipped, %u failed", u32(rows.size()),
        rows.size() == 1 ? "" : "s", extracted, under, skipped, failed);
  if (report && std::fclose(report) != 0) {
    Say("%s: cannot write the report: %s", o.report, std::strerror(errno));
    return kExitFailed;
  }
  return failed || c.scanFailed ? kExitFailed : kExitDone;
}
