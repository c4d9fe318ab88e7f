// melvir-ts-si's teletext: a teletext stream on PID kTeletextPid, named in
// the PMT with a teletext descriptor, carrying subtitle pages at given
// stream times.
#ifndef MELVIR_TOOLS_TS_TELETEXT_H
#define MELVIR_TOOLS_TS_TELETEXT_H

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace ttx {

const uint16_t kTeletextPid = 0x0500;

struct DescribedPage {
  std::string language;
  int type;   // 2 subtitles, 5 for the hearing impaired
  int page;   // 0x888
};

// The packets of a PES due at a stream time: seconds from the first PCR,
// which is its PTS too.
struct Due {
  double at;
  std::vector<std::array<uint8_t, 42>> packets;
};

struct TeletextSetup {
  std::vector<DescribedPage> pages;
  std::vector<Due> due;  // in time order
  size_t next = 0;
  uint8_t cc = 0;
};

// The fields of --teletext LANG|TYPE|PAGE (PAGE in hex: 888) and of
// --subtitle PAGE|START|END|TEXT[|SUBSET|C12C14[|X28:N|M29:N]]: seconds of
// stream time, END "-" for a page not erased; TEXT's lines (split at "\n")
// each a double-height boxed row, in SUBSET (a short name of
// tools/teletext_pages.h, default en) with C12-C14 as given (0-7, C12 the
// high bit, default 0) and a G0 designation sent in X/28/0 or M/29/0.
// False for a malformed value.
bool DescribePage(TeletextSetup* setup, const std::vector<std::string>& fields);
bool AddSubtitle(TeletextSetup* setup, const std::vector<std::string>& fields);

// The PMT's entry of the teletext stream: its type, PID and descriptor.
std::vector<uint8_t> PmtEntry(const TeletextSetup& setup);
// Writes the PES due by elapsed seconds of stream time, the first PCR's
// base being firstPcrBase.
void WriteDueTeletext(TeletextSetup* setup, std::FILE* out, uint64_t firstPcrBase, double elapsed);

}  // namespace ttx

#endif
