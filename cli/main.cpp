// melvir: the command-line front end. It drives the same scan and
// extraction runs as the Windows program, through its own port.
#include <cstdio>

#include "app/messages.h"
#include "app/runs.h"
#include "app/state.h"
#include "cli/args.h"
#include "cli/cli_port.h"
#include "cli/commands.h"
#include "cli/os.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"

namespace {

// With --trace the scan replaces MELVIR.LOG in the current folder: that
// file must not be one of the disks being read.
bool TraceLogIsSource(const Options& o) {
  for (u32 i = 0; i < o.sourceCount; ++i)
    if (SameFile(o.sources[i], kTraceLogName)) return true;
  return false;
}

int Run(const Options& o) {
  InstallCliPort();
  if (!AllocateBuffers()) {
    ShowError(IDS_NO_BUFFER);
    return kExitFailed;
  }
  if (o.trace && TraceLogIsSource(o)) {
    Say("%s is a source; --trace would replace it", kTraceLogName);
    return kExitFailed;
  }
  g_app.traceOption = o.trace;
  g_app.quietOption = o.quiet;
  if (o.sourceCount) SetDriveTable(o.sources, o.sourceCount);
  ScanThread(nullptr);
  // Quiet hides the scan's error message, not its outcome.
  bool scanFailed = ErrorCount() != 0 || TestFlag(g_app.scanFailed);
  int status = kExitFailed;
  if (o.command == kList) status = ListCommand(o, scanFailed);
  else if (o.command == kInfo) status = InfoCommand(scanFailed);
  else status = ExtractCommand(o, scanFailed);
  if (TestFlag(g_app.diskOpen)) CloseDisk();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  static Options options;  // its 17 source pointers and error text
  if (!ParseArgs(argc, argv, &options)) {
    std::fprintf(stderr, "melvir: %s\n%s", options.error, kUsageText);
    return kExitUsage;
  }
  if (options.command == kHelp) {
    std::fputs(kHelpText, stdout);
    return kExitDone;
  }
  if (options.command == kVersion) {
    std::printf("melvir %s\n", MELVIR_VERSION);
    return kExitDone;
  }
  return Run(options);
}
