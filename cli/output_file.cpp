#include "cli/output_file.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "cli/os.h"
#else
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32

namespace {
HANDLE H(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

bool Fail(u32* error) {
  *error = GetLastError();
  return false;
}
}  // namespace

TargetKind KindOfTarget(const char* path) {
  WidePath wide(path);
  DWORD a = GetFileAttributesW(wide.text);
  if (a == INVALID_FILE_ATTRIBUTES) {
    // NUL and the other DOS device names have no attributes.
    return _stricmp(path, "nul") == 0 ? kTargetStream : kTargetMissing;
  }
  return (a & FILE_ATTRIBUTE_DIRECTORY) ? kTargetFolder : kTargetFile;
}

bool OpenStandardOutput(OutputFile* out) {
  out->handle = reinterpret_cast<std::intptr_t>(GetStdHandle(STD_OUTPUT_HANDLE));
  out->stream = true;
  out->owned = false;
  return H(out->handle) != INVALID_HANDLE_VALUE && H(out->handle) != nullptr;
}

bool StandardOutputIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

bool OpenOutputFile(const char* path, bool fresh, u64 offset, bool stream, OutputFile* out,
                    u32* error) {
  WidePath wide(path);
  DWORD disposition = stream ? OPEN_EXISTING : fresh ? CREATE_ALWAYS : OPEN_ALWAYS;
  HANDLE h = CreateFileW(wide.text, GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail(error);
  out->handle = reinterpret_cast<std::intptr_t>(h);
  out->stream = stream;
  out->owned = true;
  if (stream || fresh) return true;
  LARGE_INTEGER to;
  to.QuadPart = LONGLONG(offset);
  if (SetFilePointerEx(h, to, nullptr, FILE_BEGIN) && SetEndOfFile(h)) return true;
  Fail(error);
  CloseHandle(h);
  return false;
}

bool WriteOutputFile(OutputFile* out, const void* data, u32 length, u32* error) {
  const u8* p = static_cast<const u8*>(data);
  while (length > 0) {
    DWORD n = 0;
    if (!WriteFile(H(out->handle), p, length, &n, nullptr)) return Fail(error);
    if (n == 0) {
      *error = ERROR_WRITE_FAULT;
      return false;
    }
    p += n;
    length -= n;
  }
  return true;
}

bool CloseOutputFile(OutputFile* out, bool sync, u32* error) {
  bool ok = true;
  if (sync && !out->stream && !FlushFileBuffers(H(out->handle))) ok = Fail(error);
  if (out->owned && !CloseHandle(H(out->handle)) && ok) ok = Fail(error);
  return ok;
}

bool ReadFileAt(const char* path, u64 offset, void* buffer, u32 length, u32* error) {
  WidePath wide(path);
  HANDLE h = CreateFileW(wide.text, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail(error);
  LARGE_INTEGER to;
  to.QuadPart = LONGLONG(offset);
  DWORD n = 0;
  bool ok = SetFilePointerEx(h, to, nullptr, FILE_BEGIN) && ReadFile(h, buffer, length, &n, nullptr);
  if (!ok) Fail(error);
  else if (n != length) *error = ERROR_HANDLE_EOF;
  CloseHandle(h);
  return ok && n == length;
}

bool RenameFile(const char* from, const char* to, u32* error) {
  WidePath a(from), b(to);
  if (!MoveFileExW(a.text, b.text, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return Fail(error);
  return true;
}

bool SizeOfFile(const char* path, u64* size) {
  WidePath wide(path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(wide.text, GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  *size = (u64(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool MakeFolders(const char* path, u32* error) {
  char partial[1024];
  u32 n = u32(std::strlen(path));
  if (n >= sizeof partial) {
    *error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }
  for (u32 i = 1; i <= n; ++i) {
    if (i < n && path[i] != '/' && path[i] != '\\') continue;
    std::memcpy(partial, path, i);
    partial[i] = 0;
    if (i == 2 && partial[1] == ':') continue;  // "D:"
    TargetKind kind = KindOfTarget(partial);
    if (kind == kTargetFolder) continue;
    if (kind != kTargetMissing) {
      *error = ERROR_DIRECTORY;
      return false;
    }
    WidePath wide(partial);
    if (!CreateDirectoryW(wide.text, nullptr) && KindOfTarget(partial) != kTargetFolder)
      return Fail(error);
  }
  return true;
}

#else

namespace {
int Fd(std::intptr_t h) { return int(h); }

bool Fail(u32* error) {
  *error = u32(errno);
  return false;
}
}  // namespace

TargetKind KindOfTarget(const char* path) {
  struct stat s;
  if (stat(path, &s) != 0) return kTargetMissing;
  if (S_ISREG(s.st_mode)) return kTargetFile;
  if (S_ISDIR(s.st_mode)) return kTargetFolder;
  if (S_ISFIFO(s.st_mode)) return kTargetStream;
  struct stat null;
  if (S_ISCHR(s.st_mode) && stat("/dev/null", &null) == 0 && null.st_rdev == s.st_rdev)
    return kTargetStream;
  return kTargetDevice;
}

bool OpenStandardOutput(OutputFile* out) {
  out->handle = STDOUT_FILENO;
  out->stream = true;
  out->owned = false;
  return true;
}

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool OpenOutputFile(const char* path, bool fresh, u64 offset, bool stream, OutputFile* out,
                    u32* error) {
  int flags = O_WRONLY | O_CLOEXEC;
  if (!stream) flags |= O_CREAT | (fresh ? O_TRUNC : 0);
  int fd = open(path, flags, 0644);
  if (fd < 0) return Fail(error);
  out->handle = fd;
  out->stream = stream;
  out->owned = true;
  if (stream || fresh) return true;
  if (ftruncate(fd, off_t(offset)) == 0 && lseek(fd, off_t(offset), SEEK_SET) >= 0) return true;
  Fail(error);
  close(fd);
  return false;
}

bool WriteOutputFile(OutputFile* out, const void* data, u32 length, u32* error) {
  const u8* p = static_cast<const u8*>(data);
  while (length > 0) {
    ssize_t n = write(Fd(out->handle), p, length);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(error);
    if (n == 0) {
      *error = EIO;
      return false;
    }
    p += n;
    length -= u32(n);
  }
  return true;
}

bool CloseOutputFile(OutputFile* out, bool sync, u32* error) {
  bool ok = true;
  if (sync && !out->stream && fsync(Fd(out->handle)) != 0) ok = Fail(error);
  if (out->owned && close(Fd(out->handle)) != 0 && ok) ok = Fail(error);
  return ok;
}

bool ReadFileAt(const char* path, u64 offset, void* buffer, u32 length, u32* error) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Fail(error);
  ssize_t n = pread(fd, buffer, length, off_t(offset));
  if (n < 0) Fail(error);
  else if (u32(n) != length) *error = EIO;
  close(fd);
  return n >= 0 && u32(n) == length;
}

bool RenameFile(const char* from, const char* to, u32* error) {
  return rename(from, to) == 0 || Fail(error);
}

bool SizeOfFile(const char* path, u64* size) {
  struct stat s;
  if (stat(path, &s) != 0 || !S_ISREG(s.st_mode)) return false;
  *size = u64(s.st_size);
  return true;
}

bool MakeFolders(const char* path, u32* error) {
  char partial[4096];
  u32 n = u32(std::strlen(path));
  if (n >= sizeof partial) {
    *error = ENAMETOOLONG;
    return false;
  }
  for (u32 i = 1; i <= n; ++i) {
    if (i < n && path[i] != '/') continue;
    std::memcpy(partial, path, i);
    partial[i] = 0;
    TargetKind kind = KindOfTarget(partial);
    if (kind == kTargetFolder) continue;
    if (kind != kTargetMissing) {
      *error = ENOTDIR;
      return false;
    }
    if (mkdir(partial, 0777) != 0 && !(errno == EEXIST && KindOfTarget(partial) == kTargetFolder))
      return Fail(error);
  }
  return true;
}

#endif
