// Writes the fuzzer's seed corpus: small raw images from the test-disk
// builder covering every byte order, the cluster geometries, the partition
// slot positions and the damage a recorder disk comes back with.
//
//   make_corpus FOLDER
//
// Each seed is FOLDER/seed-NAME.img (replaced); other files in FOLDER (the
// regression inputs) are left alone. The volume header sits in sector 3 so
// that the structures lie at the start of the input; byte 0 and bytes 4..7
// of sector 0 carry the fuzz target's run options (see disk_fuzzer.cpp).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testdisk.h"

using namespace testdisk;

namespace {

std::string g_folder;
std::string g_scratch;
size_t g_total = 0;
int g_count = 0;
bool g_failed = false;

const uint8_t kTrace = 1, kQuiet = 2, kEmptyDriveFirst = 4, kExtraExtract = 8, kFault = 16,
              kZeroExtended = 32;

// 188-byte packets starting with the sync byte, the rest pseudo-random.
std::vector<uint8_t> TransportStream(size_t bytes, uint32_t seed) {
  std::vector<uint8_t> s(bytes);
  PatternContent(seed)(0, s.data(), s.size());
  for (size_t i = 0; i < bytes; i += 188) s[i] = 0x47;
  return s;
}

Content BlockForm(size_t streamBytes, uint32_t seed) {
  return BytesContent(ToBlockForm(TransportStream(streamBytes, seed)));
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

// Builds the image, puts the run options into sector 0 and writes the seed;
// cut, when non-zero, ends the seed there (a truncated disk); otherwise it
// ends after the last cluster that a chain uses.
void Emit(const std::string& name, const Disk& disk, uint8_t options = 0, size_t cut = 0,
          uint32_t extraFirst = 0) {
  std::string error;
  Layout layout;
  std::string scratch = g_scratch + "/image";
  if (!WriteImage(disk, scratch, &layout, &error)) {
    std::fprintf(stderr, "make_corpus: %s: %s\n", name.c_str(), error.c_str());
    g_failed = true;
    return;
  }
  std::ifstream in(scratch, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!cut) {
    // The zeros after the last cluster of any chain add nothing but length.
    uint64_t end = uint64_t(layout.dataStart) * 512;
    for (const auto& chain : layout.chains)
      for (uint32_t c : chain) end = std::max(end, layout.ClusterByte(c) + uint64_t(layout.sectorsPerCluster) * 512);
    cut = size_t(end);
  }
  if (cut < bytes.size()) bytes.resize(cut);
  if (bytes.size() < 512) bytes.resize(512);
  bytes[0] = options;
  std::memcpy(&bytes[4], &extraFirst, 4);
  std::string path = g_folder + "/seed-" + name + ".img";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "make_corpus: cannot write %s\n", path.c_str());
    g_failed = true;
    return;
  }
  g_total += bytes.size();
  ++g_count;
}

// Three recordings (contiguous, fragmented in block form, zeros), another
// kind of entry and an empty slot.
Disk Typical(ByteOrder order) {
  Disk d = Small(order, 1, 100);
  d.entries = {Rec("News 20:00", 8, PatternContent(1)),
               Rec("Film", 20, BlockForm(20000, 2), true),
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
  Emit("spc-0", d, kTrace);
  d.order = kLittleEndian;
  Emit("spc-0-little", d, 0);

  d = Small(kLittleEndian, 1, 300);
  d.entries = {Rec("one sector clusters", 10, PatternContent(3)),
               Rec("fragmented", 40, PatternContent(4), true)};
  Emit("spc-1", d, kTrace);

  // One 131072-byte block cut to its stream, then a short last block.
  d = Small(kBigEndian, 64, 6);
  d.entries = {Rec("64 sectors", 5, BlockForm(129344 + 20000, 5))};
  Emit("spc-64", d, 0);

  // 130560 usable bytes a cluster: the first read spans two clusters.
  d = Small(kWordSwapped, 256, 3);
  d.entries = {Rec("256 sectors", 2, BlockForm(200000, 6))};
  Emit("spc-256", d, kTrace);

  d = Small(kLittleEndian, 512, 1);
  d.entries = {Rec("512 sectors", 1, PatternContent(7))};
  Emit("spc-512", d, 0);

  // Interleave 0: copy 2 starts where copy 1 does.
  d = Small(kBigEndian, 1, 40);
  d.tableInterleave = 0;
  d.entries = {Rec("table interleave 0", 4, PatternContent(8))};
  Emit("table-interleave-0", d, 0);
  d = Small(kBigEndian, 1, 40);
  d.directoryInterleave = 0;
  d.entries = {Rec("directory interleave 0", 4, PatternContent(9))};
  Emit("directory-interleave-0", d, kTrace);

  // A chain over several table sectors with an odd interleave.
  d = Small(kLittleEndian, 0, 1000);
  d.tableInterleave = 3;
  d.directoryInterleave = 1;
  d.entries = {Rec("short", 5), Rec("long chain", 600, nullptr, true)};
  Emit("table-interleave-3", d, kTrace);
}

void PartitionSlots() {
  for (int slot = 0; slot < 12; ++slot) {
    Disk d = Small(slot % 3 == 0 ? kBigEndian : slot % 3 == 1 ? kLittleEndian : kWordSwapped, 1, 16);
    d.partitionIndex = slot;
    d.entries = {Rec("slot " + std::to_string(slot), 2, PatternContent(20 + slot))};
    Emit("partition-slot-" + std::to_string(slot), d, slot % 2 ? kTrace : 0);
  }
  // Twelve other partitions and no end marker: no recording partition.
  Disk d = Small(kBigEndian, 1, 16);
  d.partitionIndex = -1;
  d.endMarker = false;
  for (int i = 0; i < 12; ++i) d.otherSlots.push_back(PartitionSlot{"HDD0_AV" + std::to_string(i), 3, false});
  d.entries = {Rec("unreachable", 2)};
  Emit("partition-none-no-end", d, kTrace);
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
    d.entries = {Rec("loop", 5, PatternContent(30)), Rec("after loop", 2)};
    Layout l;
    std::string error;
    if (PlanDisk(d, &l, &error)) d.tableOverrides = {{l.chains[0][4], l.chains[0][1]}};
    Emit("cycle-spc-" + std::to_string(spc), d, spc ? kTrace : 0);
  }
  // First cluster 0: entry 0 of the table ends the chain, or points to itself.
  for (bool cyclic : {false, true}) {
    Disk d = Small(kLittleEndian, 1, 20);
    Entry zero = Rec("zero", 1);
    zero.overrideFirst = true;
    zero.firstCluster = 0;
    d.entries = {Rec("before", 1, PatternContent(31)), zero, Rec("after", 1)};
    d.tableOverrides = {{0, cyclic ? 0u : 0xFFFFFFFFu}};
    Emit(cyclic ? "first-zero-cyclic" : "first-zero", d, kTrace);
  }
  // Successors beyond the cluster count end the chain.
  {
    Disk d = Small(kBigEndian, 1, 40);
    d.entries = {Rec("short by count", 6, PatternContent(32)), Rec("short by huge", 6, PatternContent(33))};
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
    d.entries = {Rec("leaves the table", 4, PatternContent(34))};
    Layout l;
    std::string error;
    if (PlanDisk(d, &l, &error)) d.tableOverrides = {{l.chains[0][1], 300}};
    Emit("successor-beyond-table", d, kTrace, 64 * 1024);
  }
  // Two recordings sharing their tail.
  {
    Disk d = Small(kBigEndian, 1, 40);
    d.entries = {Rec("first", 6, PatternContent(35)), Rec("joins first", 6, PatternContent(36))};
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
    d.entries = {beyond, Rec("kept", 2, PatternContent(37))};
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
    d.entries = {Rec("rejected", 2, PatternContent(38))};
    b.apply(&d);
    Emit(b.name, d, kTrace);
  }
  // Truncated images: in the data, in the directory, in the table, before
  // the header.
  {
    Disk d = Typical(kBigEndian);
    Layout l;
    std::string error;
    if (PlanDisk(d, &l, &error)) {
      Emit("truncated-in-data", d, kTrace, size_t(l.ClusterByte(l.chains[1][10]) + 700));
      Emit("truncated-in-directory", d, 0, size_t(l.DirectorySector(0, 1) * 512 + 100));
      Emit("truncated-in-table", d, kTrace, size_t(l.TableSector(0, 1) * 512 + 300));
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
    d.entries = {Rec(std::string(64, 'N'), 2, PatternContent(39)),
                 Rec("caf\xE9 \x01\x7F\x1F end", 1, PatternContent(40)), Other("\xFFtype 5", 5)};
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
    Emit("no-entries", d, kTrace);
    d.entries = {Other("", 0), Other("", 0), Other("", 0)};
    d.directorySize = 3;
    Emit("empty-slots", d, kTrace);
  }
  // Extraction from clusters the directory does not name.
  {
    Disk d = Typical(kLittleEndian);
    Emit("extra-cluster-inside", d, kExtraExtract, 0, 50);
    Emit("extra-cluster-beyond", d, kExtraExtract | kTrace, 0, 101);
    Emit("extra-cluster-zero", d, kExtraExtract, 0, 0);
  }
}

// One platform call fails or comes back short during the run (option bit
// 4): byte 1 the kind and mode, bytes 2..3 the occurrence.
void EmitFaultCut(const std::string& name, const Disk& disk, uint8_t options, uint8_t kind,
                  bool shortCall, uint16_t occurrence, size_t cut) {
  std::string scratch = g_folder + "/seed-" + name + ".img";
  Emit(name, disk, options | kFault, cut);
  std::fstream f(scratch, std::ios::binary | std::ios::in | std::ios::out);
  uint8_t b[3] = {uint8_t(kind | (shortCall ? 0x80 : 0)), uint8_t(occurrence), uint8_t(occurrence >> 8)};
  f.seekp(1);
  f.write(reinterpret_cast<const char*>(b), 3);
}

void EmitFault(const std::string& name, const Disk& disk, uint8_t options, uint8_t kind,
               bool shortCall, uint16_t occurrence) {
  EmitFaultCut(name, disk, options, kind, shortCall, occurrence, 0);
}

// Failures of the platform in the middle of a scan or an extraction; the
// kinds are numbered as in platform/fault.h.
void Faults() {
  enum { kOpenDrive, kSeek, kRead, kClose, kCreateLog, kWrite, kCreateOutput, kCreateEvent, kStartThread };
  Disk big = Small(kBigEndian, 16, 24);
  big.entries = {Rec("16 sectors", 18, BlockForm(129344 + 3000, 5))};
  Disk typical = Typical(kLittleEndian);
  EmitFault("fault-first-output-write", big, 0, kWrite, false, 0);
  EmitFault("fault-short-output-write", big, 0, kWrite, true, 0);
  EmitFault("fault-last-output-write", big, 0, kWrite, false, 1);
  EmitFault("fault-data-read", big, 0, kRead, false, 5);
  EmitFault("fault-short-data-read", big, 0, kRead, true, 6);
  EmitFault("fault-table-read", typical, kTrace, kRead, false, 4);
  EmitFault("fault-directory-seek", typical, 0, kSeek, false, 3);
  EmitFault("fault-output-close", typical, 0, kClose, false, 1);
  EmitFault("fault-create-output", typical, 0, kCreateOutput, false, 1);
  EmitFault("fault-second-event", typical, 0, kCreateEvent, false, 1);
  EmitFault("fault-writer-thread", typical, 0, kStartThread, false, 0);
  EmitFault("fault-trace-log", typical, kTrace, kCreateLog, false, 0);
  EmitFault("fault-trace-write", typical, kTrace, kWrite, true, 10);
  EmitFault("fault-open-drive", typical, kEmptyDriveFirst, kOpenDrive, false, 1);

  // 4 MiB recordings in the zeros past the input (option bit 5): buffers
  // are handed to the writer thread, whose writes fail here and there.
  Disk longer = Small(kBigEndian, 64, 200);
  longer.entries = {Rec("4 MiB of zeros", 128), Rec("2 MiB, fragmented", 64, nullptr, true)};
  Layout l;
  std::string error;
  if (PlanDisk(longer, &l, &error)) {
    size_t cut = size_t(l.dataStart) * 512;
    Emit("zero-extended", longer, kZeroExtended, cut);
    Emit("zero-extended-trace", longer, kZeroExtended | kTrace, cut);
    for (uint16_t at : {0, 1, 2, 5}) {
      EmitFaultCut("fault-writer-write-" + std::to_string(at), longer, kZeroExtended, kWrite, false, at, cut);
    }
    EmitFaultCut("fault-writer-short-write", longer, kZeroExtended, kWrite, true, 1, cut);
    EmitFaultCut("fault-long-data-read", longer, kZeroExtended, kRead, false, 40, cut);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_corpus FOLDER\n");
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
