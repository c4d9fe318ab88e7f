// extract --name-format: output file names made from placeholders, filled
// from the directory entry and, for the stream's own placeholders, from
// what the probe reads in the recording (cli/file_names.h fills them).
#ifndef MELVIR_TEXT_NAME_FORMAT_H
#define MELVIR_TEXT_NAME_FORMAT_H

#include <string>
#include <vector>

#include "platform/types.h"

// What a placeholder stands for; the stream's are filled by the probe.
struct NameValues {
  std::string name, index, cluster;                       // the directory's
  std::string service, title, date, time, dateUtc, timeUtc, duration;  // the stream's
};

// The program this is linked into fills the stream's placeholders (it has
// the probe): given by the front end, as the build decides.
bool StreamPlaceholdersBuilt();

// Checks FORMAT: every {...} a known placeholder, braces paired. False with
// why in error (size bytes). *usesStream: a placeholder needs the probe.
bool CheckNameFormat(const char* format, bool* usesStream, char* error, u32 size);

// The format filled in: a placeholder with no value is left out, with the
// blanks and separators (" - ", "_") next to it, and an empty result is
// the name.
std::string FillNameFormat(const char* format, const NameValues& values);

#endif
