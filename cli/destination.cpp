// Where -o and -d send extract's output.
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
#include "text/pattern.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"

int CheckOutputChoice(const Options& o) {
  Destination d;
  int status = kExitDone;
  if (o.command != kExtract || PlanDestination(o, SelectsSeveral(o), &d, &status)) return kExitDone;
  if (status == kExitUsage) std::fputs(UsageText(kExtract), stderr);
  return status;
}

bool PlanDestination(const Options& o, bool several, Destination* d, int* status) {
  d->folder = o.outputDir;
  d->stream = false;
  *status = kExitFailed;
  const char* file = o.outputFile;
  if (file) {
    u32 n = u32(std::strlen(file));
    TargetKind kind = std::strcmp(file, "-") == 0 ? kTargetStream : KindOfTarget(file);
    if (kind == kTargetFolder || file[n - 1] == '/' || file[n - 1] == '\\') {
      d->folder = file;
    } else if (several) {
      Say("%s", "-o names one file; with several recordings use -d DIR or -o DIR/");
      *status = kExitUsage;
      return false;
    } else if (kind == kTargetDevice) {
      Say("%s: is a device, never written to", file);
      return false;
    } else if (std::strcmp(file, "-") == 0 && StandardOutputIsTerminal()) {
      Say("%s", "-o - writes the stream to standard output, which is a terminal");
      *status = kExitUsage;
      return false;
    } else if (kind == kTargetStream && o.subtitles == kSubtitlesSrt) {
      Say("%s: --subtitles srt writes files beside the output, which a pipe or device has not", file);
      *status = kExitUsage;
      return false;
    } else if (kind == kTargetStream && o.container == kContainerMkv) {
      Say("%s: a Matroska file is written by seeking back in it, which a pipe or device cannot "
          "do; use --container ts", file);
      *status = kExitUsage;
      return false;
    } else {
      d->stream = kind == kTargetStream;
    }
  }
  if (d->folder && KindOfTarget(d->folder) != kTargetFolder &&
      KindOfTarget(d->folder) != kTargetMissing) {
    Say("%s: not a folder", d->folder);
    return false;
  }
  return true;
}
