// Continuity counters, PID by PID: the 4-bit counter advances by one on each
// packet with payload, stays on one without; one duplicate is allowed, the
// discontinuity indicator excuses a jump, the null PID has none.
#ifndef MELVIR_STREAM_CONTINUITY_H
#define MELVIR_STREAM_CONTINUITY_H

#include "stream/packet.h"

struct PidContinuity {
  u8 last;
  bool known;      // last is a counter seen since the last break
  bool repeated;   // the last packet was a duplicate
};

// Checks packet p against its PID's state; true when it breaks continuity.
bool ContinuityBroken(PidContinuity* state, const u8* p);

#endif
