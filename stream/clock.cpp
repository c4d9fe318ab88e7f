// PCR and PTS clocks summed over their continuous stretches.
#include "stream/clock.h"

void SeeClock(Clock* c, u64 value, u64 offset, bool discontinuity, u64 lateness) {
  if (!c->started) c->first = value;
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
    c->bridgeFailed = c->bridgeFailed || bridge;
  } else {
    c->ticks += ahead;
    c->bytes += offset - c->lastOffset;
    if (bridge) {
      c->bridgedTicks += ahead;
      c->bridgedBytes += offset - c->lastOffset;
    }
  }
  c->last = value;
  c->lastOffset = offset;
}

void BridgeClock(Clock* c) { c->bridging = c->started; }

bool ClockRunsOn(const Clock& c) {
  if (c.bridgeFailed) return false;
  u64 ticks = c.ticks - c.bridgedTicks, bytes = c.bytes - c.bridgedBytes;
  // The rate of less than a second read is not known well enough to judge.
  if (c.bridgedBytes == 0 || ticks < kTicksPerSecond || bytes == 0) return true;
  double expected = double(c.bridgedBytes) * double(ticks) / double(bytes);
  double taken = double(c.bridgedTicks);
  return taken * 4 >= expected && taken <= expected * 4;
}
