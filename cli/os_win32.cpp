// The command line's own Windows calls: the console, file identity, Ctrl-C.
#include "cli/os.h"

#include <windows.h>

#include <csignal>
#include <cstring>

namespace {
void OnInterrupt(int) { MarkInterrupted(); }
}  // namespace

bool RunsAsAdministrator() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                  elevation.TokenIsElevated;
  CloseHandle(token);
  return elevated;
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

bool FreeSpace(const char* folder, u64* bytes) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(WidePath(folder).text, &available, nullptr, nullptr)) return false;
  *bytes = available.QuadPart;
  return true;
}

// The C runtime gives SIGINT back its default action before each call of the
// handler, which is what a second Ctrl-C needs.
void EndByBrokenPipe() {}

void CatchInterrupt() {
  if (std::signal(SIGINT, OnInterrupt) == SIG_IGN) std::signal(SIGINT, SIG_IGN);
}
