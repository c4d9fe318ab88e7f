// faulty-disk: serves one image file, read-only, as MOUNTPOINT/disk.img,
// with chosen 512-byte sectors failing with EIO, so that programs reading it
// meet real failed reads from the kernel. Every read reaches this process
// (direct_io): a read that touches a bad sector fails whole, as a disk's
// read of a bad sector does.
//
// Usage: faulty-disk [--bad LIST] IMAGE MOUNTPOINT [FUSE options]
//   LIST: sector numbers and ranges, "12,100-119"; may be given again.
// Runs in the background once mounted; `fusermount3 -u MOUNTPOINT` ends it.
#define FUSE_USE_VERSION 31

#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

const char kName[] = "/disk.img";
const off_t kSector = 512;

int g_image = -1;
off_t g_size = 0;
struct timespec g_time;  // the image's modification time, shown on everything
std::vector<std::pair<off_t, off_t>> g_bad;  // sector ranges [first, last], sorted

bool ParseList(const char* list) {
  for (const char* p = list; *p;) {
    char* end;
    unsigned long long first = std::strtoull(p, &end, 10), last = first;
    if (end == p) return false;
    if (*end == '-') {
      p = end + 1;
      last = std::strtoull(p, &end, 10);
      if (end == p || last < first) return false;
    }
    g_bad.emplace_back(off_t(first), off_t(last));
    if (*end != ',' && *end != 0) return false;
    p = *end ? end + 1 : end;
  }
  return true;
}

bool TouchesBad(off_t offset, size_t size) {
  if (size == 0) return false;
  off_t first = offset / kSector, last = (offset + off_t(size) - 1) / kSector;
  for (const auto& b : g_bad)
    if (b.first <= last && b.second >= first) return true;
  return false;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info*) {
  std::memset(st, 0, sizeof *st);
  st->st_atim = st->st_mtim = st->st_ctim = g_time;
  if (std::strcmp(path, "/") == 0) {
    st->st_mode = S_IFDIR | 0555;
    st->st_nlink = 2;
    return 0;
  }
  if (std::strcmp(path, kName) != 0) return -ENOENT;
  st->st_mode = S_IFREG | 0444;
  st->st_nlink = 1;
  st->st_size = g_size;
  return 0;
}

int ReadDir(const char* path, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
  if (std::strcmp(path, "/") != 0) return -ENOENT;
  fill(buf, ".", nullptr, 0, fuse_fill_dir_flags(0));
  fill(buf, "..", nullptr, 0, fuse_fill_dir_flags(0));
  fill(buf, kName + 1, nullptr, 0, fuse_fill_dir_flags(0));
  return 0;
}

int Open(const char* path, fuse_file_info* fi) {
  if (std::strcmp(path, kName) != 0) return -ENOENT;
  if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  fi->direct_io = 1;
  return 0;
}

int Read(const char*, char* buf, size_t size, off_t offset, fuse_file_info*) {
  if (TouchesBad(offset, size)) return -EIO;
  size_t done = 0;
  while (done < size) {
    ssize_t n = pread(g_image, buf + done, size - done, offset + off_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -errno;
    if (n == 0) break;
    done += size_t(n);
  }
  return int(done);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest = {argv[0]};
  int i = 1;
  for (; i + 1 < argc && std::strcmp(argv[i], "--bad") == 0; i += 2)
    if (!ParseList(argv[i + 1])) {
      std::fprintf(stderr, "faulty-disk: bad sector list '%s'\n", argv[i + 1]);
      return 2;
    }
  if (argc - i < 2) {
    std::fprintf(stderr, "usage: faulty-disk [--bad LIST] IMAGE MOUNTPOINT [FUSE options]\n");
    return 2;
  }
  g_image = open(argv[i], O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (g_image < 0 || fstat(g_image, &st) != 0) {
    std::fprintf(stderr, "faulty-disk: %s: %s\n", argv[i], std::strerror(errno));
    return 1;
  }
  g_size = st.st_size;
  g_time = st.st_mtim;
  std::sort(g_bad.begin(), g_bad.end());
  static char options[] = "-oro,fsname=faulty-disk";
  static char single[] = "-s";
  rest.push_back(argv[i + 1]);
  rest.push_back(options);
  rest.push_back(single);
  for (int j = i + 2; j < argc; ++j) rest.push_back(argv[j]);
  fuse_operations ops = {};
  ops.getattr = GetAttr;
  ops.readdir = ReadDir;
  ops.open = Open;
  ops.read = Read;
  return fuse_main(int(rest.size()), rest.data(), &ops, nullptr);
}
