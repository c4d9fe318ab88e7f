// The raw Win32 calls (os_calls.h) and the calls of platform.h that are the
// system's alone: physical drives and files, events and threads.
#include <windows.h>
#include <winioctl.h>

#include <cstdio>

#include "platform/drive_table.h"
#include "platform/fault.h"
#include "platform/os_calls.h"
#include "platform/platform.h"
#include "platform/write_guard.h"

#include <atomic>

namespace {

HANDLE H(FileHandle f) { return reinterpret_cast<HANDLE>(f); }
FileHandle F(HANDLE h) { return reinterpret_cast<FileHandle>(h); }

// The output file when it was opened unbuffered (one at a time), for the
// forced sector size of the tests.
std::atomic<FileHandle> g_unbufferedOutput{kNoFile};

}  // namespace

namespace {
// Notes the failure's error code; returns false.
bool Failed(DWORD error) { return NoteSystemError(u32(error)); }
}  // namespace

const OsErrorCodes kOsErrors = {
    ERROR_READ_FAULT,           // injectedOpen
    ERROR_SEEK,                 // injectedSeek
    ERROR_READ_FAULT,           // injectedRead
    ERROR_WRITE_FAULT,          // injectedCreateLog
    ERROR_TOO_MANY_OPEN_FILES,  // noFreeHandle
    ERROR_NEGATIVE_SEEK,        // seekTooFar
    0,                          // readTooFar: ReadFile tells
    ERROR_INVALID_HANDLE,       // memorySeekFailed
    ERROR_CRC,                  // unreadable: what a bad sector of a real disk gives
};

bool DriveName(u32 number, char* out, u32 size) {
  const char* path;
  if (!TabledDrivePath(number, &path)) {
    if (number > 16) return false;
    FormatText(out, size, "\\\\.\\PhysicalDrive%u", number);
    return true;
  }
  if (!path) return false;
  FormatText(out, size, "%s", path);
  return true;
}

void OsErrorText(u32 code, char* out, u32 size) {
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, out, size, nullptr);
  while (n > 0 && (out[n - 1] == '\r' || out[n - 1] == '\n' || out[n - 1] == '.')) out[--n] = 0;
  if (n == 0) FormatText(out, size, "system error %u", code);
}

bool IsAccessDenied(u32 code) { return code == ERROR_ACCESS_DENIED; }

bool OsOpenDrive(u32 number, FileHandle* out) {
  char name[1024];
  wchar_t wide[1024];
  if (!DriveName(number, name, sizeof name)) return Failed(ERROR_FILE_NOT_FOUND);
  // Paths are UTF-8, as the command line gives them.
  if (!MultiByteToWideChar(CP_UTF8, 0, name, -1, wide, 1024)) return Failed(GetLastError());
  // Read access only; other readers and writers of the drive are not locked out.
  HANDLE h = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Failed(GetLastError());
  *out = F(h);
  return true;
}

bool OsSeek(FileHandle file, u64 position) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  if (!SetFilePointerEx(H(file), to, nullptr, FILE_BEGIN)) return Failed(GetLastError());
  return true;
}

bool OsTell(FileHandle file, u64* position) {
  LARGE_INTEGER zero, at;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(H(file), zero, &at, FILE_CURRENT)) return Failed(GetLastError());
  *position = u64(at.QuadPart);
  return true;
}

bool OsRead(FileHandle file, void* buffer, u32 length, u32* got) {
  DWORD n = 0;
  if (!::ReadFile(H(file), buffer, length, &n, nullptr)) return Failed(GetLastError());
  *got = n;
  return true;
}

bool OsReadAt(FileHandle file, u64 position, void* buffer, u32 length, u32* got) {
  // On a handle opened for synchronous reads, the offset given here is
  // where the read happens, whatever the file pointer says.
  OVERLAPPED at = {};
  at.Offset = DWORD(position);
  at.OffsetHigh = DWORD(position >> 32);
  DWORD n = 0;
  if (!::ReadFile(H(file), buffer, length, &n, &at)) {
    DWORD error = GetLastError();
    if (error != ERROR_HANDLE_EOF) return Failed(error);
    n = 0;
  }
  *got = n;
  return true;
}

bool OsSize(FileHandle file, u64* size) {
  GET_LENGTH_INFORMATION length;
  DWORD got = 0;
  if (DeviceIoControl(H(file), IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length,
                      &got, nullptr)) {
    *size = u64(length.Length.QuadPart);
    return true;
  }
  LARGE_INTEGER bytes;
  if (!GetFileSizeEx(H(file), &bytes)) return false;
  *size = u64(bytes.QuadPart);
  return true;
}

bool OsClose(FileHandle file) {
  FileHandle open = file;
  g_unbufferedOutput.compare_exchange_strong(open, kNoFile);
  return CloseHandle(H(file)) != 0;
}

bool OsIsBlockDevice(FileHandle file) {
  GET_LENGTH_INFORMATION length;
  DWORD got = 0;
  return DeviceIoControl(H(file), IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length,
                         &got, nullptr) != 0;
}

u32 OsDirectReadUnit(FileHandle file) {
  DISK_GEOMETRY geometry;
  DWORD got = 0;
  if (!DeviceIoControl(H(file), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                       sizeof geometry, &got, nullptr) ||
      geometry.BytesPerSector < 512)
    return 512;
  return geometry.BytesPerSector;
}

bool OsCreateLogFile(const char* path, FileHandle* out) {
  u32 error = 0;
  WriteVerdict verdict = OpenForWriting(path, kWriteCut, out, &error);
  if (verdict == kWriteAllowed) return true;
  return Failed(verdict == kWriteFailed ? error : ERROR_ACCESS_DENIED);  // a source or a device
}

bool OsWrite(FileHandle file, const void* buffer, u32 length, u32* written) {
  if (file == g_unbufferedOutput.load() && RefusesUnbufferedLength(length)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  DWORD n = 0;
  if (!::WriteFile(H(file), buffer, length, &n, nullptr)) return false;
  *written = n;
  return true;
}

namespace {
// Bytes per sector of the volume that will hold path; 0 when unknown.
u32 OutputSectorSize(const char* path) {
  if (u32 forced = ForcedOutputSectorSize()) return forced;
  char root[MAX_PATH];
  DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
  if (!GetVolumePathNameA(path, root, sizeof root) ||
      !GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
    return 0;
  return bytesPerSector;
}
}  // namespace

bool OsCreateOutputFile(const char* path, FileHandle* out) {
  // Unbuffered writes must be whole sectors of the volume, and the last
  // write of a recording is whole 512-byte sectors only: on a volume of
  // other (or unknown) sectors the file is written through the cache.
  bool unbuffered = OutputSectorSize(path) == 512;
  DWORD flags = FILE_ATTRIBUTE_NORMAL | (unbuffered ? FILE_FLAG_NO_BUFFERING : 0);
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  *out = F(h);
  if (unbuffered) g_unbufferedOutput.store(*out);
  return true;
}

bool OsCreateEvent(EventHandle* out) {
  HANDLE h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!h) return false;
  *out = reinterpret_cast<EventHandle>(h);
  return true;
}

void SignalEvent(EventHandle event) { SetEvent(reinterpret_cast<HANDLE>(event)); }

void WaitEvent(EventHandle event) {
  WaitForSingleObject(reinterpret_cast<HANDLE>(event), INFINITE);
}

void CloseEvent(EventHandle event) { CloseHandle(reinterpret_cast<HANDLE>(event)); }

namespace {
// The routine and its argument travel to the new thread through a slot, so
// the thread starts in a routine of the Win32 calling convention.
struct StartSlot {
  volatile LONG used;
  ThreadRoutine routine;
  void* argument;
};
const u32 kStartSlots = 16;
StartSlot g_starts[kStartSlots] = {};

DWORD WINAPI Trampoline(LPVOID p) {
  StartSlot* slot = static_cast<StartSlot*>(p);
  ThreadRoutine routine = slot->routine;
  void* argument = slot->argument;
  InterlockedExchange(&slot->used, 0);
  return routine(argument);
}
}  // namespace

bool OsStartThread(ThreadRoutine routine, void* argument) {
  for (StartSlot& slot : g_starts) {
    if (InterlockedCompareExchange(&slot.used, 1, 0) != 0) continue;
    slot.routine = routine;
    slot.argument = argument;
    HANDLE h = CreateThread(nullptr, 0, Trampoline, &slot, 0, nullptr);
    if (!h) {
      InterlockedExchange(&slot.used, 0);
      return false;
    }
    CloseHandle(h);
    return true;
  }
  return false;
}

void YieldThread() { Sleep(0); }

void RaiseThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST); }

void* AllocPages(u32 size) {
  return VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}
