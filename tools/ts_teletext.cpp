// melvir-ts-si's teletext stream: the descriptor and the PES of the pages.
#include "ts_teletext.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "teletext_pages.h"

namespace ttx {

namespace {

bool ParsePage(const std::string& s, int* page) {
  char* end;
  long v = std::strtol(s.c_str(), &end, 16);
  if (s.empty() || *end || v < 0x100 || v > 0x8FF) return false;
  *page = int(v);
  return true;
}

void Schedule(TeletextSetup* st, double at, const std::vector<Packet>& packets) {
  st->due.push_back({at, packets});
  std::stable_sort(st->due.begin(), st->due.end(), [](const Due& a, const Due& b) { return a.at < b.at; });
}

// A header of no page: it closes the magazine's page before it.
Packet TimeFilling(int magazine) {
  Header h;
  h.magazine = magazine;
  h.page = 0xFF;
  h.erase = h.subtitle = false;
  return PageHeader(h);
}

}  // namespace

bool DescribePage(TeletextSetup* st, const std::vector<std::string>& f) {
  DescribedPage d;
  if (f.size() != 3 || f[0].size() != 3 || !ParsePage(f[2], &d.page)) return false;
  d.language = f[0];
  d.type = std::atoi(f[1].c_str());
  if (st->pages.empty()) Schedule(st, 0, {TimeFilling(8)});  // the stream's first PES, at the first PCR
  st->pages.push_back(d);
  return true;
}

bool AddSubtitle(TeletextSetup* st, const std::vector<std::string>& f) {
  int page;
  if (f.size() < 4 || f.size() > 7 || !ParsePage(f[0], &page)) return false;
  Header h;
  h.magazine = page >> 8;
  h.page = page & 0xFF;
  int subset = f.size() > 4 ? SubsetNamed(f[4]) : SubsetNamed("en");
  h.national = f.size() > 5 ? std::atoi(f[5].c_str()) & 7 : 0;
  std::vector<Packet> head;
  std::string designation = f.size() > 6 ? f[6] : "";
  if (designation.size() > 4 && designation.compare(0, 4, "M29:") == 0)
    head.push_back(Designation(h.magazine, 29, std::atoi(designation.c_str() + 4)));
  head.push_back(PageHeader(h));
  if (designation.size() > 4 && designation.compare(0, 4, "X28:") == 0)
    head.push_back(Designation(h.magazine, 28, std::atoi(designation.c_str() + 4)));
  double start = std::atof(f[1].c_str());
  Schedule(st, start, head);
  // The rows a field later, and a header that closes the page.
  std::vector<Packet> rows = SubtitleRows(h.magazine, f[3], subset);
  rows.push_back(TimeFilling(h.magazine));
  Schedule(st, start + 0.04, rows);
  if (f[2] != "-") Schedule(st, std::atof(f[2].c_str()), {PageHeader(h), TimeFilling(h.magazine)});
  return true;
}

std::vector<uint8_t> PmtEntry(const TeletextSetup& st) {
  std::vector<uint8_t> d = {0x56, uint8_t(5 * st.pages.size())};
  for (const DescribedPage& p : st.pages) {
    for (char c : p.language) d.push_back(uint8_t(c));
    d.push_back(uint8_t(p.type << 3 | (p.page >> 8 & 7)));
    d.push_back(uint8_t(p.page));
  }
  std::vector<uint8_t> e = {0x06, uint8_t(0xE0 | kTeletextPid >> 8), uint8_t(kTeletextPid),
                            uint8_t(0xF0 | d.size() >> 8), uint8_t(d.size())};
  for (uint8_t b : d) e.push_back(b);  // not insert: GCC 12 warns wrongly after an initializer list
  return e;
}

void WriteDueTeletext(TeletextSetup* st, std::FILE* out, uint64_t firstPcrBase, double elapsed) {
  for (; st->next < st->due.size() && st->due[st->next].at <= elapsed; ++st->next) {
    const Due& due = st->due[st->next];
    uint64_t pts = (firstPcrBase + uint64_t(std::llround(due.at * 90000))) & ((uint64_t(1) << 33) - 1);
    std::vector<uint8_t> pes = Pes(pts, due.packets);
    for (size_t at = 0; at < pes.size(); at += 184) {
      uint8_t p[188] = {0x47, uint8_t((at == 0 ? 0x40 : 0) | kTeletextPid >> 8), uint8_t(kTeletextPid),
                        uint8_t(0x10 | (st->cc++ & 0x0F))};
      std::memcpy(p + 4, pes.data() + at, 184);
      std::fwrite(p, 1, sizeof p, out);
    }
  }
}

}  // namespace ttx
