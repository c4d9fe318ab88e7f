// The recorder's block form: a recording whose first blocks of 131072 bytes
// all start with a transport-stream sync byte is taken to be stored as
// blocks of 129344 stream bytes (688 packets) and 1728 bytes of filler.
// One decision, fed the first blocks' first bytes and settled before any
// block is written, for every reader of recordings.
#ifndef MELVIR_DISK_BLOCK_FORM_H
#define MELVIR_DISK_BLOCK_FORM_H

#include "platform/types.h"

const u32 kBlockBytes = 131072;
const u32 kBlockStreamBytes = 129344;
const u8 kSyncByte = 0x47;    // the first byte of every transport-stream packet
const u32 kPacketSize = 188;  // a transport-stream packet
const u32 kSyncBlocks = 4;  // blocks that must start with 0x47 to settle block mode

struct BlockForm {
  bool blockMode;  // starts on
  u32 syncCount;   // blocks seen starting with 0x47, up to kSyncBlocks
};

inline BlockForm NewBlockForm() { return BlockForm{true, 0}; }

// Whether the decision is made: a block that did not start with 0x47, or
// four that did. A recording that ends before is in block form.
inline bool FormSettled(const BlockForm& f) { return !f.blockMode || f.syncCount >= kSyncBlocks; }

// Takes the first byte of the next block into the decision.
inline void SeeBlockStart(BlockForm* f, u8 first) {
  if (FormSettled(*f)) return;
  if (first == kSyncByte) ++f->syncCount;
  else f->blockMode = false;
}

// How many of a block's n bytes belong to the stream, by a settled form.
inline u32 StreamBytes(const BlockForm& f, u32 n) {
  return f.blockMode && n >= kBlockStreamBytes ? kBlockStreamBytes : n;
}

// ---- A whole recording's form ------------------------------------------------
//
// The blocks a recording keeps cut are those before wholeFrom: all of them
// in block form, none otherwise. The decision is settled by the first bytes
// of the first blocks; every offset of the stream follows from it.
const u64 kEveryBlockCut = ~0ull;
struct FormPlan {
  u64 wholeFrom;  // the first block kept whole; kEveryBlockCut: none is
  bool unvoted;   // blocks exist but no start could be read: block form taken
};

// Gives the first byte of block index, asked for 0, 1, 2 ... in order.
// *exists false: the recording has no such block. *counted false: the
// block's first sector could not be read, so it neither counts towards block
// mode nor turns it off. False when the read failed.
typedef bool (*BlockStartReader)(void* context, u64 index, bool* exists, bool* counted, u8* first);

// Reads block starts until the decision is settled (four blocks, unless
// some were not counted) or the recording ends, before any block is cut.
bool PlanBlockForm(BlockStartReader read, void* context, FormPlan* plan);

inline bool BlockIsCut(const FormPlan& plan, u64 index) { return index < plan.wholeFrom; }

// How many of the n bytes read of block index are stream.
inline u32 BlockStreamBytes(const FormPlan& plan, u64 index, u32 n) {
  return BlockIsCut(plan, index) && n >= kBlockStreamBytes ? kBlockStreamBytes : n;
}

// The stream bytes of the first `blocks` whole blocks.
inline u64 StreamOffset(const FormPlan& plan, u64 blocks) {
  u64 cut = blocks < plan.wholeFrom ? blocks : plan.wholeFrom;
  return cut * kBlockStreamBytes + (blocks - cut) * kBlockBytes;
}

// The stream bytes of a recording of `bytes` bytes.
inline u64 StreamLength(const FormPlan& plan, u64 bytes) {
  u64 whole = bytes / kBlockBytes;
  return StreamOffset(plan, whole) + BlockStreamBytes(plan, whole, u32(bytes % kBlockBytes));
}

// Where stream byte `offset` lies in the recording, and how many stream
// bytes its block holds from there on (the recording may end before).
inline void StreamPosition(const FormPlan& plan, u64 offset, u64* recording, u32* left) {
  u64 block = offset / kBlockStreamBytes, in = offset % kBlockStreamBytes;
  u32 span = kBlockStreamBytes;
  if (block >= plan.wholeFrom) {
    u64 past = offset - plan.wholeFrom * kBlockStreamBytes;
    block = plan.wholeFrom + past / kBlockBytes;
    in = past % kBlockBytes;
    span = kBlockBytes;
  }
  *recording = block * kBlockBytes + in;
  *left = u32(span - in);
}

// An extracted file keeps whole 512-byte units of the stream, as the
// Windows program's output does.
inline u64 OutputLength(u64 streamBytes) { return streamBytes / 512 * 512; }

#endif
