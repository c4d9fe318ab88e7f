// The command line as a terminal user meets it: sources and their reasons,
// resumable runs, decoded names, output targets and the conventions.
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "child.h"
#include "recordings.h"
#include "support.h"

using testdisk::Disk;
using testdisk::Entry;
using testdisk::PatternRecording;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl - start));
  return lines;
}

bool Exists(const std::string& path) {
  struct stat s;
  return lstat(path.c_str(), &s) == 0;
}

uint64_t SizeOf(const std::string& path) {
  struct stat s;
  return stat(path.c_str(), &s) == 0 ? uint64_t(s.st_size) : 0;
}

class CliRunTest : public ScratchTest {
 protected:
  std::string Image(const Disk& disk, const std::string& name = "disk.img") {
    layout_ = Build(disk, name);
    return Path(name);
  }
  testdisk::Layout layout_;
};

// ---- sources and reasons ------------------------------------------------------

TEST_F(CliRunTest, ASourceThatIsNoDiskIsNamedWithItsReason) {
  Disk d;
  d.entries.push_back(PatternRecording("One", 2, 1));
  std::string img = Image(d);
  WriteWholeFile(Path("empty.img"), "");
  WriteWholeFile(Path("zeros.img"), std::string(8 * 512, '\0'));
  mkdir(Path("folder").c_str(), 0755);
  struct Case {
    std::string source, err;
  };
  const Case cases[] = {
      {"/nonexistent", "melvir: /nonexistent: cannot open: No such file or directory\n"},
      {Path("folder"), "melvir: " + Path("folder") + ": cannot open: is a folder, not a disk or image\n"},
      {Path("empty.img"), "melvir: " + Path("empty.img") + ": not a recorder disk: too short to be a recorder disk (0 bytes)\n"},
      {"/dev/null", "melvir: /dev/null: not a recorder disk: too short to be a recorder disk (it ends before sector 3)\n"},
      {Path("zeros.img"), "melvir: " + Path("zeros.img") + ": not a recorder disk: no partition table magic in sector 2\n"},
  };
  for (const Case& c : cases) {
    // A mistyped name never lets the next image be used: the run ends first.
    ChildResult r = RunMelvir({"list", c.source, img});
    bool opens = c.err.find("cannot open") == std::string::npos;
    EXPECT_EQ(r.status, opens ? 0 : 1) << c.source;
    EXPECT_EQ(r.err, c.err + (opens ? "melvir: recorder disk on " + img + " (drive 1)\n" : ""))
        << c.source;
    EXPECT_EQ(r.out, opens ? "1  One  0Mo\n" : "") << c.source;
    ChildResult alone = RunMelvir({"list", c.source});
    EXPECT_EQ(alone.status, 1) << c.source;
    EXPECT_EQ(alone.err, c.err + (opens ? "melvir: No DVB-T drive found\n" : "")) << c.source;
  }
}

TEST_F(CliRunTest, ADeniedSourceOrOutputGivesTheSystemsReason) {
  if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0)
    GTEST_SKIP() << "needs root and setpriv to run melvir as an unprivileged user";
  Disk d;
  d.entries.push_back(PatternRecording("One", 2, 1));
  std::string img = Image(d);
  chmod(dir_.c_str(), 0777);
  chmod(img.c_str(), 0600);
  mkdir(Path("locked").c_str(), 0555);
  auto asNobody = [&](std::vector<std::string> args) {
    std::vector<std::string> argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                     MelvirPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv);
  };
  ChildResult r = asNobody({"list", img});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "melvir: " + img + ": cannot open: Permission denied\n");
  chmod(img.c_str(), 0644);
  ChildResult w = asNobody({"extract", "-n", "1", "-d", Path("locked"), img});
  EXPECT_EQ(w.status, 1);
  // No .part was made, so none is named.
  EXPECT_EQ(w.err, "melvir: " + Path("locked/One.ts") + ": Unable to create output file: Permission denied\n");
  ChildResult t = asNobody({"list", "--trace-file", Path("locked/t.log"), img});
  EXPECT_EQ(t.status, 1);
  EXPECT_EQ(t.err, "melvir: " + Path("locked/t.log") + ": cannot create the trace log: Permission denied\n");
}

// Without a source, a disk refused for lack of rights comes with the advice
// to run as root, and to root (refused by a container's device rules, say)
// with the advice to name the source.
TEST_F(CliRunTest, TheRightsHintIsTrueOfWhoRuns) {
  if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0)
    GTEST_SKIP() << "needs root and setpriv to run melvir as an unprivileged user too";
  const std::string asRoot = "run melvir as root", refused = "refused even to root";
  ChildResult nobody = RunProgram({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                   MelvirPath(), "list"});
  if (nobody.err.find(": cannot open: ") == std::string::npos)
    GTEST_SKIP() << "this machine lists no disk that is refused to an unprivileged user";
  EXPECT_NE(nobody.err.find(asRoot), std::string::npos) << nobody.err;
  EXPECT_EQ(nobody.err.find(refused), std::string::npos) << nobody.err;
  ChildResult root = RunMelvir({"list"});
  if (root.err.find(": cannot open: ") == std::string::npos)
    GTEST_SKIP() << "root opens every disk this machine lists";
  EXPECT_EQ(root.err.find(asRoot), std::string::npos) << root.err;
  EXPECT_NE(root.err.find(refused), std::string::npos) << root.err;
}

// ---- resumable runs ---------------------------------------------------------------

TEST_F(CliRunTest, AnInterruptedRunIsCompletedByTheSameCommand) {
  Disk d;
  d.sectorsPerCluster = 256;
  d.clusterCount = 4000;
  d.entries.push_back(PatternRecording("First", 20, 1));
  d.entries.push_back(BigBlockForm("Broadcast", 2000, 130560));  // 262 MB, block form
  d.entries.push_back(PatternRecording("Last", 20, 3, true));
  std::string img = Image(d);
  ChildResult whole = RunMelvir({"extract", "--all", "-d", "whole", "--quiet", img}, 120);
  ASSERT_EQ(whole.status, 0) << whole.err;

  std::string part = Path("again/Broadcast.ts.part");
  bool sent = false;
  ChildResult stopped = RunMelvir({"extract", "--all", "-d", "again", img}, 120, [&](pid_t child) {
    if (!sent && SizeOf(part) >= 40 * 1048576) {
      kill(child, SIGINT);
      sent = true;
    }
  });
  ASSERT_TRUE(sent) << stopped.err;
  EXPECT_EQ(stopped.status, 130);
  EXPECT_NE(stopped.err.find("stopped; " + std::to_string(SizeOf(part)) + " bytes kept in " +
                             "again/Broadcast.ts.part"),
            std::string::npos)
      << stopped.err;
  EXPECT_FALSE(Exists(Path("again/Broadcast.ts")));
  EXPECT_FALSE(Exists(Path("again/Last.ts")));

  ChildResult resumed = RunMelvir({"extract", "--all", "-d", "again", img}, 120);
  EXPECT_EQ(resumed.status, 0) << resumed.err;
  std::vector<std::string> lines = Lines(resumed.err);
  ASSERT_EQ(lines.size(), 5u) << resumed.err;
  EXPECT_EQ(lines[0], "melvir: again/First.ts: is there complete (its size and sampled blocks are the recording's), skipped");
  EXPECT_EQ(lines[1].rfind("melvir: again/Broadcast.ts.part: resuming after ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[4], "melvir: 3 recordings: 2 extracted, 1 skipped, 0 failed");
  for (const char* f : {"First.ts", "Broadcast.ts", "Last.ts"})
    EXPECT_TRUE(ReadWholeFile(Path("again/") + f) == ReadWholeFile(Path("whole/") + f)) << f;
  EXPECT_FALSE(Exists(part));
}

TEST_F(CliRunTest, APartThatDoesNotMatchTheDiskIsKeptAside) {
  Disk d;
  d.entries.push_back(BigBlockForm("Film", 12, 32768));
  std::string img = Image(d);
  ASSERT_EQ(RunMelvir({"extract", "-n", "1", "-o", "good.ts", img}).status, 0);
  std::string good = ReadWholeFile(Path("good.ts"));
  struct Case {
    const char* name;
    size_t keep;    // bytes of the good output the .part holds
    long flip;      // a byte changed, or -1
    bool kept;      // the .part does not match and is kept as .part.old
  };
  const Case cases[] = {
      {"a whole number of blocks", 5 * 129344, -1, false},
      {"blocks and a piece", 7 * 129344 + 1000, -1, false},
      {"less than a block", 4000, -1, false},
      {"a changed byte in the last whole block", 6 * 129344 + 10, 5 * 129344 + 3, true},
      {"a changed byte in the first piece", 300, 20, true},
  };
  for (const Case& c : cases) {
    std::string held = good.substr(0, c.keep);
    if (c.flip >= 0) held[size_t(c.flip)] ^= 0x55;
    std::remove(Path("Film.ts").c_str());
    std::remove(Path("Film.ts.part.old").c_str());
    WriteWholeFile(Path("Film.ts.part"), held);
    ChildResult r = RunMelvir({"extract", "-n", "1", "--quiet", img});
    EXPECT_EQ(r.status, 0) << c.name << r.err;
    EXPECT_TRUE(ReadWholeFile(Path("Film.ts")) == good) << c.name;
    EXPECT_FALSE(Exists(Path("Film.ts.part"))) << c.name;
    EXPECT_EQ(Exists(Path("Film.ts.part.old")), c.kept) << c.name;
    if (c.kept) {
      EXPECT_TRUE(ReadWholeFile(Path("Film.ts.part.old")) == held) << c.name;
    }
  }
}

TEST_F(CliRunTest, AFullFileSystemSaysWhyAndWhatWasKept) {
  mkdir(Path("small").c_str(), 0755);
  if (mount("tmpfs", Path("small").c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << strerror(errno);
  Disk d;
  d.entries.push_back(PatternRecording("Big", 128, 2));  // 4 MiB
  std::string img = Image(d);
  // Measured first: nothing is written.
  ChildResult measured = RunMelvir({"extract", "-n", "1", "-d", "small", "--quiet", img});
  EXPECT_EQ(measured.status, 1);
  EXPECT_EQ(measured.err, "melvir: small: 1.0 MiB free, the outputs still need 4.0 MiB: 3.0 MiB "
                          "missing; nothing copied (--ignore-space copies what fits)\n");
  EXPECT_FALSE(Exists(Path("small/Big.ts.part")));
  ChildResult r = RunMelvir({"extract", "-n", "1", "-d", "small", "--quiet", "--ignore-space", img});
  uint64_t kept = SizeOf(Path("small/Big.ts.part"));
  // A folder so full that not a byte fits keeps no empty .part.
  ChildResult none = RunMelvir({"extract", "-n", "1", "-o", "small/More.ts", "--quiet", "--ignore-space", img});
  bool emptyLeft = Exists(Path("small/More.ts.part"));
  umount(Path("small").c_str());
  EXPECT_EQ(r.status, 1);
  EXPECT_GT(kept, 0u);
  EXPECT_EQ(r.err, "melvir: small/Big.ts: Output file write error: No space left on device; " +
                       std::to_string(kept) + " bytes kept in small/Big.ts.part\n");
  EXPECT_EQ(none.status, 1);
  EXPECT_FALSE(emptyLeft) << none.err;
}

// ---- names and charsets ------------------------------------------------------------

// Several recordings are measured against the folder's free space first:
// what complete outputs and .part files hold is not needed again.
TEST_F(CliRunTest, SeveralRecordingsThatDoNotFitCopyNothing) {
  Disk d;  // clusters of 32 KiB
  d.entries.push_back(PatternRecording("A", 12, 1));  // 384 KiB
  d.entries.push_back(PatternRecording("B", 16, 2));  // 512 KiB
  d.entries.push_back(PatternRecording("C", 8, 3));   // 256 KiB
  std::string img = Image(d);
  ASSERT_EQ(RunMelvir({"extract", "--all", "-d", "whole", "--quiet", img}).status, 0);
  std::string a = ReadWholeFile(Path("whole/A.ts")), b = ReadWholeFile(Path("whole/B.ts"));
  mkdir(Path("small").c_str(), 0755);
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string a, bPart;  // held before: A.ts, B.ts.part
    int status;
    bool refused;          // said how much is missing and copied nothing
    bool cPart;            // C was begun and not finished
  };
  const Case cases[] = {
      {"1152 KiB into 1 MiB", {"--all"}, "", "", 1, true, false},
      {"896 KiB", {"-n", "1-2"}, "", "", 0, false, false},
      {"with A complete, 512 KiB into 640", {"-n", "1-2"}, a, "", 0, false, false},
      {"with 256 KiB of B kept, 640 KiB into 768", {"-n", "1-2"}, "", b.substr(0, 262144), 0, false, false},
      {"with A complete, 768 KiB into 640", {"--all"}, a, "", 1, true, false},
      {"--ignore-space copies what fits", {"--all", "--ignore-space"}, "", "", 1, false, true},
  };
  for (const Case& c : cases) {
    if (mount("tmpfs", Path("small").c_str(), "tmpfs", 0, "size=1m") != 0)
      GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << strerror(errno);
    if (!c.a.empty()) WriteWholeFile(Path("small/A.ts"), c.a);
    if (!c.bPart.empty()) WriteWholeFile(Path("small/B.ts.part"), c.bPart);
    std::vector<std::string> args = {"extract", "-d", "small", "--quiet", img};
    args.insert(args.begin() + 1, c.args.begin(), c.args.end());
    ChildResult r = RunMelvir(args);
    bool bCopied = ReadWholeFile(Path("small/B.ts")) == b, cPart = Exists(Path("small/C.ts.part"));
    bool bPart = Exists(Path("small/B.ts.part"));
    umount(Path("small").c_str());
    EXPECT_EQ(r.status, c.status) << c.name << r.err;
    EXPECT_EQ(bCopied, !c.refused) << c.name << r.err;
    EXPECT_EQ(bPart, c.refused && !c.bPart.empty()) << c.name << "a refused run leaves a .part as it was";
    EXPECT_EQ(cPart, c.cPart) << c.name << r.err;
    EXPECT_EQ(r.err.find("MiB missing; nothing copied (--ignore-space copies what fits)") != std::string::npos,
              c.refused)
        << c.name << r.err;
  }
}

TEST_F(CliRunTest, FileNamesComeFromTheDecodedNameWhateverIsSelected) {
  Disk d;
  d.entries.push_back(PatternRecording("Caf\xE9 cr\xE8me", 2, 1));
  d.entries.push_back(PatternRecording("CAF\xC9 CR\xC8ME", 2, 2));
  d.entries.push_back(PatternRecording("\x05\xDDstanbul", 2, 3));  // a broadcast selector: ISO 8859-9
  std::string img = Image(d);
  ChildResult l = RunMelvir({"list", img});
  EXPECT_EQ(l.out, "1  Caf\xC3\xA9 cr\xC3\xA8me  0Mo\n2  CAF\xC3\x89 CR\xC3\x88ME  0Mo\n"
                   "3  \xEF\xBF\xBD\xC3\x9Dstanbul  0Mo\n");
  // Broadcast coding: the selector byte picks the table; without one, ISO 6937.
  ChildResult dvb = RunMelvir({"list", "--charset", "dvb", img});
  EXPECT_EQ(Lines(dvb.out)[2], "3  \xC4\xB0stanbul  0Mo");
  ChildResult one = RunMelvir({"extract", "-n", "2", "-d", "one", "--quiet", img});
  EXPECT_EQ(one.status, 0) << one.err;
  ChildResult all = RunMelvir({"extract", "--all", "-d", "all", "--quiet", img});
  EXPECT_EQ(all.status, 0) << all.err;
  // The second clashes with the first over decoded letters, so it is " (2)"
  // however it is chosen.
  EXPECT_TRUE(Exists(Path("one/CAF\xC3\x89 CR\xC3\x88ME (2).ts")));
  for (const char* f : {"Caf\xC3\xA9 cr\xC3\xA8me.ts", "CAF\xC3\x89 CR\xC3\x88ME (2).ts", "_\xC3\x9Dstanbul.ts"})
    EXPECT_TRUE(Exists(Path("all/") + f)) << f;
  ChildResult byName = RunMelvir({"extract", "--name", "caf\xC3\x89*", "-d", "named", "--quiet", img});
  EXPECT_EQ(byName.status, 0) << byName.err;
  EXPECT_TRUE(Exists(Path("named/Caf\xC3\xA9 cr\xC3\xA8me.ts")));
  EXPECT_TRUE(Exists(Path("named/CAF\xC3\x89 CR\xC3\x88ME (2).ts")));
  // The progress line (on a terminal only) names it as every message does.
  if (access("/usr/bin/script", X_OK) != 0) {
    std::printf("progress line not checked: script (util-linux) is missing\n");
  } else {
    ChildResult shown = RunProgram({"/usr/bin/script", "-qec", MelvirPath() + " extract -n 1 -o " +
                                    Path("progress.ts") + " " + img, "/dev/null"});
    EXPECT_EQ(shown.status, 0) << shown.out;
    EXPECT_NE(shown.out.find("Caf\xC3\xA9 cr\xC3\xA8me"), std::string::npos) << shown.out;
  }
}

// ---- output targets -------------------------------------------------------------------

TEST_F(CliRunTest, OutputTargets) {
  Disk d;
  d.entries.push_back(PatternRecording("Film", 4, 1));
  d.entries.push_back(PatternRecording("Other", 4, 2));
  std::string img = Image(d);
  ASSERT_EQ(RunMelvir({"extract", "-n", "1", "-o", "ref.ts", "--quiet", img}).status, 0);
  std::string ref = ReadWholeFile(Path("ref.ts"));
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
  WriteWholeFile(Path("file"), "x");
  mkdir(Path("folder").c_str(), 0755);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string file;  // where ref's bytes must be, or ""
    std::string err;
  };
  const Case cases[] = {
      {{"-n", "1", "-o", "-"}, 0, "", ""},
      {{"-n", "1", "-o", "/dev/null"}, 0, "", ""},
      {{"-n", "1", "-o", "folder"}, 0, "folder/Film.ts", ""},
      {{"-n", "1", "-o", "new/"}, 0, "new/Film.ts", ""},
      {{"-n", "1", "-d", "a/b/c"}, 0, "a/b/c/Film.ts", ""},
      {{"-n", "1", "-d", "file"}, 1, "", "melvir: file: not a folder\n"},
      {{"-n", "1-2", "-o", "x.ts"}, 2, "", ""},
      {{"-n", "1", "-o", "/dev/zero"}, 2, "", "melvir: /dev/zero: is a device, never written to\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"extract", "--quiet"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back(img);
    ChildResult r = RunMelvir(args);
    std::string shown = c.args[2] + " " + c.args[3];
    EXPECT_EQ(r.status, c.status) << shown << r.err;
    if (!c.err.empty()) {
      EXPECT_EQ(r.err, c.err) << shown;
    }
    EXPECT_TRUE(r.out == (c.args[3] == "-" ? ref : "")) << shown;
    if (!c.file.empty()) {
      EXPECT_TRUE(ReadWholeFile(Path(c.file)) == ref) << shown;
    }
  }
  // A FIFO takes the stream as it is, without --force.
  std::string fromFifo;
  ChildResult r = RunProgram({"sh", "-c", "cat fifo > fromfifo & " + MelvirPath() +
                                          " extract -n 1 --quiet -o fifo " + img + "; wait"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(ReadWholeFile(Path("fromfifo")) == ref);
  // A reader that closes early (the pipe holds less than the recording):
  // the end of the copy, quietly, by SIGPIPE as for cat.
  ChildResult early = RunProgram({"bash", "-c", "set -o pipefail; " + MelvirPath() +
                                               " extract -n 1 -o - " + img + " | head -c 10 >/dev/null"});
  EXPECT_EQ(early.status, 141);
  EXPECT_EQ(early.err, "");
}

// ---- conventions ------------------------------------------------------------------

TEST_F(CliRunTest, Conventions) {
  Disk d;
  d.entries.push_back(PatternRecording("-dash", 2, 1));
  std::string img = Image(d);
  std::string melvir = MelvirPath();
  ChildResult h1 = RunMelvir({"help", "extract"});
  ChildResult h2 = RunMelvir({"extract", "--help"});
  EXPECT_EQ(h1.status, 0);
  EXPECT_EQ(h1.out, h2.out);
  EXPECT_EQ(h1.out.rfind("usage: melvir extract", 0), 0u);
  EXPECT_EQ(h1.out.find("melvir list"), std::string::npos);  // its own help only
  EXPECT_EQ(RunMelvir({"list", "--version"}).out, RunMelvir({"--version"}).out);
  // Options after the source; "--" ends them.
  ChildResult after = RunMelvir({"list", img, "--json"});
  EXPECT_EQ(after.out.rfind("[\n  {\"index\": 1", 0), 0u) << after.out;
  ChildResult dashed = RunMelvir({"extract", "--quiet", "-n", "1", "--", img});
  EXPECT_EQ(dashed.status, 0) << dashed.err;
  EXPECT_TRUE(Exists(Path("-dash.ts")));
  for (const std::string& command : {std::string("--help"), "list " + img, "info --json " + img}) {
    ChildResult full = RunProgram({"sh", "-c", melvir + " " + command + " > /dev/full"});
    EXPECT_EQ(full.status, 1) << command;
    EXPECT_EQ(full.err, "melvir: cannot write to standard output: No space left on device\n")
        << command;
  }
  ChildResult traced = RunMelvir({"list", "--trace-file", "elsewhere.log", img});
  EXPECT_EQ(traced.status, 0);
  EXPECT_NE(ReadWholeFile(Path("elsewhere.log")).find("GetNextEntry returns: -dash  0Mo"),
            std::string::npos);
  EXPECT_FALSE(Exists(Path("MELVIR.LOG")));
}

}  // namespace

namespace {

// ---- check and lost recordings ---------------------------------------------------------

TEST_F(CliRunTest, CheckFindsALostRecordingThatExtractsAsItWasListed) {
  Disk listed;
  listed.entries.push_back(PatternRecording("Kept", 4, 3));
  listed.entries.push_back(BigBlockForm("Gone", 6, 32768));
  Disk deleted = listed;
  deleted.entries[1].type = 0;  // the same clusters, no longer named
  std::string before = Image(listed, "listed.img");
  uint32_t first = layout_.chains[1][0];
  std::string after = Image(deleted, "deleted.img");

  ChildResult healthy = RunMelvir({"check", before});
  EXPECT_EQ(healthy.status, 0) << healthy.out;
  EXPECT_EQ(Lines(healthy.out)[0], "2 recordings, no problems found");
  ChildResult found = RunMelvir({"check", after});
  EXPECT_EQ(found.status, 3) << found.out;
  EXPECT_EQ(Lines(found.out)[0], "1 recording, 1 lost recording found");

  ASSERT_EQ(RunMelvir({"extract", "-n", "2", "-o", "as-listed.ts", "--quiet", before}).status, 0);
  ChildResult lost = RunMelvir({"extract", "--lost", std::to_string(first), "--quiet", after});
  EXPECT_EQ(lost.status, 0) << lost.err;
  std::string file = "lost-" + std::to_string(first) + ".ts";
  EXPECT_TRUE(ReadWholeFile(Path(file)) == ReadWholeFile(Path("as-listed.ts")));
  ChildResult all = RunMelvir({"extract", "--all-lost", "-d", "lost", "--quiet", after});
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_TRUE(ReadWholeFile(Path("lost/") + file) == ReadWholeFile(Path("as-listed.ts")));
  // Only the head of a lost recording is taken.
  ChildResult wrong = RunMelvir({"extract", "--lost", std::to_string(first + 1), after});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.err, "melvir: cluster " + std::to_string(first + 1) +
                           " is not the first cluster of a lost recording ('melvir check' lists them)\n");
}

}  // namespace

namespace {

// ---- rescue -----------------------------------------------------------------------------

TEST_F(CliRunTest, RescueChangesNothingOnAHealthyDisk) {
  Disk d;
  d.order = testdisk::kWordSwapped;
  d.entries.push_back(PatternRecording("Plain", 20, 1, true));
  d.entries.push_back(BigBlockForm("Blocks", 6, 32768));
  std::string img = Image(d);
  for (const char* form : {"--json", "--quiet"}) {
    ChildResult plain = RunMelvir({"list", form, img});
    ChildResult rescued = RunMelvir({"list", form, "--rescue", img});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(rescued.status, 0) << form;
    EXPECT_EQ(plain.out, rescued.out) << form;
  }
  ASSERT_EQ(RunMelvir({"extract", "--all", "-d", "plain", "--quiet", img}).status, 0);
  ChildResult r = RunMelvir({"extract", "--all", "-d", "rescued", "--quiet", "--rescue", img});
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* f : {"Plain.ts", "Blocks.ts"})
    EXPECT_TRUE(ReadWholeFile(Path("plain/") + f) == ReadWholeFile(Path("rescued/") + f)) << f;
}

// The recorder leaves the end of a recording's last clusters zero: no
// packet there lost its sync byte, while a zero packet before good ones did.
TEST_F(CliRunTest, TheZeroTailOfARecordingIsNoBadPackets) {
  Disk d;
  d.sectorsPerCluster = 1;
  d.clusterCount = 3000;
  Entry tail = BigBlockForm("Tail", 3, 512), inside = BigBlockForm("Inside", 3, 512);
  tail.clusters = inside.clusters = (2 * 131072 + 13824) / 512;
  testdisk::Content pattern = tail.content;
  // Zeros from 4000 bytes before the end; in the other, one packet in block 1.
  tail.content = [pattern](uint64_t offset, uint8_t* out, size_t n) {
    pattern(offset, out, n);
    for (size_t i = 0; i < n; ++i)
      if (offset + i >= 2 * 131072 + 13824 - 4000) out[i] = 0;
  };
  inside.content = [pattern](uint64_t offset, uint8_t* out, size_t n) {
    pattern(offset, out, n);
    for (size_t i = 0; i < n; ++i)
      if (offset + i >= 131072 + 188 * 10 && offset + i < 131072 + 188 * 11) out[i] = 0;
  };
  d.entries.push_back(tail);
  d.entries.push_back(inside);
  std::string img = Image(d);
  ChildResult r = RunMelvir({"extract", "--all", "--rescue", "--report", "report.json", "-d", "out",
                             "--quiet", img});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> report = Lines(ReadWholeFile(Path("report.json")));
  ASSERT_EQ(report.size(), 2u);
  EXPECT_NE(report[0].find("\"bad_packets\": 0}"), std::string::npos) << report[0];
  EXPECT_NE(report[1].find("\"bad_packets\": 1}"), std::string::npos) << report[1];
}

TEST_F(CliRunTest, RescueReadsPastUnreadableMetadata) {
  Disk d;
  d.directorySize = 3;
  d.entries.push_back(PatternRecording("One", 40, 3));
  d.entries.push_back(PatternRecording("Two", 20, 4));
  std::string img = Image(d);
  const testdisk::Layout l = layout_;
  ChildResult healthy = RunMelvir({"list", img});
  struct Case {
    const char* name;
    std::vector<uint64_t> bad;
    std::string out, err;
  };
  const Case cases[] = {
      {"copy-1 table sector", {l.TableSector(0, 1)}, healthy.out,
       "melvir: allocation table sector 0 unreadable, read from its mirror copy\n"},
      {"copy-1 directory sector", {l.DirectorySector(0, 1)}, healthy.out,
       "melvir: directory sector 0 unreadable, read from its mirror copy\n"},
      {"both copies of the directory sector", {l.DirectorySector(0, 1), l.DirectorySector(0, 2)},
       "", "melvir: directory sector 0 unreadable in both copies: entries 0 to 6 lost\n"},
      {"a run of directory sectors, copy 1", {l.DirectorySector(0, 1), l.DirectorySector(1, 1)},
       healthy.out, "melvir: directory sectors 0 to 1 unreadable, read from their mirror copies\n"},
      {"a run of directory sectors, both copies",
       {l.DirectorySector(0, 1), l.DirectorySector(0, 2), l.DirectorySector(1, 1), l.DirectorySector(1, 2)},
       "", "melvir: directory sectors 0 to 1 unreadable in both copies: entries 0 to 13 lost\n"},
  };
  for (const Case& c : cases) {
    WriteMap(Path("disk.map"), l.imageSize, c.bad);
    ChildResult plain = RunMelvir({"list", "--mapfile", "disk.map", img});
    EXPECT_EQ(plain.status, 1) << c.name;
    EXPECT_EQ(plain.err, "melvir: Error detected while scanning files (--rescue reads past damage)\n")
        << c.name;
    ChildResult r = RunMelvir({"list", "--rescue", "--mapfile", "disk.map", img});
    EXPECT_EQ(r.status, 3) << c.name;
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
  }
  WriteWholeFile(Path("bad.map"), "0 + 1\n0 0x200 +\n0x200 0x200 x\n");
  ChildResult refused = RunMelvir({"list", "--mapfile", "bad.map", img});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err.rfind("melvir: bad.map:3: ", 0), 0u) << refused.err;
}

// Numbers follow the listing, so a lost directory sector shifts them; a slot
// and a first cluster name the same recording on the healthy and the
// damaged disk.
TEST_F(CliRunTest, SlotsAndFirstClustersDoNotShiftWithDamage) {
  Disk d;
  for (int i = 0; i < 9; ++i) d.entries.push_back(PatternRecording("R" + std::to_string(i), 2, 10 + i));
  std::string img = Image(d);
  const testdisk::Layout l = layout_;
  const std::vector<std::string> damaged = {"--rescue", "--mapfile", "disk.map", img};
  WriteMap(Path("disk.map"), l.imageSize, {l.DirectorySector(0, 1), l.DirectorySector(0, 2)});
  ChildResult want = RunMelvir({"extract", "-n", "9", "-o", "-", img});
  ChildResult shifted = RunMelvir({"extract", "-n", "2", "-o", "-", "--rescue", "--mapfile", "disk.map", img});
  ASSERT_EQ(want.status, 0) << want.err;
  EXPECT_EQ(shifted.out, want.out) << "slot 8 is recording 2 once slots 0 to 6 are lost";
  ChildResult wantDomain = RunMelvir({"domain", "-n", "9", img});
  const std::vector<std::vector<std::string>> selections = {
      {"--slot", "8"}, {"--cluster", std::to_string(l.chains[8][0])}};
  for (const std::vector<std::string>& select : selections) {
    std::vector<std::string> healthy = {"extract", "-o", "-", img}, past = {"extract", "-o", "-"};
    healthy.insert(healthy.begin() + 1, select.begin(), select.end());
    past.insert(past.end(), select.begin(), select.end());
    past.insert(past.end(), damaged.begin(), damaged.end());
    ChildResult a = RunMelvir(healthy), b = RunMelvir(past);
    EXPECT_EQ(a.status, 0) << select[0] << a.err;
    EXPECT_EQ(b.status, 3) << select[0] << b.err;
    EXPECT_EQ(a.out, want.out) << select[0];
    EXPECT_EQ(b.out, want.out) << select[0];
    ChildResult domain = RunMelvir({"domain", select[0], select[1], img});
    EXPECT_EQ(domain.out, wantDomain.out) << select[0];
  }
  ChildResult none = RunMelvir({"extract", "--slot", "9", "-o", "-", img});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("directory slot 9 holds no recording"), std::string::npos) << none.err;
}

TEST_F(CliRunTest, RescueWritesUnreadableSectorsAsZerosAtTheirPlace) {
  Disk d;
  d.sectorsPerCluster = 256;
  d.entries.push_back(BigBlockForm("Blocks", 8, 130560));
  d.entries.push_back(PatternRecording("Plain", 6, 2, true));
  d.entries.push_back(BigBlockForm("Unvoted", 4, 130560));  // and a fifth block: its last cluster's rest
  std::string img = Image(d);
  const testdisk::Layout l = layout_;
  auto sectorOf = [&](size_t entry, uint32_t cluster, uint32_t sector) {
    return l.ClusterByte(l.chains[entry][cluster]) / 512 + sector;
  };
  ASSERT_EQ(RunMelvir({"extract", "--all", "-d", "healthy", "--quiet", img}).status, 0);
  // A cluster's first and last sectors, the skipped 256th, one cut away by
  // the block form, one inside a block, and the very first sector of a
  // recording not in block form (which must not be taken for one). Of
  // Unvoted no block start reads (block k starts in sector k of cluster k):
  // it is taken to be in block form, as it is, and a line says so once.
  std::vector<uint64_t> bad = {sectorOf(0, 0, 0), sectorOf(0, 2, 254), sectorOf(0, 3, 255),
                               sectorOf(0, 1, 254), sectorOf(1, 4, 17), sectorOf(1, 0, 0)};
  for (uint32_t k = 0; k < 5; ++k) bad.push_back(sectorOf(2, k, k));
  WriteMap(Path("disk.map"), l.imageSize, bad);
  ChildResult plain = RunMelvir({"extract", "-n", "2", "--mapfile", "disk.map", "-d", "plain", img});
  EXPECT_EQ(plain.status, 1);
  // The failing read is the whole first cluster piece of Plain.
  EXPECT_NE(plain.err.find("Input file access error: reading sector " + Grouped(sectorOf(1, 0, 0)) +
                           " of " + img + ": Input/output error"),
            std::string::npos)
      << plain.err;
  ChildResult r = RunMelvir({"extract", "--all", "--rescue", "--mapfile", "disk.map", "--report",
                             "report.json", "-d", "rescued", "--quiet", img});
  EXPECT_EQ(r.status, 3) << r.err;
  std::vector<std::string> report = Lines(ReadWholeFile(Path("report.json")));
  ASSERT_EQ(report.size(), 3u);
  const char* files[] = {"Blocks.ts", "Plain.ts", "Unvoted.ts"};
  for (size_t i = 0; i < 3; ++i) {
    std::string expected = ReadWholeFile(Path("healthy/") + files[i]);
    std::vector<std::pair<uint64_t, uint64_t>> runs = ReportedRuns(report[i]);
    EXPECT_FALSE(runs.empty()) << report[i];
    for (auto& run : runs) {
      ASSERT_LE(run.first + run.second, expected.size()) << report[i];
      std::fill(expected.begin() + long(run.first), expected.begin() + long(run.first + run.second), '\0');
    }
    EXPECT_TRUE(ReadWholeFile(Path("rescued/") + files[i]) == expected) << files[i] << report[i];
  }
  // Block form: the first sector of block 0 is zeros at output 0; sector 254
  // of cluster 2 lies in block 2, after two blocks of 129344 stream bytes;
  // sector 254 of cluster 1 falls in the filler block form cuts away.
  std::vector<std::pair<uint64_t, uint64_t>> runs = ReportedRuns(report[0]);
  ASSERT_EQ(runs.size(), 2u) << report[0];
  EXPECT_EQ(runs[0], (std::pair<uint64_t, uint64_t>(0, 512)));
  uint64_t read = 2 * 130560 + 254 * 512;  // recording offset of the bad sector
  EXPECT_EQ(runs[1].first, 2 * 129344 + (read - 2 * 131072));
  EXPECT_NE(r.err.find("melvir: rescued/Plain.ts: 2 unreadable sectors (1024 bytes) written as zeros"),
            std::string::npos) << r.err;
  const std::string taken =
      "melvir: recording 3 \"Unvoted\": no block's first sector could be read; taken to be in block form\n";
  size_t at = r.err.find(taken);
  EXPECT_NE(at, std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(taken, at + 1), std::string::npos) << r.err;  // once, for all its plans
}

// A read failure names its sectors and the system's reason: once per run of
// failed sectors under --rescue, however many reads meet it; the failing
// read's sector without.
TEST_F(CliRunTest, AReadFailureNamesItsSectorsOncePerRun) {
  Disk d;
  d.sectorsPerCluster = 256;  // 255 sectors of data and one skipped
  d.dataStart = 1000000;      // sector numbers of seven digits
  d.entries.push_back(PatternRecording("Plain", 6, 2));
  std::string img = Image(d);
  const testdisk::Layout l = layout_;
  auto sectorOf = [&](uint32_t cluster, uint32_t sector) {
    return l.ClusterByte(l.chains[0][cluster]) / 512 + sector;
  };
  struct Run {
    const char* name;
    uint64_t first, count;
  };
  const Run runs[] = {
      // Recording sectors 255 and 256: the last of block 0 and the first of block 1.
      {"a run two reads meet", sectorOf(1, 0), 2},
      {"a lone sector", sectorOf(2, 10), 1},
      {"three sectors in one read", sectorOf(3, 20), 3},
  };
  std::vector<uint64_t> bad;
  std::vector<std::string> want;
  for (const Run& r : runs) {
    for (uint64_t i = 0; i < r.count; ++i) bad.push_back(r.first + i);
    want.push_back("melvir: out.ts: reading " +
                   (r.count == 1 ? "sector " + Grouped(r.first)
                                 : "sectors " + Grouped(r.first) + " to " + Grouped(r.first + r.count - 1)) +
                   " of " + img + ": Input/output error");
  }
  WriteMap(Path("disk.map"), l.imageSize, bad);
  ChildResult rescued =
      RunMelvir({"extract", "-n", "1", "--rescue", "--mapfile", "disk.map", "-o", "out.ts", "--quiet", img});
  EXPECT_EQ(rescued.status, 3) << rescued.err;
  std::vector<std::string> said;
  for (const std::string& line : Lines(rescued.err))
    if (line.rfind("melvir: out.ts: reading ", 0) == 0) said.push_back(line);
  EXPECT_EQ(said, want) << rescued.err;
  ChildResult plain = RunMelvir({"extract", "-n", "1", "--mapfile", "disk.map", "-o", "plain.ts", img});
  EXPECT_EQ(plain.status, 1);
  EXPECT_NE(plain.err.find("melvir: plain.ts: Input file access error: reading sector " +
                           Grouped(runs[0].first) + " of " + img + ": Input/output error ("),
            std::string::npos)
      << plain.err;
}

// A run that ends early leaves the zeros it wrote in NAME.part.damage and
// says what it did; the resumed run reports the whole file. The first run
// ends when its small file system is full, which is then made larger.
TEST_F(CliRunTest, TheDamageFoundSoFarTravelsWithThePart) {
  mkdir(Path("ram").c_str(), 0755);
  if (mount("tmpfs", Path("ram").c_str(), "tmpfs", 0, "size=2m") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << strerror(errno);
  Disk d;
  d.sectorsPerCluster = 1;
  d.clusterCount = 6000;
  Entry e = BigBlockForm("Blocks", 20, 512);
  e.clusters = (19 * 131072 + 13824) / 512;
  d.entries.push_back(e);
  std::string img = Image(d);
  const testdisk::Layout l = layout_;
  ASSERT_EQ(RunMelvir({"extract", "-n", "1", "-o", "healthy.ts", "--quiet", img}).status, 0);
  // Recording sectors 100 (block 0) and 4884 (block 19, past what 2 MiB hold).
  uint64_t first = l.ClusterByte(l.chains[0][100]) / 512, second = l.ClusterByte(l.chains[0][4884]) / 512;
  WriteMap(Path("disk.map"), l.imageSize, {first, second});
  std::vector<std::string> args = {"extract", "-n", "1", "--rescue", "--mapfile", "disk.map",
                                   "-o", "ram/out.ts", "--quiet", "--ignore-space", "--report"};
  auto run = [&](const char* report) {
    std::vector<std::string> a = args;
    a.push_back(report);
    a.push_back(img);
    return RunMelvir(a);
  };
  ChildResult full = run("r1.json");
  EXPECT_EQ(full.status, 1) << full.err;
  EXPECT_NE(full.err.find("melvir: ram/out.ts: 1 unreadable sector (512 bytes) written as zeros"),
            std::string::npos) << full.err;
  EXPECT_TRUE(Exists(Path("ram/out.ts.part.damage")));
  std::vector<std::pair<uint64_t, uint64_t>> one = {{51200, 512}};
  EXPECT_EQ(ReportedRuns(ReadWholeFile(Path("r1.json"))), one);
  int grown = mount("tmpfs", Path("ram").c_str(), "tmpfs", MS_REMOUNT, "size=16m");
  ASSERT_EQ(grown, 0) << strerror(errno);
  ChildResult resumed = run("r2.json");
  EXPECT_EQ(resumed.status, 3) << resumed.err;
  EXPECT_NE(resumed.err.find("melvir: ram/out.ts: 2 unreadable sectors (1024 bytes) written as zeros"),
            std::string::npos) << resumed.err;
  uint64_t inBlock19 = 19 * 129344 + (4884 * 512 - 19 * 131072);
  std::vector<std::pair<uint64_t, uint64_t>> both = {{51200, 512}, {inBlock19, 512}};
  EXPECT_EQ(ReportedRuns(ReadWholeFile(Path("r2.json"))), both);
  std::string expected = ReadWholeFile(Path("healthy.ts"));
  for (auto& z : both) std::fill(expected.begin() + long(z.first), expected.begin() + long(z.first + z.second), '\0');
  EXPECT_TRUE(ReadWholeFile(Path("ram/out.ts")) == expected);
  EXPECT_FALSE(Exists(Path("ram/out.ts.part")));
  EXPECT_FALSE(Exists(Path("ram/out.ts.part.damage")));
  umount(Path("ram").c_str());
}

// Three recordings, the second's chain 10 11 12 13 leading back to 11.
Disk LoopDisk() {
  Disk d;
  d.clusterCount = 100;
  d.entries.push_back(PatternRecording("A", 3, 1));
  Entry loop = PatternRecording("Loop", 0, 2);
  loop.chain = {10, 11, 12, 13};
  d.entries.push_back(loop);
  d.entries.push_back(PatternRecording("C", 2, 3));
  d.tableOverrides.push_back({13, 11});
  return d;
}

TEST_F(CliRunTest, ADamagedChainIsListedAsFarAsItGoesAndCopiedOnce) {
  Disk d = LoopDisk();
  std::string img = Image(d);
  ChildResult plain = RunMelvir({"list", img});
  EXPECT_EQ(plain.status, 1);
  EXPECT_EQ(plain.out, "1  A  0Mo\n");
  ChildResult r = RunMelvir({"list", "--rescue", "--json", img});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "melvir: recording 2 \"Loop\": chain damaged at cluster 13 (cycle)\n");
  EXPECT_NE(r.out.find("\"clusters\": 4, \"allocated_bytes\": 131072, \"decoded_name\": \"Loop\""),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"damaged\": \"cycle at cluster 13\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"decoded_name\": \"C\""), std::string::npos) << r.out;
  ChildResult x = RunMelvir({"extract", "-n", "2", "--rescue", "--quiet", img});
  EXPECT_EQ(x.status, 3);
  std::vector<uint8_t> stream = testdisk::ExpectedStream(d, layout_, 1);  // the 4 clusters once
  EXPECT_TRUE(ReadWholeFile(Path("Loop.ts")) == std::string(stream.begin(), stream.end()));
}

// list -l: places, exact sizes and damage marks in aligned columns; the
// plain list keeps the Windows text; -l does not go with --json.
TEST_F(CliRunTest, TheLongListGivesPlacesExactSizesAndDamage) {
  std::string img = Image(LoopDisk());
  const testdisk::Layout l = layout_;
  // Two sectors of C's second cluster, as ddrescue leaves them unread.
  uint64_t c = l.ClusterByte(l.chains[2][1]) / 512;
  WriteMap(Path("disk.map"), l.imageSize, {c, c + 1});
  ASSERT_EQ(l.usableClusterBytes, 32768u);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  } cases[] = {
      {{"list", img}, 1, "1  A  0Mo\n"},
      {{"list", "-l", img},
       1,
       "#  SLOT  FIRST_CLUSTER  BYTES  MIB  NAME\n"
       "1     0              1  98304  0.1  A\n"},
      {{"list", "-l", "--rescue", "--mapfile", "disk.map", img},
       3,
       "#  SLOT  FIRST_CLUSTER   BYTES  MIB  NAME\n"
       "1     0              1   98304  0.1  A\n"
       "2     1             10  131072  0.1  Loop  [chain damaged: cycle at cluster 13]\n"
       "3     2              4   65536  0.1  C  [unreadable: 1024 bytes]\n"},
      {{"list", "-l", "--json", img}, 2, ""},
  };
  for (const Case& k : cases) {
    ChildResult r = RunMelvir(k.args);
    EXPECT_EQ(r.status, k.status) << k.args[1] << r.err;
    EXPECT_EQ(r.out, k.out) << k.args[1];
  }
}

// Copy 1 of the table leads a chain back on itself where copy 2 ends it:
// listed, extracted and checked through copy 2, and said so.
TEST_F(CliRunTest, AChainWholeInTheSecondTableCopyIsReadFromIt) {
  Disk d = LoopDisk();
  d.tableOverrides.clear();
  std::string img = Image(d);
  std::string image = ReadWholeFile(img);
  image.replace(layout_.TableSector(0, 1) * 512 + 4 * 13, 4, std::string("\0\0\0\x0B", 4));  // 13 -> 11
  WriteWholeFile(img, image);
  ChildResult r = RunMelvir({"list", "--rescue", img});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "melvir: recording 2 \"Loop\": the table's copies differ on its chain; it is "
                   "whole in copy 2, which is read there\n");
  ASSERT_EQ(RunMelvir({"extract", "-n", "2", "--rescue", "--quiet", img}).status, 3);
  std::vector<uint8_t> stream = testdisk::ExpectedStream(d, layout_, 1);
  EXPECT_TRUE(ReadWholeFile(Path("Loop.ts")) == std::string(stream.begin(), stream.end()));
  ChildResult check = RunMelvir({"check", img});
  EXPECT_NE(check.out.find("DAMAGED: cycle: cluster 13 leads back to cluster 11; whole in table copy 2 "
                           "(4 clusters), where the copies differ\n"),
            std::string::npos) << check.out;
}

// One flipped bit of the header's directory size: the walk past damage
// stops at the drive's end in one line, and the real entries are there.
TEST_F(CliRunTest, AHugeDirectorySizeStopsAtTheDrivesEnd) {
  Disk d;
  d.entries.push_back(PatternRecording("One", 3, 1));
  d.entries.push_back(PatternRecording("Two", 2, 2));
  std::string img = Image(d);
  {
    std::fstream f(img, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(std::streamoff(layout_.headerSector) * 512 + 44);  // the directory size, big-endian
    f.write("\x40\0\0\0", 4);
  }
  for (std::vector<std::string> args : {std::vector<std::string>{"list", "--rescue", img},
                                        {"extract", "-n", "2", "--rescue", "--quiet", img}}) {
    ChildResult r = RunMelvir(args, 5);
    EXPECT_FALSE(r.timedOut) << args[0];
    EXPECT_EQ(r.status, 3) << args[0];
    EXPECT_LT(Lines(r.err).size(), 100u) << args[0];
    EXPECT_NE(r.err.find(" to 1073741823 of the directory lie past the drive's end: not read\n"),
              std::string::npos) << r.err;
    if (args[0] == "list") {
      EXPECT_EQ(r.out, "1  One  0Mo\n2  Two  0Mo\n");
    }
  }
  std::vector<uint8_t> two = testdisk::ExpectedStream(d, layout_, 1);
  EXPECT_TRUE(ReadWholeFile(Path("Two.ts")) == std::string(two.begin(), two.end()));
}

TEST_F(CliRunTest, ADomainMapfileCoversTheMetadataAndTheChosenRecordings) {
  Disk d;
  d.entries.push_back(PatternRecording("Wanted", 8, 1, true));
  d.entries.push_back(PatternRecording("Other", 8, 2));
  std::string img = Image(d);
  ChildResult domain = RunMelvir({"domain", "--metadata", "-n", "1", img});
  ASSERT_EQ(domain.status, 0) << domain.err;
  // Read through its own domain, as a partial image would be, the chosen
  // recording comes out whole and the other does not.
  WriteWholeFile(Path("domain.map"), domain.out);
  EXPECT_EQ(RunMelvir({"extract", "-n", "1", "--mapfile", "domain.map", "--quiet", img}).status, 0);
  EXPECT_EQ(RunMelvir({"extract", "-n", "2", "--mapfile", "domain.map", "--quiet", img}).status, 1);
}

// A scan that fails leaves a domain of the recordings partial: it says so
// and fails; the metadata alone needs no scan.
TEST_F(CliRunTest, ADomainThatLeavesOutRecordingsFails) {
  Disk d = LoopDisk();
  std::string img = Image(d);
  struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{"domain", "--metadata", img}, 0, ""},
      {{"domain", "--all", img}, 1,
       "melvir: Error detected while scanning files (--rescue reads past damage)\n"
       "melvir: the domain leaves out the recordings after recording 1, which the scan did not reach\n"},
      {{"domain", "--all", "--rescue", img}, 3,
       "melvir: recording 2 \"Loop\": chain damaged at cluster 13 (cycle)\n"},
  };
  for (const auto& c : cases) {
    ChildResult r = RunMelvir(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[1];
    EXPECT_EQ(r.err, c.err) << c.args[1];
    EXPECT_NE(r.out.find("  +\n"), std::string::npos) << c.args[1] << r.out;
  }
}

// ddrescue's image of the metadata alone ends where the metadata does: the
// drive is as large as the mapfile says, so the next domain holds the
// recording, and imaging it lets it come out whole. A lost recording's
// first cluster is not imaged yet, but domain --lost (and --all) holds its
// chain all the same.
TEST_F(CliRunTest, AnImageShorterThanTheDiskIsTheDisksSizeThroughItsMapfile) {
  if (std::system("command -v ddrescue >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "ddrescue (Debian gddrescue) is not installed";
  Disk d;
  d.entries.push_back(PatternRecording("One", 8, 1));
  d.entries.push_back(PatternRecording("Two", 6, 2, true));
  d.entries.push_back(BigBlockForm("Gone", 2, 32768));
  d.entries.back().type = 0;  // its clusters, no longer named
  std::string img = Image(d);
  std::string lost = std::to_string(layout_.chains[2][0]);
  ASSERT_EQ(RunMelvir({"extract", "-n", "2", "-o", "healthy.ts", "--quiet", img}).status, 0);
  ASSERT_EQ(RunMelvir({"extract", "--lost", lost, "-o", "lost.ts", "--quiet", img}).status, 0);
  auto image = [&](const std::string& domain) {
    std::string cmd = "ddrescue -q -m '" + domain + "' '" + img + "' part.img part.map";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  };
  ChildResult metadata = RunMelvir({"domain", "--metadata", img});
  ASSERT_EQ(metadata.status, 0) << metadata.err;
  WriteWholeFile(Path("metadata.map"), metadata.out);
  image("metadata.map");
  ASSERT_LT(SizeOf(Path("part.img")), layout_.imageSize);
  ChildResult check = RunMelvir({"check", "--mapfile", "part.map", "part.img"});
  EXPECT_EQ(check.status, 0) << check.out;
  EXPECT_NE(check.out.find("drive: " + std::to_string(layout_.imageSize / 512) + " sectors"),
            std::string::npos) << check.out;
  ChildResult two = RunMelvir({"domain", "-n", "2", "--lost", "--rescue", "--mapfile", "part.map",
                               "part.img"});
  ASSERT_EQ(two.status, 0) << two.err;
  ChildResult all = RunMelvir({"domain", "--all", "--mapfile", "part.map", "part.img"});
  ChildResult eachWay = RunMelvir({"domain", "-n", "1-2", "--lost", "--mapfile", "part.map", "part.img"});
  EXPECT_EQ(all.out, eachWay.out) << "--all holds the lost chains";
  WriteWholeFile(Path("two.map"), two.out);
  image("two.map");
  ChildResult x = RunMelvir({"extract", "-n", "2", "--mapfile", "part.map", "--quiet", "part.img"});
  EXPECT_EQ(x.status, 0) << x.err;
  EXPECT_TRUE(ReadWholeFile(Path("Two.ts")) == ReadWholeFile(Path("healthy.ts")));
  ChildResult y = RunMelvir({"extract", "--lost", lost, "--mapfile", "part.map", "--quiet", "part.img"});
  EXPECT_EQ(y.status, 0) << y.err;
  EXPECT_TRUE(ReadWholeFile(Path("lost-" + lost + ".ts")) == ReadWholeFile(Path("lost.ts")));
}

}  // namespace
