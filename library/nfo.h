// The NFO files beside a library's recordings, as Kodi and Jellyfin read
// them: <movie> for a film, <episodedetails> for an episode, <tvshow> for
// a show's folder; UTF-8, every text escaped.
#ifndef MELVIR_LIBRARY_NFO_H
#define MELVIR_LIBRARY_NFO_H

#include <string>

#include "library/library_entry.h"
#include "remux/media_details.h"

// A film's or an episode's NFO; damage (a line of plot, or "") is added to
// the end of its plot.
void RecordingNfo(const LibraryEntry& entry, const MediaDetails& details, const std::string& damage,
                  std::string* xml);

// A show's tvshow.nfo; premiered: its earliest local air date, "YYYY-MM-DD".
void ShowNfo(const LibraryEntry& episode, const std::string& premiered, std::string* xml);

// The text of the first <tag>...</tag> of an NFO this writes (unescaped),
// or "" when there is none.
std::string NfoField(const std::string& xml, const char* tag);

#endif
