// Reading a damaged disk's metadata: a table or directory sector whose first
// copy fails is read from the other, sectors found bad are remembered so a
// dying disk is not asked for them again, and table entries of the other
// copy that make a chain whole are kept for every later step (see
// WalkChain). Set on the disk layer's one metadata hook.
#ifndef MELVIR_RESCUE_MIRROR_H
#define MELVIR_RESCUE_MIRROR_H

#include "disk/recorder_disk.h"
#include "walk/chain_walk.h"

// Told each time a sector's first copy could not be read, with the copy it
// was read from instead, or 0 when neither copy reads. Each sector is told
// once while the record of bad sectors has room.
typedef void (*MirrorHook)(MetadataArea area, u32 s, u32 copyRead);

// From now on (after a discovery) metadata sectors come from firstCopy (1 or
// 2) and, when it fails, from the other; sectors both of whose copies lie
// past the drive's end are not asked for. Forgets what an earlier disk's
// reads found. tell may be null.
void StartMirrorReads(u32 firstCopy, MirrorHook tell);
bool MirrorReadsOn();
u32 MirrorFirstCopy();

// Table sector s from the copy a mirror read does not take first; false when
// that copy is not read (no mirror reads, or either copy known bad).
bool ReadOtherTableSector(u32 s);

// Entries of the other copy that made chains whole (walk/chain_walk.h).
const u32 kChainPatchSlots = 64;
// The entry kept for cluster c, or null.
const ChainPatch* PatchOf(u32 c);
u32 ChainPatchCount();
bool AddChainPatch(u32 cluster, u32 next);
// Drops the patches added after the first count.
void KeepChainPatches(u32 count);

#endif
