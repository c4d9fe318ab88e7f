// Reading a damaged recorder disk: chains walked to wherever they end,
// recordings read past unreadable sectors, and the sectors that matter for
// imaging the disk.
#ifndef MELVIR_RESCUE_RESCUE_H
#define MELVIR_RESCUE_RESCUE_H

#include "walk/chain_walk.h"
#include "disk/block_form.h"
#include "disk/entries.h"

// ---- Chain walk ------------------------------------------------------------

// For reading, a successor above the cluster count ends a chain as the end
// marker does (the Windows program reads it so); any other end is damage.
inline bool WalkIsWhole(const ChainWalk& walk) {
  return walk.end == kChainEnd || walk.end == kChainAboveCount;
}

// One step from cluster c (1 to the cluster count): its successor, or
// false with why the chain ends there (kChainAboveCount: *next is the
// successor named).
bool StepOnDisk(u32 c, u32* next, ChainEnd* why);

// Walks the chain from first over the table on the disk and says how it
// ended, as the check does over the table it holds. Constant memory: a cycle
// is found within a few laps and counted exactly, the clusters before the
// first one met again. A chain never holds more clusters than the cluster
// count, so no other bound is needed. A first cluster of 0 or above the
// cluster count is no chain: 0 clusters, kChainZero or kChainAboveCount.
// A cluster past the drive's end ends it (kChainBeyondDisk), as in the
// check; never gives kChainNotChecked. Under rescue, a chain that cycles
// or steps to cluster 0 where the table's copies differ is walked again with
// that step from the other copy; when that makes it whole, the step stays
// taken so (rescue/mirror.h keeps it), for every later step of the chain.
void WalkChain(u32 first, ChainWalk* walk);

// ---- Rescue read -----------------------------------------------------------

const u32 kRescueReadMax = kBlockBytes;  // longest ReadEntryRescue
// A run ends where the disk's sectors do not go on (a cluster boundary) as
// well as where readable bytes come between: every sector touched may be one.
const u32 kMaxDamageRuns = kRescueReadMax / kSectorSize + 2;
const u64 kNoPosition = ~0ull;  // damage that no read met (no sector holds it)

// What one ReadEntryRescue met. Offsets count bytes of the recording from its
// first byte, before any word swap or block-form cut.
struct ReadDamage {
  u32 runCount;
  struct Run {
    u64 offset;
    u32 length;
    u32 error;     // the system's reason the read failed; 0: the disk or image ended
    u64 position;  // the byte of the disk it starts at, or kNoPosition
  } runs[kMaxDamageRuns];  // unreadable, written as zeros; in order, adjacent ones merged
  bool chainBroken;  // a chain step failed: the recording ends here
  u32 brokenAfter;   // the cluster whose step failed
  ChainEnd brokenHow;
};

// Opens a recording for reading past damage: at most clusters clusters of
// the chain from first (the count a walk found, so no cluster is read
// twice). False when first is 0 or above the cluster count.
bool OpenEntryRescue(u32 first, u32 clusters);

// Reads up to length bytes (a multiple of 512, at most kRescueReadMax) like
// ReadEntryData. A cluster piece whose read fails is read again in the
// drive's read unit, past the system's cache on a disk device; units that
// still fail are zeros in the buffer, at their own place, and listed in
// damage. A failed chain step ends the recording (damage->chainBroken). False
// only for an invalid length.
bool ReadEntryRescue(void* buffer, u32 length, u32* got, ReadDamage* damage);

// The pieces below, for every reader past damage. A piece that failed is
// read again in the drive's read unit (RereadUnit: its logical sector where
// that is a power of two up to kMaxRereadUnit, else 512), past the system's
// cache on a disk device. Units that still fail are zeros in out, at their
// own place, and listed in damage at offset plus their place in the piece.
// unitBuffer holds kMaxRereadUnit bytes aligned to them: one per thread.
const u32 kMaxRereadUnit = 4096;
u32 RereadUnit();
void RereadPiece(u64 position, u8* out, u32 length, u64 offset, u32 unit, u8* unitBuffer,
                 ReadDamage* damage);
// Adds a run; one that goes on from the last one, on the disk too and for
// the same reason, widens it.
void AddDamageRun(ReadDamage* damage, u64 offset, u32 length, u64 position, u32 error);
void ClearDamage(ReadDamage* damage);

// Moves the cursor length bytes on as reading would, without reading data
// (for resuming a copy); *skipped falls short where the recording ends, a
// failed step being told in damage.
void SkipEntryRescue(u64 length, u64* skipped, ReadDamage* damage);

// ---- Sectors that matter -----------------------------------------------------

// Receives runs of absolute sectors [first, first + count).
typedef void (*SectorRunSink)(void* context, u64 first, u64 count);

// Sector 2, the volume header and both copies of the allocation table and
// of the directory.
void MetadataSectorRuns(SectorRunSink sink, void* context);

// The sectors holding recording data of the first clusters clusters of the
// chain from first, in chain order, adjacent ones merged. False when a chain
// step fails before that many clusters (the runs so far were given).
bool RecordingSectorRuns(u32 first, u32 clusters, SectorRunSink sink, void* context);

#endif
