// PCR and PTS clocks summed over their continuous stretches.
#include "stream/clock.h"

void SeeClock(Clock* c, u64 value, u64 offset, bool discontinuity, u64 lateness) {
  if (!c->started || discontinuity) {
    c->stretches += 1;
    c->started = true;
    c->bridging = false;
    c->last = value;
    c->lastOffset = offset;
    return;
  }
  u64 ahead = (value + kClockWrap - c->last) % kClockWrap;  // across the 33-bit wrap
  bool bridge = c->bridging;
  c->bridging = false;
  if (!bridge && ahead > kClockWrap - lateness) return;  // a little late: out of order
  // Across a skipped middle the clock may run for hours, never half a wrap.
  if (bridge ? ahead > kClockWrap / 2 : ahead > kTicksPerSecond) {
    c->stretches += 1;
  } else {
    c->ticks += ahead;
    c->bytes += offset - c->lastOffset;
  }
  c->last = value;
  c->lastOffset = offset;
}

void BridgeClock(Clock* c) { c->bridging = c->started; }
