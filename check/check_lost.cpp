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

bool Known(const CheckState& state, u32 c) {
  return !TestBit(state.tableBad, c / kTableEntriesPerSector);
}

// Offers the chain when its first cluster's data, after any word swap,
// begins with three transport-stream packets.
void OfferIfStream(CheckState& state, u32 first, u32 clusters) {
  CheckReport* report = state.report;
  u64 position;
  u32 got = 0;
  if (g_disk.usableClusterBytes < 2 * kPacketSize + 1 || !ClusterPosition(first, 0, &position)) {
    ++report->chainsWithoutStream;
    return;
  }
  if (!SeekFile(g_disk.device, position) ||
      !ReadBytes(g_disk.device, state.sector, kSectorSize, &got) || got != kSectorSize) {
    ++report->chainsUnreadableStart;
    LostChain chain = {kLostUnreadable, first, clusters, ListSizeMiB(clusters), kNoEntry, 0};
    state.sink->lost(state.sink->context, chain);
    return;
  }
  if (g_disk.wordSwap) SwapWordBytes(state.sector, kSectorSize);
  const u8* b = state.sector;
  if (b[0] != kSyncByte || b[kPacketSize] != kSyncByte || b[2 * kPacketSize] != kSyncByte) {
    ++report->chainsWithoutStream;
    return;
  }
  ++report->lostRecordings;
  LostChain chain = {kLostRecording, first, clusters, ListSizeMiB(clusters), kNoEntry, 0};
  state.sink->lost(state.sink->context, chain);
}

// Follows a chain from a cluster nothing points to. A cluster two clusters
// point to is shared with another chain (a cycle is entered through one
// too); one on an entry's chain means this chain runs into it.
void Follow(CheckState& state, u32 head) {
  u32 c = head, n = 0;
  for (;;) {
    if (c < state.held && TestBit(state.onChain, c)) {
      ++state.report->lostIntoListed;
      RecordJoin(state, true, head, c, n);
      return;
    }
    if (c != head && c < state.held && TestBit(state.pointedTwice, c)) return;
    ++n;
    u32 next;
    ChainEnd end;
    if (!StepHeld(state, c, &next, &end)) {
      // Only a chain that ends as a listed one does reads as one.
      if ((end == kChainEnd || end == kChainAboveCount) && n >= 2) OfferIfStream(state, head, n);
      return;
    }
    if (n >= state.held) return;
    c = next;
  }
}

}  // namespace

void FindLostChains(CheckState& state) {
  if (state.held < 2) return;
  u32 top = state.held - 1 < g_disk.clusterCount ? state.held - 1 : g_disk.clusterCount;
  const u32* succ = state.successor;
  for (u32 c = 1; c <= top; ++c) {
    u32 v = succ[c];
    if (!Known(state, c) || !Links(v) || v >= state.held) continue;
    if (TestBit(state.pointedTo, v))
      SetBit(state.pointedTwice, v);
    else
      SetBit(state.pointedTo, v);
  }
  for (u32 h = 1; h <= top; ++h) {
    if (TestBit(state.onChain, h) || TestBit(state.pointedTo, h) || !Known(state, h)) continue;
    // A successor past the count: one cluster, never a recording.
    if (Links(succ[h])) Follow(state, h);
  }
}
