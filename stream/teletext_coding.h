// How EN 300 706 codes a packet's bytes: Hamming 8/4 and 24/18, odd
// parity, EN 300 472's bit order, and the G0 Latin set with its national
// option subsets. Bit 1 of the standard is a byte's least significant bit.
#ifndef MELVIR_STREAM_TELETEXT_CODING_H
#define MELVIR_STREAM_TELETEXT_CODING_H

#include "platform/types.h"

// EN 300 472 carries each byte in the order of transmission, bit 1 first
// as the most significant bit: its framing code 0xE4 is 0x27 reversed.
u8 ReverseBits(u8 byte);

// The 4 data bits of a Hamming 8/4 byte, one error corrected; -1 for two.
int Hamming84(u8 byte);
// The 18 data bits (D1 the lowest) of a Hamming 24/18 triplet, p[0] first,
// one error corrected; -1 for two or more that the code detects.
int Hamming2418(const u8* p);
// The 7-bit code of a byte with odd parity; -1 when the parity fails.
int OddParity(u8 byte);

// The national option subsets of the G0 Latin set (EN 300 706 table 36).
enum TeletextSubset {
  kSubsetCzechSlovak, kSubsetEnglish, kSubsetEstonian, kSubsetFrench, kSubsetGerman,
  kSubsetItalian, kSubsetLettishLithuanian, kSubsetPolish, kSubsetPortugueseSpanish,
  kSubsetRomanian, kSubsetSerbianCroatianSlovenian, kSubsetSwedishFinnishHungarian,
  kSubsetTurkish, kSubsetCount,
  kSubsetNone = -1  // the G0 Latin set alone (a designation of no Latin subset)
};
const u32 kNationalPositions = 13;
// The codes a subset replaces, and what each subset puts there.
extern const u8 kNationalCodes[kNationalPositions];
extern const u16 kNationalCharacters[kSubsetCount][kNationalPositions];

// The subset of a page: designation is the 7-bit G0 designation of X/28/0
// or M/29/0 (or a region's group << 3 where neither came), national the
// header's C12-C14 (C12 high), which pick within the designation's group.
int NationalSubset(int designation, int national);
// The group << 3 a subtitle language implies for C12-C14 (ISO 639-2;
// the Western European group for any other or none).
u8 LanguageRegion(const char* language);
// The character (a Unicode code point) of 7-bit code 0x20-0x7F.
u32 G0Character(int subset, u8 code);

#endif
