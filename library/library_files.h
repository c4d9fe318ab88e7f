// The library's own files beside its recordings: written whole through the
// write guard (a temporary file, then a rename), and read back to tell
// whether they change; what the library holds, read from its NFO files.
#ifndef MELVIR_LIBRARY_LIBRARY_FILES_H
#define MELVIR_LIBRARY_LIBRARY_FILES_H

#include <string>
#include <vector>

#include "report/catalogue_page.h"

// Writes bytes to path unless it holds them already (*written: it was
// written). False when it cannot be written.
bool SaveWhenChanged(const std::string& path, const std::string& bytes, bool* written);

// The earliest <aired> of the episode NFOs under a show's folder, or "".
std::string EarliestAired(const std::string& showFolder);

// A card for every recording of the library under dir (a .mkv or .ts with
// its NFO beside it), films then shows, in path order: its link, picture
// and the NFO's fields, paths relative to dir.
void LibraryCards(const std::string& dir, std::vector<CatalogueCard>* cards);

// A path as a link's address: every byte but letters, digits, "/-._~"
// written as %XX.
std::string LinkOf(const std::string& path);

#endif
