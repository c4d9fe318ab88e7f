// Every entry's chain walked over the table held in memory: its length, how
// it ends, and the clusters it shares with an earlier entry's chain.
#include "check/check_state.h"
#include "disk/layout.h"

bool StepHeld(u32 c, u32* next, ChainEnd* end) {
  *next = 0;
  if (!ClusterOnDrive(c))
    *end = kChainBeyondDisk;
  else if (u64(c) >= u64(g_disk.tableSize) * kTableEntriesPerSector)
    *end = kChainPastTable;
  else if (c >= g_check.held)
    *end = kChainNotChecked;
  else if (TestBit(g_check.tableBad, c / kTableEntriesPerSector))
    *end = kChainUnreadable;
  else {
    // The end marker ends a chain even under a cluster count that reaches it,
    // as it ends the recording list's walk.
    u32 v = g_check.successor[c];
    for (u32 i = 0; i < g_check.patchCount; ++i)
      if (g_check.patches[i].cluster == c) v = g_check.patches[i].next;
    *next = v;
    if (v != 0 && v != kEndOfChain && v <= g_disk.clusterCount) return true;
    *end = v == 0 ? kChainZero : v == kEndOfChain ? kChainEnd : kChainAboveCount;
  }
  return false;
}

namespace {

bool Step(void*, u32 c, u32* next, ChainEnd* end) { return StepHeld(c, next, end); }

}  // namespace

void WalkHeldChain(u32 first, ChainWalk* w) {
  *w = ChainWalk();
  WalkChainBy(first, Step, nullptr, w);
}

namespace {

// Marks the walk's clusters as on an entry's chain; those an earlier entry
// marked are shared with it.
void MarkChain(const ChainWalk& w, CheckEntry* e) {
  u32 c = w.first;
  ChainEnd ignored;
  for (u32 i = 0; i < w.clusters; ++i) {
    if (c < g_check.held) {
      if (!TestBit(g_check.onChain, c)) {
        SetBit(g_check.onChain, c);
      } else {
        if (e->sharedClusters++ == 0) e->sharedFrom = c;
      }
    }
    if (i + 1 < w.clusters) StepHeld(c, &c, &ignored);
  }
}

bool Walkable(const DirEntry& raw) {
  return raw.type != 0 && raw.firstCluster != 0 && raw.firstCluster <= g_disk.clusterCount;
}

// Names the first entry, in directory order, whose chain holds each
// recorded cluster: for a cross-link always an earlier one than the entry
// that found it, since that entry found it marked.
void ResolveFrom(u32 s, const u8* data, bool) {
  for (u32 i = 0; i < kDirEntriesPerSector; ++i) {
    DirEntry raw;
    DecodeDirEntry(data + i * kDirEntrySize, &raw);
    if (!Walkable(raw)) continue;
    u32 slot = s * kDirEntriesPerSector + i;
    ChainWalk w;
    WalkHeldChain(raw.firstCluster, &w);
    u32 c = w.first;
    ChainEnd ignored;
    for (u32 n = 0; n < w.clusters; ++n) {
      if (c < g_check.held && TestBit(g_check.joins, c)) {
        for (u32 r = 0; r < g_check.recordCount; ++r) {
          JoinRecord& j = g_check.records[r];
          if (j.cluster == c && j.owner == kNoEntry) j.owner = slot;
        }
      }
      if (n + 1 < w.clusters) StepHeld(c, &c, &ignored);
    }
  }
}

}  // namespace

void CheckEntries(u32 s, const u8* data, bool fromCopy2) {
  CheckReport* report = g_check.report;
  for (u32 i = 0; i < kDirEntriesPerSector; ++i) {
    CheckEntry e = CheckEntry();
    DecodeDirEntry(data + i * kDirEntrySize, &e.raw);
    if (e.raw.type == 0) continue;
    e.slot = s * kDirEntriesPerSector + i;
    e.fromCopy2 = fromCopy2;
    e.recording = kNoEntry;
    ++report->entries;
    bool recording = e.raw.type == kRecordingType;
    if (recording) ++report->recordings;
    u32 first = e.raw.firstCluster;
    e.walk.first = first;
    if (Walkable(e.raw)) {
      WalkHeldChain(first, &e.walk);
      FindWholeCopy(&e);
      MarkChain(e.walk, &e);
      if (recording) e.recording = ++g_check.recordings;
    } else if (first == 0) {
      e.walk.end = kChainZero;
    } else {
      e.walk.end = kChainAboveCount;
      e.walk.next = first;
    }
    e.sizeMiB = ListSizeMiB(e.walk.clusters);
    if (e.sharedClusters) {
      ++report->crossLinks;
      RecordJoin(false, e.slot, e.sharedFrom, e.sharedClusters);
    }
    g_check.sink->entry(g_check.sink->context, e);
  }
}

namespace {

// Table entry c as copy `copy` holds it, read apart from the windows (a
// directory sector being checked lies in one).
bool CopyEntry(u32 copy, u32 c, u32* value) {
  u64 sector = WideCopySector(g_disk.tableStart, g_disk.tableInterleave, c / kTableEntriesPerSector, copy);
  u32 got = 0;
  if (sector >= g_check.diskSectors || !SeekFile(g_disk.device, sector * kSectorSize) ||
      !ReadBytes(g_disk.device, g_check.sector, kSectorSize, &got) || got != kSectorSize)
    return false;
  if (g_disk.wordSwap) SwapWordBytes(g_check.sector, kSectorSize);
  *value = Field32(g_check.sector + 4 * (c % kTableEntriesPerSector));
  return true;
}

}  // namespace

// As the rescue walk does over the table on the disk: the failing step is
// taken from the copy the held table did not take it from, a few times.
void FindWholeCopy(CheckEntry* e) {
  if (g_disk.tableInterleave == 0) return;
  ChainWalk w = e->walk;
  u32 copy = 0;
  g_check.patchCount = 0;
  while ((w.end == kChainCycle || w.end == kChainZero) && g_check.patchCount < 4) {
    u32 one, two, held = g_check.successor[w.last];
    if (!CopyEntry(1, w.last, &one) || !CopyEntry(2, w.last, &two) || one == two) break;
    u32 other = held == one ? 2 : 1;
    if (copy && other != copy) break;  // one copy's chain, not a mix of both
    copy = other;
    g_check.patches[g_check.patchCount++] = {w.last, other == 1 ? one : two};
    WalkHeldChain(e->walk.first, &w);
  }
  g_check.patchCount = 0;
  if (copy && w.end == kChainEnd) {
    e->wholeInCopy = copy;
    e->wholeClusters = w.clusters;
  }
}

void RecordJoin(bool lost, u32 from, u32 cluster, u32 clusters) {
  if (g_check.recordCount == kJoinRecords) {
    ++g_check.report->unresolved;
    return;
  }
  g_check.records[g_check.recordCount++] = JoinRecord{lost, from, cluster, clusters, kNoEntry};
  SetBit(g_check.joins, cluster);
}

void ResolveJoins() {
  if (g_check.recordCount == 0) return;
  ReadDirectoryCopies(nullptr, ResolveFrom);
  const CheckSink& sink = *g_check.sink;
  for (u32 r = 0; r < g_check.recordCount; ++r) {
    const JoinRecord& j = g_check.records[r];
    if (j.lost) {
      LostChain chain = {kLostIntoListed, j.from, j.clusters, ListSizeMiB(j.clusters), j.owner, j.cluster};
      sink.lost(sink.context, chain);
    } else {
      CrossLink link = {j.from, j.owner, j.cluster, j.clusters};
      sink.crossLink(sink.context, link);
    }
  }
}
