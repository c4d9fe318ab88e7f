// A recording read by position: the run holding a byte is found by a binary
// search, and each stretch of adjoining sectors is one positional read.
#include "rescue/position.h"

#include <algorithm>
#include <cstring>

#include "disk/layout.h"

bool IndexChain(u32 first, u32 clusters, bool pastDamage, ClusterRunSink sink, void* context,
                u32* collected) {
  *collected = 0;
  if (clusters == 0) return true;
  if (first == 0 || first > g_disk.clusterCount) return false;
  ClusterRun run = {0, first, 1};
  u32 c = first;
  for (u32 i = 1; i < clusters; ++i) {
    u32 next = c;
    ChainEnd why;
    bool stepped = pastDamage ? StepOnDisk(c, &next, &why)
                              : GetNextCluster(&next) && !ChainEnded(next);
    if (!stepped) {
      sink(context, run);
      *collected = i;
      return false;
    }
    if (u64(next) == u64(run.first) + run.count) {
      ++run.count;
    } else {
      sink(context, run);
      run = {i, next, 1};
    }
    c = next;
  }
  sink(context, run);
  *collected = clusters;
  return true;
}

namespace {

// The run holding the recording's cluster index (below its cluster count).
const ClusterRun* RunOf(const ChainIndex& x, u64 cluster) {
  const ClusterRun* end = x.runs + x.runCount;
  const ClusterRun* after = std::upper_bound(
      x.runs, end, cluster, [](u64 c, const ClusterRun& run) { return c < run.index; });
  return after - 1;
}

}  // namespace

bool FirstStretch(const ChainIndex& x, u64 offset, u32 length, u64* position, u32* n) {
  const u32 usable = g_disk.usableClusterBytes;
  // Clusters with no sector left out adjoin on the device when their
  // numbers do: a run of them is one stretch.
  const bool adjoin = u64(usable) == u64(g_disk.sectorsPerCluster) * kSectorSize;
  u64 cluster = offset / usable;
  const ClusterRun* run = RunOf(x, cluster);
  u64 stretchEnd = (adjoin ? run->index + run->count : cluster + 1) * usable;
  *n = u32(std::min<u64>(length, stretchEnd - offset));
  u32 number = run->first + u32(cluster - run->index);
  u32 lastNumber = number + u32((offset + *n - 1) / usable - cluster);
  u64 last;
  return ClusterPosition(number, u32(offset % usable), position) &&
         ClusterPosition(lastNumber, 0, &last);
}

namespace {

// Recording bytes [offset, offset + length) into out. On a word-swapped disk
// offset and length are even.
bool ReadSpan(const ChainIndex& x, u64 offset, u8* out, u32 length, bool pastDamage,
              u8* unitBuffer, ReadDamage* damage) {
  while (length > 0) {
    u64 position = 0;
    u32 n, read = 0;
    bool placed = FirstStretch(x, offset, length, &position, &n);
    if (!placed || !ReadAt(g_disk.device, position, out, n, &read) || read != n) {
      if (!pastDamage) return false;
      if (placed) {
        RereadPiece(position, out, n, offset, RereadUnit(), unitBuffer, damage);
      } else {
        std::memset(out, 0, n);  // past the sectors a 32-bit sector number reaches
        AddDamageRun(damage, offset, n, kNoPosition, 0);
      }
    }
    if (g_disk.wordSwap) SwapWordBytes(out, n);
    offset += n;
    out += n;
    length -= n;
  }
  return true;
}

// One byte of a word-swapped disk: its whole word is read.
bool ReadSwappedByte(const ChainIndex& x, u64 offset, u8* out, bool pastDamage, u8* unitBuffer,
                     ReadDamage* damage) {
  static_assert(sizeof(ReadDamage) < 8192, "kept on the stack");
  u8 word[2];
  ReadDamage met;
  ClearDamage(&met);
  if (!ReadSpan(x, offset & ~u64(1), word, 2, pastDamage, unitBuffer, &met)) return false;
  *out = word[offset & 1];
  if (met.runCount) AddDamageRun(damage, offset, 1, met.runs[0].position, met.runs[0].error);
  return true;
}

}  // namespace

bool ReadRecordingAt(const ChainIndex& x, u64 offset, void* buffer, u32 length,
                     bool pastDamage, u8* unitBuffer, ReadDamage* damage, u32* got) {
  ClearDamage(damage);
  *got = 0;
  if (offset >= x.bytes || g_disk.usableClusterBytes == 0 || length == 0) return true;
  if (length > x.bytes - offset) length = u32(x.bytes - offset);
  u8* out = static_cast<u8*>(buffer);
  u64 from = offset, to = offset + length;
  if (g_disk.wordSwap && (from & 1)) {
    if (!ReadSwappedByte(x, from, out, pastDamage, unitBuffer, damage)) return false;
    ++from;
  }
  bool oddEnd = g_disk.wordSwap && (to & 1) && to > from;
  if (oddEnd) --to;
  if (to > from && !ReadSpan(x, from, out + (from - offset), u32(to - from), pastDamage,
                             unitBuffer, damage))
    return false;
  if (oddEnd && !ReadSwappedByte(x, to, out + (to - offset), pastDamage, unitBuffer, damage))
    return false;
  *got = length;
  return true;
}

void AppendClusterRun(void* context, const ClusterRun& run) {
  static_cast<std::vector<ClusterRun>*>(context)->push_back(run);
}

namespace {

struct StartSource {
  const ChainIndex* index;
  u8* unit;
};

bool ReadStart(void* context, u64 block, bool* exists, bool* counted, u8* first) {
  const StartSource* s = static_cast<const StartSource*>(context);
  // Not thread-local: block forms are planned before any reader thread runs.
  static u8 sector[kSectorSize];
  static ReadDamage damage;
  u64 at = block * kBlockBytes;
  u32 got = 0;
  ReadRecordingAt(*s->index, at, sector, kSectorSize, true, s->unit, &damage, &got);
  *exists = got > 0;
  *counted = !(damage.runCount && damage.runs[0].offset == at);
  *first = sector[0];
  return true;
}

}  // namespace

void PlanFormByPosition(const ChainIndex& index, u8* unitBuffer, FormPlan* plan) {
  StartSource source = {&index, unitBuffer};
  PlanBlockForm(ReadStart, &source, plan);
}
