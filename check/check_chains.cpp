// Every entry's chain walked over the table held in memory: its length, how
// it ends, and the clusters it shares with an earlier entry's chain.
#include "check/check_state.h"
#include "disk/layout.h"

bool StepHeld(const CheckState& state, u32 c, u32* next, ChainEnd* end) {
  *next = 0;
  if (!ClusterOnDrive(c))
    *end = kChainBeyondDisk;
  else if (u64(c) >= u64(g_disk.tableSize) * kTableEntriesPerSector)
    *end = kChainPastTable;
  else if (c >= state.held)
    *end = kChainNotChecked;
  else if (TestBit(state.tableBad, c / kTableEntriesPerSector))
    *end = kChainUnreadable;
  else {
    // The end marker ends a chain even under a cluster count that reaches it,
    // as it ends the recording list's walk.
    u32 v = state.successor[c];
    for (u32 i = 0; i < state.patchCount; ++i)
      if (state.patches[i].cluster == c) v = state.patches[i].next;
    *next = v;
    if (v != 0 && v != kEndOfChain && v <= g_disk.clusterCount) return true;
    *end = v == 0 ? kChainZero : v == kEndOfChain ? kChainEnd : kChainAboveCount;
  }
  return false;
}

namespace {

bool Step(void* state, u32 c, u32* next, ChainEnd* end) {
  return StepHeld(*static_cast<CheckState*>(state), c, next, end);
}

}  // namespace

void WalkHeldChain(CheckState& state, u32 first, ChainWalk* w) {
  *w = ChainWalk();
  WalkChainBy(first, Step, &state, w);
}

namespace {

// Marks the walk's clusters as on an entry's chain; those an earlier entry
// marked are shared with it.
void MarkChain(CheckState& state, const ChainWalk& w, CheckEntry* e) {
  u32 c = w.first;
  ChainEnd ignored;
  for (u32 i = 0; i < w.clusters; ++i) {
    if (c < state.held) {
      if (!TestBit(state.onChain, c)) {
        SetBit(state.onChain, c);
      } else {
        if (e->sharedClusters++ == 0) e->sharedFrom = c;
      }
    }
    if (i + 1 < w.clusters) StepHeld(state, c, &c, &ignored);
  }
}

bool Walkable(const DirEntry& raw) {
  return raw.type != 0 && raw.firstCluster != 0 && raw.firstCluster <= g_disk.clusterCount;
}

// Names the first entry, in directory order, whose chain holds each
// recorded cluster: for a cross-link always an earlier one than the entry
// that found it, since that entry found it marked.
void ResolveFrom(CheckState& state, u32 s, const u8* data, bool) {
  for (u32 i = 0; i < kDirEntriesPerSector; ++i) {
    DirEntry raw;
    DecodeDirEntry(data + i * kDirEntrySize, &raw);
    if (!Walkable(raw)) continue;
    u32 slot = s * kDirEntriesPerSector + i;
    ChainWalk w;
    WalkHeldChain(state, raw.firstCluster, &w);
    u32 c = w.first;
    ChainEnd ignored;
    for (u32 n = 0; n < w.clusters; ++n) {
      if (c < state.held && TestBit(state.joins, c)) {
        for (u32 r = 0; r < state.recordCount; ++r) {
          JoinRecord& j = state.records[r];
          if (j.cluster == c && j.owner == kNoEntry) j.owner = slot;
        }
      }
      if (n + 1 < w.clusters) StepHeld(state, c, &c, &ignored);
    }
  }
}

}  // namespace

void CheckEntries(CheckState& state, u32 s, const u8* data, bool fromCopy2) {
  CheckReport* report = state.report;
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
      WalkHeldChain(state, first, &e.walk);
      FindWholeCopy(state, &e);
      MarkChain(state, e.walk, &e);
      if (recording) e.recording = ++state.recordings;
    } else if (first == 0) {
      e.walk.end = kChainZero;
    } else {
      e.walk.end = kChainAboveCount;
      e.walk.next = first;
    }
    e.sizeMiB = ListSizeMiB(e.walk.clusters);
    if (e.sharedClusters) {
      ++report->crossLinks;
      RecordJoin(state, false, e.slot, e.sharedFrom, e.sharedClusters);
    }
    state.sink->entry(state.sink->context, e);
  }
}

namespace {

// Table entry c as copy `copy` holds it, read apart from the windows (a
// directory sector being checked lies in one).
bool CopyEntry(CheckState& state, u32 copy, u32 c, u32* value) {
  u64 sector = WideCopySector(g_disk.tableStart, g_disk.tableInterleave, c / kTableEntriesPerSector, copy);
  u32 got = 0;
  if (sector >= state.diskSectors || !SeekFile(g_disk.device, sector * kSectorSize) ||
      !ReadBytes(g_disk.device, state.sector, kSectorSize, &got) || got != kSectorSize)
    return false;
  if (g_disk.wordSwap) SwapWordBytes(state.sector, kSectorSize);
  *value = Field32(state.sector + 4 * (c % kTableEntriesPerSector));
  return true;
}

}  // namespace

// As the rescue walk does over the table on the disk: the failing step is
// taken from the copy the held table did not take it from, a few times.
void FindWholeCopy(CheckState& state, CheckEntry* e) {
  if (g_disk.tableInterleave == 0) return;
  ChainWalk w = e->walk;
  u32 copy = 0;
  state.patchCount = 0;
  while ((w.end == kChainCycle || w.end == kChainZero) && state.patchCount < 4) {
    u32 one, two, held = state.successor[w.last];
    if (!CopyEntry(state, 1, w.last, &one) || !CopyEntry(state, 2, w.last, &two) || one == two)
      break;
    u32 other = held == one ? 2 : 1;
    if (copy && other != copy) break;  // one copy's chain, not a mix of both
    copy = other;
    state.patches[state.patchCount++] = {w.last, other == 1 ? one : two};
    WalkHeldChain(state, e->walk.first, &w);
  }
  state.patchCount = 0;
  if (copy && w.end == kChainEnd) {
    e->wholeInCopy = copy;
    e->wholeClusters = w.clusters;
  }
}

void RecordJoin(CheckState& state, bool lost, u32 from, u32 cluster, u32 clusters) {
  if (state.recordCount == kJoinRecords) {
    ++state.report->unresolved;
    return;
  }
  state.records[state.recordCount++] = JoinRecord{lost, from, cluster, clusters, kNoEntry};
  SetBit(state.joins, cluster);
}

void ResolveJoins(CheckState& state) {
  if (state.recordCount == 0) return;
  ReadDirectoryCopies(state, nullptr, ResolveFrom);
  const CheckSink& sink = *state.sink;
  for (u32 r = 0; r < state.recordCount; ++r) {
    const JoinRecord& j = state.records[r];
    if (j.lost) {
      LostChain chain = {kLostIntoListed, j.from, j.clusters, ListSizeMiB(j.clusters), j.owner, j.cluster};
      sink.lost(sink.context, chain);
    } else {
      CrossLink link = {j.from, j.owner, j.cluster, j.clusters};
      sink.crossLink(sink.context, link);
    }
  }
}
