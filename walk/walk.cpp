// Brent's cycle finding along a chain: the hare walks on, the tortoise waits
// at the cluster of each power-of-two step; meeting it again gives the
// cycle's length. Without a cycle the walk is one pass.
#include "walk/chain_walk.h"

namespace {

struct Walker {
  ChainStepFn step;
  void* context;
  ChainWalk* walk;
};

void Ended(const Walker& w, u64 clusters, u32 last, ChainEnd why, u32 next) {
  *w.walk = {w.walk->first, u32(clusters), last, why, why == kChainAboveCount ? next : 0};
}

// With a cycle of length lambda found: walks two cursors lambda apart from
// the start until they meet, at the first cluster met again (after mu
// steps). The clusters before it are mu + lambda, the last of them being the
// one whose link closes the cycle.
void MeasureCycle(const Walker& w, u64 lambda) {
  ChainEnd why;
  u32 first = w.walk->first;
  u32 ahead = first, behind = first, beforeAhead = first, next = 0;
  for (u64 i = 0; i < lambda; ++i) {
    beforeAhead = ahead;
    if (!w.step(w.context, ahead, &ahead, &why)) return Ended(w, i + 1, beforeAhead, why, ahead);
  }
  u64 mu = 0;
  while (behind != ahead) {
    if (!w.step(w.context, behind, &next, &why)) return Ended(w, mu + 1, behind, why, next);
    behind = next;
    beforeAhead = ahead;
    if (!w.step(w.context, ahead, &ahead, &why))
      return Ended(w, lambda + mu + 1, beforeAhead, why, ahead);
    ++mu;
  }
  *w.walk = {first, u32(mu + lambda), beforeAhead, kChainCycle, behind};
}

}  // namespace

void WalkChainBy(u32 first, ChainStepFn step, void* context, ChainWalk* walk) {
  walk->first = first;
  Walker w = {step, context, walk};
  u32 tortoise = first, hare = first;
  u64 power = 1, lambda = 0, walked = 1;
  ChainEnd why;
  for (;;) {
    u32 last = hare;
    if (!step(context, last, &hare, &why)) return Ended(w, walked, last, why, hare);
    ++lambda;
    if (hare == tortoise) break;
    ++walked;
    if (lambda == power) {
      tortoise = hare;
      power *= 2;
      lambda = 0;
    }
  }
  MeasureCycle(w, lambda);
}
