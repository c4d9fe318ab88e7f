// libFuzzer target: the command line's resumed extraction, from a NAME.part
// of any length and contents an earlier run might have left.
//
// Input: a resume header, then the compact form (compact_input.h):
//   offset  size  field (little-endian)
//   0       1     bit 0 --rescue; bit 1 the .part's byte at `at` is changed;
//                 bit 2 the .part ends in bytes of the input rather than
//                 the stream's (past the uninterrupted output, always);
//                 bit 3 each output's writer runs on a thread started for
//                 it, as in the program, rather than on a parked one
//   1       4     the .part's length, taken modulo the output's + 2 blocks
//   5       4     at: the byte changed, among the .part's last 129344 (the
//                 resume check compares the last whole block it holds and
//                 reads what follows again; bytes before are taken as kept)
//   9       1     the change (xor, 0 taken as 1)
// One run: the disk's first recording with a chain is extracted whole to a
// file; a .part is made from that output (and past it, the input's bytes);
// the same extraction then runs again from it. Checked: the second run ends
// done, its file equals the first's byte for byte, no .part is left, and a
// .part.old, where there is one, holds exactly the .part that was made; an
// unchanged prefix of the output is never kept aside. Recordings are taken
// with a whole chain of at most kMaxOutput bytes. Files live in a
// private folder on /dev/shm (else /tmp), emptied on every run.
//
// Speed (below 5,000 a second in short runs; its floor is in fuzz/targets).
// Measured by perf at about 320 a second: 37% of the run was the resume's check
// comparing the .part with the recording a byte at a time through the
// instrumented loop; it now compares each stretch whole. At about 1,100 a CPU
// second, a third of the run was the wait for each output's writer thread to
// end (a yielding loop while a new thread started and ended): the writer now
// runs on a parked thread (platform/thread_reuse.h) unless the input asks for a
// new one (the program's way, kept reachable). Then the .part's tail made a
// byte at a time, the streams' own buffers and each path built anew per call,
// now a repeat at a time, unbuffered, and paths made once; and a fifth the
// rescue's count of zero packets, a byte at a time, now compared whole: 3,500
// to 5,200 a CPU second in runs of 30 to 120 s on a shared machine. What is
// left is the files themselves, which a steady 5,000 would need in memory: the
// system calls (two outputs written by the writer thread, the .part written,
// three files read back, the .damage side file replaced and synced at the start
// and as damage is met, eight names removed per run), the pages the tmpfs fills
// and frees, the yielding wait for the parked writer's last signal, and ASan's
// allocator.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/recording_table.h"
#include "cli/copy.h"
#include "disk/recorder_disk.h"
#include "rescue/rescue.h"
#include "fuzz/compact_input.h"
#include "platform/drive_table.h"
#include "platform/memory_files.h"
#include "platform/thread_reuse.h"

namespace {

const u8 kRescue = 1, kChange = 2, kInputTail = 4, kNewThread = 8;
const size_t kResumeHeaderBytes = 10;
const u64 kExtra = 2 * 131072;
const u64 kMaxOutput = 16u << 20;

CompactInput g_input;
DriveSource g_source;
std::string g_folder;

// The run's files, their paths in the folder made once.
enum Name { kRef, kRefPart, kRefPartDamage, kOut, kOutPart, kOutPartDamage, kOutPartOld,
            kOutPartOldDamage, kNames };
const char* const kNameText[kNames] = {"ref.ts", "ref.ts.part", "ref.ts.part.damage", "out.ts",
                                       "out.ts.part", "out.ts.part.damage", "out.ts.part.old",
                                       "out.ts.part.old.damage"};
std::string g_path[kNames];

void Fail(const char* what) {
  std::fprintf(stderr, "resume_fuzzer: %s\n", what);
  std::abort();
}

// Read in one piece into a string sized once (its memory kept from the
// last input): appending piece by piece reallocated megabytes per input.
// Unbuffered, as WriteAll: a stream's own buffer was allocated per file.
bool ReadAll(Name name, std::string* bytes) {
  std::FILE* f = std::fopen(g_path[name].c_str(), "rb");
  if (!f) return false;
  std::setvbuf(f, nullptr, _IONBF, 0);
  struct stat s;
  bool ok = fstat(fileno(f), &s) == 0;
  if (ok) {
    bytes->resize(size_t(s.st_size));
    ok = std::fread(&(*bytes)[0], 1, bytes->size(), f) == bytes->size() && std::fgetc(f) == EOF;
  }
  std::fclose(f);
  return ok;
}

void WriteAll(Name name, const std::string& bytes) {
  std::FILE* f = std::fopen(g_path[name].c_str(), "wb");
  if (f) std::setvbuf(f, nullptr, _IONBF, 0);
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
    Fail("cannot write the .part");
}

bool Exists(Name name) {
  struct stat s;
  return stat(g_path[name].c_str(), &s) == 0;
}

void Empty() {
  for (const std::string& path : g_path) std::remove(path.c_str());
}

void RemoveFolder() {
  Empty();
  rmdir(g_folder.c_str());
}

void MakeFolder() {
  if (!g_folder.empty()) return;
  char shm[] = "/dev/shm/melvir-resume-XXXXXX", tmp[] = "/tmp/melvir-resume-XXXXXX";
  const char* made = mkdtemp(shm);
  if (!made) made = mkdtemp(tmp);
  if (!made) Fail("cannot make a folder");
  g_folder = made;
  for (u32 i = 0; i < kNames; ++i) g_path[i] = g_folder + "/" + kNameText[i];
  std::atexit(RemoveFolder);
}

// The first recording with a chain, as the catalog would give it.
bool FirstRecording(Recording* r) {
  u64 count = DirectoryEntryCount();
  for (u64 i = 0; i < count && i < 4096; ++i) {
    DirEntry e;
    if (!ReadDirEntry(u32(i), &e)) return false;
    if (e.type == 0 || e.firstCluster == 0 || e.firstCluster > g_disk.clusterCount) continue;
    *r = Recording{};
    WalkChain(e.firstCluster, &r->walk);
    // Without --rescue a chain is read as far as it goes, a cycle up to the
    // cluster count: only whole chains of a few MiB are taken.
    if (r->walk.clusters == 0 || !WalkIsWhole(r->walk) ||
        u64(r->walk.clusters) * g_disk.usableClusterBytes > kMaxOutput)
      continue;
    r->number = 1;
    r->entry.firstCluster = e.firstCluster;
    r->entry.clusters = r->walk.clusters;
    std::snprintf(r->decoded, sizeof r->decoded, "fuzzed");
    return true;
  }
  return false;
}

// Bytes from ..< to of s, each s[i] = bytes[i % n], copied a repeat at a time.
void Repeat(const char* bytes, u64 n, u64 from, u64 to, std::string* s) {
  for (u64 i = from; i < to;) {
    u64 k = std::min(to - i, n - i % n);
    std::memcpy(&(*s)[i], bytes + i % n, k);
    i += k;
  }
}

CopyOutcome Copy(const Recording& r, Name name, bool rescue) {
  CopyTarget t = {g_path[name].c_str(), false, true, rescue, nullptr, "", "the fuzzed disk", false, false, false,
                  kSubtitlesNone, false, nullptr};
  return CopyToTarget(r, t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
  if (size < kResumeHeaderBytes) return 0;
  MakeFolder();
  Empty();
  u8 options = data[0];
  bool rescue = options & kRescue;
  SetThreadReuse(!(options & kNewThread));
  DecodeCompactInput(data + kResumeHeaderBytes, size - kResumeHeaderBytes, &g_input);
  ResetDiskRecord();
  g_source = DriveSource{nullptr, &g_input.drive};
  SetDriveSources(&g_source, 1);
  Recording r;
  // Kept from input to input: their memory is not mapped and zeroed anew.
  static std::string ref, out, old, held;
  if (FindRecorderDisk(false) && FirstRecording(&r) && Copy(r, kRef, rescue) == kCopyDone &&
      ReadAll(kRef, &ref)) {
    u64 length = Little(data + 1, 4) % (ref.size() + kExtra + 1);
    held.assign(ref, 0, length);
    // Past the output: the stream's uncut tail is not known here, so the
    // input's bytes (or repeats of the output) stand for it.
    u64 from = held.size();
    held.resize(length);
    if (options & kInputTail) Repeat(reinterpret_cast<const char*>(data), size, from, length, &held);
    else if (ref.empty()) Repeat("x", 1, from, length, &held);
    else Repeat(ref.data(), ref.size(), from, length, &held);
    bool changed = (options & kChange) && length > 0;
    if (changed) {
      u8 x = data[9] ? data[9] : 1;
      u64 span = length < 129344 ? length : 129344;
      held[length - 1 - Little(data + 5, 4) % span] ^= char(x);
    }
    WriteAll(kOutPart, held);
    if (Copy(r, kOut, rescue) != kCopyDone) Fail("the resumed run did not end done");
    if (!ReadAll(kOut, &out) || out != ref) Fail("the resumed file differs from the whole run's");
    if (Exists(kOutPart)) Fail("a .part is left");
    bool aside = ReadAll(kOutPartOld, &old);
    if (aside && old != held) Fail("the .part kept aside is not the one made");
    if (aside && !changed && length <= ref.size()) Fail("an unchanged prefix of the output was kept aside");
  }
  ResetDiskRecord();
  SetDriveSources(nullptr, 0);
  if (g_input.drive.writeAttempts) Fail("the drive was written to");
  if (OpenMemoryFiles() != 0) Fail("a drive handle was left open");
  return 0;
}
