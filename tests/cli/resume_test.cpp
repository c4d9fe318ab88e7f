// Resumed extractions: a NAME.part of any length an earlier run left
// completes to the bytes of an uninterrupted run, or is kept aside as
// NAME.part.old when it cannot belong to the recording; written unbuffered
// on a disk, and buffered where the file system refuses that.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/existing_output.h"
#include "child.h"
#include "recordings.h"
#include "support.h"

using testdisk::Disk;

namespace {

const uint64_t kBlock = 131072, kStreamBlock = 129344, kMiB = 1048576;

bool Exists(const std::string& path) {
  struct stat s;
  return lstat(path.c_str(), &s) == 0;
}

class ResumeTest : public ScratchTest {
 protected:
  // One block-form recording of nine whole blocks and a 13,824-byte tail
  // on 1-sector clusters, and one plain recording of 90 clusters of 32 KiB.
  void SetUp() override {
    ScratchTest::SetUp();
    Disk d;
    d.sectorsPerCluster = 1;
    d.clusterCount = 9000;
    testdisk::Entry blocks = BigBlockForm("Blocks", 10, 512);
    blocks.clusters = uint32_t((9 * kBlock + 13824) / 512);
    d.entries.push_back(blocks);
    d.entries.push_back(testdisk::PatternRecording("Plain", 90 * 64, 2, true));
    Build(d);
    // The block form's uncut stream, as a run stopped in its last block
    // leaves it: the recording's bytes less each block's filler.
    stream_.resize(9 * kStreamBlock + 13824);
    for (uint64_t b = 0; b <= 9; ++b) {
      uint64_t n = b < 9 ? kStreamBlock : 13824;
      blocks.content(b * kBlock, reinterpret_cast<uint8_t*>(&stream_[b * kStreamBlock]), n);
    }
    for (const char* n : {"1", "2"}) {
      ChildResult r = RunMelvir({"extract", "-n", n, "-o", std::string("good") + n, "--quiet",
                                 Path("disk.img")});
      ASSERT_EQ(r.status, 0) << r.err;
    }
    good_[0] = ReadWholeFile(Path("good1"));
    good_[1] = ReadWholeFile(Path("good2"));
  }

  // Leaves held as out.ts.part in folder, runs the extraction of recording
  // n there, and checks it against an uninterrupted run's bytes.
  // An earlier run leaves its damage file beside the .part (here: no zeros);
  // without it, what the kept bytes hold as zeros is not known.
  void Complete(const std::string& folder, int n, const std::string& held, bool aside,
                const std::vector<std::string>& more, const std::string& name) {
    std::string out = Path(folder + "/out.ts");
    for (const char* s : {"", ".part", ".part.old", ".part.damage", ".part.old.damage"})
      std::remove((out + s).c_str());
    WriteWholeFile(out + ".part", held);
    WriteWholeFile(out + ".part.damage", "{\"output\": \"out.ts\", \"bytes_written\": " +
                                             std::to_string(held.size()) + ", \"unreadable\": []}\n");
    std::vector<std::string> args = {"extract", "-n", std::to_string(n), "-o", out, "--quiet"};
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(Path("disk.img"));
    ChildResult r = RunMelvir(args);
    EXPECT_EQ(r.status, 0) << name << r.err;
    EXPECT_TRUE(ReadWholeFile(out) == good_[n - 1]) << name;
    EXPECT_FALSE(Exists(out + ".part")) << name;
    EXPECT_EQ(Exists(out + ".part.old"), aside) << name;
    if (aside) {
      EXPECT_TRUE(ReadWholeFile(out + ".part.old") == held) << name;
      EXPECT_NE(r.err.find("does not match the disk; kept as"), std::string::npos) << name << r.err;
    } else {
      EXPECT_EQ(r.err, "") << name;
    }
  }

  std::string stream_;
  std::string good_[2];
};

struct Case {
  const char* name;
  int recording;       // 1 block form, 2 plain
  uint64_t length;     // bytes of the stream (1) or the output (2) the .part holds
  long flip;           // a byte changed, or -1
  bool aside;          // kept as .part.old
};

const uint64_t kWholeBlocks = 9 * kStreamBlock, kStream = kWholeBlocks + 13824;
const uint64_t kOutput = kStream / 512 * 512, kPlain = 90 * 32768;

const Case kCases[] = {
    {"one byte", 1, 1, -1, false},
    {"a sector less one", 1, 511, -1, false},
    {"a sector", 1, 512, -1, false},
    {"a sector and one", 1, 513, -1, false},
    {"a block less one", 1, kStreamBlock - 1, -1, false},
    {"a block", 1, kStreamBlock, -1, false},
    {"a block and one", 1, kStreamBlock + 1, -1, false},
    {"five blocks less one", 1, 5 * kStreamBlock - 1, -1, false},
    {"five blocks and one", 1, 5 * kStreamBlock + 1, -1, false},
    {"a MiB less one", 1, kMiB - 1, -1, false},
    {"a MiB", 1, kMiB, -1, false},
    {"a MiB and one", 1, kMiB + 1, -1, false},
    {"the whole blocks less one", 1, kWholeBlocks - 1, -1, false},
    {"the whole blocks", 1, kWholeBlocks, -1, false},
    {"the whole blocks and one", 1, kWholeBlocks + 1, -1, false},
    {"the output less one", 1, kOutput - 1, -1, false},
    {"the output", 1, kOutput, -1, false},
    {"the output and one", 1, kOutput + 1, -1, false},
    {"the uncut stream less one", 1, kStream - 1, -1, false},
    {"the uncut stream", 1, kStream, -1, false},
    {"longer than the stream", 1, kStream + 1, -1, true},
    {"a changed byte in the last whole block", 1, 6 * kStreamBlock + 10, 5 * kStreamBlock + 3, true},
    {"a changed byte in the first piece", 1, 300, 20, true},
    {"a changed byte in the middle", 1, 8 * kStreamBlock, 4 * kStreamBlock + 5, true},
    {"plain: one byte", 2, 1, -1, false},
    {"plain: a block less one", 2, kBlock - 1, -1, false},
    {"plain: a block and one", 2, kBlock + 1, -1, false},
    {"plain: a MiB less one", 2, kMiB - 1, -1, false},
    {"plain: a MiB and one", 2, kMiB + 1, -1, false},
    {"plain: two MiB less one", 2, 2 * kMiB - 1, -1, false},
    {"plain: two MiB", 2, 2 * kMiB, -1, false},
    {"plain: two MiB and one", 2, 2 * kMiB + 1, -1, false},
    {"plain: the output less one", 2, kPlain - 1, -1, false},
    {"plain: the output", 2, kPlain, -1, false},
    {"plain: longer than the output", 2, kPlain + 1, -1, true},
};

std::string Held(const std::string& source, const Case& c) {
  std::string held = source.substr(0, c.length);
  if (held.size() < c.length) held.append(c.length - held.size(), '\x47');
  if (c.flip >= 0) held[size_t(c.flip)] ^= 0x55;
  return held;
}

TEST_F(ResumeTest, APartOfAnyLengthCompletesExactly) {
  for (const Case& c : kCases)
    Complete(".", c.recording, Held(c.recording == 1 ? stream_ : good_[1], c), c.aside, {}, c.name);
}

TEST_F(ResumeTest, APartCompletesExactlyUnderRescue) {
  for (const Case& c : kCases)
    if (c.recording == 1 && (c.length % 512 == 1 || c.aside))
      Complete(".", 1, Held(stream_, c), c.aside, {"--rescue"}, c.name);
  // Its damage file lost: the bytes are kept, and the report says what is
  // not known rather than claim no zeros.
  std::string out = Path("out.ts");
  for (const char* s : {"", ".part.damage"}) std::remove((out + s).c_str());
  WriteWholeFile(out + ".part", stream_.substr(0, kMiB + 1));
  ChildResult r = RunMelvir({"extract", "-n", "1", "-o", out, "--quiet", "--rescue", "--report",
                             Path("report.json"), Path("disk.img")});
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_TRUE(ReadWholeFile(out) == good_[0]);
  EXPECT_NE(r.err.find("out.ts.part.damage: missing or unreadable"), std::string::npos) << r.err;
  EXPECT_NE(ReadWholeFile(Path("report.json")).find("\"damage_unknown_before\": "),
            std::string::npos);
}

// The .part is opened as a side file (never through a link, no blocking on
// a FIFO), then written unbuffered (O_DIRECT), on any file system; its
// damage file is replaced whole.
TEST_F(ResumeTest, TheOutputIsOpenedUnbuffered) {
  if (access("/usr/bin/strace", X_OK) != 0) GTEST_SKIP() << "strace is not installed";
  // LeakSanitizer cannot run under ptrace.
  ChildResult r = RunProgram({"/usr/bin/strace", "-f", "-e", "trace=openat,fcntl,rename", "-o", Path("trace.txt"),
                              "-E", "ASAN_OPTIONS=detect_leaks=0", MelvirPath(), "extract", "-n", "1", "-o", Path("direct.ts"), "--quiet",
                              Path("disk.img")});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string trace = ReadWholeFile(Path("trace.txt"));
  size_t open = trace.find("direct.ts.part\", ");
  ASSERT_NE(open, std::string::npos) << trace;
  std::string line = trace.substr(open, trace.find('\n', open) - open);
  EXPECT_NE(line.find("O_NOFOLLOW"), std::string::npos) << line;
  EXPECT_EQ(line.find("O_TRUNC"), std::string::npos) << line;
  EXPECT_NE(trace.find("F_SETFL, O_RDWR|O_DIRECT", open), std::string::npos) << trace;
  // Its damage file is never cut in place: a fresh one is renamed over it.
  EXPECT_EQ(trace.find("direct.ts.part.damage\", O_WRONLY|O_CREAT|O_TRUNC"), std::string::npos) << trace;
  EXPECT_NE(trace.find("direct.ts.part.damage\") = 0"), std::string::npos) << trace;
  EXPECT_TRUE(ReadWholeFile(Path("direct.ts")) == good_[0]);
}

// tmpfs refuses unbuffered I/O on older kernels (newer ones take it): the
// bytes are the same either way, and nothing is said.
TEST_F(ResumeTest, AFileSystemWithoutUnbufferedWritesGetsTheSameBytes) {
  mkdir(Path("ram").c_str(), 0755);
  if (mount("tmpfs", Path("ram").c_str(), "tmpfs", 0, "size=16m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << strerror(errno);
  for (const Case& c : kCases)
    if (c.length == 1 || c.length == kMiB + 1 || c.length == kStream)
      Complete("ram", c.recording, Held(c.recording == 1 ? stream_ : good_[1], c), c.aside, {},
               c.name);
  ChildResult fresh = RunMelvir({"extract", "-n", "1", "-o", Path("ram/fresh.ts"), Path("disk.img")});
  EXPECT_EQ(fresh.status, 0) << fresh.err;
  EXPECT_TRUE(ReadWholeFile(Path("ram/fresh.ts")) == good_[0]);
  umount(Path("ram").c_str());
}

}  // namespace

// The comparison a resume makes of a block: a difference counts unless a
// run of skip (stream offsets, in any order, overlapping) covers it.
TEST(AgreeOutsideTest, ADifferenceCountsOnlyOutsideTheSkippedRuns) {
  const u64 at = 1000;
  const u32 length = 64;
  struct Case {
    const char* what;
    std::vector<u32> differ;  // offsets in the block
    std::vector<OutputRun> skip;
    bool agree;
  } cases[] = {
      {"the same bytes", {}, {}, true},
      {"first byte differs", {0}, {}, false},
      {"last byte differs", {63}, {}, false},
      {"differences all skipped", {0, 10, 63}, {{at + 40, 30}, {at, 11}, {at + 5, 2}}, true},
      {"one past a skipped run", {20}, {{at + 10, 10}}, false},
      {"one before a skipped run", {9}, {{at + 10, 10}}, false},
      {"a run from before the block", {3}, {{at - 100, 104}}, true},
      {"a run past the block", {60}, {{at + 60, 1000}}, true},
      {"between two runs", {30}, {{at, 30}, {at + 31, 33}}, false},
  };
  for (const Case& c : cases) {
    std::vector<u8> recording(length), held(length);
    for (u32 i = 0; i < length; ++i) recording[i] = held[i] = u8(i * 7);
    for (u32 d : c.differ) held[d] ^= 0x5A;
    EXPECT_EQ(AgreeOutside(recording.data(), held.data(), at, length, c.skip), c.agree) << c.what;
  }
}
