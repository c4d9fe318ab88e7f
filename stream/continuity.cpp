// Continuity counters checked PID by PID.
#include "stream/continuity.h"

bool ContinuityBroken(PidContinuity* s, const u8* p) {
  u8 cc = PacketContinuity(p);
  bool payload = PacketHasPayload(p);
  bool known = s->known, repeated = s->repeated;
  u8 last = s->last;
  s->last = cc;
  s->known = true;
  s->repeated = false;
  if (!known || PacketDiscontinuity(p)) return false;
  if (!payload) return cc != last;
  if (cc == last) {
    s->repeated = true;
    return repeated;  // a second duplicate
  }
  return cc != ((last + 1) & 0x0F);
}
