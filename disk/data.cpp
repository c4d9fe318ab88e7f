// Reading a recording's bytes in order, cluster by cluster, straight into
// the caller's buffer.
#include "disk/layout.h"
#include "disk/recorder_disk.h"

namespace {

DataFailure g_failure = kDataFailNone;
u64 g_failedAt = 0;

bool Fail(DataFailure why) {
  g_failure = why;
  return false;
}

// Moves the cursor to the next cluster of the chain. At the chain's end the
// current cluster is left at the end-of-chain value. A cyclic table would
// otherwise deliver data (or, with empty clusters, spin) for ever.
bool StepCluster() {
  u64 step = ++g_disk.chainSteps;
  if (ChainTooLong(step)) return Fail(kDataFailChain);
  if (!GetNextCluster(&g_disk.currentCluster)) return Fail(kDataFailChain);
  if (ChainEnded(g_disk.currentCluster)) return true;
  g_disk.clusterOffset = 0;
  if (MeetsCycleMark(step, g_disk.currentCluster, &g_disk.cycleMark)) return Fail(kDataFailChain);
  return true;
}

}  // namespace

bool OpenEntry(u32 first) {
  if (ChainEnded(first)) return false;
  g_disk.currentCluster = first;
  g_disk.clusterOffset = 0;
  g_disk.chainSteps = 0;
  g_disk.cycleMark = first;
  return true;
}

namespace {

// The cursor moved length bytes on along the chain: read into out, or
// passed over when out is null. *moved falls short at the chain's end.
bool Advance(u8* out, u64 length, u64* moved) {
  u64 remaining = length;
  while (remaining > 0 && !ChainEnded(g_disk.currentCluster)) {
    if (g_disk.clusterOffset >= g_disk.usableClusterBytes) {
      if (!StepCluster()) return false;
      if (ChainEnded(g_disk.currentCluster)) break;
    }
    u32 left = g_disk.usableClusterBytes - g_disk.clusterOffset;
    u32 chunk = left < remaining ? left : u32(remaining);
    if (out) {
      // Cluster 0 and clusters past sector 2^32 - 1 are no part of the data
      // area: reading them would copy the disk's metadata into the recording.
      u64 position;
      if (!ClusterPosition(g_disk.currentCluster, g_disk.clusterOffset, &position))
        return Fail(kDataFailChain);
      if (chunk > 0) {
        u32 n = 0;
        g_failedAt = position;
        if (!SeekFile(g_disk.device, position)) return Fail(kDataFailDevice);
        if (!ReadBytes(g_disk.device, out, chunk, &n)) return Fail(kDataFailDevice);
        if (n != chunk) {
          g_failedAt = position + n;
          return Fail(kDataFailShort);
        }
        if (g_disk.wordSwap) SwapWordBytes(out, chunk);
      }
      out += chunk;
    }
    g_disk.clusterOffset += chunk;
    remaining -= chunk;
  }
  *moved = length - remaining;
  return true;
}

}  // namespace

bool ReadEntryData(void* buffer, u32 length, u32* got) {
  if (length % kSectorSize != 0) return false;
  u64 moved;
  if (!Advance(static_cast<u8*>(buffer), length, &moved)) return false;
  *got = u32(moved);
  return true;
}

DataFailure LastDataFailure() { return g_failure; }

u64 LastDataFailurePosition() { return g_failedAt; }

bool SkipEntryData(u64 length, u64* skipped) { return Advance(nullptr, length, skipped); }
