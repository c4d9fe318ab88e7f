// --subtitles srt: each teletext subtitle page of a recording as a SubRip
// file (UTF-8) beside its output, written once the output is complete and
// named after the output's final name: BASE.LANG.srt, BASE.LANG.sdh.srt
// for a page for the hearing impaired, BASE.LANG.PAGE[.sdh].srt when
// another page would have the same name. An existing file of that name is
// replaced only with --force; otherwise the page goes to the first free
// "BASE.LANG (2).srt" ..., said.
#ifndef MELVIR_CLI_SRT_FILES_H
#define MELVIR_CLI_SRT_FILES_H

#include <string>
#include <vector>

#include "cli/copy.h"
#include "remux/teletext_text.h"

// The file name of each page beside output (its .ts or .mkv dropped).
void SrtNames(const char* output, const std::vector<SubtitlePage>& pages, std::vector<std::string>* names);

// Writes the cues text kept of each page, their times less zero, beside
// output (a page that showed nothing gets no file). False, said, when a
// file could not be written.
bool WriteSrtFiles(const char* output, const TeletextText& text, i64 zero, const CopyTarget& target);

#endif
