// The FUSE file system of a mount and its life: mounted once the files are
// built, served by several threads, ended by an unmount or a signal.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <dirent.h>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mount/mount.h"
#include "mount/mount_damage.h"
#include "mount/mount_files.h"
#include "mount/mount_read.h"
#include "platform/platform.h"
#include "report/say.h"

namespace {

MountTable g_table;
struct timespec g_time;  // the source's modification time, shown on everything
struct fuse* g_fuse;     // while mounted
const char kUnreadableName[] = "user.melvir.unreadable";  // each recording's ranges

int GetAttr(const char* path, struct stat* st, struct fuse_file_info*) {
  MountNode node;
  if (!LookUpMountPath(g_table, path, &node)) return -ENOENT;
  std::memset(st, 0, sizeof *st);
  st->st_uid = getuid();
  st->st_gid = getgid();
  st->st_atim = st->st_mtim = st->st_ctim = g_time;
  if (node.folder) {
    st->st_mode = S_IFDIR | 0555;
    st->st_nlink = node.which == kMountRoot && g_table.lostFolder ? 3 : 2;
  } else {
    st->st_mode = S_IFREG | 0444;
    st->st_nlink = 1;
    u64 size = MountFileSize(g_table, *node.file);
    st->st_size = off_t(size);
    st->st_blocks = blkcnt_t((size + 511) / 512);
    st->st_blksize = 1 << 20;  // cat and cp read this much at a time
  }
  return 0;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, struct fuse_file_info*,
            enum fuse_readdir_flags) {
  MountNode node;
  if (!LookUpMountPath(g_table, path, &node)) return -ENOENT;
  if (!node.folder) return -ENOTDIR;
  const fuse_fill_dir_flags none = fuse_fill_dir_flags(0);
  fill(buffer, ".", nullptr, 0, none);
  fill(buffer, "..", nullptr, 0, none);
  if (node.which == kMountRoot && g_table.lostFolder) fill(buffer, "lost", nullptr, 0, none);
  for (const MountFile& f : g_table.files)
    if (f.folder == node.which) fill(buffer, f.name.c_str(), nullptr, 0, none);
  return 0;
}

int Open(const char* path, struct fuse_file_info* fi) {
  MountNode node;
  if (!LookUpMountPath(g_table, path, &node)) return -ENOENT;
  if (node.folder) return -EISDIR;
  if ((fi->flags & O_ACCMODE) != O_RDONLY || (fi->flags & O_TRUNC)) return -EROFS;
  fi->fh = u64(node.file - g_table.files.data());
  fi->keep_cache = 1;  // the disk does not change while it is mounted
  // DAMAGE.txt changes as reads meet damage: read afresh each time, never
  // from the page cache.
  if (node.file->damageText) fi->direct_io = 1;
  return 0;
}

// A recording's unreadable ranges, as DAMAGE.txt lists them; no other
// attribute, and none on anything else.
bool IsRecording(const MountNode& node) {
  return node.file && !node.file->info && !node.file->damageText;
}

int GetXattr(const char* path, const char* name, char* value, size_t size) {
  MountNode node;
  if (!LookUpMountPath(g_table, path, &node)) return -ENOENT;
  if (!IsRecording(node) || std::strcmp(name, kUnreadableName) != 0) return -ENODATA;
  std::string text = UnreadableValue(*node.file);
  if (size == 0) return int(text.size());
  if (size < text.size()) return -ERANGE;
  std::memcpy(value, text.data(), text.size());
  return int(text.size());
}

int ListXattr(const char* path, char* list, size_t size) {
  MountNode node;
  if (!LookUpMountPath(g_table, path, &node)) return -ENOENT;
  if (!IsRecording(node)) return 0;
  if (size == 0) return sizeof kUnreadableName;
  if (size < sizeof kUnreadableName) return -ERANGE;
  std::memcpy(list, kUnreadableName, sizeof kUnreadableName);
  return sizeof kUnreadableName;
}

// The size the kernel holds of DAMAGE.txt is dropped when it changes.
void DamageGrew() {
  if (g_fuse) fuse_invalidate_path(g_fuse, "/DAMAGE.txt");
}

int ReadBuf(const char*, struct fuse_bufvec** reply, size_t size, off_t offset,
            struct fuse_file_info* fi) {
  return ReplyToRead(g_table, fi->fh, size, offset, reply);
}

int StatFs(const char*, struct statvfs* st) {
  std::memset(st, 0, sizeof *st);
  u64 bytes = 0;
  for (const MountFile& f : g_table.files) bytes += f.size;
  st->f_bsize = st->f_frsize = kSectorSize;
  st->f_blocks = fsblkcnt_t((bytes + kSectorSize - 1) / kSectorSize);
  st->f_files = g_table.files.size() + 2;
  st->f_namemax = 255;
  st->f_flag = ST_RDONLY;
  return 0;
}

// Everything that would change the folder. The mount is read-only, so the
// kernel refuses these first; the file system refuses them too.
int RefuseWrite(const char*, const char*, size_t, off_t, struct fuse_file_info*) { return -EROFS; }
int RefuseCreate(const char*, mode_t, struct fuse_file_info*) { return -EROFS; }
int RefuseMake(const char*, mode_t) { return -EROFS; }
int RefuseRemove(const char*) { return -EROFS; }
int RefuseRename(const char*, const char*, unsigned int) { return -EROFS; }
int RefuseTruncate(const char*, off_t, struct fuse_file_info*) { return -EROFS; }
int RefuseSetXattr(const char*, const char*, const char*, size_t, int) { return -EROFS; }
int RefuseRemoveXattr(const char*, const char*) { return -EROFS; }

void* Init(struct fuse_conn_info*, struct fuse_config* cfg) {
  cfg->kernel_cache = 1;
  cfg->entry_timeout = cfg->attr_timeout = cfg->negative_timeout = 3600;
  return nullptr;
}

struct fuse_operations Operations() {
  struct fuse_operations ops = {};
  ops.init = Init;
  ops.getattr = GetAttr;
  ops.readdir = ReadDir;
  ops.open = Open;
  ops.read_buf = ReadBuf;
  ops.statfs = StatFs;
  ops.write = RefuseWrite;
  ops.create = RefuseCreate;
  ops.mkdir = RefuseMake;
  ops.unlink = RefuseRemove;
  ops.rmdir = RefuseRemove;
  ops.rename = RefuseRename;
  ops.truncate = RefuseTruncate;
  ops.getxattr = GetXattr;
  ops.listxattr = ListXattr;
  ops.setxattr = RefuseSetXattr;
  ops.removexattr = RefuseRemoveXattr;
  return ops;
}

// The source as the mount table shows it, commas and backslashes escaped
// for the option list.
std::string MountOptions(const char* source, bool allowOther) {
  std::string options = "ro,default_permissions,subtype=melvir,";
  if (allowOther) options += "allow_other,";
  options += "fsname=melvir:";
  for (const char* p = source; *p; ++p) {
    if (*p == ',' || *p == '\\') options += '\\';
    options += *p;
  }
  return options;
}

// fusermount3 lets a user other than root mount with allow_other only when
// /etc/fuse.conf holds the line user_allow_other.
bool MayAllowOther() {
  if (geteuid() == 0) return true;
  std::FILE* conf = std::fopen("/etc/fuse.conf", "r");
  if (!conf) return false;
  bool allowed = false;
  char line[256];
  while (!allowed && std::fgets(line, sizeof line, conf)) {
    char* start = line;
    while (*start == ' ' || *start == '\t') ++start;
    size_t n = std::strlen(start);
    while (n > 0 && std::strchr(" \t\r\n", start[n - 1])) start[--n] = 0;
    allowed = std::strcmp(start, "user_allow_other") == 0;
  }
  std::fclose(conf);
  return allowed;
}

}  // namespace

bool CheckMountPoint(const char* mountPoint, bool allowOther) {
  struct stat st;
  if (stat(mountPoint, &st) != 0) {
    Say("%s: cannot mount here: %s", mountPoint, std::strerror(errno));
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    Say("%s: cannot mount here: not a folder", mountPoint);
    return false;
  }
  DIR* dir = opendir(mountPoint);
  if (!dir) {
    Say("%s: cannot mount here: %s", mountPoint, std::strerror(errno));
    return false;
  }
  bool empty = true;
  while (struct dirent* e = readdir(dir))
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) empty = false;
  closedir(dir);
  if (!empty) {
    Say("%s: cannot mount here: the folder is not empty", mountPoint);
    return false;
  }
  if (access("/dev/fuse", F_OK) != 0) {
    Say("%s", "/dev/fuse is missing: load the fuse module (modprobe fuse), or give a container "
              "the device");
    return false;
  }
  if (allowOther && !MayAllowOther()) {
    Say("%s", "--allow-other: /etc/fuse.conf does not let users other than root allow others "
              "(it needs the line user_allow_other)");
    return false;
  }
  return true;
}

bool MountAndServe(const MountRequest& o) {
  BuildMountTable(o, &g_table);
  g_table.damageGrew = DamageGrew;
  // The open source's own time: its name may no longer lead to it (a
  // relative path once detached, a device renamed).
  struct stat st;
  if (fstat(int(g_disk.device), &st) == 0 || stat(o.source, &st) == 0) g_time = st.st_mtim;
  if (o.scanFailed)
    Say("the directory could not be read to its end: the mount shows only the %u recording%s "
        "listed before the failure", u32(o.recordings.size()), o.recordings.size() == 1 ? "" : "s");
  if (IsBlockDevice(g_disk.device))
    Say("%s is a device: desktop thumbnailers and indexers may read every file of the mount "
        "(and so the whole disk)", o.source);

  std::string options = MountOptions(o.source, o.allowOther);
  char program[] = "melvir", dashO[] = "-o";
  char* argv[] = {program, dashO, &options[0], nullptr};
  struct fuse_args args = FUSE_ARGS_INIT(3, argv);
  struct fuse_operations ops = Operations();
  struct fuse* fuse = fuse_new(&args, &ops, sizeof ops, nullptr);
  if (!fuse) {
    Say("%s", "cannot start the FUSE file system");
    fuse_opt_free_args(&args);
    return false;
  }
  if (fuse_mount(fuse, o.mountPoint) != 0) {
    Say("%s: cannot mount here (mounting needs the rights to use /dev/fuse and fusermount3, "
        "and a folder of one's own)", o.mountPoint);
    fuse_destroy(fuse);
    fuse_opt_free_args(&args);
    return false;
  }
  // Every read reply is a fresh buffer of up to 1 MiB that libfuse frees
  // once sent. Kept mapped by the allocator, not handed back to the system
  // and faulted in again, zeroed, for every request.
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  g_fuse = fuse;
  struct fuse_session* session = fuse_get_session(fuse);
  bool unmounted = false;
  if (fuse_set_signal_handlers(session) == 0) {
    // Detached, no terminal is left to take a Ctrl-C.
    if (!o.quiet)
      Say("%u recording%s on %s; 'fusermount3 -u %s'%s unmounts", u32(o.recordings.size()),
          o.recordings.size() == 1 ? "" : "s", o.mountPoint, o.mountPoint,
          o.background ? "" : " or Ctrl-C");
    // Detached, the process keeps the disk and the mount; its messages go
    // nowhere.
    if (!o.background || fuse_daemonize(0) == 0) {
      // A signal ends the loop with its number: for a mount the normal end.
      unmounted = fuse_loop_mt(fuse, 0) >= 0;
    }
    fuse_remove_signal_handlers(session);
  }
  g_fuse = nullptr;
  fuse_unmount(fuse);
  fuse_destroy(fuse);
  fuse_opt_free_args(&args);
  return unmounted;
}
