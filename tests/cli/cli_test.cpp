// The built melvir binary on images from the test-disk builder: what it
// prints, the files it writes, its exit statuses, Ctrl-C and damaged disks.
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include "child.h"
#include "json_check.h"
#include "support.h"

using testdisk::Disk;
using testdisk::Entry;
using testdisk::Layout;
using testdisk::PatternRecording;

namespace {

// A recording whose bytes are stream in the recorder's block form.
Entry BlockFormRecording(const std::string& name, const std::vector<uint8_t>& stream,
                         uint32_t clusterBytes) {
  std::vector<uint8_t> blocks = testdisk::ToBlockForm(stream);
  Entry e;
  e.name = name;
  e.clusters = uint32_t((blocks.size() + clusterBytes - 1) / clusterBytes);
  e.content = testdisk::BytesContent(blocks);
  return e;
}

// Transport-stream-like bytes: a sync byte every 188, pattern between.
std::vector<uint8_t> Stream(size_t bytes, uint32_t seed) {
  std::vector<uint8_t> s(bytes);
  testdisk::PatternContent(seed)(0, s.data(), s.size());
  for (size_t i = 0; i < s.size(); i += 188) s[i] = 0x47;
  return s;
}

// What the Windows program writes for a recording read as `read`, worked
// out independently: blocks of 131072; it is in block form when its first
// four blocks (all, when it has fewer) start with 0x47, and then every block
// keeps 129344 bytes; the file is cut to whole 512-byte units.
std::string Extracted(const std::vector<uint8_t>& read) {
  bool blockForm = true;
  for (size_t at = 0; at < 4 * 131072 && at < read.size(); at += 131072)
    blockForm = blockForm && read[at] == 0x47;
  std::string out;
  for (size_t at = 0; at < read.size(); at += 131072) {
    size_t n = std::min<size_t>(131072, read.size() - at);
    if (blockForm && n >= 129344) n = 129344;
    out.append(reinterpret_cast<const char*>(read.data() + at), n);
  }
  out.resize(out.size() / 512 * 512);
  return out;
}

uint32_t SizeMiB(const Layout& l, size_t entry) {
  return (l.usableClusterBytes / 1024 * uint32_t(l.chains[entry].size()) + 511) / 1024;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The space from the volume header to the end of the data area, as info gives it.
std::string Gib(const Layout& l) {
  char text[32];
  uint64_t sectors = l.dataStart + uint64_t(l.clusterCount) * l.sectorsPerCluster - l.headerSector;
  std::snprintf(text, sizeof text, "%.2f GiB", sectors * 512.0 / (1 << 30));
  return text;
}

bool Exists(const std::string& path) {
  struct stat s;
  return stat(path.c_str(), &s) == 0;
}

class CliTest : public ScratchTest {
 protected:
  // Builds disk as name and returns its path; the layout goes to layout_.
  std::string Image(const Disk& disk, const std::string& name = "disk.img") {
    layout_ = Build(disk, name);
    return Path(name);
  }
  Layout layout_;
};

// ---- list, list --json, info ------------------------------------------------

TEST_F(CliTest, ListsRecordingsInDirectoryOrderAsTheirListText) {
  Disk d;
  d.order = testdisk::kLittleEndian;
  d.entries.push_back(PatternRecording("Morning news", 64, 1));
  d.entries.push_back(PatternRecording("freed", 0));
  d.entries.back().type = 0;
  d.entries.push_back(PatternRecording("timer", 1));
  d.entries.back().type = 5;
  d.entries.push_back(PatternRecording("Caf\xE9 \"Ol\xE9\" \\ 1\x01", 17, 2, true));
  d.entries.push_back(PatternRecording(std::string(64, 'L'), 1));
  std::string img = Image(d);
  ChildResult r = RunMelvir({"list", img});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // Numbered, with the name decoded (ISO 8859-1 by default; the control
  // code never reaches it).
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                              "1  Morning news  2Mo",
                              "2  Caf\u00e9 \"Ol\u00e9\" \\ 1\ufffd  1Mo",
                              "3  " + std::string(64, 'L') + "  0Mo",
                          }));

  ChildResult j = RunMelvir({"list", "--json", img});
  EXPECT_EQ(j.status, 0) << j.err;
  JsonValue v;
  std::string error;
  ASSERT_TRUE(ParseJson(j.out, &v, &error)) << error << "\n" << j.out;
  ASSERT_EQ(v.kind, JsonValue::kArray);
  ASSERT_EQ(v.items.size(), 3u);
  const size_t entries[] = {0, 3, 4};
  const std::string names[] = {"Morning news", "Caf. \"Ol.\" \\ 1.", std::string(64, 'L')};
  const std::string decoded[] = {"Morning news", "Caf\u00e9 \"Ol\u00e9\" \\ 1\ufffd",
                                 std::string(64, 'L')};
  for (size_t i = 0; i < 3; ++i) {
    const JsonValue& o = v.items[i];
    ASSERT_EQ(o.kind, JsonValue::kObject);
    EXPECT_EQ(o.keys, (std::vector<std::string>{"index", "name", "first_cluster", "size_mib", "text",
                                                "clusters", "allocated_bytes", "decoded_name",
                                                "source", "slot"}));
    EXPECT_EQ(o.members.at("index").number, double(i + 1));
    EXPECT_EQ(o.members.at("name").text, names[i]);
    EXPECT_EQ(o.members.at("first_cluster").number, double(layout_.chains[entries[i]][0]));
    EXPECT_EQ(o.members.at("size_mib").number, double(SizeMiB(layout_, entries[i])));
    EXPECT_EQ(o.members.at("text").text, names[i] + "  " + std::to_string(SizeMiB(layout_, entries[i])) + "Mo");
    EXPECT_EQ(o.members.at("clusters").number, double(layout_.chains[entries[i]].size()));
    EXPECT_EQ(o.members.at("allocated_bytes").number,
              double(layout_.chains[entries[i]].size() * layout_.usableClusterBytes));
    EXPECT_EQ(o.members.at("decoded_name").text, decoded[i]);
    EXPECT_EQ(o.members.at("source").text, img);
  }
}

TEST_F(CliTest, ListsEveryRecordingAndAnEmptyDiskListsNothing) {
  Disk d;
  for (int i = 1; i <= 130; ++i) d.entries.push_back(PatternRecording("R" + std::to_string(i), 1));
  std::string many = Image(d, "many.img");
  ChildResult r = RunMelvir({"list", many});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 130u);
  EXPECT_EQ(lines[0], "  1  R1  0Mo");  // numbers right-aligned to the widest
  EXPECT_EQ(lines[129], "130  R130  0Mo");
  ChildResult last = RunMelvir({"extract", "-n", "130", "--quiet", many});
  EXPECT_EQ(last.status, 0) << last.err;
  EXPECT_TRUE(ReadWholeFile(Path("R130.ts")) == Extracted(testdisk::ExpectedStream(d, layout_, 129)));

  Disk empty;
  std::string img = Image(empty, "empty.img");
  ChildResult e = RunMelvir({"list", img});
  EXPECT_EQ(e.status, 0);
  EXPECT_EQ(e.out, "");
  EXPECT_EQ(e.err, "");
  ChildResult ej = RunMelvir({"list", "--json", img});
  JsonValue v;
  std::string error;
  ASSERT_TRUE(ParseJson(ej.out, &v, &error)) << error;
  EXPECT_EQ(v.kind, JsonValue::kArray);
  EXPECT_TRUE(v.items.empty());
  ChildResult x = RunMelvir({"extract", "--all", img});
  EXPECT_EQ(x.status, 0);
  EXPECT_EQ(x.err, "melvir: the disk holds no recordings\n");
}

TEST_F(CliTest, InfoShowsTheGeometryOfTheDiskFoundAmongTheSources) {
  WriteWholeFile(Path("other.img"), std::string(64 * 512, '\0'));  // not a recorder disk
  Disk d;
  d.partitionIndex = 2;
  d.sectorsPerCluster = 256;
  d.entries.push_back(PatternRecording("One", 3));
  std::string img = Image(d);
  ChildResult r = RunMelvir({"info", Path("other.img"), img});
  EXPECT_EQ(r.status, 0) << r.err;
  const Layout& l = layout_;
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                              "Hard disk: 1 Partition: 3",
                              "Cluster size: 256, Clusters count: " + std::to_string(l.clusterCount),
                              "Allocation table start: " + std::to_string(l.tableStart),
                              "Table interleave: " + std::to_string(l.tableInterleave),
                              "Table size: " + std::to_string(l.tableSize),
                              "Directory start: " + std::to_string(l.directoryStart),
                              "Directory interleave: " + std::to_string(l.directoryInterleave),
                              "Directory size: " + std::to_string(l.directorySize),
                              "Data start: " + std::to_string(l.dataStart),
                              "Byte order: big-endian",
                              "Cluster bytes: 131072",
                              "Partition spans: " + Gib(l),
                              "Recordings: 1",
                          }));
  // With several sources, stderr says why the first is no recorder disk and
  // which one holds it.
  EXPECT_EQ(Lines(r.err), (std::vector<std::string>{
                              "melvir: " + Path("other.img") +
                                  ": not a recorder disk: no partition table magic in sector 2",
                              "melvir: recorder disk on " + img + " (drive 1)",
                          }));
}

// ---- extract ----------------------------------------------------------------

TEST_F(CliTest, ExtractsOneRecordingWithTheBytesOfTheWindowsProgram) {
  Disk d;
  d.order = testdisk::kWordSwapped;
  d.entries.push_back(PatternRecording("Plain", 20, 3));
  // 5 full blocks and a short one: the last read holds the tail and the
  // rest of its cluster, and is written whole.
  d.entries.push_back(BlockFormRecording("Broadcast", Stream(5 * 129344 + 40000, 4), 32768));
  d.entries.push_back(PatternRecording("Scattered", 30, 5, true));
  // A stream stored plainly: its first block starts with 0x47, its second
  // (stream byte 131072, inside a packet) does not.
  std::vector<uint8_t> plain = Stream(5 * 131072 + 65536, 6);
  ASSERT_NE(plain[131072], 0x47);
  Entry clip;
  clip.name = "Plain stream";
  clip.clusters = uint32_t(plain.size() / 32768);
  clip.content = testdisk::BytesContent(plain);
  d.entries.push_back(clip);
  std::string img = Image(d);
  for (size_t i = 0; i < 4; ++i) {
    std::string expected = Extracted(testdisk::ExpectedStream(d, layout_, i));
    ChildResult r = RunMelvir({"extract", "-n", std::to_string(i + 1), img});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string file = Path(d.entries[i].name + ".ts");
    EXPECT_EQ(r.err, "melvir: " + d.entries[i].name + ".ts: File extraction done!\n");
    EXPECT_TRUE(ReadWholeFile(file) == expected) << "recording " << i + 1;
  }
  // The block form really was cut: 5 blocks of 129344 and the short tail;
  // the plain stream is the stream, every byte.
  EXPECT_EQ(ReadWholeFile(Path("Broadcast.ts")).size(), (5 * 129344 + 32768 * 2) / 512 * 512);
  EXPECT_TRUE(ReadWholeFile(Path("Plain stream.ts")) == std::string(plain.begin(), plain.end()));

  ChildResult o = RunMelvir({"extract", "-n", "2", "-o", "chosen name.mpg", "--quiet", img});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");  // --quiet: no completion notice
  EXPECT_TRUE(ReadWholeFile(Path("chosen name.mpg")) == ReadWholeFile(Path("Broadcast.ts")));

  ChildResult missing = RunMelvir({"extract", "-n", "5", img});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "melvir: no recording 5: the disk lists 4\n");
}

TEST_F(CliTest, ExtractAllGivesEachRecordingASafeUniqueName) {
  Disk d;
  const char* names[] = {"a/b", "A:B", "a*b", "CON", "nul.x", " ..Dots.. ", "...", "Ok"};
  for (uint32_t i = 0; i < 8; ++i) d.entries.push_back(PatternRecording(names[i], 2, 10 + i));
  std::string img = Image(d);
  ChildResult r = RunMelvir({"extract", "--all", "-d", "out/", img});
  EXPECT_EQ(r.status, 0) << r.err;
  const char* files[] = {"a_b.ts", "A_B (2).ts", "a_b (3).ts", "CON_.ts",
                         "nul_.x.ts", "Dots.ts", "recording.ts", "Ok.ts"};
  for (size_t i = 0; i < 8; ++i) {
    std::string expected = Extracted(testdisk::ExpectedStream(d, layout_, i));
    EXPECT_TRUE(ReadWholeFile(Path("out/") + files[i]) == expected) << files[i];
  }
  EXPECT_EQ(Lines(r.err).size(), 9u);  // one notice per file and the summary
}

TEST_F(CliTest, NeverReplacesAFileUnlessForced) {
  Disk d;
  d.entries.push_back(PatternRecording("First", 4, 1));
  d.entries.push_back(PatternRecording("Second", 4, 2));
  std::string img = Image(d);
  WriteWholeFile(Path("Second.ts"), "precious");

  ChildResult one = RunMelvir({"extract", "-n", "2", img});
  EXPECT_EQ(one.status, 1);
  EXPECT_EQ(one.err, "melvir: Second.ts: exists; use --force to replace it\n");
  // --all skips only an output that is its recording, complete; another
  // file of that name stays, and the recording gets the next free name.
  ChildResult all = RunMelvir({"extract", "--all", img});
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(Lines(all.err), (std::vector<std::string>{
                                "melvir: First.ts: File extraction done!",
                                "melvir: Second.ts: exists and holds another recording; writing Second (2).ts",
                                "melvir: Second (2).ts: File extraction done!",
                                "melvir: 2 recordings: 2 extracted (1 under a new name), 0 skipped, 0 failed",
                            }));
  EXPECT_EQ(ReadWholeFile(Path("Second.ts")), "precious");
  ChildResult again = RunMelvir({"extract", "--all", "--quiet", img});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.err, "melvir: Second.ts: exists and holds another recording; writing Second (2).ts\n");
  EXPECT_FALSE(Exists(Path("Second (3).ts")));
  std::remove(Path("Second (2).ts").c_str());

  ChildResult forced = RunMelvir({"extract", "--all", "--force", img});
  EXPECT_EQ(forced.status, 0) << forced.err;
  const std::string whole = Extracted(testdisk::ExpectedStream(d, layout_, 1));
  EXPECT_TRUE(ReadWholeFile(Path("Second.ts")) == whole);

  // An output there complete (its size and last block) is left as it is.
  struct Case {
    const char* name;
    std::string held;
    bool complete;
  };
  std::string changed = whole;
  changed[changed.size() - 100] ^= 0x55;
  const Case cases[] = {
      {"complete", whole, true},
      {"a byte of the last block changed", changed, false},
      {"a unit short", whole.substr(0, whole.size() - 512), false},
  };
  for (const Case& c : cases) {
    WriteWholeFile(Path("Second.ts"), c.held);
    ChildResult again = RunMelvir({"extract", "-n", "2", img});
    EXPECT_EQ(again.status, c.complete ? 0 : 1) << c.name;
    EXPECT_EQ(again.err, c.complete ? "melvir: Second.ts: is there complete (its size and sampled "
                                      "blocks are the recording's)\n"
                                    : "melvir: Second.ts: exists; use --force to replace it\n")
        << c.name;
    EXPECT_TRUE(ReadWholeFile(Path("Second.ts")) == c.held) << c.name;
  }
}

TEST_F(CliTest, NeverWritesToASource) {
  Disk d;
  d.entries.push_back(PatternRecording("Only", 4, 1));
  std::string img = Image(d);
  std::string before = ReadWholeFile(img);
  ASSERT_EQ(symlink(img.c_str(), Path("alias.img").c_str()), 0);
  ChildResult r = RunMelvir({"extract", "-n", "1", "-o", Path("alias.img"), "--force", img});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("never written to"), std::string::npos) << r.err;
  // --trace would replace MELVIR.LOG in the current folder.
  WriteWholeFile(Path("MELVIR.LOG"), before);
  ChildResult t = RunMelvir({"list", "--trace", "MELVIR.LOG"});
  EXPECT_EQ(t.status, 2);
  EXPECT_TRUE(ReadWholeFile(Path("MELVIR.LOG")) == before);
  EXPECT_TRUE(ReadWholeFile(img) == before);
}

TEST_F(CliTest, TraceWritesTheLogInTheCurrentFolder) {
  Disk d;
  d.entries.push_back(PatternRecording("Traced", 2));
  d.entries.push_back(PatternRecording("skipped", 1));
  d.entries.back().type = 5;
  ChildResult r = RunMelvir({"list", "--trace", Image(d)});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string log = ReadWholeFile(Path("MELVIR.LOG"));
  EXPECT_NE(log.find("GetNextEntry returns: Traced  0Mo"), std::string::npos);
  EXPECT_NE(log.find("GetNextEntry skips: (0005) skipped"), std::string::npos);
}

// ---- failures and exit statuses -------------------------------------------------

TEST_F(CliTest, UsageErrorsExitTwoWithTheUsage) {
  WriteWholeFile(Path("recorder.img"), "x");
  const std::vector<std::vector<std::string>> lines = {
      {}, {"frob"}, {"extract"}, {"extract", "-n", "0"}, {"extract", "-n", "x1"},
      {"extract", "-n"}, {"extract", "--all", "-n", "1"}, {"extract", "--all", "-o", "f.ts"},
      {"extract", "-n", "1", "-o", "f", "-d", "g"}, {"list", "--force"}, {"info", "--force"},
      {"list", "--bogus"}, {"--version", "x"}, {"extract", "-n", "2,5-3"},
      {"extract", "-n", "1-2", "-o", "f.ts"}, {"list", "--charset", "ebcdic"},
      {"help", "frob"}, {"list", "--trace", "--trace-file", "t.log"},
      {"mount", "--background", Path("recorder.img")},  // the mount point left out
  };
  for (const auto& args : lines) {
    ChildResult r = RunMelvir(args);
    std::string shown = args.empty() ? "(none)" : args[0] + (args.size() > 1 ? " " + args[1] : "");
    EXPECT_EQ(r.status, 2) << shown;
    EXPECT_EQ(r.err.compare(0, 8, "melvir: "), 0) << shown;
    EXPECT_NE(r.err.find("usage: melvir"), std::string::npos) << shown;
    EXPECT_EQ(r.out, "") << shown;
  }
  ChildResult help = RunMelvir({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: melvir COMMAND"), std::string::npos);
  ChildResult version = RunMelvir({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out,
            "melvir 1.0\n"
            "Copyright (C) 2026 the MELVIR project\n"
            "License GPLv2+: GNU GPL version 2 or later <https://www.gnu.org/licenses/old-licenses/gpl-2.0.html>\n"
            "This is free software: you are free to change and redistribute it.\n"
            "There is NO WARRANTY, to the extent permitted by law.\n");
}

TEST_F(CliTest, NoRecorderDiskExitsOne) {
  WriteWholeFile(Path("blank.img"), std::string(8 * 512, '\0'));
  for (const char* command : {"list", "info", "extract"}) {
    std::vector<std::string> args = {command, Path("blank.img")};
    if (std::string(command) == "extract") args.insert(args.begin() + 1, {"-n", "1"});
    ChildResult r = RunMelvir(args);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_EQ(r.err, "melvir: " + Path("blank.img") +
                         ": not a recorder disk: no partition table magic in sector 2\n"
                         "melvir: No DVB-T drive found\n")
        << command;
    EXPECT_EQ(r.out, "") << command;
  }
}

TEST_F(CliTest, ADamagedDirectoryEndsTheScanWithAnError) {
  Disk d;
  d.entries.push_back(PatternRecording("Good", 3, 1));
  d.entries.push_back(PatternRecording("Looped", 3));
  d.entries.push_back(PatternRecording("Never reached", 3));
  Layout l = Build(d, "probe.img");
  d.tableOverrides.push_back({l.chains[1][2], l.chains[1][0]});  // a cycle
  std::string img = Image(d);
  ChildResult r = RunMelvir({"list", img}, 20);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "1  Good  0Mo\n");
  EXPECT_EQ(r.err, "melvir: Error detected while scanning files (--rescue reads past damage)\n");
  // info does not take --rescue: it is not advised there.
  ChildResult info = RunMelvir({"info", img}, 20);
  EXPECT_EQ(info.status, 1);
  EXPECT_EQ(info.err, "melvir: Error detected while scanning files\n");
  // --quiet is the Windows program's /V: no message, the list as far as it
  // goes, and still the status of a short list.
  ChildResult q = RunMelvir({"list", "--quiet", img}, 20);
  EXPECT_EQ(q.status, 1);
  EXPECT_EQ(q.out, "1  Good  0Mo\n");
  EXPECT_EQ(q.err, "");
  // What was listed can still be extracted; the status tells the list is short.
  ChildResult x = RunMelvir({"extract", "--all", img}, 20);
  EXPECT_EQ(x.status, 1);
  EXPECT_TRUE(ReadWholeFile(Path("Good.ts")) == Extracted(testdisk::ExpectedStream(d, layout_, 0)));
  EXPECT_FALSE(Exists(Path("Looped.ts")));
}

TEST_F(CliTest, AnUnreadableRecordingFailsItsExtractionOnly) {
  Disk d;
  d.entries.push_back(PatternRecording("Whole", 4, 2));
  d.entries.push_back(PatternRecording("Cut", 64, 1));
  Layout l = Build(d, "probe.img");
  d.truncateAt = l.ClusterByte(l.chains[1][40]);  // the image ends inside "Cut"
  std::string img = Image(d);
  ChildResult r = RunMelvir({"extract", "--all", "--quiet", img}, 20);
  EXPECT_EQ(r.status, 1);
  std::string cut = ReadWholeFile(Path("Cut.ts.part"));
  EXPECT_EQ(r.err, "melvir: Cut.ts: Input file access error: reading sector " +
                       Grouped(d.truncateAt / 512) + " of " + img +
                       ": the disk or image ends before the recording does; " +
                       std::to_string(cut.size()) + " bytes kept in Cut.ts.part"
                       " (--rescue reads past damage)\n");
  EXPECT_FALSE(Exists(Path("Cut.ts")));
  std::string full = Extracted(testdisk::ExpectedStream(d, layout_, 1));
  EXPECT_LT(cut.size(), full.size());
  EXPECT_TRUE(cut == full.substr(0, cut.size()));
  EXPECT_TRUE(ReadWholeFile(Path("Whole.ts")) == Extracted(testdisk::ExpectedStream(d, layout_, 0)));
}

TEST_F(CliTest, CtrlCStopsTheRunAndKeepsWhatWasCopied) {
  Disk d;
  d.clusterCount = 70000;
  d.entries.push_back(PatternRecording("Long", 65536));  // 2 GiB of (sparse) zeros
  d.entries.push_back(PatternRecording("Next", 2, 1));
  std::string img = Image(d);
  std::string out = Path("Long.ts.part");
  bool sent = false;
  ChildResult r = RunMelvir({"extract", "--all", img}, 120, [&](pid_t child) {
    struct stat s;
    if (!sent && stat(out.c_str(), &s) == 0 && s.st_size >= 4 * 1048576) {
      kill(child, SIGINT);
      sent = true;
    }
  });
  ASSERT_TRUE(sent) << r.err;
  EXPECT_EQ(r.status, 130) << r.err;
  struct stat s;
  ASSERT_EQ(stat(out.c_str(), &s), 0);
  EXPECT_LT(uint64_t(s.st_size), 65536ull * 32768);
  EXPECT_NE(r.err.find("melvir: stopped; " + std::to_string(s.st_size) + " bytes kept in Long.ts.part"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("done"), std::string::npos) << r.err;
  EXPECT_FALSE(Exists(Path("Next.ts")));  // the stop ends the whole run
}

}  // namespace
