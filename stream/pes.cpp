// The PTS of a PES header.
#include "stream/pes.h"

bool PesPts(const u8* h, size_t length, u64* pts) {
  if (length < 14 || h[0] != 0 || h[1] != 0 || h[2] != 1) return false;
  u8 id = h[3];
  bool media = (id >= 0xC0 && id <= 0xEF) || id == 0xBD;
  if (!media || (h[6] & 0xC0) != 0x80 || !(h[7] & 0x80) || h[8] < 5) return false;
  const u8* t = h + 9;
  if (!(t[0] & 1) || !(t[2] & 1) || !(t[4] & 1)) return false;  // the marker bits
  *pts = u64(t[0] >> 1 & 0x07) << 30 | u64(t[1]) << 22 | u64(t[2] >> 1) << 15 | u64(t[3]) << 7 | t[4] >> 1;
  return true;
}

bool PesTimestamp(const u8* p, u64* ticks) {
  u32 at = PayloadStart(p);
  u64 pts;
  if (at + 14 > kPacketSize || !PesPts(p + at, kPacketSize - at, &pts)) return false;
  *ticks = pts * 300;
  return true;
}
