// Test-disk builder: planning (layout, chains, checks) and writing.
#include "testdisk.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>

namespace testdisk {
namespace {

static_assert(sizeof(off_t) >= 8, "images reach far beyond 4 GiB");

const uint64_t kSectorLimit = uint64_t(1) << 32;  // sector numbers are u32
const uint32_t kTableEntriesPerSector = 127;
const uint32_t kDirEntriesPerSector = 7;
const uint32_t kDirEntryBytes = 72;
const uint32_t kEndOfChain = 0xFFFFFFFF;
const size_t kChunkBytes = 1 << 20;  // data is produced and written in pieces this big
const uint8_t kTailFiller = 0xEE;    // cluster sectors that are not part of the stream

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

std::string Num(uint64_t v) { return std::to_string(v); }

// Physical sectors spanned by an interleaved area of `size` sectors per copy:
// groups of k sectors of copy 1, each followed by the same group of copy 2.
uint64_t AreaSpan(uint32_t size, uint32_t k) {
  if (size == 0) return 0;
  if (k == 0) return size;
  uint64_t last = size - 1;
  return (last / k) * 2 * k + k + last % k + 1;
}

uint64_t AreaSector(uint32_t start, uint32_t k, uint32_t s, int copy) {
  if (k == 0) return uint64_t(start) + s;
  return uint64_t(start) + s % k + uint64_t(s / k) * k * 2 + (copy == 2 ? k : 0);
}

// ---- Cluster allocation ------------------------------------------------

// Clusters taken so far, as disjoint, non-adjacent runs first -> last.
typedef std::map<uint64_t, uint64_t> UsedRuns;

UsedRuns::const_iterator FindRun(const UsedRuns& used, uint64_t c) {
  auto it = used.upper_bound(c);
  if (it == used.begin()) return used.end();
  --it;
  return it->second >= c ? it : used.end();
}

// Smallest free cluster >= c (adjacent runs are merged, so one jump suffices).
uint64_t NextFree(const UsedRuns& used, uint64_t c) {
  auto it = FindRun(used, c);
  return it == used.end() ? c : it->second + 1;
}

// Marks free clusters first..last as used.
void MarkUsed(UsedRuns* used, uint64_t first, uint64_t last) {
  auto next = used->upper_bound(first);
  if (next != used->end() && next->first == last + 1) {
    last = next->second;
    next = used->erase(next);
  }
  if (next != used->begin()) {
    auto prev = std::prev(next);
    if (prev->second + 1 == first) {
      prev->second = last;
      return;
    }
  }
  used->emplace_hint(next, first, last);
}

// First fit: the lowest run of n free clusters.
bool AllocateContiguous(UsedRuns* used, uint32_t count, uint32_t n,
                        std::vector<uint32_t>* chain) {
  uint64_t c = NextFree(*used, 1);
  while (c <= count) {
    auto after = used->upper_bound(c);
    uint64_t end = after == used->end() ? count : std::min<uint64_t>(count, after->first - 1);
    if (end - c + 1 >= n) {
      for (uint64_t i = 0; i < n; ++i) chain->push_back(uint32_t(c + i));
      MarkUsed(used, c, c + n - 1);
      return true;
    }
    c = NextFree(*used, end + 1);
  }
  return false;
}

// Every other free cluster (then the skipped ones, if short), taken in runs of
// four whose order is reversed: successive clusters are never neighbours and
// the chain steps backwards as well as forwards.
bool AllocateFragmented(UsedRuns* used, uint32_t count, uint32_t n,
                        std::vector<uint32_t>* chain) {
  std::vector<uint32_t> got;
  for (int pass = 0; pass < 2 && got.size() < n; ++pass) {
    std::vector<uint32_t> taken;
    bool take = true;
    for (uint64_t c = NextFree(*used, 1); c <= count && got.size() + taken.size() < n;
         c = NextFree(*used, c + 1)) {
      if (take || pass == 1) taken.push_back(uint32_t(c));
      take = !take;
    }
    for (uint32_t c : taken) MarkUsed(used, c, c);
    got.insert(got.end(), taken.begin(), taken.end());
  }
  if (got.size() < n) return false;
  for (size_t run = (got.size() + 3) / 4; run-- > 0;) {
    for (size_t i = run * 4; i < std::min(got.size(), run * 4 + 4); ++i) chain->push_back(got[i]);
  }
  return true;
}

bool AllocateChains(const Disk& d, Layout* l, std::string* error) {
  UsedRuns used;
  l->chains.assign(d.entries.size(), std::vector<uint32_t>());
  // Explicit chains first, so that allocated ones go around them.
  for (size_t i = 0; i < d.entries.size(); ++i) {
    for (uint32_t c : d.entries[i].chain) {
      if (c == 0 || c > d.clusterCount)
        return Fail(error, "entry " + Num(i) + ": cluster " + Num(c) + " is not in 1.." + Num(d.clusterCount));
      if (FindRun(used, c) != used.end())
        return Fail(error, "entry " + Num(i) + ": cluster " + Num(c) + " is used twice");
      MarkUsed(&used, c, c);
    }
    l->chains[i] = d.entries[i].chain;
  }
  for (size_t i = 0; i < d.entries.size(); ++i) {
    const Entry& e = d.entries[i];
    if (!e.chain.empty() || e.clusters == 0) continue;
    bool ok = e.fragmented ? AllocateFragmented(&used, d.clusterCount, e.clusters, &l->chains[i])
                           : AllocateContiguous(&used, d.clusterCount, e.clusters, &l->chains[i]);
    if (!ok)
      return Fail(error, "entry " + Num(i) + ": no room for " + Num(e.clusters) +
                             (e.fragmented ? " clusters" : " contiguous clusters"));
  }
  return true;
}

// ---- Planning ----------------------------------------------------------

struct Area {
  const char* name;
  uint64_t first, end;  // [first, end) in sectors
};

bool CheckNames(const Disk& d, std::string* error) {
  if (!d.magic.empty() && d.magic.size() != 4) return Fail(error, "the magic must be 4 bytes");
  if (d.headerName.size() > 16) return Fail(error, "the header name is longer than 16 bytes");
  if (d.partitionIndex < -1 || d.partitionIndex > 11)
    return Fail(error, "the partition index must be -1..11");
  size_t room = d.partitionIndex >= 0 ? 11 : 12;
  if (d.otherSlots.size() > room) return Fail(error, "more partition slots than the table holds");
  for (const PartitionSlot& s : d.otherSlots)
    if (s.name.size() > 16) return Fail(error, "partition name longer than 16 bytes: " + s.name);
  for (size_t i = 0; i < d.entries.size(); ++i)
    if (d.entries[i].name.size() > 64) return Fail(error, "entry " + Num(i) + ": name longer than 64 bytes");
  return true;
}

bool CheckAreas(const std::vector<Area>& areas, std::string* error) {
  for (const Area& a : areas)
    if (a.end > kSectorLimit && std::strcmp(a.name, "data area") != 0)
      return Fail(error, std::string(a.name) + " lies beyond sector 2^32");
  for (size_t i = 0; i < areas.size(); ++i) {
    for (size_t j = i + 1; j < areas.size(); ++j) {
      const Area& a = areas[i];
      const Area& b = areas[j];
      if (a.first < a.end && b.first < b.end && a.first < b.end && b.first < a.end)
        return Fail(error, std::string(a.name) + " overlaps " + b.name);
    }
  }
  return true;
}

// Every table entry the builder writes must lie inside the table, and every
// chain cluster inside the 32-bit sector range the reader can address.
bool CheckChainsFit(const Disk& d, const Layout& l, std::string* error) {
  uint64_t tableEntries = uint64_t(l.tableSize) * kTableEntriesPerSector;
  for (size_t i = 0; i < l.chains.size(); ++i) {
    for (uint32_t c : l.chains[i]) {
      if (c >= tableEntries)
        return Fail(error, "entry " + Num(i) + ": cluster " + Num(c) + " lies beyond the allocation table");
      if (uint64_t(c) * l.sectorsPerCluster + l.dataStart > kSectorLimit)
        return Fail(error, "entry " + Num(i) + ": cluster " + Num(c) + " lies beyond sector 2^32");
    }
  }
  for (const auto& o : d.tableOverrides)
    if (o.first >= tableEntries)
      return Fail(error, "table override of entry " + Num(o.first) + " lies beyond the table");
  return true;
}

}  // namespace

uint64_t Layout::ClusterByte(uint32_t cluster) const {
  return (uint64_t(cluster - 1) * sectorsPerCluster + dataStart) * 512;
}

uint64_t Layout::TableSector(uint32_t s, int copy) const {
  return AreaSector(tableStart, tableInterleave, s, copy);
}

uint64_t Layout::DirectorySector(uint32_t s, int copy) const {
  return AreaSector(directoryStart, directoryInterleave, s, copy);
}

bool PlanDisk(const Disk& d, Layout* out, std::string* error) {
  if (!CheckNames(d, error)) return false;
  Layout l;
  l.sectorsPerCluster = d.sectorsPerCluster;
  l.clusterCount = d.clusterCount;
  // Wraps modulo 2^32 like the reader's arithmetic.
  l.usableClusterBytes = (d.sectorsPerCluster - d.sectorsPerCluster / 256) * 512u;
  l.headerSector = d.headerSector ? d.headerSector : 64;
  l.tableInterleave = d.tableInterleave;
  l.tableSize = d.tableSize ? d.tableSize : d.clusterCount / kTableEntriesPerSector + 1;
  l.directoryInterleave = d.directoryInterleave;
  uint64_t dirSectors = (d.entries.size() + kDirEntriesPerSector - 1) / kDirEntriesPerSector;
  if (d.directorySize == 0 && dirSectors >= kSectorLimit) return Fail(error, "too many entries");
  l.directorySize = d.directorySize ? d.directorySize : uint32_t(std::max<uint64_t>(1, dirSectors));
  if (uint64_t(l.directorySize) * kDirEntriesPerSector < d.entries.size())
    return Fail(error, "the directory of " + Num(l.directorySize) + " sectors cannot hold " +
                           Num(d.entries.size()) + " entries");

  // Each automatic area starts right after everything placed before it.
  uint64_t end = std::max<uint64_t>(3, uint64_t(l.headerSector) + 1);
  uint64_t tableStart = d.tableStart ? d.tableStart : end;
  uint64_t tableEnd = tableStart + AreaSpan(l.tableSize, l.tableInterleave);
  end = std::max(end, tableEnd);
  uint64_t dirStart = d.directoryStart ? d.directoryStart : end;
  uint64_t dirEnd = dirStart + AreaSpan(l.directorySize, l.directoryInterleave);
  end = std::max(end, dirEnd);
  uint64_t dataStart = d.dataStart ? d.dataStart : end;
  if (tableStart >= kSectorLimit || dirStart >= kSectorLimit || dataStart >= kSectorLimit)
    return Fail(error, "the layout lies beyond sector 2^32");
  l.tableStart = uint32_t(tableStart);
  l.directoryStart = uint32_t(dirStart);
  l.dataStart = uint32_t(dataStart);
  uint64_t dataEnd = dataStart + uint64_t(d.clusterCount) * d.sectorsPerCluster;

  std::vector<Area> areas = {
      {"partition table", 2, 3},
      {"volume header", l.headerSector, uint64_t(l.headerSector) + 1},
      {"allocation table", tableStart, tableEnd},
      {"directory", dirStart, dirEnd},
      {"data area", dataStart, dataEnd},
  };
  if (!CheckAreas(areas, error)) return false;
  if (!AllocateChains(d, &l, error)) return false;
  if (!CheckChainsFit(d, l, error)) return false;

  // The image covers the whole data area as far as the reader can address it.
  uint64_t sectors = std::max({end, std::min(dataEnd, kSectorLimit)});
  l.imageSize = std::max(sectors * 512, d.minimumSize);
  *out = l;
  return true;
}

// ---- Writing -----------------------------------------------------------

namespace {

void PutU16(uint8_t* p, uint16_t v, bool big) {
  p[big ? 0 : 1] = uint8_t(v >> 8);
  p[big ? 1 : 0] = uint8_t(v);
}

void PutU32(uint8_t* p, uint32_t v, bool big) {
  for (int i = 0; i < 4; ++i) p[big ? 3 - i : i] = uint8_t(v >> (8 * i));
}

void PutBytes(uint8_t* p, const std::string& s) { std::memcpy(p, s.data(), s.size()); }

bool IsZero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i]) return false;
  return true;
}

typedef std::array<uint8_t, 512> Sector;

// Collects consecutive sectors into one write; every byte goes through the
// word swap of a word-swapped disk on its way out.
struct Writer {
  int fd = -1;
  bool swapWords = false;
  std::vector<uint8_t> run;
  uint64_t runStart = 0;
  std::string error;
};

bool FlushRun(Writer* w) {
  if (w->run.empty()) return true;
  if (w->swapWords)
    for (size_t i = 0; i + 1 < w->run.size(); i += 2) std::swap(w->run[i], w->run[i + 1]);
  const uint8_t* p = w->run.data();
  size_t left = w->run.size();
  uint64_t pos = w->runStart * 512;
  while (left > 0) {
    ssize_t n = pwrite(w->fd, p, left, off_t(pos));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      w->error = std::string("write failed: ") + std::strerror(n < 0 ? errno : EIO);
      return false;
    }
    p += n;
    left -= size_t(n);
    pos += uint64_t(n);
  }
  w->run.clear();
  return true;
}

// Queues whole sectors starting at `sector`; all-zero pieces stay holes.
bool Put(Writer* w, uint64_t sector, const uint8_t* data, size_t bytes) {
  if (IsZero(data, bytes)) return true;
  if (!w->run.empty() &&
      (sector != w->runStart + w->run.size() / 512 || w->run.size() + bytes > kChunkBytes)) {
    if (!FlushRun(w)) return false;
  }
  if (w->run.empty()) w->runStart = sector;
  w->run.insert(w->run.end(), data, data + bytes);
  return true;
}

bool BigFields(const Disk& d) { return d.order != kLittleEndian; }

Sector PartitionSector(const Disk& d, const Layout& l) {
  Sector s{};
  bool big = BigFields(d);
  std::vector<PartitionSlot> slots(12);
  std::vector<bool> filled(12, false);
  int last = -1;
  if (d.partitionIndex >= 0) {
    slots[d.partitionIndex] = PartitionSlot{"HDD1_AV1", l.headerSector, false};
    filled[d.partitionIndex] = true;
    last = d.partitionIndex;
  }
  if (d.otherSlots.empty()) {
    for (int i = 0; i < d.partitionIndex; ++i) {
      slots[i] = PartitionSlot{"HDD0_AV" + Num(i + 1), 0, false};
      filled[i] = true;
    }
  } else {
    size_t j = 0;
    for (int i = 0; i < 12 && j < d.otherSlots.size(); ++i) {
      if (i == d.partitionIndex) continue;
      slots[i] = d.otherSlots[j++];
      filled[i] = true;
      last = std::max(last, i);
    }
  }
  if (d.endMarker && last + 1 < 12) {
    slots[last + 1] = PartitionSlot{"", 0, true};
    filled[last + 1] = true;
  }
  for (int i = 0; i < 12; ++i) {
    if (!filled[i]) continue;
    uint8_t* e = s.data() + 4 + 40 * i;
    if (slots[i].endMarker) PutU16(e, 0xFFFF, big);
    PutU32(e + 4, slots[i].firstSector, big);
    PutBytes(e + 24, slots[i].name);
  }
  PutBytes(s.data() + 504, !d.magic.empty() ? d.magic : d.order == kLittleEndian ? "TraP" : "ParT");
  return s;
}

Sector HeaderSector(const Disk& d, const Layout& l) {
  Sector s{};
  bool big = BigFields(d);
  uint8_t* p = s.data();
  PutBytes(p, d.headerName);
  PutU32(p + 16, d.bytesPerSector, big);
  PutU32(p + 20, d.sectorsPerCluster, big);
  PutU32(p + 24, d.tableCopies, big);
  PutU32(p + 28, l.tableSize, big);
  PutU32(p + 32, l.tableStart, big);
  PutU32(p + 36, l.tableStart + l.tableInterleave, big);
  PutU32(p + 40, d.directoryCopies, big);
  PutU32(p + 44, l.directorySize, big);
  PutU32(p + 52, l.directoryStart, big);
  PutU32(p + 56, l.directoryStart + l.directoryInterleave, big);
  PutU32(p + 60, d.clusterCount, big);
  PutU32(p + 64, l.dataStart, big);
  p[510] = d.signatureSwapped ? 0x55 : 0xAA;
  p[511] = d.signatureSwapped ? 0xAA : 0x55;
  return s;
}

// Only the table sectors holding a non-zero entry, by table sector number.
typedef std::map<uint32_t, std::array<uint32_t, kTableEntriesPerSector>> Table;

Table BuildTable(const Disk& d, const Layout& l) {
  Table table;
  uint32_t cachedSector = kEndOfChain;
  uint32_t* cached = nullptr;
  auto slot = [&](uint32_t c) {
    if (c / kTableEntriesPerSector != cachedSector) {
      cachedSector = c / kTableEntriesPerSector;
      cached = table[cachedSector].data();
    }
    return cached + c % kTableEntriesPerSector;
  };
  for (const std::vector<uint32_t>& chain : l.chains)
    for (size_t j = 0; j < chain.size(); ++j)
      *slot(chain[j]) = j + 1 < chain.size() ? chain[j + 1] : kEndOfChain;
  for (const auto& o : d.tableOverrides) *slot(o.first) = o.second;
  return table;
}

// Writes an interleaved area's sectors to both copies (copy 1 only when the
// interleave is 0), copy by copy so that each group goes out in one write.
template <typename Sectors>
bool PutArea(Writer* w, const Sectors& sectors, uint32_t start, uint32_t k) {
  for (int copy = 1; copy <= (k ? 2 : 1); ++copy)
    for (const auto& s : sectors)
      if (!Put(w, AreaSector(start, k, s.first, copy), s.second.data(), 512)) return false;
  return true;
}

bool PutTable(Writer* w, const Disk& d, const Layout& l) {
  std::map<uint32_t, Sector> sectors;
  for (const auto& t : BuildTable(d, l)) {
    Sector& s = sectors[t.first];
    for (uint32_t i = 0; i < kTableEntriesPerSector; ++i) PutU32(s.data() + 4 * i, t.second[i], BigFields(d));
  }
  return PutArea(w, sectors, l.tableStart, l.tableInterleave);
}

bool PutDirectory(Writer* w, const Disk& d, const Layout& l) {
  std::map<uint32_t, Sector> sectors;
  for (size_t i = 0; i < d.entries.size(); ++i) {
    const Entry& e = d.entries[i];
    uint8_t* p = sectors[uint32_t(i / kDirEntriesPerSector)].data() + (i % kDirEntriesPerSector) * kDirEntryBytes;
    PutBytes(p, e.name);
    uint32_t first = e.overrideFirst ? e.firstCluster : l.chains[i].empty() ? 0 : l.chains[i][0];
    PutU32(p + 64, first, BigFields(d));
    PutU16(p + 70, e.type, BigFields(d));
  }
  return PutArea(w, sectors, l.directoryStart, l.directoryInterleave);
}

bool PutData(Writer* w, const Disk& d, const Layout& l) {
  std::vector<uint8_t> buffer(kChunkBytes);
  // The sectors the recorder leaves out of every 256; filled so that a reader
  // that takes them into the stream shows it.
  uint64_t tailBytes = l.sectorsPerCluster < (1u << 23) ? uint64_t(l.sectorsPerCluster / 256) * 512 : 0;
  std::vector<uint8_t> tail(std::min<uint64_t>(tailBytes, kChunkBytes), kTailFiller);
  for (size_t i = 0; i < d.entries.size(); ++i) {
    const Content& content = d.entries[i].content;
    if (!content) continue;
    const std::vector<uint32_t>& chain = l.chains[i];
    for (size_t j = 0; j < chain.size(); ++j) {
      uint64_t sector = l.ClusterByte(chain[j]) / 512;
      uint64_t stream = uint64_t(j) * l.usableClusterBytes;
      for (uint64_t off = 0; off < l.usableClusterBytes; off += kChunkBytes) {
        size_t n = size_t(std::min<uint64_t>(kChunkBytes, l.usableClusterBytes - off));
        content(stream + off, buffer.data(), n);
        if (!Put(w, sector + off / 512, buffer.data(), n)) return false;
      }
      for (uint64_t off = 0; off < tailBytes; off += tail.size()) {
        size_t n = size_t(std::min<uint64_t>(tail.size(), tailBytes - off));
        if (!Put(w, sector + (l.usableClusterBytes + off) / 512, tail.data(), n)) return false;
      }
    }
  }
  return true;
}

}  // namespace

bool WriteImage(const Disk& d, const std::string& path, Layout* layout, std::string* error) {
  Layout l;
  if (!PlanDisk(d, &l, error)) return false;
  Writer w;
  w.swapWords = d.order == kWordSwapped;
  w.fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (w.fd < 0) return Fail(error, "cannot create " + path + ": " + std::strerror(errno));
  Sector partition = PartitionSector(d, l);
  Sector header = HeaderSector(d, l);
  bool ok = Put(&w, 2, partition.data(), 512) && Put(&w, l.headerSector, header.data(), 512) &&
            PutTable(&w, d, l) && PutDirectory(&w, d, l) && PutData(&w, d, l) && FlushRun(&w);
  uint64_t size = d.truncateAt ? d.truncateAt : l.imageSize;
  if (ok && ftruncate(w.fd, off_t(size)) != 0) {
    w.error = std::string("cannot set the image size: ") + std::strerror(errno);
    ok = false;
  }
  if (close(w.fd) != 0 && ok) {
    w.error = std::string("cannot close the image: ") + std::strerror(errno);
    ok = false;
  }
  if (!ok) return Fail(error, path + ": " + w.error);
  if (layout) *layout = l;
  return true;
}

std::vector<uint8_t> ExpectedStream(const Disk& disk, const Layout& layout, size_t entry) {
  if (entry >= layout.chains.size() || entry >= disk.entries.size()) return {};
  std::vector<uint8_t> out(layout.chains[entry].size() * size_t(layout.usableClusterBytes));
  if (disk.entries[entry].content && !out.empty()) disk.entries[entry].content(0, out.data(), out.size());
  return out;
}

namespace {

uint64_t Mix(uint64_t x) {  // splitmix64 finaliser
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace

Content PatternContent(uint32_t seed) {
  uint64_t key = (uint64_t(seed) + 1) * 0x9E3779B97F4A7C15ull;
  return [key](uint64_t offset, uint8_t* out, size_t n) {
    size_t i = 0;
    while (i < n) {
      uint64_t pos = offset + i;
      uint64_t word = Mix(key + (pos >> 3));
      for (unsigned b = unsigned(pos & 7); b < 8 && i < n; ++b, ++i) out[i] = uint8_t(word >> (8 * b));
    }
  };
}

Content BytesContent(std::vector<uint8_t> bytes) {
  auto data = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
  return [data](uint64_t offset, uint8_t* out, size_t n) {
    size_t have = offset < data->size() ? size_t(std::min<uint64_t>(n, data->size() - offset)) : 0;
    if (have) std::memcpy(out, data->data() + offset, have);
    std::memset(out + have, 0, n - have);
  };
}

std::vector<uint8_t> ToBlockForm(const std::vector<uint8_t>& stream) {
  std::vector<uint8_t> out;
  out.reserve(stream.size() / kBlockStreamBytes * kBlockBytes + kBlockBytes);
  for (size_t pos = 0; pos < stream.size(); pos += kBlockStreamBytes) {
    size_t n = std::min<size_t>(kBlockStreamBytes, stream.size() - pos);
    out.insert(out.end(), stream.begin() + pos, stream.begin() + pos + n);
    if (n == kBlockStreamBytes) out.insert(out.end(), kBlockBytes - kBlockStreamBytes, 0xFF);
  }
  return out;
}

Entry PatternRecording(const std::string& name, uint32_t clusters, uint32_t seed,
                       bool fragmented) {
  Entry e;
  e.name = name;
  e.clusters = clusters;
  e.fragmented = fragmented;
  if (seed) e.content = PatternContent(seed);
  return e;
}

}  // namespace testdisk
