// A whole chain walked to its end, whatever that end is, and the record of
// how it ended: one walk for the consistency check (over the table it holds)
// and the rescue reader (over the table on the disk), each with its step.
#ifndef MELVIR_WALK_CHAIN_WALK_H
#define MELVIR_WALK_CHAIN_WALK_H

#include "platform/types.h"

// How a walk along a chain stopped.
enum ChainEnd {
  kChainEnd,          // the end marker 0xFFFFFFFF: a whole chain
  kChainAboveCount,   // a successor above the cluster count other than the end marker
  kChainZero,         // a step to cluster 0
  kChainCycle,        // a step back to a cluster of the same chain
  kChainUnreadable,   // the table sector of the last cluster is unreadable in both copies
  kChainPastTable,    // the last cluster's entry lies past the table
  kChainBeyondDisk,   // the last cluster lies past the end of the drive or sector 2^32 - 1
  kChainNotChecked,   // the last cluster's entry is past the table entries the check holds
};

struct ChainWalk {
  u32 first;
  u32 clusters;  // distinct clusters reached, the first and the last included
  u32 last;      // the last cluster reached
  ChainEnd end;
  u32 next;      // kChainAboveCount: the successor; kChainCycle: the cluster the
                 // last one leads back to (where the cycle closes); otherwise 0
};

// A table entry taken from the copy read second, because the first copy's
// made a chain fail and this one makes it whole.
struct ChainPatch {
  u32 cluster;
  u32 next;
};

// One step from cluster c: true with *next its successor; false with *end
// why the chain ends at c (kChainAboveCount: *next the successor named).
typedef bool (*ChainStepFn)(void* context, u32 c, u32* next, ChainEnd* end);

// Walks the chain from first (a cluster) by step and says how it ended.
// Constant memory: a cycle is found within a few laps and counted exactly,
// the clusters before the first one met again. A step that fails while the
// cycle is measured (a dying disk) ends the walk there.
void WalkChainBy(u32 first, ChainStepFn step, void* context, ChainWalk* walk);

#endif
