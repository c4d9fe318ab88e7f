// Reading a recording at any offset: its chain kept as runs of consecutive
// clusters, collected by one walk, then positional reads of the device that
// share no cursor and never touch the sector cache, so that any number of
// threads may read recordings at once once the runs are collected.
#ifndef MELVIR_RESCUE_POSITION_H
#define MELVIR_RESCUE_POSITION_H

#include <vector>

#include "disk/block_form.h"
#include "rescue/rescue.h"

// Clusters first to first + count - 1 are the recording's clusters index to
// index + count - 1 (counted from 0 along its chain).
struct ClusterRun {
  u64 index;
  u32 first;
  u32 count;
};

typedef void (*ClusterRunSink)(void* context, const ClusterRun& run);

// Walks the first clusters clusters of the chain from first (the count its
// listing found) and gives their runs in chain order. pastDamage: each step
// as the rescue walk takes it; otherwise as GetNextCluster does. False when
// a step fails first; *collected is then the clusters given.
bool IndexChain(u32 first, u32 clusters, bool pastDamage, ClusterRunSink sink, void* context,
                u32* collected);

struct ChainIndex {
  const ClusterRun* runs;  // in chain order, covering the clusters
  u32 runCount;
  u64 bytes;               // the recording's bytes: its clusters' usable bytes
};

// The first stretch of recording bytes [offset, offset + length), offset
// below index.bytes: its device position and how many of the bytes lie on
// adjoining sectors from there. False when it lies past sector 2^32 - 1.
bool FirstStretch(const ChainIndex& index, u64 offset, u32 length, u64* position, u32* n);

// Reads up to length bytes of the recording from its byte offset (before
// any block-form cut) into buffer, with one device read per stretch of
// consecutive sectors, word swap applied; *got falls short only at the
// recording's end. Without pastDamage a read that fails or comes back short
// fails the call. With it, units that do not read are zeros, listed in
// damage as recording offsets. unitBuffer as for RereadPiece; length at
// most kRescueReadMax, so that damage has room for every run.
bool ReadRecordingAt(const ChainIndex& index, u64 offset, void* buffer, u32 length,
                     bool pastDamage, u8* unitBuffer, ReadDamage* damage, u32* got);

// A ClusterRunSink that appends to a std::vector<ClusterRun>.
void AppendClusterRun(void* context, const ClusterRun& run);

// The recording's block form, settled from its block starts read by
// position. A start that cannot be read does not count, as with --rescue;
// without it, reads there fail later. unitBuffer as for ReadRecordingAt.
void PlanFormByPosition(const ChainIndex& index, u8* unitBuffer, FormPlan* plan);

#endif
