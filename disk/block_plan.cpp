// The block-form decision of a whole recording, from its first blocks.
#include "disk/block_form.h"

bool PlanBlockForm(BlockStartReader read, void* context, FormPlan* plan) {
  BlockForm form = NewBlockForm();
  plan->wholeFrom = kEveryBlockCut;
  for (u64 index = 0;; ++index) {
    bool exists = false, counted = false;
    u8 first = 0;
    if (!read(context, index, &exists, &counted, &first)) return false;
    if (!exists) return true;
    if (counted) SeeBlockStart(&form, first);
    if (!form.blockMode) {
      plan->wholeFrom = index;
      return true;
    }
    if (form.syncCount >= kSyncBlocks) return true;
  }
}
