// The raw POSIX calls (os_calls.h) and the calls of platform.h that are the
// system's alone: Linux devices and image files, pthreads.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/drive_table.h"
#include "platform/fault.h"
#include "platform/os_calls.h"
#include "platform/platform.h"
#include "platform/thread_reuse.h"
#include "platform/write_guard.h"

namespace {

// Whole-disk block devices, found once, in name order.
const u32 kMaxDevices = 17;
char g_devices[kMaxDevices][64];
u32 g_deviceCount = 0;
bool g_devicesListed = false;

bool IsWholeDisk(const char* name) {
  // Pseudo devices that are never a recorder disk.
  static const char* const kSkip[] = {"loop", "ram", "zram", "dm-", "md", "sr", "fd", "nbd"};
  for (const char* prefix : kSkip)
    if (std::strncmp(name, prefix, std::strlen(prefix)) == 0) return false;
  return name[0] != '.';
}

void ListDevices() {
  g_devicesListed = true;
  DIR* dir = opendir("/sys/block");
  if (!dir) return;
  char names[64][32];
  u32 n = 0;
  while (struct dirent* e = readdir(dir)) {
    if (n < 64 && IsWholeDisk(e->d_name) && std::strlen(e->d_name) < sizeof names[0])
      std::strcpy(names[n++], e->d_name);
  }
  closedir(dir);
  qsort(names, n, sizeof names[0], [](const void* a, const void* b) {
    return std::strcmp(static_cast<const char*>(a), static_cast<const char*>(b));
  });
  // Names are shorter than 32, so "/dev/" and a name fit in 64.
  for (u32 i = 0; i < n && g_deviceCount < kMaxDevices; ++i) {
    std::memcpy(g_devices[g_deviceCount], "/dev/", 5);
    std::strcpy(g_devices[g_deviceCount++] + 5, names[i]);
  }
}

int Fd(FileHandle f) { return static_cast<int>(f); }

void CloseDirectTwin(int fd);

// Notes the failure's errno; returns false.
bool Failed(int error) { return NoteSystemError(u32(error)); }

// The path of drive number, or null.
const char* DrivePath(u32 number) {
  const char* path;
  if (TabledDrivePath(number, &path)) return path;
  if (!g_devicesListed) ListDevices();
  return number < g_deviceCount ? g_devices[number] : nullptr;
}

}  // namespace

const OsErrorCodes kOsErrors = {
    EIO,     // injectedOpen
    EIO,     // injectedSeek
    EIO,     // injectedRead
    EIO,     // injectedCreateLog
    EMFILE,  // noFreeHandle
    EINVAL,  // seekTooFar
    EINVAL,  // readTooFar
    EBADF,   // memorySeekFailed
    EIO,     // unreadable
};

bool DriveName(u32 number, char* out, u32 size) {
  const char* path = DrivePath(number);
  if (!path) return false;
  FormatText(out, size, "%s", path);
  return true;
}

void OsErrorText(u32 code, char* out, u32 size) {
  FormatText(out, size, "%s", std::strerror(int(code)));
}

bool IsAccessDenied(u32 code) { return code == EACCES || code == EPERM; }

bool OsOpenDrive(u32 number, FileHandle* out) {
  const char* path = DrivePath(number);
  if (!path) return Failed(ENOENT);
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Failed(errno);
  *out = fd;
  return true;
}

bool OsSeek(FileHandle file, u64 position) {
  if (lseek(Fd(file), static_cast<off_t>(position), SEEK_SET) == static_cast<off_t>(-1))
    return Failed(errno);
  return true;
}

bool OsTell(FileHandle file, u64* position) {
  off_t at = lseek(Fd(file), 0, SEEK_CUR);
  if (at < 0) return Failed(errno);
  *position = u64(at);
  return true;
}

bool OsRead(FileHandle file, void* buffer, u32 length, u32* got) {
  u32 done = 0;
  while (done < length) {
    ssize_t n = read(Fd(file), static_cast<u8*>(buffer) + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failed(errno);
    if (n == 0) break;
    done += static_cast<u32>(n);
  }
  *got = done;
  return true;
}

namespace {

// pread until length bytes or the end of the file. fd may be an O_DIRECT
// twin: where it refuses the alignment, plain (the same file) reads instead.
bool ReadFully(int fd, int plain, u64 position, void* buffer, u32 length, u32* got) {
  u32 done = 0;
  while (done < length) {
    ssize_t n = pread(fd, static_cast<u8*>(buffer) + done, length - done, off_t(position + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EINVAL && fd != plain) {
      fd = plain;  // alignment refused: the cached descriptor, same bytes
      continue;
    }
    if (n < 0) return Failed(errno);
    if (n == 0) break;
    done += static_cast<u32>(n);
  }
  *got = done;
  return true;
}

}  // namespace

bool OsReadAt(FileHandle file, u64 position, void* buffer, u32 length, u32* got) {
  return ReadFully(Fd(file), Fd(file), position, buffer, length, got);
}

bool OsSize(FileHandle file, u64* size) {
  struct stat s;
  if (fstat(Fd(file), &s) != 0) return false;
  if (S_ISBLK(s.st_mode)) return ioctl(Fd(file), BLKGETSIZE64, size) == 0;
  if (!S_ISREG(s.st_mode)) return false;
  *size = u64(s.st_size);
  return true;
}

bool OsClose(FileHandle file) {
  CloseDirectTwin(Fd(file));
  return close(Fd(file)) == 0;
}

// ---- Reading a failing drive ------------------------------------------------

namespace {

// The second descriptor of a disk device, opened with O_DIRECT the first
// time a sector is read again, so that the ordinary reads keep the cache.
// Images are remembered too, with no twin: one test per re-read.
struct DirectTwin {
  int fd, twin;  // twin -1: an image, or O_DIRECT refused: the plain descriptor serves
};
const u32 kTwins = 4;
DirectTwin g_twins[kTwins];
u32 g_twinCount = 0;
// Threads reading one mounted disk past damage may meet its first re-read
// together.
pthread_mutex_t g_twinLock = PTHREAD_MUTEX_INITIALIZER;

bool IsBlockFd(int fd) {
  struct stat s;
  return fstat(fd, &s) == 0 && S_ISBLK(s.st_mode);
}

int DirectFdLocked(int fd) {
  for (u32 i = 0; i < g_twinCount; ++i)
    if (g_twins[i].fd == fd) return g_twins[i].twin < 0 ? fd : g_twins[i].twin;
  if (g_twinCount == kTwins) return fd;
  int twin = -1;
  if (IsBlockFd(fd)) {
    char path[40];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    twin = open(path, O_RDONLY | O_DIRECT | O_CLOEXEC);
  }
  g_twins[g_twinCount++] = {fd, twin};
  return twin < 0 ? fd : twin;
}

int DirectFd(int fd) {
  pthread_mutex_lock(&g_twinLock);
  int direct = DirectFdLocked(fd);
  pthread_mutex_unlock(&g_twinLock);
  return direct;
}

void CloseDirectTwin(int fd) {
  pthread_mutex_lock(&g_twinLock);
  for (u32 i = 0; i < g_twinCount; ++i)
    if (g_twins[i].fd == fd) {
      if (g_twins[i].twin >= 0) close(g_twins[i].twin);
      g_twins[i] = g_twins[--g_twinCount];
      break;
    }
  pthread_mutex_unlock(&g_twinLock);
}

}  // namespace

bool OsIsBlockDevice(FileHandle file) { return IsBlockFd(Fd(file)); }

u32 OsDirectReadUnit(FileHandle file) {
  int size = 0;
  if (!IsBlockFd(Fd(file)) || ioctl(Fd(file), BLKSSZGET, &size) != 0 || size < 512) return 512;
  return u32(size);
}

bool OsReadDirect(FileHandle file, u64 position, void* buffer, u32 length, u32* got) {
  return ReadFully(DirectFd(Fd(file)), Fd(file), position, buffer, length, got);
}

bool OsCreateLogFile(const char* path, FileHandle* out) {
  u32 error = 0;
  WriteVerdict verdict = OpenForWriting(path, kWriteCut, out, &error);
  if (verdict == kWriteAllowed) return true;
  return Failed(verdict == kWriteFailed ? int(error) : EPERM);  // a source or a device
}

bool OsWrite(FileHandle file, const void* buffer, u32 length, u32* written) {
  u32 done = 0;
  while (done < length) {
    ssize_t n;
    if (RefusesUnbufferedLength(length - done) && (fcntl(Fd(file), F_GETFL) & O_DIRECT)) {
      n = -1;
      errno = EINVAL;  // a forced sector size, as direct I/O refuses part sectors
    } else {
      n = write(Fd(file), static_cast<const u8*>(buffer) + done, length - done);
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EINVAL) {
      // Direct I/O refused this length or alignment (a file system with
      // larger blocks): go on through the page cache, same bytes.
      int flags = fcntl(Fd(file), F_GETFL);
      if (flags >= 0 && (flags & O_DIRECT) && fcntl(Fd(file), F_SETFL, flags & ~O_DIRECT) == 0)
        continue;
    }
    if (n <= 0) return false;
    done += static_cast<u32>(n);
  }
  *written = done;
  return true;
}

bool OsCreateOutputFile(const char* path, FileHandle* out) {
  const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
  int fd = open(path, flags | O_DIRECT, 0644);
  if (fd < 0 && errno == EINVAL) fd = open(path, flags, 0644);  // tmpfs and the like
  if (fd < 0) return false;
  *out = fd;
  return true;
}

// ---- Events: a fixed pool, so no allocation happens per extraction. --------

struct PlatformEvent {
  pthread_mutex_t mutex;
  pthread_cond_t cond;
  bool signalled;
  std::atomic<bool> used;
};

namespace {
const u32 kEventPool = 8;
PlatformEvent g_events[kEventPool] = {};
pthread_once_t g_eventsOnce = PTHREAD_ONCE_INIT;

void InitEvents() {
  for (PlatformEvent& e : g_events) {
    pthread_mutex_init(&e.mutex, nullptr);
    pthread_cond_init(&e.cond, nullptr);
  }
}
}  // namespace

bool OsCreateEvent(EventHandle* out) {
  pthread_once(&g_eventsOnce, InitEvents);
  for (PlatformEvent& e : g_events) {
    bool expected = false;
    if (e.used.compare_exchange_strong(expected, true)) {
      pthread_mutex_lock(&e.mutex);
      e.signalled = false;
      pthread_mutex_unlock(&e.mutex);
      *out = &e;
      return true;
    }
  }
  return false;
}

void SignalEvent(EventHandle event) {
  pthread_mutex_lock(&event->mutex);
  event->signalled = true;
  pthread_cond_signal(&event->cond);
  pthread_mutex_unlock(&event->mutex);
}

void WaitEvent(EventHandle event) {
  pthread_mutex_lock(&event->mutex);
  while (!event->signalled) pthread_cond_wait(&event->cond, &event->mutex);
  event->signalled = false;
  pthread_mutex_unlock(&event->mutex);
}

void CloseEvent(EventHandle event) { event->used.store(false); }

// ---- Threads ------------------------------------------------------------------

namespace {
struct StartSlot {
  std::atomic<bool> used;
  ThreadRoutine routine;
  void* argument;
};
const u32 kStartSlots = 16;
StartSlot g_starts[kStartSlots] = {};

void* Trampoline(void* p) {
  StartSlot* slot = static_cast<StartSlot*>(p);
  ThreadRoutine routine = slot->routine;
  void* argument = slot->argument;
  slot->used.store(false, std::memory_order_release);
  routine(argument);
  return nullptr;
}
}  // namespace

bool OsStartThread(ThreadRoutine routine, void* argument) {
  if (ThreadReuseOn()) return StartReusedThread(routine, argument);
  for (StartSlot& slot : g_starts) {
    bool expected = false;
    if (!slot.used.compare_exchange_strong(expected, true, std::memory_order_acquire)) continue;
    slot.routine = routine;
    slot.argument = argument;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    int rc = pthread_create(&thread, &attr, Trampoline, &slot);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
      slot.used.store(false);
      return false;
    }
    return true;
  }
  return false;
}

void YieldThread() { sched_yield(); }

void RaiseThreadPriority() {
  // Linux keeps a nice value per thread; lowering it needs privileges, so a
  // refusal is simply ignored.
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), -5);
}

void* AllocPages(u32 size) {
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}
