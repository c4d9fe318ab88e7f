// The recorder's block form: a recording whose first blocks of 131072 bytes
// all start with a transport-stream sync byte is taken to be stored as
// blocks of 129344 stream bytes (688 packets) and 1728 bytes of filler.
// One decision, fed block by block, for every reader of recordings.
#ifndef MELVIR_DISK_BLOCK_FORM_H
#define MELVIR_DISK_BLOCK_FORM_H

#include "platform/types.h"

const u32 kBlockBytes = 131072;
const u32 kBlockStreamBytes = 129344;
const u8 kSyncByte = 0x47;
const u32 kSyncBlocks = 4;  // blocks that must start with 0x47 to settle block mode

struct BlockForm {
  bool blockMode;  // starts on
  u32 syncCount;   // blocks seen starting with 0x47, up to kSyncBlocks
};

inline BlockForm NewBlockForm() { return BlockForm{true, 0}; }

// Takes the first byte of the next block into the decision.
inline void SeeBlockStart(BlockForm* f, u8 first) {
  if (!f->blockMode || f->syncCount >= kSyncBlocks) return;
  if (first == kSyncByte) ++f->syncCount;
  else f->blockMode = false;
}

// How many of a block's n bytes belong to the stream.
inline u32 StreamBytes(const BlockForm& f, u32 n) {
  return f.blockMode && n >= kBlockStreamBytes ? kBlockStreamBytes : n;
}

#endif
