// libzvbi's reading of teletext PES, beside MELVIR's, for the tests (never
// linked into the program). Built with libzvbi when pkg-config finds
// zvbi-0.2 (Debian libzvbi-dev).
#ifndef MELVIR_TESTS_STREAM_ZVBI_PAGES_H
#define MELVIR_TESTS_STREAM_ZVBI_PAGES_H

#include <cstdint>
#include <string>
#include <vector>

// "" when libzvbi is linked, else why not.
const char* ZvbiMissing();

// The texts of page (0x888) each time libzvbi received it whole from the
// PES, with the default region given (a G0 designation, the group << 3),
// as the decoder gives them (at level 2.5, where libzvbi applies M/29/0;
// the pages have no level 2.5 enhancements): rows 1-24, each trimmed, empty
// rows and empty pages dropped, a text the same as the one before not
// repeated.
std::vector<std::string> ZvbiPageTexts(const std::vector<std::vector<uint8_t>>& pes, int page, int region);

#endif
