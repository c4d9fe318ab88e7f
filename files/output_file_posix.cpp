// The output files of an extraction on POSIX: regular files unbuffered
// (O_DIRECT), streams plain.
#include "files/output_file.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/platform.h"

namespace {

int Fd(std::intptr_t h) { return int(h); }

bool Fail(u32* error) {
  *error = u32(errno);
  return false;
}

// A reader that closes early (`| head`) ends the copy with EPIPE, seen
// where it happens; the signal is raised again once the copy is cleaned up.
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
  IgnoreBrokenPipe();
  *out = OutputFile{STDOUT_FILENO, true, false, false, 1, "-", 0};
  return true;
}

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool OpenStreamOutput(const char* path, OutputFile* out, u32* error) {
  int fd = open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return Fail(error);
  *out = OutputFile{fd, true, true, false, 1, path, 0};
  IgnoreBrokenPipe();
  return true;
}

bool SizeOfOutput(const OutputFile& out, u64* size) {
  struct stat s;
  if (fstat(Fd(out.handle), &s) != 0) return false;
  *size = u64(s.st_size);
  return true;
}

bool ReadOutputAt(OutputFile* out, u64 offset, void* buffer, u32 length, u32* error) {
  u8* p = static_cast<u8*>(buffer);
  while (length > 0) {
    ssize_t n = pread(Fd(out->handle), p, length, off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(error);
    if (n == 0) {
      *error = EIO;
      return false;
    }
    p += n;
    offset += u64(n);
    length -= u32(n);
  }
  return true;
}

bool StartOutputWrites(OutputFile* out, u64 offset, u32* error) {
  if (ftruncate(Fd(out->handle), off_t(offset)) != 0) return Fail(error);
  int flags = fcntl(Fd(out->handle), F_GETFL);
  if (flags < 0 || fcntl(Fd(out->handle), F_SETFL, flags | O_DIRECT) != 0) return true;  // buffered
  out->direct = true;
  u32 align = DirectAlignment(Fd(out->handle));
  if (align == 0 || align > kMaxDirectAlign) MakeBuffered(out);
  else out->align = align;
  return true;
}

// A buffered file (the Matroska muxer's) has its written bytes sent to the
// disk as it goes, a few MiB at a time: else the final sync waits for the
// whole file (0.85 s of a 1 GiB remux).
void WriteBehind(OutputFile* out, u64 end) {
#ifdef SYNC_FILE_RANGE_WRITE
  const u64 kBehindStep = 8ull << 20;
  if (out->stream || out->direct || end < out->behind + kBehindStep) return;
  sync_file_range(Fd(out->handle), off_t(out->behind), off_t(end - out->behind), SYNC_FILE_RANGE_WRITE);
  out->behind = end;
#else
  (void)out;
  (void)end;
#endif
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
  WriteBehind(out, offset);
  return true;
}

bool IsReaderGone(u32 error) { return error == EPIPE; }

bool CutOutputFile(OutputFile* out, u64 length, u32* error) {
  return ftruncate(Fd(out->handle), off_t(length)) == 0 || Fail(error);
}

bool SyncOutputFile(OutputFile* out, u32* error) {
  return out->stream || fdatasync(Fd(out->handle)) == 0 || Fail(error);
}

bool CloseOutputFile(OutputFile* out, bool sync, u32* error) {
  bool ok = !sync || SyncOutputFile(out, error);
  if (out->owned && close(Fd(out->handle)) != 0 && ok) ok = Fail(error);
  out->owned = false;
  return ok;
}

bool ReadFileAt(const char* path, u64 offset, void* buffer, u32 length, u32* error) {
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Fail(error);
  OutputFile file = {fd, false, true, false, 1, path, 0};
  bool ok = ReadOutputAt(&file, offset, buffer, length, error);
  close(fd);
  return ok;
}

bool IsNameTaken(u32 error) { return error == EEXIST; }

bool RenameOutput(OutputFile* out, const char* to, bool replace, u32* error) {
  // The lock this run holds stays with the open file under its new name.
  if (renameat2(AT_FDCWD, out->path, AT_FDCWD, to, replace ? 0 : RENAME_NOREPLACE) != 0) {
    if (replace || (errno != EINVAL && errno != ENOSYS)) return Fail(error);
    // A file system without RENAME_NOREPLACE (NFS): a new link fails on an
    // existing name, then the old name goes.
    if (link(out->path, to) != 0 || unlink(out->path) != 0) return Fail(error);
  }
  out->path = to;
  return SyncFolderOf(to, error);
}

bool RemoveOutput(OutputFile* out, u32* error) {
  bool ok = unlink(out->path) == 0 || Fail(error);
  u32 ignored;
  CloseOutputFile(out, false, &ignored);
  return ok;
}

bool RenameSideFile(const char* from, const char* to, u32* error) {
  if (CheckWritePath(from, true) != kWriteAllowed) {
    *error = EPERM;
    return false;
  }
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return SyncFolderOf(to, error);
  if (errno != EINVAL && errno != ENOSYS) return Fail(error);
  if (link(from, to) != 0 || unlink(from) != 0) return Fail(error);
  return SyncFolderOf(to, error);
}

bool NameExists(const char* path) {
  struct stat s;
  return lstat(path, &s) == 0;
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
