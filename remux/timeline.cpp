// The recording's one timeline, from its packets' stamps in demux order.
#include "remux/timeline.h"

namespace {

bool Near(i64 value, i64 reference) {
  return value >= reference - kStampBehind && value <= reference + kStampAhead;
}

}  // namespace

i64 UnwrapStamp(i64 reference, u64 raw) {
  u64 delta = (raw - u64(reference)) & (kStampWrap - 1);
  i64 signedDelta = delta >= kStampWrap / 2 ? i64(delta) - i64(kStampWrap) : i64(delta);
  return reference + signedDelta;
}

i64 MapStamp(Timeline* t, u64 raw, bool clock, bool marked) {
  raw &= kStampWrap - 1;
  if (!t->started) {
    if (!clock) return i64(raw);  // the offset is still 0
    *t = Timeline{};
    t->started = true;
    t->reference = t->latest = i64(raw);
    return i64(raw);
  }
  i64 stamp = UnwrapStamp(t->reference, raw);
  if (Near(stamp, t->reference)) {
    if (clock && stamp > t->reference) t->reference = stamp;
    if (clock && stamp + t->offset > t->latest) t->latest = stamp + t->offset;
    return stamp + t->offset;
  }
  // A packet of the stretch before the last jump, sent late.
  if (t->earlier) {
    i64 late = UnwrapStamp(t->earlierReference, raw);
    if (Near(late, t->earlierReference)) return late + t->earlierOffset;
  }
  // A subtitle far from the clocks is placed on the current stretch.
  if (!clock) return stamp + t->offset;
  ++t->jumps;
  t->earlier = true;
  t->earlierReference = t->reference;
  t->earlierOffset = t->offset;
  if (stamp < t->reference || marked) {
    t->offset = t->latest + kJoinStep - stamp;
    ++t->joins;
  }
  t->reference = stamp;
  if (stamp + t->offset > t->latest) t->latest = stamp + t->offset;
  return stamp + t->offset;
}

i64 PlaceStamp(const Timeline& t, u64 raw) {
  Timeline copy = t;
  return MapStamp(&copy, raw, false, false);
}
