// The block-form decision of a whole recording, from its first blocks.
#include "disk/block_form.h"

bool PlanBlockForm(BlockStartReader read, void* context, FormPlan* plan) {
  BlockForm form = NewBlockForm();
  plan->wholeFrom = kEveryBlockCut;
  u64 cutUpTo = 0;  // blocks up to the last one that started with a sync byte
  for (u64 index = 0;; ++index) {
    bool exists = false, counted = false;
    u8 first = 0;
    if (!read(context, index, &exists, &counted, &first)) return false;
    if (!exists) return true;
    if (counted) SeeBlockStart(&form, first);
    if (counted && form.blockMode) cutUpTo = index + 1;
    // Blocks whose first sector could not be read, met between the last sync
    // block and the one that ends block mode, are taken as whole: a recording
    // not in block form keeps its first block whole even when it cannot be read.
    if (!form.blockMode) {
      plan->wholeFrom = cutUpTo;
      return true;
    }
    if (form.syncCount >= kSyncBlocks) return true;
  }
}
