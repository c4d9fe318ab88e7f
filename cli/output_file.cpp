// The output files of an extraction: regular files unbuffered, streams plain.
#include "cli/output_file.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "cli/os.h"
#else
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
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

namespace {

// The volume's logical sector size: the unit of unbuffered writes.
u32 SectorOf(HANDLE h) {
  FILE_STORAGE_INFO info;
  if (GetFileInformationByHandleEx(h, FileStorageInfo, &info, sizeof info) &&
      info.LogicalBytesPerSector != 0)
    return info.LogicalBytesPerSector;
  return 4096;
}

HANDLE OpenWide(const char* path, DWORD disposition, DWORD flags) {
  WidePath wide(path);
  return CreateFileW(wide.text, GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

// Goes on with ordinary writes for the rest of the file: an unbuffered
// handle cannot be changed, so the file is opened again.
bool MakeBuffered(OutputFile* out) {
  CloseHandle(H(out->handle));
  HANDLE h = OpenWide(out->path, OPEN_EXISTING, 0);
  out->handle = reinterpret_cast<std::intptr_t>(h);
  out->direct = false;
  out->align = 1;
  return h != INVALID_HANDLE_VALUE;
}

}  // namespace

bool OpenStandardOutput(OutputFile* out) {
  HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  *out = OutputFile{reinterpret_cast<std::intptr_t>(h), true, false, false, 1, "-"};
  return h != INVALID_HANDLE_VALUE && h != nullptr;
}

bool StandardOutputIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

bool OpenOutputFile(const char* path, bool fresh, u64 offset, bool stream, OutputFile* out,
                    u32* error) {
  DWORD disposition = stream ? OPEN_EXISTING : fresh ? CREATE_ALWAYS : OPEN_ALWAYS;
  HANDLE h = stream ? INVALID_HANDLE_VALUE : OpenWide(path, disposition, FILE_FLAG_NO_BUFFERING);
  bool direct = h != INVALID_HANDLE_VALUE;
  if (!direct && (stream || GetLastError() == ERROR_INVALID_PARAMETER))
    h = OpenWide(path, disposition, 0);
  if (h == INVALID_HANDLE_VALUE) return Fail(error);
  *out = OutputFile{reinterpret_cast<std::intptr_t>(h), stream, true, direct, 1, path};
  if (stream) return true;
  if (direct) {
    u32 align = SectorOf(h);
    if (align > kMaxDirectAlign && !MakeBuffered(out)) return Fail(error);
    if (out->direct) out->align = align;
  }
  if (fresh || CutOutputFile(out, offset, error)) return true;
  CloseHandle(H(out->handle));
  return false;
}

bool WriteOutputAt(OutputFile* out, const void* data, u32 length, u64 offset, u32* written,
                   u32* error) {
  const u8* p = static_cast<const u8*>(data);
  *written = 0;
  while (length > 0) {
    DWORD n = 0;
    OVERLAPPED at = {};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    if (!WriteFile(H(out->handle), p, length, &n, out->stream ? nullptr : &at)) {
      if (GetLastError() == ERROR_INVALID_PARAMETER && out->direct) {
        if (!MakeBuffered(out)) return Fail(error);
        continue;  // the volume refused this unbuffered write
      }
      return Fail(error);
    }
    if (n == 0) {
      *error = ERROR_WRITE_FAULT;
      return false;
    }
    p += n;
    offset += n;
    length -= n;
    *written += n;
  }
  return true;
}

bool IsReaderGone(u32 error) { return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE; }

bool CutOutputFile(OutputFile* out, u64 length, u32* error) {
  FILE_END_OF_FILE_INFO end;
  end.EndOfFile.QuadPart = LONGLONG(length);
  if (SetFileInformationByHandle(H(out->handle), FileEndOfFileInfo, &end, sizeof end)) return true;
  return Fail(error);
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

namespace {

// A reader that closes early (`| head`) ends the copy with EPIPE, not the
// signal.
void IgnoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

// The direct-I/O unit the kernel gives for the open file: statx's
// STATX_DIOALIGN (0 when the file cannot be written unbuffered), else 4096.
u32 DirectAlignment(int fd) {
#ifdef STATX_DIOALIGN
  struct statx x;
  if (statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &x) == 0 && (x.stx_mask & STATX_DIOALIGN)) {
    if (x.stx_dio_offset_align == 0) return 0;
    return x.stx_dio_offset_align > x.stx_dio_mem_align ? x.stx_dio_offset_align
                                                         : x.stx_dio_mem_align;
  }
#else
  // Headers older than the kernel: the same fields, past stx_mnt_id.
  struct statx x;
  if (statx(fd, "", AT_EMPTY_PATH, 0x2000U, &x) == 0 && (x.stx_mask & 0x2000U)) {
    u32 memory, offset;
    std::memcpy(&memory, reinterpret_cast<const u8*>(x.__statx_pad2) + 8, 4);
    std::memcpy(&offset, reinterpret_cast<const u8*>(x.__statx_pad2) + 12, 4);
    if (offset == 0) return 0;
    return offset > memory ? offset : memory;
  }
#endif
  return 4096;
}

// Goes on with ordinary writes for the rest of the file.
void MakeBuffered(OutputFile* out) {
  int flags = fcntl(Fd(out->handle), F_GETFL);
  if (flags >= 0) fcntl(Fd(out->handle), F_SETFL, flags & ~O_DIRECT);
  out->direct = false;
  out->align = 1;
}

}  // namespace

bool OpenStandardOutput(OutputFile* out) {
  IgnoreBrokenPipe();
  *out = OutputFile{STDOUT_FILENO, true, false, false, 1, "-"};
  return true;
}

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool OpenOutputFile(const char* path, bool fresh, u64 offset, bool stream, OutputFile* out,
                    u32* error) {
  int flags = O_WRONLY | O_CLOEXEC;
  if (!stream) flags |= O_CREAT | (fresh ? O_TRUNC : 0);
  int fd = stream ? -1 : open(path, flags | O_DIRECT, 0644);
  bool direct = fd >= 0;
  if (fd < 0 && (stream || errno == EINVAL)) fd = open(path, flags, 0644);
  if (fd < 0) return Fail(error);
  *out = OutputFile{fd, stream, true, direct, 1, path};
  if (stream) {
    IgnoreBrokenPipe();
    return true;
  }
  if (direct) {
    u32 align = DirectAlignment(fd);
    if (align == 0 || align > kMaxDirectAlign) MakeBuffered(out);
    else out->align = align;
  }
  if (fresh || ftruncate(fd, off_t(offset)) == 0) return true;
  Fail(error);
  close(fd);
  return false;
}

bool WriteOutputAt(OutputFile* out, const void* data, u32 length, u64 offset, u32* written,
                   u32* error) {
  const u8* p = static_cast<const u8*>(data);
  *written = 0;
  while (length > 0) {
    ssize_t n = out->stream ? write(Fd(out->handle), p, length)
                            : pwrite(Fd(out->handle), p, length, off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EINVAL && out->direct) {
      MakeBuffered(out);  // the file system refused this unbuffered write
      continue;
    }
    if (n < 0) return Fail(error);
    if (n == 0) {
      *error = EIO;
      return false;
    }
    p += n;
    offset += u64(n);
    length -= u32(n);
    *written += u32(n);
  }
  return true;
}

bool IsReaderGone(u32 error) { return error == EPIPE; }

bool CutOutputFile(OutputFile* out, u64 length, u32* error) {
  return ftruncate(Fd(out->handle), off_t(length)) == 0 || Fail(error);
}

bool CloseOutputFile(OutputFile* out, bool sync, u32* error) {
  bool ok = true;
  if (sync && !out->stream && fdatasync(Fd(out->handle)) != 0) ok = Fail(error);
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
  if (rename(from, to) != 0) return Fail(error);
  // The new name is durable once its folder is synced; a file system that
  // cannot sync a folder says EINVAL or ENOTSUP, and has nothing to sync.
  char folder[4096];
  const char* slash = std::strrchr(to, '/');
  if (!slash) FormatText(folder, sizeof folder, ".");
  else if (slash == to) FormatText(folder, sizeof folder, "/");
  else FormatText(folder, sizeof folder, "%.*s", int(slash - to), to);
  int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true;  // a folder this user cannot read cannot be synced by them
  bool ok = fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP || Fail(error);
  close(fd);
  return ok;
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
