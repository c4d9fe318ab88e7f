// Writes the disk target's seed corpus in the compact input form
// (compact_input.h): small disks from the test-disk builder covering every
// byte order, the cluster geometries, the partition slot positions and the
// damage a recorder disk comes back with; and converts between that form
// and raw images.
//
//   make_corpus FOLDER          the seeds, FOLDER/seed-NAME (replaced); other
//                               files in FOLDER (regression inputs) stay
//   make_corpus --convert RAW OUT   a raw image whose sector 0 starts with the
//                               run header's first 8 bytes (the earlier input
//                               form) to the compact form
//   make_corpus --expand IN OUT     the disk of a compact input as a raw
//                               image, for the command-line front end
//
// The volume header sits in sector 3 so that the structures lie at the
// start of the disk. Recording data is mostly zeros with marks (below), so
// that the fuzzer's mutations land on the structures rather than on data.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/compact_input.h"
#include "testdisk.h"

using namespace testdisk;

namespace {

std::string g_folder;
std::string g_scratch;
size_t g_total = 0;
int g_count = 0;
bool g_failed = false;

// The disk target's options (disk_fuzzer.cpp); kZeroExtended is make_corpus's
// own: the disk goes on past its last structure, as zeros, to the largest
// size, so that a small input holds recordings long enough for the output
// writer to hand buffers to its thread.
const uint8_t kTrace = 1, kQuiet = 2, kEmptyDriveFirst = 4, kExtraExtract = 8, kFault = 16;
const uint8_t kZeroExtended = 0x80;
const size_t kMarkSpacing = 4096, kMarkBytes = 4;

// Pattern bytes in the first 4 bytes of every 4 KiB of the stream, zeros
// elsewhere: outputs still differ from disk to disk and with the word swap.
Content Marked(uint32_t seed) {
  Content pattern = PatternContent(seed);
  return [pattern](uint64_t offset, uint8_t* out, size_t n) {
    pattern(offset, out, n);
    for (size_t i = 0; i < n; ++i)
      out[i] = (offset + i) % kMarkSpacing < kMarkBytes ? out[i] | 1 : 0;
  };
}

// 188-byte packets: the sync byte, then zeros.
std::vector<uint8_t> TransportStream(size_t bytes) {
  std::vector<uint8_t> s(bytes);
  for (size_t i = 0; i < bytes; i += 188) s[i] = 0x47;
  return s;
}

Content BlockForm(size_t streamBytes) {
  return BytesContent(ToBlockForm(TransportStream(streamBytes)));
}

Entry Rec(const std::string& name, uint32_t clusters, Content content = nullptr,
          bool fragmented = false) {
  Entry e;
  e.name = name;
  e.clusters = clusters;
  e.fragmented = fragmented;
  e.content = std::move(content);
  return e;
}

Entry Other(const std::string& name, uint16_t type) {
  Entry e;
  e.name = name;
  e.type = type;
  return e;
}

// A small disk with its structures right after the header in sector 3.
Disk Small(ByteOrder order = kBigEndian, uint32_t spc = 2, uint32_t clusters = 100) {
  Disk d;
  d.order = order;
  d.sectorsPerCluster = spc;
  d.clusterCount = clusters;
  d.headerSector = 3;
  d.tableInterleave = 4;
  d.directoryInterleave = 2;
  return d;
}

// One platform call of the run that fails or comes back short.
struct Fault {
  bool armed = false;
  PlatformCall kind = kCallOpenDrive;
  bool shortCall = false;
  uint16_t occurrence = 0;
};

void PutLittle(std::vector<uint8_t>* out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(uint8_t(v >> (8 * i)));
}

// The compact form of a disk of diskSize bytes whose first image.size()
// bytes are image (zeros after). Zero stretches longer than a run header
// end a run, so only the bytes that say something are kept.
std::vector<uint8_t> Compact(const std::vector<uint8_t>& image, uint64_t diskSize, uint8_t options,
                             const Fault& fault, uint32_t extra) {
  std::vector<uint8_t> out;
  out.push_back(uint8_t(options & ~kZeroExtended));
  out.push_back(uint8_t((fault.armed ? fault.kind : 0) | (fault.shortCall ? 0x80 : 0)));
  PutLittle(&out, fault.occurrence, 2);
  PutLittle(&out, extra, 4);
  PutLittle(&out, diskSize, 4);
  const size_t kMaxRun = 0xFFFF, n = image.size();
  size_t i = 0;
  while (i < n) {
    if (!image[i]) {
      ++i;
      continue;
    }
    size_t end = i + 1, last = i;  // last: the run's last non-zero byte
    while (end < n && end - i < kMaxRun && end - last <= kCompactRunHeaderBytes) {
      if (image[end]) last = end;
      ++end;
    }
    PutLittle(&out, i / 512, 4);
    PutLittle(&out, i % 512, 2);
    PutLittle(&out, last + 1 - i, 2);
    out.insert(out.end(), image.begin() + long(i), image.begin() + long(last + 1));
    i = last + 1;
  }
  return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (out) return true;
  std::fprintf(stderr, "make_corpus: cannot write %s\n", path.c_str());
  return false;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

// Builds the image and writes the seed; cut, when non-zero, ends the disk
// there (a truncated disk); otherwise it ends after the last cluster that
// a chain uses, or with kZeroExtended at the largest size.
void Emit(const std::string& name, const Disk& disk, uint8_t options = 0, size_t cut = 0,
          uint32_t extraFirst = 0, const Fault& fault = Fault()) {
  std::string error;
  Layout layout;
  std::string scratch = g_scratch + "/image";
  if (!WriteImage(disk, scratch, &layout, &error)) {
    std::fprintf(stderr, "make_corpus: %s: %s\n", name.c_str(), error.c_str());
    g_failed = true;
    return;
  }
  std::vector<uint8_t> bytes = ReadFile(scratch);
  if (!cut) {
    // The zeros after the last cluster of any chain add nothing but length.
    uint64_t end = uint64_t(layout.dataStart) * 512;
    for (const auto& chain : layout.chains)
      for (uint32_t c : chain) end = std::max(end, layout.ClusterByte(c) + uint64_t(layout.sectorsPerCluster) * 512);
    cut = size_t(end);
  }
  if (cut < bytes.size()) bytes.resize(cut);
  uint64_t diskSize = options & kZeroExtended ? kMaxDiskBytes : cut;
  std::vector<uint8_t> seed = Compact(bytes, diskSize, options, fault, extraFirst);
  if (!WriteFile(g_folder + "/seed-" + name, seed)) {
    g_failed = true;
    return;
  }
  g_total += seed.size();
  ++g_count;
}

// Three recordings (contiguous, fragmented in block form, zeros), another
// kind of entry and an empty slot.
Disk Typical(ByteOrder order) {
  Disk d = Small(order, 1, 100);
  d.entries = {Rec("News 20:00", 8, Marked(1)),
               Rec("Film", 20, BlockForm(20000), true),
               Other("other kind", 5),
               Other("", 0),
               Rec("Doc", 3)};
  return d;
}

void ByteOrders() {
  Emit("big-endian", Typical(kBigEndian), kTrace);
  Emit("little-endian", Typical(kLittleEndian), 0);
  Emit("word-swapped", Typical(kWordSwapped), kTrace | kQuiet);
  Emit("word-swapped-empty-drive-first", Typical(kWordSwapped), kEmptyDriveFirst);
}

void Geometries() {
  Disk d = Small(kBigEndian, 0, 50);  // nothing to read, sizes 0
  d.entries = {Rec("no data", 3), Rec("no data either", 2, nullptr, true)};
  Emit("spc-0", d, 0);
  d.order = kLittleEndian;
  Emit("spc-0-little", d, 0);

  d = Small(kLittleEndian, 1, 300);
  d.entries = {Rec("one sector clusters", 10, Marked(3)),
               Rec("fragmented", 40, Marked(4), true)};
  Emit("spc-1", d, 0);

  // One 131072-byte block cut to its stream, then a short last block.
  d = Small(kBigEndian, 64, 6);
  d.entries = {Rec("64 sectors", 5, BlockForm(129344 + 20000))};
  Emit("spc-64", d, 0);

  // 130560 usable bytes a cluster: the first read spans two clusters.
  d = Small(kWordSwapped, 256, 3);
  d.entries = {Rec("256 sectors", 2, BlockForm(200000))};
  Emit("spc-256", d, 0);

  d = Small(kLittleEndian, 512, 1);
  d.entries = {Rec("512 sectors", 1, Marked(7))};
  Emit("spc-512", d, 0);

  // Interleave 0: copy 2 starts where copy 1 does.
  d = Small(kBigEndian, 1, 40);
  d.tableInterleave = 0;
  d.entries = {Rec("table interleave 0", 4, Marked(8))};
  Emit("table-interleave-0", d, 0);
  d = Small(kBigEndian, 1, 40);
  d.directoryInterleave = 0;
  d.entries = {Rec("directory interleave 0", 4, Marked(9))};
  Emit("directory-interleave-0", d, 0);

  // A chain over several table sectors with an odd interleave.
  d = Small(kLittleEndian, 0, 1000);
  d.tableInterleave = 3;
  d.directoryInterleave = 1;
  d.entries = {Rec("short", 5), Rec("long chain", 600, nullptr, true)};
  Emit("table-interleave-3", d, 0);
}

void PartitionSlots() {
  for (int slot = 0; slot < 12; ++slot) {
    Disk d = Small(slot % 3 == 0 ? kBigEndian : slot % 3 == 1 ? kLittleEndian : kWordSwapped, 1, 16);
    d.partitionIndex = slot;
    d.entries = {Rec("slot " + std::to_string(slot), 2, Marked(20 + slot))};
    Emit("partition-slot-" + std::to_string(slot), d, slot == 11 ? kTrace : 0);
  }
  // Twelve other partitions and no end marker: no recording partition.
  Disk d = Small(kBigEndian, 1, 16);
  d.partitionIndex = -1;
  d.endMarker = false;
  for (int i = 0; i < 12; ++i) d.otherSlots.push_back(PartitionSlot{"HDD0_AV" + std::to_string(i), 3, false});
  d.entries = {Rec("unreachable", 2)};
  Emit("partition-none-no-end", d, 0);
  // The end marker comes before the recording partition.
  d = Small(kBigEndian, 1, 16);
  d.partitionIndex = 1;
  d.otherSlots = {PartitionSlot{"", 0, true}};
  d.entries = {Rec("after the end", 2)};
  Emit("partition-end-first", d, 0);
}

void Damage() {
  // Cycles, with and without data to read.
  for (uint32_t spc : {1u, 0u}) {
    Disk d = Small(kBigEndian, spc, 30);
    d.entries = {Rec("loop", 5, Marked(30)), Rec("after loop", 2)};
    Layout l;
    std::string error;
    if (PlanDisk(d, &l, &error)) d.tableOverrides = {{l.chains[0][4], l.chains[0][1]}};
    Emit("cycle-spc-" + std::to_string(spc), d, 0);
  }
  // First cluster 0: entry 0 of the table ends the chain, or points to itself.
  for (bool cyclic : {false, true}) {
    Disk d = Small(kLittleEndian, 1, 20);
    Entry zero = Rec("zero", 1);
    zero.overrideFirst = true;
    zero.firstCluster = 0;
    d.entries = {Rec("before", 1, Marked(31)), zero, Rec("after", 1)};
    d.tableOverrides = {{0, cyclic ? 0u : 0xFFFFFFFFu}};
    Emit(cyclic ? "first-zero-cyclic" : "first-zero", d, 0);
  }
  // Successors beyond the cluster count end the chain.
  {
    Disk d = Small(kBigEndian, 1, 40);
    d.entries = {Rec("short by count", 6, Marked(32)), Rec("short by huge", 6, Marked(33))};
    Layout l;
    std::string error;
    if (PlanDisk(d, &l, &error))
      d.tableOverrides = {{l.chains[0][2], 41}, {l.chains[1][3], 0xFFFFFFF0u}};
    Emit("successor-beyond-count", d, 0);
  }
  // A successor within the count but outside the table fails the step.
  {
    Disk d = Small(kLittleEndian, 1, 500);
    d.tableSize = 1;
    d.entries = {Rec("leaves the table", 4, Marked(34))};
    Layout l;
    std::string error;
    if (PlanDisk(d, &l, &error)) d.tableOverrides = {{l.chains[0][1], 300}};
    Emit("successor-beyond-table", d, 0, 64 * 1024);
  }
  // Two recordings sharing their tail.
  {
    Disk d = Small(kBigEndian, 1, 40);
    d.entries = {Rec("first", 6, Marked(35)), Rec("joins first", 6, Marked(36))};
    Layout l;
    std::string error;
    if (PlanDisk(d, &l, &error)) d.tableOverrides = {{l.chains[1][2], l.chains[0][3]}};
    Emit("cross-linked", d, 0);
  }
  // A recording whose first cluster is beyond the count is skipped.
  {
    Disk d = Small(kBigEndian, 1, 20);
    Entry beyond = Rec("beyond", 1);
    beyond.overrideFirst = true;
    beyond.firstCluster = 21;
    d.entries = {beyond, Rec("kept", 2, Marked(37))};
    Emit("first-beyond-count", d, kTrace);
  }
  // Wrong signatures and header fields.
  struct Bad {
    const char* name;
    void (*apply)(Disk*);
  };
  const Bad bad[] = {
      {"magic-wrong", [](Disk* d) { d->magic = "PaRt"; }},
      {"magic-little-swapped", [](Disk* d) { d->magic = "rTPa"; }},
      {"magic-swap-on-plain-disk", [](Disk* d) { d->magic = "aPTr"; }},
      {"signature-swapped", [](Disk* d) { d->signatureSwapped = true; }},
      {"header-name-wrong", [](Disk* d) { d->headerName = "HDD1_AV2"; }},
      {"header-name-unterminated", [](Disk* d) { d->headerName = "HDD1_AV1XXXXXXXX"; }},
      {"bytes-per-sector-1024", [](Disk* d) { d->bytesPerSector = 1024; }},
      {"table-copies-1", [](Disk* d) { d->tableCopies = 1; }},
      {"directory-copies-3", [](Disk* d) { d->directoryCopies = 3; }},
  };
  for (const Bad& b : bad) {
    Disk d = Small(kBigEndian, 1, 16);
    d.entries = {Rec("rejected", 2, Marked(38))};
    b.apply(&d);
    Emit(b.name, d, 0);
  }
  // Truncated images: in the data, in the directory, in the table, before
  // the header.
  {
    Disk d = Typical(kBigEndian);
    Layout l;
    std::string error;
    if (PlanDisk(d, &l, &error)) {
      Emit("truncated-in-data", d, 0, size_t(l.ClusterByte(l.chains[1][10]) + 700));
      Emit("truncated-in-directory", d, 0, size_t(l.DirectorySector(0, 1) * 512 + 100));
      Emit("truncated-in-table", d, 0, size_t(l.TableSector(0, 1) * 512 + 300));
      Emit("truncated-before-header", d, 0, 3 * 512 + 200);
    }
  }
  // More recordings than the list holds.
  {
    Disk d = Small(kLittleEndian, 0, 200);
    for (int i = 0; i < 150; ++i) d.entries.push_back(Rec("rec " + std::to_string(i), 1));
    Emit("150-recordings", d, 0);
  }
  // Names: 64 bytes without NUL, bytes outside printable ASCII.
  {
    Disk d = Small(kWordSwapped, 1, 20);
    d.entries = {Rec(std::string(64, 'N'), 2, Marked(39)),
                 Rec("caf\xE9 \x01\x7F\x1F end", 1, Marked(40)), Other("\xFFtype 5", 5)};
    Emit("names", d, kTrace);
  }
  // Block-mode detection: blocks 1 to 3 start with 0x47, block 4 does not.
  {
    std::vector<uint8_t> raw(4 * 131072 + 1000, 0);
    raw[0] = raw[131072] = raw[2 * 131072] = 0x47;
    raw[3 * 131072] = 0x00;
    raw[4 * 131072] = 0x47;
    Disk d = Small(kLittleEndian, 8, 130);
    d.entries = {Rec("three sync blocks", 130, BytesContent(raw))};
    Emit("block-mode-three-then-not", d, 0);
  }
  // No recordings at all; a directory of empty slots.
  {
    Disk d = Small(kBigEndian, 1, 10);
    Emit("no-entries", d, 0);
    d.entries = {Other("", 0), Other("", 0), Other("", 0)};
    d.directorySize = 3;
    Emit("empty-slots", d, kTrace);
  }
  // Extraction from clusters the directory does not name.
  {
    Disk d = Typical(kLittleEndian);
    Emit("extra-cluster-inside", d, kExtraExtract, 0, 50);
    Emit("extra-cluster-beyond", d, kExtraExtract, 0, 101);
    Emit("extra-cluster-zero", d, kExtraExtract, 0, 0);
  }
}

void EmitFaultCut(const std::string& name, const Disk& disk, uint8_t options, PlatformCall kind,
                  bool shortCall, uint16_t occurrence, size_t cut) {
  Fault fault;
  fault.armed = true;
  fault.kind = kind;
  fault.shortCall = shortCall;
  fault.occurrence = occurrence;
  Emit(name, disk, options | kFault, cut, 0, fault);
}

void EmitFault(const std::string& name, const Disk& disk, uint8_t options, PlatformCall kind,
               bool shortCall, uint16_t occurrence) {
  EmitFaultCut(name, disk, options, kind, shortCall, occurrence, 0);
}

// Failures of the platform in the middle of a scan or an extraction.
void Faults() {
  Disk big = Small(kBigEndian, 16, 24);
  big.entries = {Rec("16 sectors", 18, BlockForm(129344 + 3000))};
  Disk typical = Typical(kLittleEndian);
  EmitFault("fault-first-output-write", big, 0, kCallWrite, false, 0);
  EmitFault("fault-short-output-write", big, 0, kCallWrite, true, 0);
  EmitFault("fault-last-output-write", big, 0, kCallWrite, false, 1);
  EmitFault("fault-data-read", big, 0, kCallRead, false, 5);
  EmitFault("fault-short-data-read", big, 0, kCallRead, true, 6);
  EmitFault("fault-table-read", typical, 0, kCallRead, false, 4);
  EmitFault("fault-directory-seek", typical, 0, kCallSeek, false, 3);
  EmitFault("fault-output-close", typical, 0, kCallClose, false, 1);
  EmitFault("fault-create-output", typical, 0, kCallCreateOutput, false, 1);
  EmitFault("fault-second-event", typical, 0, kCallCreateEvent, false, 1);
  EmitFault("fault-writer-thread", typical, 0, kCallStartThread, false, 0);
  EmitFault("fault-trace-log", typical, kTrace, kCallCreateLog, false, 0);
  EmitFault("fault-trace-write", typical, kTrace, kCallWrite, true, 10);
  EmitFault("fault-open-drive", typical, kEmptyDriveFirst, kCallOpenDrive, false, 1);

  // 3 MiB of recordings (all the target extracts) in the zeros past the
  // structures: buffers are handed to the writer thread, whose writes fail
  // here and there; writes 2 and 3 are the closing partial ones. The
  // directory sits at the disk's end, so that a mutated directory size
  // reads few sectors before the disk ends.
  Disk longer = Small(kBigEndian, 64, 200);
  longer.entries = {Rec("2.5 MiB of zeros", 80), Rec("0.5 MiB, fragmented", 16, nullptr, true)};
  longer.directoryStart = uint32_t(kMaxDiskBytes / 512) - 4;
  longer.dataStart = 64;
  size_t cut = size_t(kMaxDiskBytes);
  Emit("zero-extended", longer, kZeroExtended, cut);
  Emit("zero-extended-trace", longer, kZeroExtended | kTrace, cut);
  for (uint16_t at : {0, 1, 2, 3})
    EmitFaultCut("fault-writer-write-" + std::to_string(at), longer, kZeroExtended, kCallWrite,
                 false, at, cut);
  EmitFaultCut("fault-writer-short-write", longer, kZeroExtended, kCallWrite, true, 1, cut);
  EmitFaultCut("fault-long-data-read", longer, kZeroExtended, kCallRead, false, 40, cut);
}

// The earlier input form: a raw image whose sector 0 began with the run
// options, the fault's three bytes and the extra cluster; option bit 5 made
// the disk go on as zeros to the largest size.
int Convert(const std::string& from, const std::string& to) {
  std::vector<uint8_t> raw = ReadFile(from);
  if (raw.empty()) {
    std::fprintf(stderr, "make_corpus: cannot read %s\n", from.c_str());
    return 1;
  }
  std::vector<uint8_t> head(8, 0);
  std::copy(raw.begin(), raw.begin() + long(std::min<size_t>(8, raw.size())), head.begin());
  uint64_t size = raw.size();
  if ((head[0] & 32) && size < kMaxDiskBytes) size = kMaxDiskBytes;
  Fault fault;
  fault.armed = head[0] & kFault;
  fault.kind = PlatformCall((head[1] & 0x7F) % kCallKinds);
  fault.shortCall = head[1] & 0x80;
  fault.occurrence = uint16_t(head[2] | head[3] << 8);
  uint32_t extra = 0;
  for (int i = 0; i < 4; ++i) extra |= uint32_t(head[4 + i]) << (8 * i);
  return WriteFile(to, Compact(raw, size, head[0] & 0x1F, fault, extra)) ? 0 : 1;
}

// A disk of up to 8 MiB, written sparse.
int Expand(const std::string& from, const std::string& to) {
  std::vector<uint8_t> data = ReadFile(from);
  CompactInput input;
  DecodeCompactInput(data.data(), data.size(), &input);
  int fd = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  bool ok = fd >= 0 && ftruncate(fd, off_t(input.drive.size)) == 0;
  for (uint32_t i = 0; ok && i < input.drive.extentCount; ++i) {
    const MemoryExtent& e = input.drive.extents[i];
    if (e.position >= input.drive.size) continue;
    size_t n = size_t(std::min<uint64_t>(e.length, input.drive.size - e.position));
    ok = pwrite(fd, e.bytes, n, off_t(e.position)) == ssize_t(n);
  }
  if (fd >= 0 && close(fd) != 0) ok = false;
  if (!ok) std::fprintf(stderr, "make_corpus: cannot write %s\n", to.c_str());
  std::printf("options %02X, fault kind %u %s at call %u, extra %u, disk %llu bytes\n",
              input.options, unsigned(input.faultKind),
              input.faultMode == kFaultShort ? "short" : "failed", input.faultOccurrence,
              input.extra, static_cast<unsigned long long>(input.drive.size));
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--convert") == 0) return Convert(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "--expand") == 0) return Expand(argv[2], argv[3]);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_corpus FOLDER | --convert RAW OUT | --expand IN OUT\n");
    return 2;
  }
  g_folder = argv[1];
  char scratch[] = "/tmp/melvir-corpus-XXXXXX";
  if (!mkdtemp(scratch)) {
    std::perror("mkdtemp");
    return 1;
  }
  g_scratch = scratch;
  ByteOrders();
  Geometries();
  PartitionSlots();
  Damage();
  Faults();
  unlink((g_scratch + "/image").c_str());
  rmdir(g_scratch.c_str());
  std::printf("%d seeds, %zu bytes\n", g_count, g_total);
  return g_failed ? 1 : 0;
}
