// The block-form decision of a whole recording, from its first blocks.
#include "disk/block_form.h"

bool PlanBlockForm(BlockStartReader read, void* context, FormPlan* plan) {
  BlockForm form = NewBlockForm();
  *plan = FormPlan{kEveryBlockCut, false};
  bool any = false, voted = false;
  // Blocks whose first sector could not be read neither count towards block
  // mode nor turn it off; the decision waits for blocks that can.
  for (u64 index = 0; !FormSettled(form); ++index) {
    bool exists = false, counted = false;
    u8 first = 0;
    if (!read(context, index, &exists, &counted, &first)) return false;
    if (!exists) break;
    any = true;
    if (!counted) continue;
    voted = true;
    SeeBlockStart(&form, first);
  }
  plan->wholeFrom = form.blockMode ? kEveryBlockCut : 0;
  plan->unvoted = any && !voted;
  return true;
}
