// The fields of one 188-byte transport-stream packet that the analysis reads.
#ifndef MELVIR_STREAM_PACKET_H
#define MELVIR_STREAM_PACKET_H

#include "disk/block_form.h"

const u16 kNullPid = 0x1FFF;
const u32 kPidCount = 8192;

inline u16 PacketPid(const u8* p) { return u16((p[1] & 0x1F) << 8 | p[2]); }
inline bool PacketTei(const u8* p) { return (p[1] & 0x80) != 0; }
inline bool PacketStartsUnit(const u8* p) { return (p[1] & 0x40) != 0; }
inline bool PacketHasPayload(const u8* p) { return (p[3] & 0x10) != 0; }
inline bool PacketHasAdaptation(const u8* p) { return (p[3] & 0x20) != 0; }
inline u8 PacketContinuity(const u8* p) { return p[3] & 0x0F; }

// The adaptation field's length byte, when the packet has one that holds
// its flags.
inline bool AdaptationFlags(const u8* p, u8* flags) {
  if (!PacketHasAdaptation(p) || p[4] == 0 || p[4] > 183) return false;
  *flags = p[5];
  return true;
}
inline bool PacketDiscontinuity(const u8* p) {
  u8 flags;
  return AdaptationFlags(p, &flags) && (flags & 0x80) != 0;
}

// The PCR in 27 MHz ticks (base * 300 + extension), when the packet carries one.
inline bool PacketPcr(const u8* p, u64* ticks) {
  u8 flags;
  if (!AdaptationFlags(p, &flags) || !(flags & 0x10) || p[4] < 7) return false;
  u64 base = u64(p[6]) << 25 | u64(p[7]) << 17 | u64(p[8]) << 9 | u64(p[9]) << 1 | p[10] >> 7;
  u32 extension = u32(p[10] & 1) << 8 | p[11];
  *ticks = base * 300 + extension;
  return true;
}

// Where the payload starts, 4 to 188 (188: none).
inline u32 PayloadStart(const u8* p) {
  if (!PacketHasPayload(p)) return kPacketSize;
  if (!PacketHasAdaptation(p)) return 4;
  u32 start = 5u + p[4];
  return start < kPacketSize ? start : kPacketSize;
}

#endif
