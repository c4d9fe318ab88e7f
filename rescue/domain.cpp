// The sectors that matter for imaging a recorder disk: its metadata, and the
// data sectors of chosen recordings.
#include "disk/layout.h"
#include "rescue/rescue.h"

namespace {

// Both copies of an interleaved structure of size sectors: whole groups of
// copy 1 and copy 2 lie end to end, then the last group's part of each.
void CopiesRuns(u64 start, u64 k, u64 size, SectorRunSink sink, void* context) {
  if (size == 0) return;
  if (k == 0) {
    sink(context, start, size);  // both copies start together
    return;
  }
  u64 groups = size / k, rest = size % k;
  if (groups) sink(context, start, 2 * k * groups);
  if (rest) {
    sink(context, start + 2 * k * groups, rest);
    sink(context, start + 2 * k * groups + k, rest);
  }
}

struct Merger {
  SectorRunSink sink;
  void* context;
  u64 first, count;
};

void Add(Merger* m, u64 first, u64 count) {
  if (m->count && m->first + m->count == first) {
    m->count += count;
    return;
  }
  if (m->count) m->sink(m->context, m->first, m->count);
  m->first = first;
  m->count = count;
}

void Flush(Merger* m) {
  if (m->count) m->sink(m->context, m->first, m->count);
  m->count = 0;
}

}  // namespace

void MetadataSectorRuns(SectorRunSink sink, void* context) {
  sink(context, 2, 1);
  sink(context, g_disk.headerSector, 1);
  CopiesRuns(g_disk.tableStart, g_disk.tableInterleave, g_disk.tableSize, sink, context);
  CopiesRuns(g_disk.directoryStart, g_disk.directoryInterleave, g_disk.directorySize, sink,
             context);
}

bool RecordingSectorRuns(u32 first, u32 clusters, SectorRunSink sink, void* context) {
  if (first == 0 || first > g_disk.clusterCount) return false;
  const u64 usable = g_disk.usableClusterBytes / kSectorSize;
  Merger m = {sink, context, 0, 0};
  u32 c = first;
  ChainEnd why;
  for (u32 i = 0; i < clusters; ++i) {
    if (i > 0 && !StepOnDisk(c, &c, &why)) {
      Flush(&m);
      return false;
    }
    u64 position;
    if (usable && ClusterPosition(c, 0, &position)) Add(&m, position / kSectorSize, usable);
  }
  Flush(&m);
  return true;
}
