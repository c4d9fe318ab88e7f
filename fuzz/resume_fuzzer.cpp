// libFuzzer target: the command line's resumed extraction, from a NAME.part
// of any length and contents an earlier run might have left.
//
// Input: a resume header, then the compact form (compact_input.h):
//   offset  size  field (little-endian)
//   0       1     bit 0 --rescue; bit 1 the .part's byte at `at` is changed;
//                 bit 2 the .part ends in bytes of the input rather than
//                 the stream's (past the uninterrupted output, always)
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
// Speed (below 5,000 a second; its floor is in fuzz/targets): each input
// runs two whole extractions of up to kMaxOutput bytes through real files,
// and the resume's check reads the .part back and compares it with the
// recording; that reading and comparing is most of a run.
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

const u8 kRescue = 1, kChange = 2, kInputTail = 4;
const size_t kResumeHeaderBytes = 10;
const u64 kExtra = 2 * 131072;
const u64 kMaxOutput = 16u << 20;

CompactInput g_input;
DriveSource g_source;
std::string g_folder;

void Fail(const char* what) {
  std::fprintf(stderr, "resume_fuzzer: %s\n", what);
  std::abort();
}

std::string Path(const char* name) { return g_folder + "/" + name; }

// Read in one piece into a string sized once (its memory kept from the
// last input): appending piece by piece reallocated megabytes per input.
bool ReadAll(const std::string& path, std::string* bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  struct stat s;
  bool ok = fstat(fileno(f), &s) == 0;
  if (ok) {
    bytes->resize(size_t(s.st_size));
    ok = std::fread(&(*bytes)[0], 1, bytes->size(), f) == bytes->size() && std::fgetc(f) == EOF;
  }
  std::fclose(f);
  return ok;
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
    Fail("cannot write the .part");
}

bool Exists(const std::string& path) {
  struct stat s;
  return stat(path.c_str(), &s) == 0;
}

void Empty() {
  for (const char* n : {"ref.ts", "ref.ts.part", "ref.ts.part.damage", "out.ts", "out.ts.part",
                        "out.ts.part.damage", "out.ts.part.old", "out.ts.part.old.damage"})
    std::remove(Path(n).c_str());
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

CopyOutcome Copy(const Recording& r, const char* name, bool rescue) {
  std::string path = Path(name);
  CopyTarget t = {path.c_str(), false, true, rescue, nullptr, "", "the fuzzed disk", false, false, false,
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
  DecodeCompactInput(data + kResumeHeaderBytes, size - kResumeHeaderBytes, &g_input);
  ResetDiskRecord();
  g_source = DriveSource{nullptr, &g_input.drive};
  SetDriveSources(&g_source, 1);
  Recording r;
  // Kept from input to input: their memory is not mapped and zeroed anew.
  static std::string ref, out, old, held;
  if (FindRecorderDisk(false) && FirstRecording(&r) && Copy(r, "ref.ts", rescue) == kCopyDone &&
      ReadAll(Path("ref.ts"), &ref)) {
    u64 length = Little(data + 1, 4) % (ref.size() + kExtra + 1);
    held.assign(ref, 0, length);
    // Past the output: the stream's uncut tail is not known here, so the
    // input's bytes (or repeats of the output) stand for it.
    for (u64 i = held.size(); i < length; ++i)
      held.push_back(options & kInputTail ? char(data[i % size]) : ref.empty() ? 'x' : ref[i % ref.size()]);
    bool changed = (options & kChange) && length > 0;
    if (changed) {
      u8 x = data[9] ? data[9] : 1;
      u64 span = length < 129344 ? length : 129344;
      held[length - 1 - Little(data + 5, 4) % span] ^= char(x);
    }
    WriteAll(Path("out.ts.part"), held);
    if (Copy(r, "out.ts", rescue) != kCopyDone) Fail("the resumed run did not end done");
    if (!ReadAll(Path("out.ts"), &out) || out != ref) Fail("the resumed file differs from the whole run's");
    if (Exists(Path("out.ts.part"))) Fail("a .part is left");
    bool aside = ReadAll(Path("out.ts.part.old"), &old);
    if (aside && old != held) Fail("the .part kept aside is not the one made");
    if (aside && !changed && length <= ref.size()) Fail("an unchanged prefix of the output was kept aside");
  }
  ResetDiskRecord();
  SetDriveSources(nullptr, 0);
  if (g_input.drive.writeAttempts) Fail("the drive was written to");
  if (OpenMemoryFiles() != 0) Fail("a drive handle was left open");
  return 0;
}
