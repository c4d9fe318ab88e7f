// Recordings the directory no longer names: chains of their own among the
// clusters no entry's chain reaches, whose first cluster holds a transport
// stream. A heuristic, so every rule leans towards offering nothing.
#include "check/check_state.h"
#include "disk/layout.h"
#include "disk/block_form.h"

namespace {

// Cluster 0 is not a data cluster, and free clusters may well hold 0: a
// successor of 0 links nothing.
bool Links(u32 v) { return v != 0 && v != kEndOfChain && v <= g_disk.clusterCount; }

bool Known(u32 c) { return !TestBit(g_check.tableBad, c / kTableEntriesPerSector); }

// Offers the chain when its first cluster's data, after any word swap,
// begins with three transport-stream packets.
void OfferIfStream(u32 first, u32 clusters) {
  CheckReport* report = g_check.report;
  u64 position;
  u32 got = 0;
  if (g_disk.usableClusterBytes < 2 * kPacketSize + 1 || !ClusterPosition(first, 0, &position)) {
    ++report->chainsWithoutStream;
    return;
  }
  if (!SeekFile(g_disk.device, position) ||
      !ReadBytes(g_disk.device, g_check.sector, kSectorSize, &got) || got != kSectorSize) {
    ++report->chainsUnreadableStart;
    LostChain chain = {kLostUnreadable, first, clusters, ListSizeMiB(clusters), kNoEntry, 0};
    g_check.sink->lost(g_check.sink->context, chain);
    return;
  }
  if (g_disk.wordSwap) SwapWordBytes(g_check.sector, kSectorSize);
  const u8* b = g_check.sector;
  if (b[0] != kSyncByte || b[kPacketSize] != kSyncByte || b[2 * kPacketSize] != kSyncByte) {
    ++report->chainsWithoutStream;
    return;
  }
  ++report->lostRecordings;
  LostChain chain = {kLostRecording, first, clusters, ListSizeMiB(clusters), kNoEntry, 0};
  g_check.sink->lost(g_check.sink->context, chain);
}

// Follows a chain from a cluster nothing points to. A cluster two clusters
// point to is shared with another chain (a cycle is entered through one
// too); one on an entry's chain means this chain runs into it.
void Follow(u32 head) {
  u32 c = head, n = 0;
  for (;;) {
    if (c < g_check.held && TestBit(g_check.onChain, c)) {
      ++g_check.report->lostIntoListed;
      RecordJoin(true, head, c, n);
      return;
    }
    if (c != head && c < g_check.held && TestBit(g_check.pointedTwice, c)) return;
    ++n;
    u32 next;
    ChainEnd end;
    if (!StepHeld(c, &next, &end)) {
      // Only a chain that ends as a listed one does reads as one.
      if ((end == kChainEnd || end == kChainAboveCount) && n >= 2) OfferIfStream(head, n);
      return;
    }
    if (n >= g_check.held) return;
    c = next;
  }
}

}  // namespace

void FindLostChains() {
  if (g_check.held < 2) return;
  u32 top = g_check.held - 1 < g_disk.clusterCount ? g_check.held - 1 : g_disk.clusterCount;
  const u32* succ = g_check.successor;
  for (u32 c = 1; c <= top; ++c) {
    u32 v = succ[c];
    if (!Known(c) || !Links(v) || v >= g_check.held) continue;
    if (TestBit(g_check.pointedTo, v))
      SetBit(g_check.pointedTwice, v);
    else
      SetBit(g_check.pointedTo, v);
  }
  for (u32 h = 1; h <= top; ++h) {
    if (TestBit(g_check.onChain, h) || TestBit(g_check.pointedTo, h) || !Known(h)) continue;
    if (Links(succ[h])) Follow(h);  // a successor past the count: one cluster, never a recording
  }
}
