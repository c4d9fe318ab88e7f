// The write guard on Windows: identities are (volume serial, file index);
// raw devices are refused by their "\\.\" names; a side file is opened
// without following a reparse point and without FILE_SHARE_WRITE and
// FILE_SHARE_DELETE, so that a second run gets a sharing violation.
#include "platform/write_guard.h"
#include "platform/wide_path.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstring>
#include <vector>

namespace {

struct Identity {
  u32 volume;
  u64 index;
};
std::vector<Identity> g_read;

bool IsDeviceName(const char* path) {
  return std::strncmp(path, "\\\\.\\", 4) == 0 || std::strncmp(path, "//./", 4) == 0 ||
         _strnicmp(path, "\\\\?\\GLOBALROOT", 14) == 0;
}

Identity IdentityOf(const BY_HANDLE_FILE_INFORMATION& i) {
  return Identity{u32(i.dwVolumeSerialNumber), (u64(i.nFileIndexHigh) << 32) | i.nFileIndexLow};
}

bool IsRead(const BY_HANDLE_FILE_INFORMATION& info) {
  Identity id = IdentityOf(info);
  for (const Identity& i : g_read)
    if (i.volume == id.volume && i.index == id.index) return true;
  return false;
}

// The verdict on an open handle, as a file to write.
WriteVerdict Judge(HANDLE h, bool side, u32* error) {
  if (GetFileType(h) != FILE_TYPE_DISK) return side ? kWriteNotRegular : kWriteAllowed;  // NUL, a pipe
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) {
    *error = GetLastError();
    return kWriteFailed;
  }
  if (IsRead(info)) return kWriteIsSource;
  if (!side) return kWriteAllowed;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
    return kWriteNotRegular;
  return info.nNumberOfLinks == 1 ? kWriteAllowed : kWriteLinked;
}

// An existing path opened to look at it only; follow: through a reparse point.
HANDLE OpenToLook(const char* path, bool follow) {
  WidePath wide(path);
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  return CreateFileW(wide.text, FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     flags, nullptr);
}

}  // namespace

void GuardRead(const char* path) {
  if (IsDeviceName(path)) return;  // refused by its name
  HANDLE h = OpenToLook(path, true);
  if (h == INVALID_HANDLE_VALUE) return;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(h, &info) && !IsRead(info)) g_read.push_back(IdentityOf(info));
  CloseHandle(h);
}

void ClearGuard() { g_read.clear(); }

WriteVerdict OpenForWriting(const char* path, u32 how, FileHandle* handle, u32* error) {
  if (IsDeviceName(path)) return kWriteIsDevice;
  bool side = how & kWriteSide;
  DWORD access = GENERIC_WRITE | ((how & kWriteReadToo) ? GENERIC_READ : 0) | (side ? DELETE : 0);
  DWORD disposition = (how & kWriteFresh) ? CREATE_NEW : (how & kWriteExisting) ? OPEN_EXISTING
                                                                               : OPEN_ALWAYS;
  DWORD flags = FILE_ATTRIBUTE_NORMAL | (side ? FILE_FLAG_OPEN_REPARSE_POINT : 0) |
                ((how & kWriteUnbuffered) ? FILE_FLAG_NO_BUFFERING : 0);
  WidePath wide(path);
  HANDLE h = CreateFileW(wide.text, access, FILE_SHARE_READ, nullptr, disposition, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return side && *error == ERROR_SHARING_VIOLATION ? kWriteInUse : kWriteFailed;
  }
  WriteVerdict verdict = Judge(h, side, error);
  if (verdict == kWriteAllowed && (how & kWriteCut) && GetFileType(h) == FILE_TYPE_DISK) {
    FILE_END_OF_FILE_INFO end;
    end.EndOfFile.QuadPart = 0;
    if (!SetFileInformationByHandle(h, FileEndOfFileInfo, &end, sizeof end)) {
      *error = GetLastError();
      verdict = kWriteFailed;
    }
  }
  if (verdict != kWriteAllowed) {
    CloseHandle(h);
    return verdict;
  }
  *handle = reinterpret_cast<FileHandle>(h);
  return kWriteAllowed;
}

std::FILE* OpenStreamForWriting(const char* path, bool side, WriteVerdict* verdict, u32* error) {
  FileHandle h;
  *verdict = OpenForWriting(path, kWriteCut | (side ? kWriteSide : 0), &h, error);
  if (*verdict != kWriteAllowed) return nullptr;
  int fd = _open_osfhandle(h, _O_WRONLY | _O_BINARY);
  std::FILE* f = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
  if (!f) {
    *error = ERROR_TOO_MANY_OPEN_FILES;
    *verdict = kWriteFailed;
    if (fd >= 0) _close(fd);
    else CloseHandle(reinterpret_cast<HANDLE>(h));
  }
  return f;
}

WriteVerdict CheckWritePath(const char* path, bool side) {
  if (IsDeviceName(path)) return kWriteIsDevice;
  WidePath wide(path);
  DWORD attributes = GetFileAttributesW(wide.text);
  if (attributes == INVALID_FILE_ATTRIBUTES) return kWriteAllowed;
  bool link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
  if (side && link) return kWriteNotRegular;
  u32 error = 0;
  WriteVerdict verdict = kWriteAllowed;
  for (int follow = 0; follow <= int(link) && verdict == kWriteAllowed; ++follow) {
    HANDLE h = OpenToLook(path, follow != 0);
    if (h == INVALID_HANDLE_VALUE) continue;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(h, &info) && IsRead(info)) verdict = kWriteIsSource;
    else if (follow == 0) verdict = Judge(h, side, &error);
    CloseHandle(h);
  }
  return verdict == kWriteFailed ? kWriteAllowed : verdict;
}

WriteVerdict ReplaceSideFile(const char* path, SideWriter write, const void* context, u32* error) {
  WriteVerdict verdict = CheckWritePath(path, true);
  if (verdict != kWriteAllowed) return verdict;
  char fresh[1200];
  static u32 serial;
  FormatText(fresh, sizeof fresh, "%s.new%lu-%u", path, GetCurrentProcessId(), ++serial);
  FileHandle h;
  verdict = OpenForWriting(fresh, kWriteSide | kWriteFresh, &h, error);
  if (verdict != kWriteAllowed) return verdict;
  int fd = _open_osfhandle(h, _O_WRONLY | _O_BINARY);
  std::FILE* f = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
  bool ok = f && write(f, context) && std::fflush(f) == 0 &&
            FlushFileBuffers(reinterpret_cast<HANDLE>(h));
  *error = ok ? 0 : GetLastError() ? GetLastError() : DWORD(ERROR_WRITE_FAULT);
  if (f) ok = std::fclose(f) == 0 && ok;
  else if (fd >= 0) _close(fd);
  else CloseHandle(reinterpret_cast<HANDLE>(h));
  WidePath from(fresh), to(path);
  if (ok && !MoveFileExW(from.text, to.text, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    *error = GetLastError();
    ok = false;
  }
  if (!ok) DeleteFileW(from.text);
  return ok ? kWriteAllowed : kWriteFailed;
}

bool ReadSideFile(const char* path, std::string* text) {
  WidePath wide(path);
  HANDLE h = CreateFileW(wide.text, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
            !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
  text->clear();
  char piece[4096];
  DWORD n = 0;
  while (ok && (ok = ReadFile(h, piece, sizeof piece, &n, nullptr) != 0) && n > 0) text->append(piece, n);
  CloseHandle(h);
  return ok;
}

bool RemoveSideFile(const char* path) {
  WidePath wide(path);
  return CheckWritePath(path, true) == kWriteAllowed && DeleteFileW(wide.text);
}

bool SyncFolderOf(const char*, u32*) { return true; }  // renames here are written through
