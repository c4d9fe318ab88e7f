// The catalogue page: one self-contained index.html with a card for each
// recording (its picture, names, times, size, health and the command that
// copies it). Inline CSS, no script, nothing fetched from the network.
#ifndef MELVIR_REPORT_CATALOGUE_PAGE_H
#define MELVIR_REPORT_CATALOGUE_PAGE_H

#include <string>
#include <vector>

#include "platform/types.h"

// One recording as the page shows it; every string is UTF-8, shown as
// text (escaped here), and "" when unknown.
struct CatalogueCard {
  u32 index;              // as `melvir list` numbers it
  std::string name;       // the directory name, decoded
  std::string service;    // the channel
  std::string title;      // the programme
  std::string date;       // "2009-05-03"
  std::string time;       // "22:44"
  std::string video;      // "720x576, 25 fps, 16:9"
  double durationS;       // below 0: unknown
  u64 sizeBytes;
  std::string health;     // one line: "no errors", "12 continuity errors"
  bool damaged;           // the health line is a warning
  std::string thumbnail;  // the picture's path relative to the page, "" for none
  u32 thumbWidth;         // its size in pixels, 0 when unknown
  u32 thumbHeight;
  // A library's file, relative to the page, linked from its name; "" for
  // a disk's recording (its card gives the command that copies it).
  std::string link;
};

struct CataloguePage {
  std::string source;  // the disk or image named in the commands, "" for none
  std::string options;  // what the commands need before it ("--header 64"), or ""
  std::vector<CatalogueCard> cards;
};

void RenderCataloguePage(const CataloguePage& page, std::string* html);
bool WriteCataloguePage(const char* path, const CataloguePage& page);

#endif
