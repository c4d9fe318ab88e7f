// Self-checks of the test-disk builder. Bytes are decoded by hand here, not
// with the project's reader, so that the two check each other.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testdisk.h"

namespace {

using testdisk::Disk;
using testdisk::Entry;
using testdisk::Layout;

std::string TempImage(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/testdisk_" + std::to_string(getpid()) + "_" + name;
}

std::vector<uint8_t> ReadAt(const std::string& path, uint64_t pos, size_t n) {
  std::vector<uint8_t> out(n);
  int fd = open(path.c_str(), O_RDONLY);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(pread(fd, out.data(), n, off_t(pos)), ssize_t(n));
  close(fd);
  return out;
}

std::vector<uint8_t> Sector(const std::string& path, uint64_t sector) { return ReadAt(path, sector * 512, 512); }

uint32_t U32(const std::vector<uint8_t>& b, size_t at, bool big) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t(b[at + (big ? 3 - i : i)]) << (8 * i);
  return v;
}

uint16_t U16(const std::vector<uint8_t>& b, size_t at, bool big) {
  return uint16_t(big ? b[at] << 8 | b[at + 1] : b[at + 1] << 8 | b[at]);
}

std::string Text(const std::vector<uint8_t>& b, size_t at, size_t n) {
  return std::string(b.begin() + at, b.begin() + at + n);
}

bool Build(const Disk& disk, const std::string& path, Layout* layout) {
  std::string error;
  bool ok = testdisk::WriteImage(disk, path, layout, &error);
  EXPECT_TRUE(ok) << error;
  return ok;
}

TEST(TestDiskLayout, PartitionTableAndHeaderFieldsInBothOrders) {
  for (bool big : {true, false}) {
    Disk disk;
    disk.order = big ? testdisk::kBigEndian : testdisk::kLittleEndian;
    disk.sectorsPerCluster = 256;
    disk.clusterCount = 4000;
    disk.headerSector = 100;
    disk.partitionIndex = 2;
    disk.entries.push_back(Entry{});
    std::string path = TempImage("header");
    Layout l;
    ASSERT_TRUE(Build(disk, path, &l));

    std::vector<uint8_t> p = Sector(path, 2);
    EXPECT_EQ(Text(p, 504, 4), big ? "ParT" : "TraP");
    EXPECT_NE(Text(p, 4 + 24, 9), std::string("HDD1_AV1", 9));  // slots before it hold other names
    EXPECT_NE(p[4 + 24], 0);
    EXPECT_EQ(Text(p, 4 + 80 + 24, 9), std::string("HDD1_AV1", 9));
    EXPECT_EQ(U32(p, 4 + 80 + 4, big), 100u);
    EXPECT_EQ(U16(p, 4 + 80, big), 0u);
    EXPECT_EQ(U16(p, 4 + 120, big), 0xFFFFu);

    std::vector<uint8_t> h = Sector(path, 100);
    EXPECT_EQ(Text(h, 0, 9), std::string("HDD1_AV1", 9));
    EXPECT_EQ(U32(h, 16, big), 512u);
    EXPECT_EQ(U32(h, 20, big), 256u);
    EXPECT_EQ(U32(h, 24, big), 2u);
    EXPECT_EQ(U32(h, 28, big), 4000u / 127 + 1);
    EXPECT_EQ(U32(h, 32, big), l.tableStart);
    EXPECT_EQ(U32(h, 36, big) - U32(h, 32, big), 4u);
    EXPECT_EQ(U32(h, 40, big), 2u);
    EXPECT_EQ(U32(h, 44, big), 1u);
    EXPECT_EQ(U32(h, 52, big), l.directoryStart);
    EXPECT_EQ(U32(h, 56, big) - U32(h, 52, big), 2u);
    EXPECT_EQ(U32(h, 60, big), 4000u);
    EXPECT_EQ(U32(h, 64, big), l.dataStart);
    EXPECT_EQ(h[510], 0xAA);
    EXPECT_EQ(h[511], 0x55);
    // Areas follow one another without overlapping.
    EXPECT_GT(l.tableStart, 100u);
    EXPECT_GE(l.directoryStart, l.tableStart + 2 * l.tableSize);
    EXPECT_GE(l.dataStart, l.directoryStart + 2 * l.directorySize);
    EXPECT_EQ(l.usableClusterBytes, 130560u);
    unlink(path.c_str());
  }
}

TEST(TestDiskLayout, TableAndDirectoryInterleave) {
  Disk disk;
  disk.clusterCount = 2000;
  disk.tableInterleave = 4;
  disk.directoryInterleave = 2;
  Entry rec;
  rec.name = "interleaved";
  rec.chain = {126, 127, 4 * 127 + 1, 9 * 127 + 3};  // table sectors 0, 1, 4 and 9
  Entry empty;
  empty.type = 0;
  disk.entries.assign(8, empty);
  disk.entries.push_back(rec);  // entry 8: directory sector 1, slot 1
  std::string path = TempImage("interleave");
  Layout l;
  ASSERT_TRUE(Build(disk, path, &l));
  const uint32_t t = l.tableStart;
  struct { uint64_t sector; size_t offset; uint32_t next; } steps[] = {
      {t + 0, 4 * 126, 127}, {t + 1, 0, 509}, {t + 8, 4, 1146}, {t + 17, 12, 0xFFFFFFFF}};
  for (const auto& s : steps) {
    std::vector<uint8_t> copy1 = Sector(path, s.sector);
    EXPECT_EQ(U32(copy1, s.offset, true), s.next) << "sector " << s.sector;
    EXPECT_EQ(Sector(path, s.sector + 4), copy1) << "copy 2 of sector " << s.sector;
  }
  EXPECT_EQ(l.TableSector(9, 2), t + 21u);
  std::vector<uint8_t> dir = Sector(path, l.directoryStart + 1);
  EXPECT_EQ(Text(dir, 72, 12), std::string("interleaved", 12));
  EXPECT_EQ(U32(dir, 72 + 64, true), 126u);
  EXPECT_EQ(U16(dir, 72 + 70, true), 13u);
  EXPECT_EQ(Sector(path, l.directoryStart + 3), dir);
  EXPECT_EQ(U16(Sector(path, l.directoryStart), 70, true), 0u);

  // Interleave 0: one contiguous copy, the next area straight after it.
  disk.tableInterleave = 0;
  ASSERT_TRUE(Build(disk, path, &l));
  EXPECT_EQ(U32(Sector(path, l.tableStart + 9), 12, true), 0xFFFFFFFFu);
  EXPECT_EQ(l.directoryStart, l.tableStart + l.tableSize);
  unlink(path.c_str());
}

TEST(TestDiskData, UsableBytesFragmentsAndWordSwap) {
  Disk disk;
  disk.sectorsPerCluster = 256;
  disk.clusterCount = 50;
  Entry a, b;
  a.name = "A";
  a.clusters = 9;
  a.fragmented = true;
  a.content = testdisk::PatternContent(1);
  b.name = "B";
  b.clusters = 3;
  b.content = testdisk::PatternContent(2);
  disk.entries = {a, b};
  std::string path = TempImage("data");
  Layout l;
  ASSERT_TRUE(Build(disk, path, &l));
  std::vector<uint8_t> stream = testdisk::ExpectedStream(disk, l, 0);
  ASSERT_EQ(stream.size(), 9u * 130560);
  const std::vector<uint32_t>& chain = l.chains[0];
  for (size_t j = 0; j < chain.size(); ++j) {
    if (j > 0) {
      EXPECT_NE(chain[j], chain[j - 1] + 1) << "chain not fragmented at " << j;
    }
    std::vector<uint8_t> got = ReadAt(path, l.ClusterByte(chain[j]), 131072);
    std::vector<uint8_t> want(stream.begin() + j * 130560, stream.begin() + (j + 1) * 130560);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin())) << "cluster " << chain[j];
    EXPECT_NE(std::vector<uint8_t>(got.begin() + 130560, got.end()),
              std::vector<uint8_t>(512, 0));  // the left-out sector is marked, not stream
  }
  for (uint32_t c : l.chains[1])
    for (uint32_t f : chain) EXPECT_NE(c, f);

  // Fragmenting over a disk it fills: every cluster once, still no neighbours.
  Disk full;
  full.clusterCount = 8;
  full.entries = {a};
  full.entries[0].clusters = 8;
  std::string error;
  ASSERT_TRUE(testdisk::PlanDisk(full, &l, &error)) << error;
  std::vector<uint32_t> sorted = l.chains[0];
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  for (size_t j = 1; j < l.chains[0].size(); ++j) EXPECT_NE(l.chains[0][j], l.chains[0][j - 1] + 1);

  // Word-swapped: the very same big-endian image with every 16-bit word swapped.
  std::string swapped = TempImage("swapped");
  disk.order = testdisk::kWordSwapped;
  ASSERT_TRUE(Build(disk, swapped, &l));
  std::vector<uint8_t> plain = ReadAt(path, 0, size_t(l.imageSize));
  std::vector<uint8_t> raw = ReadAt(swapped, 0, size_t(l.imageSize));
  EXPECT_EQ(Text(raw, 1024 + 504, 4), "aPTr");
  bool pairsSwapped = true;
  for (size_t i = 0; i < plain.size(); i += 2) pairsSwapped &= raw[i] == plain[i + 1] && raw[i + 1] == plain[i];
  EXPECT_TRUE(pairsSwapped);
  unlink(path.c_str());
  unlink(swapped.c_str());
}

uint64_t AllocatedBytes(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0);
  return uint64_t(st.st_blocks) * 512;
}

TEST(TestDiskSparse, HugeDisksCostAlmostNothing) {
  // 100 recordings of 4 GiB with no content.
  Disk disk;
  disk.sectorsPerCluster = 256;
  const uint32_t perRecording = uint32_t((4ull << 30) / 130560 + 1);
  disk.clusterCount = 100 * perRecording;
  for (int i = 0; i < 100; ++i) {
    Entry e;
    e.name = "rec" + std::to_string(i);
    e.clusters = perRecording;
    disk.entries.push_back(e);
  }
  std::string path = TempImage("huge");
  Layout l;
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(Build(disk, path, &l));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_GE(uint64_t(st.st_size), 400ull << 30);
  EXPECT_LT(AllocatedBytes(path), 64ull << 20);
  // The last recording's last table entry ends its chain.
  uint32_t last = l.chains[99].back();
  EXPECT_EQ(U32(Sector(path, l.TableSector(last / 127, 1)), 4 * (last % 127), true), 0xFFFFFFFFu);

  // A recording far beyond 4 GiB, with content, lands where ClusterByte says.
  Disk far;
  far.clusterCount = 300000;
  Entry e;
  e.chain = {200000, 200001};
  e.content = testdisk::PatternContent(9);
  Entry mostlyZeros;  // zero stretches of real content stay holes too
  mostlyZeros.clusters = 5000;
  mostlyZeros.content = testdisk::BytesContent(std::vector<uint8_t>(1000, 0x47));
  far.entries = {e, mostlyZeros};
  ASSERT_TRUE(Build(far, path, &l));
  ASSERT_GT(l.ClusterByte(200000), 4ull << 30);
  std::vector<uint8_t> stream = testdisk::ExpectedStream(far, l, 0);
  EXPECT_EQ(ReadAt(path, l.ClusterByte(200000), stream.size()), stream);
  EXPECT_LT(AllocatedBytes(path), 4ull << 20);
  unlink(path.c_str());
}

TEST(TestDiskPlan, RefusesInconsistentDescriptionsButKeepsDeliberateDamage) {
  auto plan = [](const Disk& d) {
    Layout l;
    std::string error;
    bool ok = testdisk::PlanDisk(d, &l, &error);
    EXPECT_EQ(ok, error.empty()) << error;
    return ok;
  };
  Disk base;
  Entry e;
  e.chain = {5, 6};
  base.entries = {e};
  ASSERT_TRUE(plan(base));

  Disk d = base;
  d.entries.push_back(e);  // the same clusters twice
  EXPECT_FALSE(plan(d));
  d = base;
  d.entries[0].chain = {0};
  EXPECT_FALSE(plan(d));
  d.entries[0].chain = {1001};
  EXPECT_FALSE(plan(d));
  d = base;
  d.entries[0].name = std::string(65, 'x');
  EXPECT_FALSE(plan(d));
  d.entries[0].name = std::string(64, 'x');
  EXPECT_TRUE(plan(d));
  d = base;
  d.entries.assign(8, Entry{});
  d.directorySize = 1;
  EXPECT_FALSE(plan(d));
  d = base;
  d.tableStart = 60;  // runs over the header at 64
  EXPECT_FALSE(plan(d));
  d = base;
  d.tableSize = 1;  // too small for entry 200
  d.entries[0].chain = {200};
  EXPECT_FALSE(plan(d));
  d = base;
  d.entries[0].chain.clear();
  d.entries[0].clusters = 1001;
  EXPECT_FALSE(plan(d));

  d = base;
  d.tableOverrides = {{6, 5}, {7, 2000}};  // a cycle and a successor past the count
  d.sectorsPerCluster = 0;
  d.tableInterleave = 0;
  d.directoryInterleave = 0;
  EXPECT_TRUE(plan(d));
}

TEST(TestDiskContent, BlockFormPatternAndTruncation) {
  std::vector<uint8_t> stream(2 * 129344 + 100);
  testdisk::PatternContent(3)(0, stream.data(), stream.size());
  std::vector<uint8_t> blocks = testdisk::ToBlockForm(stream);
  ASSERT_EQ(blocks.size(), 2u * 131072 + 100);
  EXPECT_TRUE(std::equal(stream.begin() + 129344, stream.begin() + 2 * 129344, blocks.begin() + 131072));
  EXPECT_TRUE(std::equal(stream.end() - 100, stream.end(), blocks.end() - 100));
  EXPECT_EQ(std::vector<uint8_t>(blocks.begin() + 129344, blocks.begin() + 131072),
            std::vector<uint8_t>(1728, 0xFF));
  EXPECT_EQ(testdisk::ToBlockForm(std::vector<uint8_t>(129344, 1)).size(), 131072u);

  // Any piece of a pattern equals the same bytes of the whole.
  std::vector<uint8_t> piece(11);
  testdisk::PatternContent(3)(129345, piece.data(), piece.size());
  EXPECT_TRUE(std::equal(piece.begin(), piece.end(), stream.begin() + 129345));
  std::vector<uint8_t> other(stream.size());
  testdisk::PatternContent(4)(0, other.data(), other.size());
  EXPECT_NE(other, stream);

  Disk disk;
  disk.truncateAt = 70 * 512 + 100;
  std::string path = TempImage("cut");
  Layout l;
  ASSERT_TRUE(Build(disk, path, &l));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(uint64_t(st.st_size), disk.truncateAt);
  unlink(path.c_str());
}

}  // namespace
