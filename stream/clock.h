// A clock read off the stream (PCR, or PTS when there is none): the time it
// covers, summed over its continuous stretches, and the stream bytes those
// stretches span, for the bit rate.
#ifndef MELVIR_STREAM_CLOCK_H
#define MELVIR_STREAM_CLOCK_H

#include "platform/types.h"

// Ticks of 27 MHz: a PCR is 33 bits of 90 kHz base times 300 plus its
// extension, so it wraps at 2^33 * 300.
const u64 kTicksPerSecond = 27000000;
const u64 kClockWrap = (u64(1) << 33) * 300;

struct Clock {
  bool started;
  u64 first;       // the first value
  bool bridging;   // the next value continues across a gap the reader skipped
  u64 last;        // the latest value of the current stretch
  u64 lastOffset;  // the stream offset it came at
  u64 ticks;       // time covered so far
  u64 bytes;       // stream bytes those ticks span
  u32 stretches;
  // Of those, what was taken across gaps the reader skipped or could not
  // read; and a gap the clock could not be taken across at all.
  u64 bridgedTicks, bridgedBytes;
  bool bridgeFailed;
};

// Takes value (ticks, below kClockWrap) seen at stream offset. A new
// stretch starts at a discontinuity, a jump back of more than lateness
// ticks (PTS come out of order by up to a few frames; PCR never), or a jump
// forward of more than a second. A value less than lateness behind is
// ignored.
void SeeClock(Clock* clock, u64 value, u64 offset, bool discontinuity, u64 lateness);

// The reader skips part of the stream: the next value continues the current
// stretch whatever it is, as the middle of a recording is taken to run on.
void BridgeClock(Clock* clock);

// What was taken across the gaps fits the rest: the clock ran at the rate
// its bytes came at (within a factor of 4: broadcasts vary their rate) and
// never back. False for a recording spliced from two broadcasts.
bool ClockRunsOn(const Clock& clock);

#endif
