// The error codes of teletext packets: Hamming 8/4 for addresses and
// control bits, Hamming 24/18 for the triplets of packets 26-29, odd
// parity for characters. Every test of both codes is odd parity.
#include "stream/teletext_coding.h"

namespace {

int Parity(u32 bits) {
  int p = 0;
  for (; bits; bits &= bits - 1) p ^= 1;
  return p;
}

// Hamming 8/4: P1 D1 P2 D2 P3 D3 P4 D4 from bit 1 up. A byte decodes to
// the code word within one bit of it; the code's distance of 4 makes that
// word unique, and a byte two bits from every word is refused.
struct Hamming84Table {
  signed char value[256];
  constexpr Hamming84Table() : value() {
    u8 words[16] = {};
    for (int d = 0; d < 16; ++d) {
      int d1 = d & 1, d2 = d >> 1 & 1, d3 = d >> 2 & 1, d4 = d >> 3 & 1;
      int p1 = 1 ^ d1 ^ d3 ^ d4, p2 = 1 ^ d1 ^ d2 ^ d4, p3 = 1 ^ d1 ^ d2 ^ d3;
      int low = p1 | d1 << 1 | p2 << 2 | d2 << 3 | p3 << 4 | d3 << 5 | d4 << 7;
      int ones = p1 + d1 + p2 + d2 + p3 + d3 + d4;
      words[d] = u8(low | (ones % 2 == 0 ? 1 : 0) << 6);  // P4: the whole byte odd
    }
    for (int b = 0; b < 256; ++b) {
      value[b] = -1;
      for (int d = 0; d < 16; ++d) {
        int differ = b ^ words[d], n = 0;
        for (; differ; differ &= differ - 1) ++n;
        if (n <= 1) value[b] = static_cast<signed char>(d);
      }
    }
  }
};
constexpr Hamming84Table kHamming84;

}  // namespace

u8 ReverseBits(u8 b) {
  b = u8((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = u8((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return u8((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

int Hamming84(u8 byte) { return kHamming84.value[byte]; }

// Hamming 24/18: bit n of the triplet (n = 1-24) is parity bit P(k+1) where
// n = 2^k (n < 24) and P6 at 24 covers all; test k covers the bits whose
// position has bit k set. A failing test set is the position of one error.
int Hamming2418(const u8* p) {
  u32 word = u32(p[0]) | u32(p[1]) << 8 | u32(p[2]) << 16;
  int syndrome = 0;
  for (int k = 0; k < 5; ++k) {
    u32 covered = 0;
    for (int n = 1; n < 24; ++n)
      if (n >> k & 1) covered |= u32(1) << (n - 1);
    if (!Parity(word & covered)) syndrome |= 1 << k;
  }
  bool whole = Parity(word) == 1;
  if (whole && syndrome) return -1;             // two errors
  if (!whole && syndrome) {                     // one, in bit syndrome
    if (syndrome > 23) return -1;
    word ^= u32(1) << (syndrome - 1);
  }
  int data = 0, bit = 0;
  for (int n = 3; n <= 23; ++n)
    if (n != 4 && n != 8 && n != 16) data |= int(word >> (n - 1) & 1) << bit++;
  return data;
}

int OddParity(u8 byte) { return Parity(byte) ? byte & 0x7F : -1; }
