// libFuzzer target: the mount's read handler, called directly as FUSE calls
// it, at random offsets and lengths, on a disk the fuzzer makes up whose
// units fail once the mount is built.
//
// Input: the compact form (compact_input.h), then the bad sectors
// (bad_sectors.h). The extra number seeds the reads. Options:
//   bit 0      the header's fault: that positional read of the mount's
//              reads fails, or (header bit 7) comes back short
//   bit 1      the drive dies after (extra >> 24) % 64 of the mount's reads
//   bits 2..3  the longest read: 4 KiB, 128 KiB, 1 MiB (FUSE's largest
//              request), 1 MiB + 1
//
// One run, as `melvir mount` makes it: discovery, the listing, the mount's
// files (the listed recordings whose chains fit in kPlanBlocks together).
// On the healthy drive each mounted recording is extracted as
// `extract` reads it (the chain in order, blocks cut by the file's plan,
// whole 512-byte units kept): the extraction's bytes. Reads there must
// succeed wherever the extraction delivered the bytes. Then the bad
// sectors, the fault and the death take effect, and every read must give
// all the bytes asked for up to the file's end, from memory, equal to the
// extraction's wherever it reached, or fail whole with -EIO, the reply left
// unset; no file's size changes. The drive is never written to and every
// handle is closed.
//
// Speed: 7,665 a CPU second over ten million inputs from the seed corpus
// (inputs held to 16 KiB, fuzz/targets); 4,600 to 7,800 in runs of 30 to
// 120 s on a shared machine. Measured by perf at about 430 a second: over
// half the run was replies of up to 1 MiB, each a fresh mapping the
// sanitizer makes, faults in page by page as the memory drive zeroes it,
// and unmaps (with the TLB flushed on every core). Read lengths now halve
// at random, most replies short. Then a third of the run was a word-swapped
// disk's bytes swapped a pair at a time, now four words at a time. At about
// 1,000 a second, perf showed the slow inputs planning block forms: with
// clusters of up to 4 GiB, a recording's every block start lies past the
// disk and cannot be read, and planning reads them all (a second per
// input); the recordings mounted are now held to kPlanBlocks of chain, all
// the product's paths still reached. Then over half the run was the
// extraction, a vector per file grown and copied, and a fifth libFuzzer
// running inputs again that ended with more allocated than freed; the
// extraction is now read into one buffer made once, and nothing is kept
// from input to input but the catalog's room. What is left: the replies
// (allocated, faulted in, zeroed by the memory drive), the directory walk
// of the listing, DAMAGE.txt made anew on each of its reads, and ASan's
// allocator.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/recording_table.h"
#include "mount/mount_damage.h"
#include "mount/mount_files.h"
#include "mount/mount_read.h"
#include "disk/block_form.h"
#include "disk/recorder_disk.h"
#include "fuzz/bad_sectors.h"
#include "fuzz/compact_input.h"
#include "platform/drive_map.h"
#include "platform/drive_table.h"
#include "platform/fault.h"
#include "platform/memory_files.h"

namespace {

const u8 kReadFault = 1, kDies = 2;
const u32 kHealthyReads = 16, kFailingReads = 48;
const u32 kMaxFiles = 64;                 // files read; later ones take the same paths
const u64 kExtractBytes = 16u << 20;      // bytes extracted per input, all files
// Blocks of chain mounted per input, all recordings: four times the largest
// disk (kMaxDiskBytes). Planning a recording's block form reads every
// block's start while none can be read, as past the disk's end.
const u64 kPlanBlocks = 4 * (kMaxDiskBytes / kBlockBytes);
const u32 kLongest[] = {4096, 128u << 10, 1u << 20, (1u << 20) + 1};

CompactInput g_input;
DriveSource g_source;
DriveMap g_map;
Options g_options;
Catalog g_catalog;
MountTable g_table;
// Per file, a listed recording's stream as extract gives it (as far as
// kExtractBytes reach), in one buffer made once: a vector per file grew and
// was copied, mapped and unmapped by the sanitizer, over half the run.
struct Known {
  const u8* bytes;
  u64 size;
};
u8* g_bytes;
u64 g_used;
std::vector<Known> g_known;
std::vector<u32> g_listed;  // per mounted recording, its place in the catalog
u64 g_random;
bool g_verbose = false;  // MELVIR_FUZZ_VERBOSE set: what each run read, on stderr
u32 g_served[2], g_failed[2];  // reads of the healthy and the failing phase

void Fail(const char* what) {
  std::fprintf(stderr, "mount_fuzzer: %s\n", what);
  std::abort();
}

u64 Next() {  // splitmix64
  u64 z = (g_random += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// The recording read in order as extract reads it, on the healthy drive:
// as far as it reads, to at most its mounted size. Each block is read where
// its kept bytes go, while a whole block fits.
Known Extract(const Recording& r, const MountFile& f) {
  Known k = {g_bytes + g_used, 0};
  if (!OpenEntry(r.entry.firstCluster)) return k;
  bool ended = false;
  for (u64 block = 0; k.size < f.size && g_used + k.size + kBlockBytes <= kExtractBytes; ++block) {
    u32 n;
    if (!ReadEntryData(g_bytes + g_used + k.size, kBlockBytes, &n)) break;
    if (n == 0) {
      ended = true;
      break;
    }
    k.size += BlockStreamBytes(f.plan, block, n);
  }
  if (ended) {
    if (OutputLength(k.size) != f.size && f.index.bytes == u64(r.entry.clusters) * g_disk.usableClusterBytes)
      Fail("a mounted file's size is not what extract writes");
    k.size = OutputLength(k.size);
  }
  k.size = std::min(k.size, f.size);
  g_used += k.size;
  return k;
}

// Bytes known from elsewhere (INFO.txt, DAMAGE.txt), where they fit.
Known Keep(const std::string& text) {
  Known k = {g_bytes + g_used, 0};
  if (g_used + text.size() > kExtractBytes) return k;
  std::memcpy(g_bytes + g_used, text.data(), text.size());
  k.size = text.size();
  g_used += k.size;
  return k;
}

// An offset near the places where reads change course: block ends, the
// file's end, or anywhere.
u64 Offset(u64 size) {
  u64 r = Next();
  u64 near = r % 4 == 0 ? size : r % 4 == 1 ? (Next() % (size / kBlockStreamBytes + 2)) * kBlockStreamBytes
                                            : Next() % (size + 2);
  u64 back = (r >> 8) % 1024;
  return (r >> 20) % 2 == 0 || near < back ? near + back % 16 : near - back;
}

// A read's length: a third under 600 bytes, the rest up to the longest
// halved 0 to 15 times, fewer than 3 times for only one in 4 of those: most
// replies short, one or two an input over 128 KiB (each byte of a reply is
// allocated, filled and compared; the sanitizer maps each long one anew).
u32 Length(u32 longest) {
  if (Next() % 3 == 0) return u32(Next() % 600);
  u32 halvings = u32(Next() % 16);
  if (halvings < 3 && Next() % 4 != 0) halvings += 3;
  return u32(Next() % ((u64(longest) >> halvings) + 1));
}

// One read through the handler, checked; false when it failed (whole).
bool Read(u32 file, u32 longest, bool mustRead) {
  const MountFile& f = g_table.files[file];
  u64 size = MountFileSize(g_table, f), at = Offset(size);
  u32 length = Length(longest);
  fuse_bufvec* reply = nullptr;
  int status = ReplyToRead(g_table, file, length, off_t(at), &reply);
  if (MountFileSize(g_table, g_table.files[file]) != size) Fail("a read changed a file's size");
  u64 want = at >= size ? 0 : std::min<u64>(length, size - at);
  const Known& known = g_known[file];
  bool reached = at + want <= known.size;
  if (status != 0) {
    if (status != -EIO) Fail("a read failed otherwise than with EIO");
    if (reply) Fail("a failed read left a reply");
    if (mustRead && reached) Fail("on the healthy drive a read of bytes extract read failed");
    ++g_failed[!mustRead];
    return false;
  }
  if (!reply || reply->count != 1) Fail("a reply that is not one buffer");
  const fuse_buf& b = reply->buf[0];
  if (b.flags & FUSE_BUF_IS_FD) Fail("a reply from a descriptor, which libfuse may cut short");
  if (b.size != want) Fail("a reply shorter or longer than the bytes asked for up to the end");
  u64 checked = at >= known.size ? 0 : std::min<u64>(want, known.size - at);
  if (checked && std::memcmp(b.mem, known.bytes + at, checked) != 0)
    Fail("a read's bytes differ from the extraction's");
  std::free(b.mem);  // as libfuse frees a reply once sent
  std::free(reply);
  ++g_served[!mustRead];
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_verbose = std::getenv("MELVIR_FUZZ_VERBOSE") != nullptr;
  g_bytes = static_cast<u8*>(std::malloc(kExtractBytes));
  if (!g_bytes) Fail("no memory for the extraction");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
  u32 bad = BadRuns(data, size);
  DecodeCompactInput(data, DiskBytes(size, bad), &g_input);
  u8 options = g_input.options;
  g_random = g_input.extra;
  ResetDiskRecord();
  DisarmFault();
  ResetFaultCounts();
  g_map.readable.assign(1, ByteRun{0, g_input.drive.size});  // healthy until the mount is built
  g_source = DriveSource{nullptr, &g_input.drive};
  SetDriveSources(&g_source, 1);
  if (!SetDriveMap(0, &g_map)) Fail("cannot map the drive");
  g_served[0] = g_served[1] = g_failed[0] = g_failed[1] = 0;
  g_options = Options{};
  g_options.command = kMount;
  g_options.quiet = true;

  if (FindRecorderDisk(false)) {
    g_catalog.recordings.clear();
    g_catalog.scanFailed = false;
    ReadCatalog(g_options, &g_catalog);
    g_table = MountTable{};
    MountRequest request = {};
    request.info = "";
    g_listed.clear();
    u64 blocks = 0;
    for (u32 i = 0; i < g_catalog.recordings.size(); ++i) {
      const Recording& r = g_catalog.recordings[i];
      u64 more = (u64(r.entry.clusters) * g_disk.usableClusterBytes + kBlockBytes - 1) / kBlockBytes;
      if (blocks + more > kPlanBlocks) continue;
      blocks += more;
      g_listed.push_back(i);
      request.recordings.push_back({r.file, r.entry.firstCluster, r.entry.clusters});
    }
    BuildMountTable(request, &g_table);
    u32 files = u32(std::min<size_t>(g_table.files.size(), kMaxFiles));
    g_known.assign(g_table.files.size(), Known{g_bytes, 0});
    g_used = 0;
    for (u32 i = 0; i < files; ++i) {
      const MountFile& f = g_table.files[i];
      if (f.info) g_known[i] = Keep(g_table.info);
      // Without --rescue no damage is listed: the text stays as it is.
      else if (f.damageText) g_known[i] = Keep(DamageText(g_table));
      else if (i < g_listed.size()) g_known[i] = Extract(g_catalog.recordings[g_listed[i]], f);
    }
    u32 longest = kLongest[(options >> 2) & 3];
    if (files) {
      for (u32 i = 0; i < kHealthyReads; ++i) Read(u32(Next() % files), longest, true);
      MapAroundBadRuns(data + size, bad, g_input.drive.size, &g_map);
      ResetFaultCounts();
      if (options & kReadFault) ArmFault(kCallRead, g_input.faultOccurrence, g_input.faultMode);
      if (options & kDies) g_input.drive.readLimit = g_input.drive.reads + (g_input.extra >> 24) % 64 + 1;
      for (u32 i = 0; i < kFailingReads; ++i) Read(u32(Next() % files), longest, false);
    }
    if (g_verbose) {
      u64 extracted = g_used;
      std::fprintf(stderr, "run: %u files, %llu bytes extracted; healthy reads %u served, %u failed; "
                   "with failures %u served, %u failed\n", u32(g_table.files.size()),
                   static_cast<unsigned long long>(extracted), g_served[0], g_failed[0], g_served[1],
                   g_failed[1]);
    }
  }

  // Nothing allocated is kept to the next input: libFuzzer runs an input
  // twice, looking for a leak, when it ends with more allocated than freed.
  // (The catalog's recordings hold no memory of their own: the list keeps
  // its room, growing past the longest so far only.)
  g_table = MountTable{};
  std::vector<Known>().swap(g_known);
  std::vector<u32>().swap(g_listed);
  ResetDiskRecord();
  DisarmFault();
  SetDriveMap(0, nullptr);
  SetDriveSources(nullptr, 0);
  if (g_input.drive.writeAttempts) Fail("the drive was written to");
  if (OpenMemoryFiles() != 0) Fail("a drive handle was left open");
  return 0;
}
