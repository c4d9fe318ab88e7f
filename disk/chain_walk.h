// How a walk along an allocation chain ended: the record the consistency
// check and the rescue walk both fill, described once.
#ifndef MELVIR_DISK_CHAIN_WALK_H
#define MELVIR_DISK_CHAIN_WALK_H

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

#endif
