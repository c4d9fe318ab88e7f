#include "cli/os.h"

#include <atomic>
#include <csignal>
#include <cstring>

#include "app/state.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
// Lock-free, so storing to it is safe in a signal handler.
std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) {
  g_interrupted.store(true);
  SetFlag(g_app.abortFlag);
}
}  // namespace

bool Interrupted() { return g_interrupted.load(); }

#ifdef _WIN32

WidePath::WidePath(const char* utf8) {
  if (!MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text, sizeof text / sizeof text[0])) text[0] = 0;
}

bool StderrIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

u32 TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 80;
  int columns = info.srWindow.Right - info.srWindow.Left + 1;
  return columns > 0 ? u32(columns) : 80;
}

namespace {
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  // No access rights asked: enough to read the identity, even of a drive.
  WidePath wide(path);
  HANDLE h = CreateFileW(wide.text, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileInformationByHandle(h, info) != 0;
  CloseHandle(h);
  return ok;
}
}  // namespace

bool SameFile(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION x, y;
  if (!FileIdentity(a, &x) || !FileIdentity(b, &y)) return false;
  return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
         x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool IsDiskDevice(const char* path) {
  // The device namespace: \\.\PhysicalDrive0, \\.\C: and the like.
  return std::strncmp(path, "\\\\.\\", 4) == 0 || std::strncmp(path, "//./", 4) == 0;
}

// The C runtime gives SIGINT back its default action before each call of the
// handler, which is what a second Ctrl-C needs.
void CatchInterrupt() {
  if (std::signal(SIGINT, OnInterrupt) == SIG_IGN) std::signal(SIGINT, SIG_IGN);
}

#else

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

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

#endif
