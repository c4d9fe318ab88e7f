// UTF-8 encoding, decoding and case folding.
#include "text/utf8.h"

u32 ReadUtf8(const u8* p, u32 length, u32* codePoint) {
  u8 lead = p[0];
  if (lead < 0x80) {
    *codePoint = lead;
    return 1;
  }
  // The second byte's range carries the rules against overlong forms (E0,
  // F0), surrogates (ED) and values past U+10FFFF (F4).
  u32 tail, value;
  u8 low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    tail = 1;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    tail = 2;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    tail = 3;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    *codePoint = kReplacement;
    return 1;
  }
  u32 used = 1;
  for (; used <= tail; ++used) {
    if (used == length || p[used] < low || p[used] > high) {
      *codePoint = kReplacement;
      return used;
    }
    value = value << 6 | (p[used] & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  *codePoint = value;
  return used;
}

u32 WriteUtf8(u32 c, char out[kMaxUtf8Length]) {
  if (c < 0x80) {
    out[0] = char(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = char(0xC0 | c >> 6);
    out[1] = char(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = char(0xE0 | c >> 12);
    out[1] = char(0x80 | (c >> 6 & 0x3F));
    out[2] = char(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = char(0xF0 | c >> 18);
  out[1] = char(0x80 | (c >> 12 & 0x3F));
  out[2] = char(0x80 | (c >> 6 & 0x3F));
  out[3] = char(0x80 | (c & 0x3F));
  return 4;
}
