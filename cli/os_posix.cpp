// The command line's own POSIX calls: the terminal, file identity, Ctrl-C.
#include "cli/os.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

namespace {
void OnInterrupt(int) { MarkInterrupted(); }
}  // namespace

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

bool RunsAsAdministrator() { return geteuid() == 0; }

u32 TerminalColumns() {
  struct winsize size;
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
  return size.ws_col;
}

bool SameFile(const char* a, const char* b) {
  struct stat x, y;
  if (stat(a, &x) != 0 || stat(b, &y) != 0) return false;
  if (S_ISBLK(x.st_mode) && S_ISBLK(y.st_mode)) return x.st_rdev == y.st_rdev;
  return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool IsDiskDevice(const char* path) {
  struct stat s;
  return stat(path, &s) == 0 && S_ISBLK(s.st_mode);
}

bool FreeSpace(const char* folder, u64* bytes) {
  struct statvfs s;
  if (statvfs(folder, &s) != 0) return false;
  // The blocks kept for root are root's to fill.
  *bytes = u64(geteuid() == 0 ? s.f_bfree : s.f_bavail) * s.f_frsize;
  return true;
}

void EndByBrokenPipe() {
  std::signal(SIGPIPE, SIG_DFL);
  std::raise(SIGPIPE);
}

void CatchInterrupt() {
  // A process started with Ctrl-C ignored (a background job) keeps it so.
  struct sigaction old;
  if (sigaction(SIGINT, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) return;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;  // the second Ctrl-C ends the process
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}
