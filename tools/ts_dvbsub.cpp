// melvir-ts-si's DVB subtitle stream: the descriptor and the display sets.
#include "ts_dvbsub.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace dvbsub {

namespace {

const uint16_t kPage = 1;

// One PES of private stream 1: data identifier 0x20, stream 0, a page
// composition of no regions, the end of the display set, the end marker.
std::vector<uint8_t> DisplaySet(uint64_t pts, uint8_t version) {
  std::vector<uint8_t> data = {0x20, 0x00,
                               0x0F, 0x10, kPage >> 8, kPage & 0xFF, 0x00, 0x02, 5,
                               uint8_t(version << 4 | 2 << 2 | 3),
                               0x0F, 0x80, kPage >> 8, kPage & 0xFF, 0x00, 0x00,
                               0xFF};
  size_t length = 3 + 5 + data.size();
  std::vector<uint8_t> pes = {0x00, 0x00, 0x01, 0xBD, uint8_t(length >> 8), uint8_t(length), 0x81, 0x80, 5,
                              uint8_t(0x21 | (pts >> 29 & 0x0E)), uint8_t(pts >> 22),
                              uint8_t(pts >> 14 | 1), uint8_t(pts >> 7), uint8_t(pts << 1 | 1)};
  for (uint8_t b : data) pes.push_back(b);
  return pes;
}

}  // namespace

bool Describe(DvbSubSetup* st, const std::vector<std::string>& f) {
  if (f.size() != 2 || f[0].size() != 3 || std::atof(f[1].c_str()) <= 0) return false;
  st->language = f[0];
  st->every = std::atof(f[1].c_str());
  return true;
}

std::vector<uint8_t> PmtEntry(const DvbSubSetup& st) {
  std::vector<uint8_t> d = {0x59, 8};
  for (char c : st.language) d.push_back(uint8_t(c));
  for (uint8_t b : {uint8_t(0x10), uint8_t(kPage >> 8), uint8_t(kPage), uint8_t(kPage >> 8), uint8_t(kPage)})
    d.push_back(b);  // subtitles for no particular aspect; the composition and ancillary pages
  std::vector<uint8_t> e = {0x06, uint8_t(0xE0 | kDvbSubPid >> 8), uint8_t(kDvbSubPid),
                            uint8_t(0xF0 | d.size() >> 8), uint8_t(d.size())};
  for (uint8_t b : d) e.push_back(b);
  return e;
}

void WriteDue(DvbSubSetup* st, std::FILE* out, uint64_t firstPcrBase, double elapsed) {
  if (st->language.empty()) return;
  for (; st->next <= elapsed; st->next += st->every) {
    uint64_t pts = (firstPcrBase + uint64_t(std::llround(st->next * 90000))) & ((uint64_t(1) << 33) - 1);
    std::vector<uint8_t> pes = DisplaySet(pts, st->version++ & 0x0F);
    uint8_t p[188] = {0x47, uint8_t(0x40 | kDvbSubPid >> 8), uint8_t(kDvbSubPid), uint8_t(0x30 | (st->cc++ & 0x0F))};
    // One packet: the PES after an adaptation field of stuffing.
    size_t stuffing = 184 - pes.size();
    p[4] = uint8_t(stuffing - 1);
    if (stuffing > 1) {
      p[5] = 0x00;
      std::memset(p + 6, 0xFF, stuffing - 2);
    }
    std::memcpy(p + 4 + stuffing, pes.data(), pes.size());
    std::fwrite(p, 1, sizeof p, out);
  }
}

}  // namespace dvbsub
