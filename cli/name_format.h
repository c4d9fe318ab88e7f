// extract --name-format: output file names made from placeholders, filled
// from the directory entry and, for the stream's own placeholders, from
// what the probe reads in the recording.
#ifndef MELVIR_CLI_NAME_FORMAT_H
#define MELVIR_CLI_NAME_FORMAT_H

#include <string>
#include <vector>

#include "cli/catalog.h"

// What a placeholder stands for; the stream's are filled by the probe.
struct NameValues {
  std::string name, index, cluster;                       // the directory's
  std::string service, title, date, time, dateUtc, timeUtc, duration;  // the stream's
};

// Checks FORMAT: every {...} a known placeholder, braces paired. False with
// why in error (size bytes). *usesStream: a placeholder needs the probe.
bool CheckNameFormat(const char* format, bool* usesStream, char* error, u32 size);

// The format filled in: a placeholder with no value is left out, with the
// blanks and separators (" - ", "_") next to it, and an empty result is
// the name.
std::string FillNameFormat(const char* format, const NameValues& values);

// This build fills the stream's placeholders (it has the probe).
bool StreamPlaceholdersBuilt();

// The values of the stream's placeholders for the recording, from a quiet
// probe (head and tail); left empty when it cannot be read.
void StreamNameValues(const Recording& recording, bool rescue, NameValues* values);

// The output file name of every recording of the catalog under the format,
// unique over the whole directory as the default names are, in order.
void FormatFileNames(const char* format, bool rescue, const Catalog& catalog,
                     std::vector<std::string>* files);

#endif
