// Nothing but the outputs is written: a report, a trace, a NAME.part or its
// damage file that names a source (by a link, another name, a loop
// device's backing file) or a device is refused before a byte is written,
// on an image and on a loop device over it; two runs into one folder never
// take each other's files.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "child.h"
#include "recordings.h"
#include "support.h"

using testdisk::Disk;
using testdisk::PatternRecording;

namespace {

bool IsLink(const std::string& path) {
  struct stat s;
  return lstat(path.c_str(), &s) == 0 && S_ISLNK(s.st_mode);
}

bool Exists(const std::string& path) {
  struct stat s;
  return lstat(path.c_str(), &s) == 0;
}

// A loop device over path, detached when it goes; empty when none can be had.
struct Loop {
  std::string device;
  explicit Loop(const std::string& path) {
    FILE* p = popen(("losetup -f --show '" + path + "' 2>/dev/null").c_str(), "r");
    char line[64] = "";
    if (p && fgets(line, sizeof line, p)) device = std::string(line, strcspn(line, "\n"));
    if (p) pclose(p);
  }
  ~Loop() {
    if (!device.empty()) (void)system(("losetup -d " + device).c_str());
  }
};

class OutputSafetyTest : public ScratchTest {};

struct Case {
  const char* name;
  // Makes what the run meets; S is the source, I the image file under it.
  std::function<void(const std::string& S, const std::string& I)> arrange;
  std::function<std::vector<std::string>(const std::string& S, const std::string& I)> args;
  int status;
  const char* said;  // in what is said
};

TEST_F(OutputSafetyTest, NothingButTheOutputsIsWritten) {
  Disk d;
  d.entries.push_back(PatternRecording("Rec", 8, 1));
  Build(d);
  const std::string image = Path("disk.img"), before = ReadWholeFile(image);
  std::string out = Path("out"), part = out + "/Rec.ts.part";
  const Case cases[] = {
      {"a report that is the source", [](auto&, auto&) {},
       [](auto& S, auto& I) { return std::vector<std::string>{"extract", "--all", "-d", "out", "--rescue", "--report", I, S}; },
       2, "is a source of this run"},
      {"a report that is a hard link of it", [&](auto&, auto& I) { link(I.c_str(), Path("hard.img").c_str()); },
       [&](auto& S, auto&) { return std::vector<std::string>{"extract", "--all", "-d", "out", "--rescue", "--report", Path("hard.img"), S}; },
       2, "is a source of this run"},
      {"a trace through a link to it", [&](auto& S, auto&) { symlink(S.c_str(), Path("alias").c_str()); },
       [&](auto& S, auto&) { return std::vector<std::string>{"list", "--trace-file", Path("alias"), S}; },
       2, "never written to"},
      {"a .part that links to the source", [&](auto& S, auto&) { symlink(S.c_str(), part.c_str()); },
       [](auto& S, auto&) { return std::vector<std::string>{"extract", "-n", "1", "-d", "out", S}; },
       1, "is not a regular file"},
      {"a .part that links to nothing", [&](auto&, auto&) { symlink(Path("nowhere").c_str(), part.c_str()); },
       [](auto& S, auto&) { return std::vector<std::string>{"extract", "-n", "1", "-d", "out", S}; },
       1, "is not a regular file"},
      {"a .part that is a FIFO", [&](auto&, auto&) { mkfifo(part.c_str(), 0644); },
       [](auto& S, auto&) { return std::vector<std::string>{"extract", "-n", "1", "-d", "out", S}; },
       1, "is not a regular file"},
      {"a damage file that links to the image, on a resume",
       [&](auto&, auto& I) {
         WriteWholeFile(part, std::string(1000, '\x47'));
         symlink(I.c_str(), (part + ".damage").c_str());
       },
       [](auto& S, auto&) { return std::vector<std::string>{"extract", "-n", "1", "-d", "out", "--rescue", S}; },
       -1, "Rec.ts.part.damage"},
      {"a source named as the .part of -o", [&](auto&, auto& I) { link(I.c_str(), Path("X.part").c_str()); },
       [&](auto&, auto&) { return std::vector<std::string>{"extract", "-n", "1", "-o", Path("X"), Path("X.part")}; },
       2, "X.part: is a source of this run"},
      {"a source named as the damage file of -o", [&](auto&, auto& I) { link(I.c_str(), Path("r.ts.part.damage").c_str()); },
       [&](auto&, auto&) { return std::vector<std::string>{"extract", "-n", "1", "-o", Path("r.ts"), Path("r.ts.part.damage")}; },
       2, "r.ts.part.damage: is a source of this run"},
  };
  Loop loop(image);
  std::vector<std::string> sources = {image};
  if (!loop.device.empty()) sources.push_back(loop.device);
  else std::printf("[  NOTE    ] the loop-device cases are skipped: losetup -f failed (needs root)\n");
  for (const std::string& S : sources) {
    for (const Case& c : cases) {
      std::string shown = std::string(c.name) + " (" + S + ")";
      for (const char* f : {"hard.img", "alias", "X.part", "X", "r.ts.part.damage", "r.ts", "nowhere"})
        std::remove(Path(f).c_str());
      (void)system(("rm -rf '" + out + "'").c_str());
      mkdir(out.c_str(), 0755);
      c.arrange(S, image);
      ChildResult r = RunMelvir(c.args(S, image), 20);
      EXPECT_FALSE(r.timedOut) << shown;
      if (c.status >= 0) {
        EXPECT_EQ(r.status, c.status) << shown << r.err;
      }
      EXPECT_NE(r.err.find(c.said), std::string::npos) << shown << r.err;
      EXPECT_TRUE(ReadWholeFile(image) == before) << shown << ": the source was written";
      EXPECT_FALSE(Exists(Path("nowhere"))) << shown;
      EXPECT_FALSE(Exists(Path("X.part.old"))) << shown;
      EXPECT_FALSE(IsLink(out + "/Rec.ts")) << shown;
    }
  }
}

// Two disks that each hold "News", copied into one folder at once: each
// run writes its own recording under its own name, and says so.
TEST_F(OutputSafetyTest, TwoRunsIntoOneFolderKeepTheirOwnFiles) {
  std::string want[2];
  for (int i = 0; i < 2; ++i) {
    Disk d;
    d.entries.push_back(PatternRecording("News", 640, 7 + i));  // 20 MiB
    std::string name = "disk" + std::to_string(i) + ".img";
    Build(d, name);
    ChildResult alone = RunMelvir({"extract", "-n", "1", "-o", Path("alone" + std::to_string(i)), "--quiet", Path(name)});
    ASSERT_EQ(alone.status, 0) << alone.err;
    want[i] = ReadWholeFile(Path("alone" + std::to_string(i)));
  }
  ChildResult both = RunProgram(
      {"bash", "-c", MelvirPath() + " extract --all -d " + Path("out") + " --quiet " + Path("disk0.img") +
                         " 2>" + Path("a.err") + " & " + MelvirPath() + " extract --all -d " + Path("out") +
                         " --quiet " + Path("disk1.img") + " 2>" + Path("b.err") + "; b=$?; wait $!; a=$?; exit $((a * 10 + b))"},
      120);
  EXPECT_EQ(both.status, 0) << ReadWholeFile(Path("a.err")) << ReadWholeFile(Path("b.err"));
  std::string one = ReadWholeFile(Path("out/News.ts")), two = ReadWholeFile(Path("out/News (2).ts"));
  EXPECT_TRUE((one == want[0] && two == want[1]) || (one == want[1] && two == want[0]))
      << "sizes " << one.size() << " and " << two.size();
  EXPECT_FALSE(Exists(Path("out/News.ts.part")));
  EXPECT_FALSE(Exists(Path("out/News (2).ts.part")));
  EXPECT_FALSE(Exists(Path("out/News (3).ts")));
}

}  // namespace
