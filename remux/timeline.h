// One timeline for every track of a recording, in 90 kHz ticks, made from
// the stream's 33-bit time stamps: continuous across the wrap, across a
// jump back and across a jump the broadcaster marked as a discontinuity
// (everything after it moves by one common offset, so the tracks stay in
// step); a jump forward that nobody marked stays a gap, as the time lost
// where sectors could not be read or the signal dropped.
#ifndef MELVIR_REMUX_TIMELINE_H
#define MELVIR_REMUX_TIMELINE_H

#include "platform/types.h"

const i64 kTimelineTicks = 90000;  // a second
const u64 kStampWrap = u64(1) << 33;

// How far one packet's time stamp may lie behind or ahead of the latest
// one of the same stretch: audio and video of one moment travel up to about
// a second apart in the multiplex.
const i64 kStampBehind = 3 * kTimelineTicks;
const i64 kStampAhead = 3 * kTimelineTicks;
// Where the stretch after a join starts: a frame after the latest time.
const i64 kJoinStep = kTimelineTicks / 25;

struct Timeline {
  bool started;
  i64 reference;  // the latest stamp of the current stretch, unwrapped
  i64 offset;     // added to the current stretch's unwrapped stamps
  i64 latest;     // the latest time given a clock's packet
  bool earlier;   // the stretch before the last jump, for its late packets
  i64 earlierReference, earlierOffset;
  u32 jumps;      // jumps met (a new stretch began)
  u32 joins;      // of those, closed up
};

// The value of the 33-bit stamp raw nearest to reference.
i64 UnwrapStamp(i64 reference, u64 raw);

// The time of a packet whose stamp is raw. clock: an audio or video packet,
// whose stamps move the timeline (a subtitle's only follow it). marked: the
// broadcaster marked a discontinuity since the last packet: a jump forward
// is closed up too.
i64 MapStamp(Timeline* timeline, u64 raw, bool clock, bool marked);

// Where a stamp lies on the timeline as it stands, moving nothing: as
// MapStamp places a subtitle's.
i64 PlaceStamp(const Timeline& timeline, u64 raw);

#endif
