// The write guard on POSIX: identities are (device, inode); a side file is
// opened O_NOFOLLOW|O_NONBLOCK and held with flock, which an open file
// description keeps whatever other descriptors of the file close.
#include "platform/write_guard.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/loop.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Identity {
  u64 device, inode;
};
std::vector<Identity> g_read;

void Remember(u64 device, u64 inode) {
  for (const Identity& i : g_read)
    if (i.device == device && i.inode == inode) return;
  g_read.push_back(Identity{device, inode});
}

bool IsRead(const struct stat& s) {
  for (const Identity& i : g_read)
    if (i.device == u64(s.st_dev) && i.inode == u64(s.st_ino)) return true;
  return false;
}

bool IsNullDevice(const struct stat& s) {
  struct stat null;
  return S_ISCHR(s.st_mode) && stat("/dev/null", &null) == 0 && null.st_rdev == s.st_rdev;
}

// The verdict on what s describes, as a file to write.
WriteVerdict Judge(const struct stat& s, bool side) {
  if (S_ISBLK(s.st_mode)) return kWriteIsDevice;
  if (IsRead(s)) return kWriteIsSource;
  if (side) {
    if (!S_ISREG(s.st_mode)) return kWriteNotRegular;
    if (s.st_nlink != 1) return kWriteLinked;
    return kWriteAllowed;
  }
  if (S_ISCHR(s.st_mode) && !IsNullDevice(s)) return kWriteIsDevice;
  return kWriteAllowed;
}

WriteVerdict Failed(u32* error) {
  *error = u32(errno);
  return kWriteFailed;
}

}  // namespace

void GuardRead(const char* path) {
  struct stat s;
  if (stat(path, &s) != 0) return;
  Remember(u64(s.st_dev), u64(s.st_ino));
  if (!S_ISBLK(s.st_mode)) return;
  // A loop device reads its backing file: that file is a source too.
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  struct loop_info64 info;
  if (ioctl(fd, LOOP_GET_STATUS64, &info) == 0) Remember(u64(info.lo_device), u64(info.lo_inode));
  close(fd);
}

void ClearGuard() { g_read.clear(); }

WriteVerdict OpenForWriting(const char* path, u32 how, FileHandle* handle, u32* error) {
  bool side = how & kWriteSide;
  int flags = O_CLOEXEC | O_NONBLOCK | ((how & kWriteReadToo) ? O_RDWR : O_WRONLY);
  if (side) flags |= O_NOFOLLOW;
  if (how & kWriteFresh) flags |= O_CREAT | O_EXCL;
  else if (!(how & kWriteExisting)) flags |= O_CREAT;
  int fd = open(path, flags, 0644);
  // A link where a side file should be, or a FIFO with no reader.
  if (fd < 0 && side && (errno == ELOOP || errno == ENXIO)) return kWriteNotRegular;
  if (fd < 0) return Failed(error);
  struct stat s;
  WriteVerdict verdict = fstat(fd, &s) == 0 ? Judge(s, side) : Failed(error);
  if (verdict == kWriteAllowed && side && flock(fd, LOCK_EX | LOCK_NB) != 0)
    verdict = errno == EWOULDBLOCK ? kWriteInUse : Failed(error);
  if (verdict == kWriteAllowed && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
    verdict = Failed(error);
  if (verdict == kWriteAllowed && (how & kWriteCut) && S_ISREG(s.st_mode) && ftruncate(fd, 0) != 0)
    verdict = Failed(error);
  if (verdict != kWriteAllowed) {
    close(fd);
    return verdict;
  }
  *handle = fd;
  return kWriteAllowed;
}

std::FILE* OpenStreamForWriting(const char* path, bool side, WriteVerdict* verdict, u32* error) {
  FileHandle fd;
  *verdict = OpenForWriting(path, kWriteCut | (side ? kWriteSide : 0), &fd, error);
  if (*verdict != kWriteAllowed) return nullptr;
  std::FILE* f = fdopen(int(fd), "wb");
  if (!f) {
    *verdict = Failed(error);
    close(int(fd));
  }
  return f;
}

WriteVerdict CheckWritePath(const char* path, bool side) {
  struct stat s;
  if (lstat(path, &s) != 0) return kWriteAllowed;
  if (IsRead(s)) return kWriteIsSource;
  if (side && S_ISLNK(s.st_mode)) return kWriteNotRegular;
  if (!S_ISLNK(s.st_mode)) return Judge(s, side);
  // A link replaced by name leaves its target as it is; but writing through
  // it must never reach what it names.
  if (stat(path, &s) != 0) return kWriteAllowed;
  return Judge(s, false);
}

WriteVerdict ReplaceSideFile(const char* path, SideWriter write, const void* context, u32* error) {
  WriteVerdict verdict = CheckWritePath(path, true);
  if (verdict != kWriteAllowed) return verdict;
  char fresh[4200];
  static u32 serial;
  FormatText(fresh, sizeof fresh, "%s.new%ld-%u", path, long(getpid()), ++serial);
  FileHandle fd;
  verdict = OpenForWriting(fresh, kWriteSide | kWriteFresh, &fd, error);
  if (verdict != kWriteAllowed) return verdict;
  std::FILE* f = fdopen(int(fd), "wb");
  bool ok = f && write(f, context) && std::fflush(f) == 0 && fsync(int(fd)) == 0;
  *error = ok ? 0 : errno ? u32(errno) : u32(EIO);
  if (f) ok = std::fclose(f) == 0 && ok;
  else close(int(fd));
  if (ok && rename(fresh, path) != 0) {
    *error = u32(errno);
    ok = false;
  }
  if (!ok) {
    unlink(fresh);
    return kWriteFailed;
  }
  return SyncFolderOf(path, error) ? kWriteAllowed : kWriteFailed;
}

bool ReadSideFile(const char* path, std::string* text) {
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat s;
  bool ok = fstat(fd, &s) == 0 && S_ISREG(s.st_mode);
  text->clear();
  char piece[4096];
  for (ssize_t n; ok && (n = read(fd, piece, sizeof piece)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) text->append(piece, size_t(n));
  }
  close(fd);
  return ok;
}

bool RemoveSideFile(const char* path) {
  return CheckWritePath(path, true) == kWriteAllowed && unlink(path) == 0;
}

bool SyncFolderOf(const char* path, u32* error) {
  char folder[4096];
  const char* slash = std::strrchr(path, '/');
  if (!slash) FormatText(folder, sizeof folder, ".");
  else if (slash == path) FormatText(folder, sizeof folder, "/");
  else FormatText(folder, sizeof folder, "%.*s", int(slash - path), path);
  int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true;  // a folder this user cannot read cannot be synced by them
  bool ok = fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
  if (!ok) *error = u32(errno);
  close(fd);
  return ok;
}
