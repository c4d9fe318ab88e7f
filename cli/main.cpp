// melvir: the command-line front end over the portable core.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/messages.h"
#include "cli/args.h"
#include "cli/recording_table.h"
#include "cli/cli_port.h"
#include "cli/command_table.h"
#include "cli/exit_status.h"
#include "cli/os.h"
#include "cli/rescue_settings.h"
#include "cli/sources.h"
#include "cli/write_checks.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"
#include "res/strings.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// The licence the command line is released under, as GNU programs say it.
const char kLicence[] =
    "License GPLv2+: GNU GPL version 2 or later <https://www.gnu.org/licenses/old-licenses/gpl-2.0.html>\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// What went to standard output must have arrived: a full disk or a closed
// pipe is a failure, not a silent success.
int Finish(int status) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  int error = errno;
  Say("cannot write to standard output: %s", error ? std::strerror(error) : "write error");
  return status == kExitStopped || status == kExitUsage ? status : kExitFailed;
}

// The trace log replaces the file it names (never one of the disks being
// read: the write guard sees to that), and a log that cannot be made is
// said before the scan.
bool PrepareTrace(const Options& o, const char** path) {
  *path = o.traceFile ? o.traceFile : kTraceLogName;
  FileHandle log;
  if (!CreateLogFile(*path, &log)) {
    char reason[200];
    SystemErrorText(LastSystemError(), reason, sizeof reason);
    Say("%s: cannot create the trace log: %s", *path, reason);
    return false;
  }
  CloseFile(log);
  return true;
}

int Run(const Options& o) {
  InstallCliPort();
  GuardSources(o);
  if (int status = CheckNamedWrites(o)) return status;
  if (o.trace || o.traceFile) {
    const char* path;
    if (!PrepareTrace(o, &path)) return kExitFailed;
    SetTraceLogPath(path);
  }
  const CommandRow& row = *RowOf(o.command);
  if (row.prepare)
    if (int status = row.prepare(o)) return status;
  if (!CheckSources(o)) return kExitFailed;
  if (o.sourceCount) SetDriveTable(o.sources, o.sourceCount);
  if (!PrepareMapfile(o)) return kExitUsage;
  if (row.runAlone) {
    int status = row.runAlone(o);
    if (status >= 0) return status;
  }
  static Catalog catalog;
  if (!FindDisk(o, &catalog)) return kExitFailed;
  StartRescue(o);
  int status = row.run(o, &catalog);
  CloseDisk();
  // Damage met along the way is told only where nothing worse is.
  return status == kExitDone && DamageMet() ? kExitDamaged : status;
}

#ifdef _WIN32
// The arguments as UTF-8, from the wide-character command line, so that any
// file name reaches the wide-character file interface intact.
char** Utf8Arguments(int* argc) {
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), argc);
  if (!wide) return nullptr;
  char** argv = new char*[*argc + 1];
  for (int i = 0; i < *argc; ++i) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    argv[i] = new char[n > 0 ? n : 1];
    if (n <= 0 || !WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argv[i], n, nullptr, nullptr))
      argv[i][0] = 0;
  }
  argv[*argc] = nullptr;
  LocalFree(wide);
  return argv;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);  // decoded names are UTF-8
  if (char** utf8 = Utf8Arguments(&argc)) argv = utf8;
#endif
  static Options options;
  if (!ParseArgs(argc, argv, &options)) {
    const char* name = options.command == kHelp ? "" : CommandName(options.command);
    std::fprintf(stderr, "melvir: %s\n%sTry 'melvir help%s%s' for more.\n", options.error,
                 UsageText(options.command), name[0] ? " " : "", name);
    return kExitUsage;
  }
  if (options.command == kHelp) {
    std::fputs(HelpText(options.helpTopic), stdout);
    return Finish(kExitDone);
  }
  if (options.command == kVersion) {
    std::printf("melvir %s\n%s\n%s", MELVIR_VERSION, MELVIR_COPYRIGHT, kLicence);
    return Finish(kExitDone);
  }
  return Finish(Run(options));
}
