// Teletext subtitle pages for the tests, coded as a broadcaster codes them:
// EN 300 706 packets (Hamming 8/4 and 24/18, odd parity, text in the G0
// Latin set and a national option subset) carried in EN 300 472 PES
// packets of private stream 1. Written apart from the decoder's reading,
// but for the subsets' characters (one table, stream/teletext_coding.h).
#ifndef MELVIR_TOOLS_TELETEXT_PAGES_H
#define MELVIR_TOOLS_TELETEXT_PAGES_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ttx {

// A packet in the standard's bit order (bit 1 the lowest), before EN 300
// 472 reverses each byte.
typedef std::array<uint8_t, 42> Packet;

uint8_t Hamming84(unsigned nibble);
void Hamming2418(uint32_t data, uint8_t out[3]);
uint8_t WithParity(uint8_t code);

struct Header {
  int magazine = 8;   // 1-8
  int page = 0x88;    // tens and units; 0xFF fills time (closes the page before)
  bool erase = true, newsflash = false, subtitle = true, suppressHeader = true;
  bool update = false, serial = false;
  int national = 0;   // C12-C14, C12 the high bit
};
Packet PageHeader(const Header& header);
// Row 1-25: text (UTF-8; a code point below 0x20 is a control code) in
// subset (a TeletextSubset, -1 for plain G0), from column 0, padded with
// spaces; a character the subset lacks is '?'.
Packet PageRow(int magazine, int row, const std::string& text, int subset);
// X/28/0 format 1 (packet 28) or M/29/0 (packet 29) designating G0
// designation (7 bits) for the page or the magazine.
Packet Designation(int magazine, int packet, int designation);

// A subtitle as a broadcaster sends it: each line double height and boxed,
// on every other row up to row 23.
std::vector<Packet> SubtitleRows(int magazine, const std::string& lines, int subset);

// One PES of private stream 1 with PTS (33 bits) carrying the packets as
// data units 0x03, stuffed to whole transport-stream payloads (184 bytes).
std::vector<uint8_t> Pes(uint64_t pts, const std::vector<Packet>& packets);

// The subset whose short name (cs en et fr de it lt pl es ro sr sv tr) is
// given; -1 for any other.
int SubsetNamed(const std::string& name);

}  // namespace ttx

#endif
