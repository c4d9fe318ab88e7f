// EN 300 706 packets into subtitle pages and their cues: the page header
// opens a page's transmission and closes the one before in its magazine
// (in every magazine when the header says the magazines are sent in
// series), rows X/1-X/24 fill it, X/28/0 and M/29/0 designate its
// character set; a closed transmission is the page as shown until the next.
#include "stream/teletext_page.h"

#include <cstring>

#include "stream/teletext_coding.h"
#include "text/utf8.h"

namespace {

const u8 kSpace = 0x20;

void GiveCue(TeletextDecoder* d, TeletextPage* page, u64 start, u64 end) {
  if (end <= start) return;
  d->cue.page = page->number;
  d->cue.startPts = start;
  d->cue.endPts = end;
  d->cue.text = page->shown;
  page->lastEnd = end;
  if (d->sink) d->sink(d->context, d->cue);
}

// The page's rows as text: control codes (spacing attributes) and mosaic
// cells are spaces, the row under a double-height row is its lower half,
// each row trimmed, empty rows dropped.
void ComposeText(const TeletextDecoder& d, TeletextPage* page, int magazine) {
  int designation = page->designation >= 0 ? page->designation
                    : d.magazineDesignation[magazine] >= 0 ? d.magazineDesignation[magazine]
                                                           : page->region;
  int subset = NationalSubset(designation, page->national);
  std::string& text = page->text;
  text.clear();
  bool lowerHalf = false;
  for (u32 r = 0; r < kTeletextRows; ++r) {
    if (lowerHalf) {
      lowerHalf = false;
      continue;
    }
    u32 cells[kTeletextColumns];
    bool mosaic = false, doubleHeight = false;
    for (u32 c = 0; c < kTeletextColumns; ++c) {
      u8 code = page->rows[r][c];
      cells[c] = kSpace;
      if (code < 0x20) {
        if (code <= 0x07) mosaic = false;
        else if (code >= 0x10 && code <= 0x17) mosaic = true;
        else if (code == 0x0D) doubleHeight = true;
      } else if (!mosaic || !(code & 0x20)) {  // 0x40-0x5F blast through mosaics
        cells[c] = G0Character(subset, code);
      }
    }
    lowerHalf = doubleHeight && r + 2 < kTeletextRows;  // rows 1-22 reach down
    u32 first = 0, last = kTeletextColumns;
    while (first < last && cells[first] == kSpace) ++first;
    while (last > first && cells[last - 1] == kSpace) --last;
    if (first == last) continue;
    if (!text.empty()) text += '\n';
    for (u32 c = first; c < last; ++c) {
      char utf8[kMaxUtf8Length];
      text.append(utf8, WriteUtf8(cells[c], utf8));
    }
  }
}

// The page as its closed transmission left it is on screen from at.
void ShowPage(TeletextDecoder* d, TeletextPage* page, u64 at) {
  if (at < page->lastEnd) at = page->lastEnd;
  if (page->showing) {
    if (page->text == page->shown) return;  // sent again unchanged: the cue goes on
    GiveCue(d, page, page->shownFrom, at);
    page->showing = false;
  }
  if (page->text.empty()) return;
  page->shown = page->text;
  page->showing = true;
  page->shownFrom = at;
}

void ClosePage(TeletextDecoder* d, int index) {
  TeletextPage* page = &d->pages[index];
  int magazine = page->number >> 8 & 7;
  if (d->receiving[magazine] == index) d->receiving[magazine] = -1;
  if (!page->receiving) return;
  page->receiving = false;
  ComposeText(*d, page, magazine);
  ShowPage(d, page, page->headerPts);
}

int FindPage(const TeletextDecoder& d, int magazine, int number) {
  for (u32 i = 0; i < d.pageCount; ++i)
    if ((d.pages[i].number >> 8 & 7) == magazine && (d.pages[i].number & 0xFF) == number) return int(i);
  return -1;
}

// Packet X/0. Bytes 2-9 are Hamming 8/4: page units and tens, the subcode
// with C4 (erase) in byte 5, C5 C6 in byte 7, C7-C10 in byte 8 and C11
// (magazine serial) C12-C14 (national option) in byte 9.
void PageHeader(TeletextDecoder* d, int magazine, const u8* p, u64 pts) {
  int n[8];
  bool whole = true;
  for (int i = 0; i < 8; ++i) whole = (n[i] = Hamming84(p[2 + i])) >= 0 && whole;
  bool serial = whole && (n[7] & 1);
  for (int m = 0; m < 8; ++m)
    if ((serial || m == magazine) && d->receiving[m] >= 0) ClosePage(d, d->receiving[m]);
  if (!whole) return;  // its page unknown: it ends the one before, begins none
  int index = FindPage(*d, magazine, n[1] << 4 | n[0]);
  d->receiving[magazine] = index;
  if (index < 0) return;
  TeletextPage* page = &d->pages[index];
  page->receiving = true;
  page->headerPts = pts;
  page->national = u8((n[7] >> 1 & 1) << 2 | (n[7] >> 2 & 1) << 1 | (n[7] >> 3 & 1));
  if (n[3] & 8) {  // C4: what an earlier transmission left goes
    std::memset(page->rows, kSpace, sizeof page->rows);
    page->designation = -1;
  }
}

// Triplet 1 of X/28/0 format 1 and M/29/0: bits 8-14 the G0 designation.
int G0Designation(const u8* p) {
  if (Hamming84(p[2]) != 0) return -2;  // another designation code
  int triplet = Hamming2418(p + 3);
  return triplet < 0 ? -2 : triplet >> 7 & 0x7F;
}

}  // namespace

void TeletextPacket(TeletextDecoder* d, const u8* p, u64 pts) {
  int address0 = Hamming84(p[0]), address1 = Hamming84(p[1]);
  if (address0 < 0 || address1 < 0) return;
  int magazine = address0 & 7, number = address0 >> 3 | address1 << 1;
  if (number == 0) {
    PageHeader(d, magazine, p, pts);
    return;
  }
  if (number == 29) {
    int designation = G0Designation(p);
    if (designation >= 0) d->magazineDesignation[magazine] = designation;
    return;
  }
  int index = d->receiving[magazine];
  if (index < 0) return;
  TeletextPage* page = &d->pages[index];
  if (number == 28) {
    int designation = G0Designation(p);
    if (designation >= 0) page->designation = designation;
  } else if (number <= int(kTeletextRows)) {
    for (u32 c = 0; c < kTeletextColumns; ++c) {
      int code = OddParity(p[2 + c]);
      page->rows[number - 1][c] = u8(code < 0 ? kSpace : code);
    }
  }
}

void AdvanceTeletext(TeletextDecoder* d, u64 pts) {
  for (u32 i = 0; i < d->pageCount; ++i) {
    TeletextPage* page = &d->pages[i];
    if (page->receiving && pts >= page->headerPts + kReceptionLimit) ClosePage(d, int(i));
    if (!page->showing || pts < page->shownFrom + kCueLimit) continue;
    u64 end = page->shownFrom + kCueLimit;
    GiveCue(d, page, page->shownFrom, end);
    // The cue goes on from the piece's end; past a jump of the clock, from now.
    page->shownFrom = pts < end + kCueLimit ? end : pts;
  }
}

void FinishTeletext(TeletextDecoder* d, u64 endPts) {
  for (u32 i = 0; i < d->pageCount; ++i) ClosePage(d, int(i));
  AdvanceTeletext(d, endPts);
  for (u32 i = 0; i < d->pageCount; ++i) {
    TeletextPage* page = &d->pages[i];
    if (!page->showing) continue;
    GiveCue(d, page, page->shownFrom, endPts);
    page->showing = false;
  }
}

void ResetTeletext(TeletextDecoder* d, TeletextCueSink sink, void* context) {
  d->sink = sink;
  d->context = context;
  d->pageCount = 0;
  for (int m = 0; m < 8; ++m) d->receiving[m] = d->magazineDesignation[m] = -1;
  d->ptsKnown = false;
  d->pts = 0;
}

bool AddTeletextPage(TeletextDecoder* d, u16 number, const char* language) {
  if (number > 0x8FF || (number & 0xFF) == 0xFF) return false;  // xFF: no page, time filling
  for (u32 i = 0; i < d->pageCount; ++i)
    if ((d->pages[i].number & 0x7FF) == (number & 0x7FF)) return true;
  if (d->pageCount == kTeletextPages) return false;
  TeletextPage* page = &d->pages[d->pageCount++];
  page->number = u16(number < 0x100 ? number + 0x800 : number);
  page->region = LanguageRegion(language);
  page->receiving = page->showing = false;
  page->headerPts = page->shownFrom = page->lastEnd = 0;
  page->national = 0;
  page->designation = -1;
  std::memset(page->rows, kSpace, sizeof page->rows);
  page->shown.clear();
  page->text.clear();
  return true;
}
