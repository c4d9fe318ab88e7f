// Reading a recording past damage: a cluster piece that fails is read again
// unit by unit, and the units that still fail become zeros at their own
// place, so the stream keeps its length and later packets their positions.
#include <cstring>

#include "disk/layout.h"
#include "rescue/rescue.h"

namespace {

struct RescueCursor {
  u32 clustersLeft;  // after the current one
  bool ended;
  u64 delivered;     // recording bytes delivered since the open
  u32 unit;
};
RescueCursor g_rescue = {0, true, 0, kSectorSize};
alignas(kMaxRereadUnit) u8 g_unit[kMaxRereadUnit];

}  // namespace

void AddDamageRun(ReadDamage* damage, u64 offset, u32 length, u64 position, u32 error) {
  ReadDamage::Run* last = damage->runCount ? &damage->runs[damage->runCount - 1] : nullptr;
  bool onDisk = last && last->error == error &&
                (position == kNoPosition ? last->position == kNoPosition
                                         : last->position != kNoPosition &&
                                               last->position + last->length == position);
  // Runs of the sectors one read touches cannot outnumber the array; a
  // full array would only widen its last run.
  if (last && ((last->offset + last->length == offset && onDisk) ||
               damage->runCount == kMaxDamageRuns)) {
    last->length = u32(offset + length - last->offset);
    return;
  }
  damage->runs[damage->runCount++] = {offset, length, error, position};
}

void RereadPiece(u64 position, u8* out, u32 length, u64 stream, u32 readUnit, u8* unitBuffer,
                 ReadDamage* damage) {
  const u64 unit = readUnit;
  const u64 end = position + length;
  for (u64 at = position / unit * unit; at < end; at += unit) {
    u64 from = at > position ? at : position;
    u64 to = at + unit < end ? at + unit : end;
    u32 got = 0;
    u8* place = out + (from - position);
    bool read = ReadDirect(g_disk.device, at, unitBuffer, u32(unit), &got);
    if (read && got >= to - at) {
      std::memcpy(place, unitBuffer + (from - at), size_t(to - from));
    } else {
      std::memset(place, 0, size_t(to - from));
      AddDamageRun(damage, stream + (from - position), u32(to - from), from,
                   read ? 0 : LastSystemError());
    }
  }
}

u32 RereadUnit() {
  u32 unit = DirectReadUnit(g_disk.device);
  // Units the buffer cannot hold, or no power of two: sectors, through the cache.
  return unit <= kMaxRereadUnit && (unit & (unit - 1)) == 0 ? unit : kSectorSize;
}

void ClearDamage(ReadDamage* damage) {
  damage->runCount = 0;
  damage->chainBroken = false;
  damage->brokenAfter = 0;
  damage->brokenHow = kChainEnd;
}

namespace {

// One cluster piece: read whole, and again unit by unit when that fails.
void ReadPiece(u8* out, u32 length, ReadDamage* damage) {
  u64 position;
  u64 stream = g_rescue.delivered;
  if (!ClusterPosition(g_disk.currentCluster, g_disk.clusterOffset, &position)) {
    // Past the sectors a 32-bit sector number reaches: nothing to read.
    std::memset(out, 0, length);
    AddDamageRun(damage, stream, length, kNoPosition, 0);
    return;
  }
  u32 n = 0;
  if (!SeekFile(g_disk.device, position) || !ReadBytes(g_disk.device, out, length, &n) ||
      n != length)
    RereadPiece(position, out, length, stream, g_rescue.unit, g_unit, damage);
  if (g_disk.wordSwap) SwapWordBytes(out, length);
}

// Moves to the next cluster of the chain; false at the end of the recording,
// with a failed step told in damage.
bool NextCluster(ReadDamage* damage) {
  if (g_rescue.clustersLeft == 0) return false;
  u32 next;
  ChainEnd why;
  if (!StepOnDisk(g_disk.currentCluster, &next, &why)) {
    if (why == kChainEnd || why == kChainAboveCount) return false;
    damage->chainBroken = true;
    damage->brokenAfter = g_disk.currentCluster;
    damage->brokenHow = why;
    return false;
  }
  g_disk.currentCluster = next;
  g_disk.clusterOffset = 0;
  --g_rescue.clustersLeft;
  return true;
}

// Moves the cursor up to length bytes on, reading them into out (null:
// skipping them); returns the bytes it moved.
u64 Advance(u8* out, u64 length, ReadDamage* damage) {
  ClearDamage(damage);
  u64 remaining = length;
  while (remaining > 0 && !g_rescue.ended) {
    if (g_disk.clusterOffset >= g_disk.usableClusterBytes && !NextCluster(damage)) {
      g_rescue.ended = true;
      break;
    }
    u32 left = g_disk.usableClusterBytes - g_disk.clusterOffset;
    u32 chunk = left < remaining ? left : u32(remaining);
    if (out && chunk > 0) {
      ReadPiece(out, chunk, damage);
      out += chunk;
    }
    g_disk.clusterOffset += chunk;
    g_rescue.delivered += chunk;
    remaining -= chunk;
  }
  return length - remaining;
}

}  // namespace

bool OpenEntryRescue(u32 first, u32 clusters) {
  if (first == 0 || first > g_disk.clusterCount) return false;
  g_disk.currentCluster = first;
  g_disk.clusterOffset = 0;
  g_rescue = {clusters ? clusters - 1 : 0, clusters == 0, 0, RereadUnit()};
  return true;
}

bool ReadEntryRescue(void* buffer, u32 length, u32* got, ReadDamage* damage) {
  if (length % kSectorSize != 0 || length > kRescueReadMax) {
    ClearDamage(damage);
    return false;
  }
  *got = u32(Advance(static_cast<u8*>(buffer), length, damage));
  return true;
}

void SkipEntryRescue(u64 length, u64* skipped, ReadDamage* damage) {
  *skipped = Advance(nullptr, length, damage);
}
