// melvir mount through the kernel: the mounted files against what extract
// writes, reads at the block and cluster edges, damage, refusals and the
// mount's life. Skipped where FUSE is not at hand.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "child.h"
#include "recordings.h"
#include "support.h"

using testdisk::Disk;
using testdisk::Entry;
using testdisk::PatternRecording;

namespace {

bool IsMounted(const std::string& path) {
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, device, root, point;
    fields >> id >> parent >> device >> root >> point;
    if (point == path) return true;
  }
  return false;
}

// The processes whose command line names path.
std::vector<int> ProcessesNaming(const std::string& path) {
  std::vector<int> found;
  DIR* proc = opendir("/proc");
  while (struct dirent* e = proc ? readdir(proc) : nullptr) {
    int pid = atoi(e->d_name);
    if (pid <= 0 || pid == getpid()) continue;
    std::ifstream in("/proc/" + std::string(e->d_name) + "/cmdline");
    std::string args((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::replace(args.begin(), args.end(), '\0', ' ');
    if (args.find(" " + path) != std::string::npos) found.push_back(pid);
  }
  if (proc) closedir(proc);
  return found;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  while (struct dirent* e = dir ? readdir(dir) : nullptr)
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
      names.push_back(e->d_name);
  if (dir) closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// pread of n bytes at offset; errno in *error (0 when it read).
std::string ReadPiece(const std::string& path, uint64_t offset, size_t n, int flags, int* error) {
  *error = 0;
  std::string bytes(n, '\0');
  int fd = open(path.c_str(), O_RDONLY | flags);
  if (fd < 0) {
    *error = errno;
    return "";
  }
  // O_DIRECT wants an aligned buffer even where the file system does not.
  void* buffer = nullptr;
  if (posix_memalign(&buffer, 4096, n ? n : 1) != 0) buffer = nullptr;
  ssize_t got = buffer ? pread(fd, buffer, n, off_t(offset)) : -1;
  if (got < 0) *error = buffer ? errno : ENOMEM;
  else bytes.assign(static_cast<char*>(buffer), size_t(got));
  free(buffer);
  close(fd);
  return got < 0 ? "" : bytes;
}

// The image served by faulty-disk under point with the given sectors
// failing; unmounted when it goes. served false (with why) when it cannot be.
struct FaultyDisk {
  std::string point, why;
  bool served = false;
  FaultyDisk(const std::string& image, const std::string& folder, const std::string& bad) : point(folder) {
#ifndef MELVIR_FAULTY_DISK
    (void)image;
    (void)bad;
    why = "faulty-disk not built: libfuse3 (Debian libfuse3-dev) was not found";
#else
    mkdir(point.c_str(), 0755);
    std::string serve = std::string(MELVIR_FAULTY_DISK) + " --bad " + bad + " '" + image + "' '" + point + "'";
    served = system(serve.c_str()) == 0;
    if (!served) why = "faulty-disk could not serve " + image;
#endif
  }
  ~FaultyDisk() {
    if (served) (void)system(("fusermount3 -u '" + point + "' 2>/dev/null").c_str());
  }
  std::string Image() const { return point + "/disk.img"; }
};

// A read-only loop device over path, or "" when none can be set up here.
std::string LoopDevice(const std::string& path) {
  std::string loop;
  FILE* p = popen(("losetup -r -f --show '" + path + "' 2>/dev/null").c_str(), "r");
  char name[64] = "";
  if (p && fgets(name, sizeof name, p)) loop = std::string(name, strcspn(name, "\n"));
  if (p) pclose(p);
  return loop;
}

struct Extracted {
  std::string folder;                    // extract --all (and --all-lost into lost/)
  std::vector<std::string> names;        // as the mount must show them
};

class MountTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
#ifndef MELVIR_MOUNT_BUILT
    GTEST_SKIP() << "melvir was built without libfuse3 (Debian libfuse3-dev): it has no mount";
#endif
    if (access("/dev/fuse", R_OK | W_OK) != 0)
      GTEST_SKIP() << "/dev/fuse is missing or not usable here: no FUSE file systems";
    if (system("command -v fusermount3 >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "fusermount3 (Debian fuse3) is not installed";
    mnt_ = Path("mnt");
    mkdir(mnt_.c_str(), 0755);
    // Mounting may still be refused (a container without the rights).
    Disk d;
    d.entries.push_back(PatternRecording("Probe", 1, 1));
    Build(d, "probe.img");
    ChildResult probe = RunMelvir({"mount", "--background", "--quiet", Path("probe.img"), mnt_});
    if (probe.status == 1 && probe.err.find("cannot mount here (mounting needs") != std::string::npos)
      GTEST_SKIP() << "FUSE mounts are not allowed here: " << probe.err;
    ASSERT_EQ(probe.status, 0) << probe.err;
    Unmount();
  }

  void TearDown() override {
    if (!mnt_.empty() && IsMounted(mnt_)) {
      ADD_FAILURE() << mnt_ << " left mounted";
      Unmount();
    }
    ScratchTest::TearDown();
  }

  void Unmount() {
    std::string command = "fusermount3 -u '" + mnt_ + "'";
    for (int i = 0; i < 50 && IsMounted(mnt_); ++i)
      if (system(command.c_str()) != 0) usleep(100000);
  }

  // Runs `melvir mount ARGS... MNT` in the foreground; once it is mounted,
  // runs body, then ends the mount with fusermount3 -u (or SIGINT). The
  // mount's own result; it must have ended by then.
  ChildResult WhileMounted(std::vector<std::string> args, const std::function<void()>& body,
                           bool interrupt = false) {
    args.insert(args.begin(), "mount");
    args.push_back(mnt_);
    bool ran = false;
    ChildResult r = RunMelvir(args, 240, [&](pid_t child) {
      if (ran || !IsMounted(mnt_)) return;
      ran = true;
      body();
      if (interrupt) kill(child, SIGINT);
      else Unmount();
    });
    EXPECT_TRUE(ran) << "never mounted: " << r.err;
    EXPECT_FALSE(r.timedOut) << "the mount did not end";
    EXPECT_FALSE(IsMounted(mnt_));
    return r;
  }

  // Every recording (and lost recording) of image, as extract writes them.
  Extracted ExtractAll(const std::string& image, const std::string& folder) {
    Extracted e;
    e.folder = Path(folder);
    ChildResult all = RunMelvir({"extract", "--all", "-d", e.folder, "--quiet", image});
    EXPECT_EQ(all.status, 0) << all.err;
    ChildResult lost = RunMelvir({"extract", "--all-lost", "-d", e.folder + "/lost", "--quiet", image});
    EXPECT_EQ(lost.status, 0) << lost.err;
    e.names = Names(e.folder);  // with lost/ only when there are lost recordings
    e.names.push_back("INFO.txt");
    e.names.push_back("DAMAGE.txt");
    std::sort(e.names.begin(), e.names.end());
    return e;
  }

  std::string mnt_;
};

std::string SampleImage(const std::string& name) { return std::string(MELVIR_SAMPLE_DIR) + "/" + name; }

// ---- the files and their bytes --------------------------------------------------

TEST_F(MountTest, EveryFileHoldsWhatExtractWrites) {
  struct Case {
    std::string what;
    std::function<std::string()> image;
  };
  auto builder = [this](const std::string& name, const Disk& d) { Build(d, name); return Path(name); };
  const Case cases[] = {
      {"the sample disk", [] { return SampleImage("sample.img"); }},
      {"the word-swapped sample disk", [] { return SampleImage("sample-swapped.img"); }},
      {"64-sector clusters, fragmented chains, one name twice",
       [&] {
         Disk d;
         Entry film = BigBlockForm("Film", 9, 32768);
         film.fragmented = true;
         d.entries.push_back(film);
         d.entries.push_back(PatternRecording("Plain", 13, 5, true));
         d.entries.push_back(PatternRecording("Plain", 2, 6));
         // Stored plainly, its first block alone starting with 0x47: no
         // block is cut, as extract writes it.
         Entry stream = PatternRecording("Stream", 20, 7);
         testdisk::Content pattern = stream.content;
         stream.content = [pattern](uint64_t offset, uint8_t* out, size_t n) {
           pattern(offset, out, n);
           for (uint64_t block = 0; block < 5; ++block)
             if (block * 131072 >= offset && block * 131072 < offset + n)
               out[block * 131072 - offset] = block == 0 ? 0x47 : 0;
         };
         d.entries.push_back(stream);
         return builder("small.img", d);
       }},
      {"256-sector clusters and a lost recording",
       [&] {
         Disk d;
         d.sectorsPerCluster = 256;
         Entry film = BigBlockForm("Broadcast", 7, 130560);
         film.fragmented = true;
         d.entries.push_back(film);
         Entry gone = BigBlockForm("Gone", 5, 130560);
         gone.type = 0;  // its clusters no longer named
         d.entries.push_back(gone);
         return builder("large.img", d);
       }},
      {"a word-swapped builder disk",
       [&] {
         Disk d;
         d.order = testdisk::kWordSwapped;
         d.entries.push_back(BigBlockForm("Swapped", 6, 32768));
         d.entries.push_back(PatternRecording("Bytes", 7, 9, true));
         return builder("swapped.img", d);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string image = c.image();
    Extracted want = ExtractAll(image, "out");
    struct stat source;
    ASSERT_EQ(stat(image.c_str(), &source), 0);
    ChildResult info = RunMelvir({"info", image});
    ChildResult r = WhileMounted({"--quiet", image}, [&] {
      std::vector<std::string> shown = Names(mnt_);
      if (std::find(shown.begin(), shown.end(), "lost") != shown.end()) {
        for (const std::string& n : Names(mnt_ + "/lost")) shown.push_back("lost/" + n);
        for (const std::string& n : Names(want.folder + "/lost")) want.names.push_back("lost/" + n);
        std::sort(shown.begin(), shown.end());
        std::sort(want.names.begin(), want.names.end());
      }
      EXPECT_EQ(shown, want.names);
      EXPECT_EQ(ReadWholeFile(mnt_ + "/INFO.txt"), info.out);
      // All read at once, each by its own thread: no cursor is shared.
      std::vector<std::string> files;
      for (const std::string& n : want.names)
        if (n != "INFO.txt" && n != "DAMAGE.txt" && n != "lost") files.push_back(n);
      std::vector<std::string> got(files.size());
      std::vector<std::thread> readers;
      for (size_t i = 0; i < files.size(); ++i)
        readers.emplace_back([&, i] { got[i] = ReadWholeFile(mnt_ + "/" + files[i]); });
      for (std::thread& t : readers) t.join();
      for (size_t i = 0; i < files.size(); ++i) {
        std::string expected = ReadWholeFile(want.folder + "/" + files[i]);
        EXPECT_EQ(got[i].size(), expected.size()) << files[i];
        EXPECT_TRUE(got[i] == expected) << files[i];
        struct stat st;
        ASSERT_EQ(stat((mnt_ + "/" + files[i]).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode, S_IFREG | 0444u) << files[i];
        EXPECT_EQ(uint64_t(st.st_size), expected.size()) << files[i];
        EXPECT_EQ(st.st_mtime, source.st_mtime) << files[i];
      }
      struct stat root;
      ASSERT_EQ(stat(mnt_.c_str(), &root), 0);
      EXPECT_EQ(root.st_mode, S_IFDIR | 0555u);
    });
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(system(("rm -rf '" + want.folder + "'").c_str()), 0);
  }
}

// Reads where a block's stream ends, where the next begins and across
// cluster ends, of every length, odd ones included, through the page cache
// and past it (O_DIRECT: the file system is asked for exactly these bytes).
TEST_F(MountTest, ReadsAtBlockAndClusterEdgesMatchTheExtractedFile) {
  struct Case {
    std::string what;
    testdisk::ByteOrder order;
    uint32_t sectorsPerCluster;
  };
  const Case cases[] = {
      {"64-sector clusters", testdisk::kBigEndian, 64},
      {"word-swapped", testdisk::kWordSwapped, 64},
      {"256-sector clusters, one sector each left out", testdisk::kLittleEndian, 256},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Disk d;
    d.order = c.order;
    d.sectorsPerCluster = c.sectorsPerCluster;
    uint32_t usable = (c.sectorsPerCluster - c.sectorsPerCluster / 256) * 512;
    Entry film = BigBlockForm("Film", 12, usable);
    film.fragmented = true;
    d.entries.push_back(film);
    Build(d);
    ASSERT_EQ(RunMelvir({"extract", "-n", "1", "-o", "film.ts", "--force", "--quiet", Path("disk.img")}).status, 0);
    std::string whole = ReadWholeFile(Path("film.ts"));
    std::vector<uint64_t> offsets = {0, 1};
    for (uint64_t k = 1; k <= 11; ++k) offsets.insert(offsets.end(), {k * 129344 - 1, k * 129344});
    // Stream offsets of the recording bytes where a cluster ends.
    for (uint64_t r = usable; r < 12 * 131072ull; r += usable)
      if (r % 131072 < 129344) offsets.insert(offsets.end(), {r / 131072 * 129344 + r % 131072 - 1,
                                                             r / 131072 * 129344 + r % 131072});
    offsets.push_back(whole.size() - 3);
    offsets.push_back(whole.size());
    ChildResult r = WhileMounted({"--quiet", Path("disk.img")}, [&] {
      std::string file = mnt_ + "/Film.ts";
      for (int flags : {0, O_DIRECT}) {
        for (uint64_t at : offsets) {
          for (size_t n : {size_t(1), size_t(2), size_t(3), size_t(188), size_t(4096), size_t(140001)}) {
            int error;
            std::string got = ReadPiece(file, at, n, flags, &error);
            EXPECT_EQ(error, 0) << at << "+" << n;
            std::string want = at < whole.size() ? whole.substr(at, n) : "";
            EXPECT_TRUE(got == want) << "offset " << at << ", " << n << " bytes, flags " << flags;
          }
        }
      }
    });
    EXPECT_EQ(r.status, 0) << r.err;
  }
}

// A sparse disk of 4.4 GB: a block-form recording of 4.37 GB whose last
// clusters lie past 4 GiB, holding bytes there.
TEST_F(MountTest, ARecordingPast4GiBIsWhatExtractWrites) {
  Disk d;
  d.sectorsPerCluster = 256;
  d.clusterCount = 34000;
  const uint64_t window = 4300000000ull;  // recording bytes from here on hold a pattern
  Entry big;
  big.name = "Big";
  big.clusters = 33500;
  testdisk::Content pattern = testdisk::PatternContent(11);
  big.content = [pattern, window](uint64_t offset, uint8_t* out, size_t n) {
    std::fill(out, out + n, 0);
    for (uint64_t block = 0; block < 4; ++block)  // four sync bytes settle block form
      if (block * 131072 >= offset && block * 131072 < offset + n) out[block * 131072 - offset] = 0x47;
    uint64_t from = std::max(offset, window), to = std::min(offset + n, window + 300000);
    if (from < to) pattern(from, out + (from - offset), size_t(to - from));
  };
  d.entries.push_back(big);
  Build(d);
  std::string image = Path("disk.img");
  ChildResult r = WhileMounted({"--quiet", image}, [&] {
    std::string file = mnt_ + "/Big.ts";
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_GT(uint64_t(st.st_size), 4ull << 30);
    // Compared as they stream, without a copy of 4 GiB on the disk.
    ChildResult same = RunProgram(
        {"sh", "-c", "'" + MelvirPath() + "' extract -n 1 -o - --quiet '" + image + "' | cmp - '" + file + "'"},
        600);
    EXPECT_EQ(same.status, 0) << same.out << same.err;
  });
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(MountTest, FfprobeReadsTheMountedSampleRecording) {
  if (system("command -v ffprobe >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "ffprobe (Debian ffmpeg) is not installed";
  ChildResult r = WhileMounted({"--quiet", SampleImage("sample.img")}, [&] {
    ChildResult probe = RunProgram({"ffprobe", "-v", "error", "-show_entries", "format=format_name,duration",
                                    "-of", "default=noprint_wrappers=1", mnt_ + "/Test card 8s.ts"});
    EXPECT_EQ(probe.status, 0) << probe.err;
    EXPECT_NE(probe.out.find("format_name=mpegts"), std::string::npos) << probe.out;
    size_t at = probe.out.find("duration=");
    ASSERT_NE(at, std::string::npos) << probe.out;
    double seconds = atof(probe.out.c_str() + at + 9);
    EXPECT_GT(seconds, 7.0);
    EXPECT_LT(seconds, 9.0);
  });
  EXPECT_EQ(r.status, 0) << r.err;
}

// ---- damage -----------------------------------------------------------------------

// One unreadable sector, the twentieth of the second cluster of a block-form
// recording: 512 bytes at file offset 32768 + 20 x 512.
TEST_F(MountTest, AnUnreadableSectorIsEIOWithoutRescueAndZerosWithIt) {
  Disk d;
  d.entries.push_back(BigBlockForm("Film", 4, 32768));
  testdisk::Layout l = Build(d);
  uint64_t bad = l.ClusterByte(l.chains[0][1]) / 512 + 20;
  const uint64_t at = 32768 + 20 * 512;
  std::string image = Path("disk.img");
  struct stat st;
  ASSERT_EQ(stat(image.c_str(), &st), 0);
  uint64_t size = uint64_t(st.st_size);
  char map[400];
  snprintf(map, sizeof map,
           "# Mapfile. Created by GNU ddrescue\n0x00000000 +\n0x%llx 0x%llx +\n0x%llx 0x200 -\n0x%llx 0x%llx +\n",
           0ull, (unsigned long long)(bad * 512), (unsigned long long)(bad * 512),
           (unsigned long long)(bad * 512 + 512), (unsigned long long)(size - bad * 512 - 512));
  WriteWholeFile(Path("disk.map"), map);
  ASSERT_EQ(RunMelvir({"extract", "-n", "1", "-o", "rescued.ts", "--rescue", "--mapfile", Path("disk.map"),
                       "--quiet", image}).status, 3);
  std::string rescued = ReadWholeFile(Path("rescued.ts"));
  ASSERT_EQ(rescued.substr(at, 512), std::string(512, '\0'));
  std::string said = "melvir: Film.ts: 512 unreadable bytes at offset " + std::to_string(at) + " read as zeros\n";

  // Through the map (it implies --rescue): zeros, said on stderr, exit 3.
  ChildResult r = WhileMounted({"--mapfile", Path("disk.map"), image}, [&] {
    EXPECT_TRUE(ReadWholeFile(mnt_ + "/Film.ts") == rescued);
  });
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.err.find(said), std::string::npos) << r.err;

  // Through a disk whose read really fails.
  FaultyDisk served(image, Path("faulty"), std::to_string(bad));
  if (!served.served) GTEST_SKIP() << served.why;
  std::string faulty = served.Image();
  ChildResult plain = WhileMounted({"--quiet", faulty}, [&] {
    std::string file = mnt_ + "/Film.ts";
    for (int flags : {0, O_DIRECT}) {
      int error;
      ReadPiece(file, at, 512, flags, &error);
      EXPECT_EQ(error, EIO) << "flags " << flags;
      std::string first = ReadPiece(file, 0, 4096, flags, &error);
      EXPECT_EQ(error, 0) << "flags " << flags;
      EXPECT_TRUE(first == rescued.substr(0, 4096));
    }
  });
  EXPECT_EQ(plain.status, 0) << plain.err;
  ChildResult past = WhileMounted({"--rescue", faulty}, [&] {
    EXPECT_TRUE(ReadWholeFile(mnt_ + "/Film.ts") == rescued);
  });
  EXPECT_EQ(past.status, 3) << past.err;
  EXPECT_NE(past.err.find(said), std::string::npos) << past.err;
}

// A file's extended attribute name; errno in *error (0 when it was read).
std::string Attribute(const std::string& path, const char* name, int* error) {
  char value[4096];
  ssize_t n = getxattr(path.c_str(), name, value, sizeof value);
  *error = n < 0 ? errno : 0;
  return n < 0 ? "" : std::string(value, size_t(n));
}

// What reads cannot give is shown in file offsets: DAMAGE.txt at the root
// and each recording's user.melvir.unreadable. A mapfile's ranges are there
// from the mount on (not one in the filler the block form cuts away);
// those met by reads under --rescue appear as they are met, DAMAGE.txt's
// size with them; without --rescue none is.
TEST_F(MountTest, DamageIsShownInDamageTxtAndInAnAttribute) {
  Disk d;
  d.entries.push_back(BigBlockForm("Film", 4, 32768));
  d.entries.push_back(PatternRecording("Clean", 1, 2));
  testdisk::Layout l = Build(d);
  uint64_t bad = l.ClusterByte(l.chains[0][1]) / 512 + 20;
  uint64_t filler = l.ClusterByte(l.chains[0][3]) / 512 + 62;  // recording offset 130048
  const std::string range = std::to_string(32768 + 20 * 512) + " 512\n";
  const std::string listed = "\nFilm.ts: 1 range, 512 bytes\n" + range;
  std::string image = Path("disk.img");
  struct stat st;
  ASSERT_EQ(stat(image.c_str(), &st), 0);
  WriteMap(Path("disk.map"), uint64_t(st.st_size), {bad, filler});
  FaultyDisk served(image, Path("faulty"), std::to_string(bad));
  const char* name = "user.melvir.unreadable";
  struct Case {
    std::vector<std::string> args;
    bool faulty;
    std::string before, after;  // Film.ts's attribute before and after it is read
  } cases[] = {
      {{"--mapfile", Path("disk.map"), image}, false, range, range},
      {{"--rescue", served.Image()}, true, "", range},
      {{"--quiet", served.Image()}, true, "", ""},
  };
  for (const Case& c : cases) {
    if (c.faulty && !served.served) GTEST_SKIP() << served.why;
    const std::string film = mnt_ + "/Film.ts", damage = mnt_ + "/DAMAGE.txt";
    WhileMounted(c.args, [&] {
      int error;
      for (const std::string* want : {&c.before, &c.after}) {
        if (want == &c.after) ReadWholeFile(film);
        EXPECT_EQ(Attribute(film, name, &error), *want) << c.args[0];
        EXPECT_EQ(error, 0) << c.args[0];
        ASSERT_EQ(stat(damage.c_str(), &st), 0);  // before the read, which may refresh it
        std::string text = ReadWholeFile(damage);
        bool shown = text.size() >= listed.size() &&
                     text.compare(text.size() - listed.size(), listed.size(), listed) == 0;
        EXPECT_EQ(shown, !want->empty()) << c.args[0] << "\n" << text;
        EXPECT_EQ(text.rfind("Mounted without --rescue", 0) == 0, c.args[0] == "--quiet") << text;
        EXPECT_EQ(uint64_t(st.st_size), text.size()) << c.args[0];
      }
      EXPECT_EQ(Attribute(mnt_ + "/Clean.ts", name, &error), "");
      EXPECT_EQ(error, 0);
      char list[64];
      EXPECT_EQ(listxattr(film.c_str(), list, sizeof list), ssize_t(std::strlen(name) + 1));
      EXPECT_EQ(std::string(list), name);
      EXPECT_EQ(listxattr((mnt_ + "/INFO.txt").c_str(), list, sizeof list), 0);
      Attribute(mnt_ + "/INFO.txt", name, &error);
      EXPECT_EQ(error, ENODATA);
      EXPECT_NE(setxattr(film.c_str(), name, "", 0, 0), 0);
      EXPECT_EQ(errno, EROFS);
    });
  }
}

// The first sector of the second block of a three-block recording fails.
// As the kernel serves a FUSE file, a pread over good bytes then bad ones
// may give the good bytes as a short count; the next read then fails.
// Whatever the reader does, no read ends the file early and its size stays.
TEST_F(MountTest, AReadMeetingAnUnreadableSectorFailsAndTheFileKeepsItsSize) {
  Disk d;
  d.entries.push_back(BigBlockForm("Three", 3, 32768));
  testdisk::Layout l = Build(d);
  uint64_t bad = l.ClusterByte(l.chains[0][4]) / 512;  // recording byte 131072: stream byte 129344
  ASSERT_EQ(RunMelvir({"extract", "-n", "1", "-o", "whole.ts", "--quiet", Path("disk.img")}).status, 0);
  const std::string whole = ReadWholeFile(Path("whole.ts"));
  ASSERT_EQ(whole.size(), 3 * 129344u / 512 * 512);
  FaultyDisk served(Path("disk.img"), Path("faulty"), std::to_string(bad));
  if (!served.served) GTEST_SKIP() << served.why;
  struct Loop {
    std::string device;
    ~Loop() { if (!device.empty()) (void)system(("losetup -d " + device).c_str()); }
  } loop;  // detached before the disk under it is unmounted
  for (bool device : {false, true}) {
    SCOPED_TRACE(device ? "a loop device over the disk" : "the disk's image file");
    if (device && (loop.device = LoopDevice(served.Image())).empty())
      GTEST_SKIP() << "no loop device could be set up here (losetup -f failed)";
    std::string source = device ? loop.device : served.Image();
    struct stat from;
    ASSERT_EQ(stat(source.c_str(), &from), 0);
    ChildResult r = WhileMounted({"--quiet", source}, [&] {
      std::string file = mnt_ + "/Three.ts";
      auto expectSize = [&](const char* when) {
        struct stat st;
        ASSERT_EQ(stat(file.c_str(), &st), 0);
        EXPECT_EQ(uint64_t(st.st_size), whole.size()) << when;
        EXPECT_EQ(st.st_mtime, from.st_mtime) << when;
      };
      expectSize("before any read");
      // As cat and cp read: on until a read fails, none giving 0 first.
      int fd = open(file.c_str(), O_RDONLY);
      ASSERT_GE(fd, 0);
      std::string got;
      std::vector<char> buffer(1 << 20);
      ssize_t n;
      while ((n = read(fd, buffer.data(), buffer.size())) > 0) got.append(buffer.data(), size_t(n));
      int error = errno;
      close(fd);
      EXPECT_EQ(n, -1) << "a read gave 0 after " << got.size() << " bytes";
      EXPECT_EQ(error, EIO);
      EXPECT_LT(got.size(), whole.size());
      EXPECT_TRUE(got == whole.substr(0, got.size()));
      for (int flags : {0, O_DIRECT}) {
        SCOPED_TRACE(flags ? "O_DIRECT" : "through the page cache");
        uint64_t at = 129344 - 1000;
        int e;
        std::string part = ReadPiece(file, at, 8192, flags, &e);
        if (e == 0) {
          ASSERT_LT(part.size(), 1000u + 512) << "bytes past the bad sector read";
          EXPECT_TRUE(part == whole.substr(at, part.size()));
          ReadPiece(file, at + part.size(), 8192, flags, &e);
        }
        EXPECT_EQ(e, EIO);
        std::string after = ReadPiece(file, 2 * 129344, 4096, flags, &e);
        EXPECT_EQ(e, 0);
        EXPECT_TRUE(after == whole.substr(2 * 129344, 4096)) << "the last block";
      }
      ChildResult copy = RunProgram({"cp", file, Path("copy.ts")});
      EXPECT_NE(copy.status, 0) << "cp succeeded";
      EXPECT_NE(copy.err.find("Input/output error"), std::string::npos) << copy.err;
      expectSize("after the failed reads");
    });
    EXPECT_EQ(r.status, 0) << r.err;
  }
}

// Without --rescue the listing stops at the unreadable second directory
// sector; the mount shows the seven recordings listed before it and says so.
TEST_F(MountTest, ADirectoryReadOnlyInPartMountsWhatWasListedAndSaysSo) {
  Disk d;
  for (int i = 1; i <= 9; ++i) d.entries.push_back(PatternRecording("R" + std::to_string(i), 1, i));
  testdisk::Layout l = Build(d);
  FaultyDisk served(Path("disk.img"), Path("faulty"), std::to_string(l.DirectorySector(1, 1)));
  if (!served.served) GTEST_SKIP() << served.why;
  ChildResult r = WhileMounted({served.Image()}, [&] {
    EXPECT_EQ(Names(mnt_), (std::vector<std::string>{"DAMAGE.txt", "INFO.txt", "R1.ts", "R2.ts", "R3.ts", "R4.ts",
                                                     "R5.ts", "R6.ts", "R7.ts"}));
  });
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("melvir: the directory could not be read to its end: the mount shows only the 7 "
                       "recordings listed before the failure\n"), std::string::npos) << r.err;
}

// ---- refusals and the mount's life -------------------------------------------------

TEST_F(MountTest, NothingCanBeWrittenCreatedRenamedOrRemoved) {
  Disk d;
  d.entries.push_back(PatternRecording("One", 2, 1));
  Build(d);
  ChildResult r = WhileMounted({"--quiet", Path("disk.img")}, [&] {
    std::string file = mnt_ + "/One.ts";
    struct Case {
      std::string what;
      std::function<int()> call;  // -1 with errno on failure
    };
    const Case cases[] = {
        {"open for writing", [&] { return open(file.c_str(), O_WRONLY); }},
        {"open for reading and writing", [&] { return open(file.c_str(), O_RDWR); }},
        {"truncate", [&] { return truncate(file.c_str(), 0); }},
        {"create", [&] { return open((mnt_ + "/new.ts").c_str(), O_WRONLY | O_CREAT, 0644); }},
        {"remove", [&] { return unlink(file.c_str()); }},
        {"rename", [&] { return rename(file.c_str(), (mnt_ + "/Two.ts").c_str()); }},
        {"make a folder", [&] { return mkdir((mnt_ + "/sub").c_str(), 0755); }},
        {"change the mode", [&] { return chmod(file.c_str(), 0644); }},
    };
    for (const Case& c : cases) {
      errno = 0;
      int result = c.call();
      EXPECT_EQ(result, -1) << c.what;
      EXPECT_EQ(errno, EROFS) << c.what << ": " << strerror(errno);
      if (result >= 0) close(result);
    }
    EXPECT_EQ(Names(mnt_), (std::vector<std::string>{"DAMAGE.txt", "INFO.txt", "One.ts"}));
  });
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(MountTest, UnmountingOrCtrlCEndsTheMountWithStatus0) {
  Disk d;
  d.entries.push_back(PatternRecording("One", 2, 1));
  Build(d);
  for (bool interrupt : {false, true}) {
    SCOPED_TRACE(interrupt ? "Ctrl-C" : "fusermount3 -u");
    ChildResult r = WhileMounted({Path("disk.img")}, [&] {
      EXPECT_EQ(Names(mnt_), (std::vector<std::string>{"DAMAGE.txt", "INFO.txt", "One.ts"}));
    }, interrupt);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "melvir: 1 recording on " + mnt_ + "; 'fusermount3 -u " + mnt_ +
                         "' or Ctrl-C unmounts\n");
  }
  // Detached: the command returns once mounted; the unmount ends the rest.
  ChildResult r = RunMelvir({"mount", "--background", Path("disk.img"), mnt_}, 30);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "melvir: 1 recording on " + mnt_ + "; 'fusermount3 -u " + mnt_ + "' unmounts\n");
  EXPECT_FALSE(r.timedOut);
  EXPECT_TRUE(IsMounted(mnt_));
  EXPECT_EQ(Names(mnt_), (std::vector<std::string>{"DAMAGE.txt", "INFO.txt", "One.ts"}));
  EXPECT_FALSE(ProcessesNaming(mnt_).empty()) << "the detached mount is not running";
  Unmount();
  for (int i = 0; i < 100 && !ProcessesNaming(mnt_).empty(); ++i) usleep(50000);
  EXPECT_TRUE(ProcessesNaming(mnt_).empty()) << "a process is left after the unmount";
}

TEST_F(MountTest, AMountPointMustBeAnEmptyFolder) {
  Disk d;
  d.entries.push_back(PatternRecording("One", 2, 1));
  Build(d);
  WriteWholeFile(Path("file"), "x");
  mkdir(Path("full").c_str(), 0755);
  WriteWholeFile(Path("full/kept"), "x");
  struct Case {
    std::string point, err;
  };
  const Case cases[] = {
      {Path("missing"), "cannot mount here: No such file or directory"},
      {Path("file"), "cannot mount here: not a folder"},
      {Path("full"), "cannot mount here: the folder is not empty"},
  };
  for (const Case& c : cases) {
    ChildResult r = RunMelvir({"mount", Path("disk.img"), c.point}, 30);
    EXPECT_EQ(r.status, 1) << c.point;
    EXPECT_EQ(r.err, "melvir: " + c.point + ": " + c.err + "\n");
    EXPECT_FALSE(IsMounted(c.point));
  }
  ChildResult none = RunMelvir({"mount"});
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.err.rfind("melvir: mount needs a MOUNTPOINT, after the sources\n", 0), 0u) << none.err;
}

TEST_F(MountTest, MountingWithoutTheRightsIsRefused) {
  if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0)
    GTEST_SKIP() << "needs root and setpriv to run melvir as an unprivileged user";
  Disk d;
  d.entries.push_back(PatternRecording("One", 2, 1));
  Build(d);
  chmod(dir_.c_str(), 0755);
  chmod(Path("disk.img").c_str(), 0644);
  // A folder of root's, on which nobody may mount.
  ChildResult r = RunProgram({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", MelvirPath(),
                              "mount", Path("disk.img"), mnt_}, 30);
  EXPECT_EQ(r.status, 1) << r.err;
  std::string said = "melvir: " + mnt_ + ": cannot mount here (mounting needs the rights to use /dev/fuse "
                     "and fusermount3, and a folder of one's own)\n";
  ASSERT_GE(r.err.size(), said.size()) << r.err;
  EXPECT_EQ(r.err.substr(r.err.size() - said.size()), said);  // after FUSE's own words
  EXPECT_FALSE(IsMounted(mnt_));
}

// Another user reads a mount made by root only with --allow-other; a user
// other than root is refused it before anything is read where
// /etc/fuse.conf does not let users allow others.
TEST_F(MountTest, OtherUsersReadTheMountOnlyWithAllowOther) {
  if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0)
    GTEST_SKIP() << "needs root and setpriv to read as another user";
  Disk d;
  d.entries.push_back(PatternRecording("One", 2, 1));
  Build(d);
  chmod(dir_.c_str(), 0755);
  chmod(Path("disk.img").c_str(), 0644);
  const std::vector<std::string> nobody = {"setpriv", "--reuid=65534", "--regid=65534",
                                           "--clear-groups"};
  for (bool allow : {false, true}) {
    SCOPED_TRACE(allow ? "--allow-other" : "without --allow-other");
    std::vector<std::string> args = {"--quiet", Path("disk.img")};
    if (allow) args.insert(args.begin(), "--allow-other");
    ChildResult r = WhileMounted(args, [&] {
      std::vector<std::string> read = nobody;
      read.insert(read.end(), {"/usr/bin/head", "-c", "188", mnt_ + "/One.ts"});
      ChildResult head = RunProgram(read, 30);
      EXPECT_EQ(head.status == 0, allow) << head.err;
      EXPECT_EQ(head.out.size(), allow ? 188u : 0u);
    });
    EXPECT_EQ(r.status, 0) << r.err;
  }
  std::ifstream conf("/etc/fuse.conf");
  for (std::string line; std::getline(conf, line);)
    if (line == "user_allow_other")
      GTEST_SKIP() << "/etc/fuse.conf lets every user allow others: no refusal to show";
  std::vector<std::string> mount = nobody;
  mount.insert(mount.end(), {MelvirPath(), "mount", "--allow-other", Path("disk.img"), mnt_});
  ChildResult refused = RunProgram(mount, 30);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "melvir: --allow-other: /etc/fuse.conf does not let users other than root "
                         "allow others (it needs the line user_allow_other)\n");
  EXPECT_FALSE(IsMounted(mnt_));
}

TEST_F(MountTest, MountingADeviceWarnsOfThumbnailers) {
  std::string loop = LoopDevice(SampleImage("sample.img"));
  if (loop.empty()) GTEST_SKIP() << "no loop device could be set up here (losetup -f failed)";
  ChildResult r = WhileMounted({"--quiet", loop}, [&] {
    EXPECT_EQ(Names(mnt_).size(), 5u);  // three recordings, INFO.txt and DAMAGE.txt
  });
  (void)system(("losetup -d " + loop).c_str());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("melvir: " + loop + " is a device: desktop thumbnailers and indexers may read every file"),
            std::string::npos) << r.err;
}

}  // namespace
