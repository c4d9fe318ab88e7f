// Teletext packets and PES for the tests.
#include "teletext_pages.h"

#include "stream/teletext_coding.h"
#include "text/utf8.h"

namespace ttx {

namespace {

int Parity(uint32_t bits) {
  int p = 0;
  for (; bits; bits >>= 1) p ^= int(bits & 1);
  return p;
}

uint8_t Reverse(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = uint8_t(r | ((b >> i) & 1) << (7 - i));
  return r;
}

// Address: magazine (0 for 8) and the packet number's low bit, then its
// four high bits.
void Address(Packet* p, int magazine, int packet) {
  (*p)[0] = Hamming84(unsigned(magazine & 7) | unsigned(packet & 1) << 3);
  (*p)[1] = Hamming84(unsigned(packet >> 1));
}

}  // namespace

// P1, P2, P3 make their tests odd (P1 over D1 D3 D4, P2 over D1 D2 D4, P3
// over D1 D2 D3), P4 the whole byte.
uint8_t Hamming84(unsigned n) {
  int d1 = n & 1, d2 = n >> 1 & 1, d3 = n >> 2 & 1, d4 = n >> 3 & 1;
  int p1 = 1 ^ d1 ^ d3 ^ d4, p2 = 1 ^ d1 ^ d2 ^ d4, p3 = 1 ^ d1 ^ d2 ^ d3;
  uint8_t b = uint8_t(p1 | d1 << 1 | p2 << 2 | d2 << 3 | p3 << 4 | d3 << 5 | d4 << 7);
  return uint8_t(b | (Parity(b) ? 0 : 0x40));
}

// D1-D18 at bit positions 3, 5-7, 9-15, 17-23; parity bit k+1 at 2^k makes
// the positions with bit k set odd; P6 at 24 the whole triplet.
void Hamming2418(uint32_t data, uint8_t out[3]) {
  uint32_t word = 0;
  for (int n = 3, bit = 0; n <= 23; ++n)
    if (n != 4 && n != 8 && n != 16) word |= (data >> bit++ & 1) << (n - 1);
  for (int k = 0; k < 5; ++k) {
    uint32_t covered = 0;
    for (int n = 1; n <= 23; ++n)
      if (n >> k & 1) covered |= uint32_t(1) << (n - 1);
    if (!Parity(word & covered)) word |= uint32_t(1) << ((1 << k) - 1);
  }
  if (!Parity(word)) word |= uint32_t(1) << 23;
  for (int i = 0; i < 3; ++i) out[i] = uint8_t(word >> (8 * i));
}

uint8_t WithParity(uint8_t code) {
  code &= 0x7F;
  return uint8_t(code | (Parity(code) ? 0 : 0x80));
}

Packet PageHeader(const Header& h) {
  Packet p;
  Address(&p, h.magazine, 0);
  int c12 = h.national >> 2 & 1, c13 = h.national >> 1 & 1, c14 = h.national & 1;
  unsigned nibbles[8] = {unsigned(h.page & 0xF), unsigned(h.page >> 4 & 0xF), 0, unsigned(h.erase) << 3, 0,
                         unsigned(h.newsflash) << 2 | unsigned(h.subtitle) << 3,
                         unsigned(h.suppressHeader) | unsigned(h.update) << 1,
                         unsigned(h.serial) | unsigned(c12) << 1 | unsigned(c13) << 2 | unsigned(c14) << 3};
  for (int i = 0; i < 8; ++i) p[2 + i] = Hamming84(nibbles[i]);
  for (size_t i = 10; i < p.size(); ++i) p[i] = WithParity(' ');
  return p;
}

Packet PageRow(int magazine, int row, const std::string& text, int subset) {
  Packet p;
  Address(&p, magazine, row);
  size_t column = 2;
  for (size_t at = 0; at < text.size() && column < p.size();) {
    uint32_t cp;
    at += ReadUtf8(reinterpret_cast<const uint8_t*>(text.data()) + at, uint32_t(text.size() - at), &cp);
    uint8_t code = '?';
    bool found = false, taken = false;
    for (uint32_t i = 0; subset >= 0 && i < kNationalPositions && !found; ++i) {
      found = kNationalCharacters[subset][i] == cp;
      if (found) code = kNationalCodes[i];
      taken = taken || kNationalCodes[i] == cp;  // the subset puts another character there
    }
    if (!found && !taken && cp < 0x7F) code = uint8_t(cp);
    p[column++] = WithParity(code);
  }
  while (column < p.size()) p[column++] = WithParity(' ');
  return p;
}

Packet Designation(int magazine, int packet, int designation) {
  Packet p;
  for (uint8_t& b : p) b = 0;
  Address(&p, magazine, packet);
  p[2] = Hamming84(0);  // designation code 0: X/28/0 format 1, M/29/0
  // Triplet 1: page function and coding 0 (a basic page, 7-bit odd
  // parity), bits 8-14 the G0 designation. Triplets 2-13: none.
  Hamming2418(uint32_t(designation & 0x7F) << 7, &p[3]);
  for (size_t at = 6; at + 3 <= p.size(); at += 3) Hamming2418(0, &p[at]);
  return p;
}

std::vector<Packet> SubtitleRows(int magazine, const std::string& lines, int subset) {
  std::vector<std::string> split(1);
  for (char c : lines) {
    if (c == '\n') split.emplace_back();
    else split.back() += c;
  }
  std::vector<Packet> rows;
  int row = 23 - 2 * int(split.size() - 1);
  for (const std::string& line : split) {
    rows.push_back(PageRow(magazine, row, "\x0D\x0B\x0B" + line + "\x0A\x0A", subset));
    row += 2;
  }
  return rows;
}

std::vector<uint8_t> Pes(uint64_t pts, const std::vector<Packet>& packets) {
  std::vector<uint8_t> pes = {0x00, 0x00, 0x01, 0xBD, 0, 0, 0x84, 0x80, 0x24};  // aligned, PTS only
  pes.push_back(uint8_t(0x21 | (pts >> 29 & 0x0E)));
  pes.push_back(uint8_t(pts >> 22));
  pes.push_back(uint8_t(0x01 | (pts >> 14 & 0xFE)));
  pes.push_back(uint8_t(pts >> 7));
  pes.push_back(uint8_t(0x01 | (pts << 1 & 0xFE)));
  while (pes.size() < 45) pes.push_back(0xFF);  // the header EN 300 472 asks: 45 bytes
  pes.push_back(0x10);                          // data_identifier: EBU data
  for (size_t i = 0; i < packets.size(); ++i) {
    pes.push_back(0x03);
    pes.push_back(0x2C);
    pes.push_back(uint8_t(0xC0 | (i / 16 % 2 ? 0 : 0x20) | (7 + i % 16)));  // field, line
    pes.push_back(0xE4);
    for (uint8_t b : packets[i]) pes.push_back(Reverse(b));
  }
  while (pes.size() % 184) {  // stuffing units
    pes.push_back(0xFF);
    pes.push_back(0x2C);
    for (int i = 0; i < 0x2C; ++i) pes.push_back(0xFF);
  }
  pes[4] = uint8_t((pes.size() - 6) >> 8);
  pes[5] = uint8_t(pes.size() - 6);
  return pes;
}

int SubsetNamed(const std::string& name) {
  static const char* const kNames[kSubsetCount] = {"cs", "en", "et", "fr", "de", "it", "lt",
                                                   "pl", "es", "ro", "sr", "sv", "tr"};
  for (int i = 0; i < kSubsetCount; ++i)
    if (name == kNames[i]) return i;
  return -1;
}

}  // namespace ttx
