// The output file names --name-format gives the recordings of the table.
#ifndef MELVIR_CLI_FILE_NAMES_H
#define MELVIR_CLI_FILE_NAMES_H

#include <string>
#include <vector>

#include "cli/recording_table.h"
#include "text/name_format.h"

// The values of the stream's placeholders for the recording, from a quiet
// probe (head and tail); left empty when it cannot be read.
void StreamNameValues(const Recording& recording, bool rescue, NameValues* values);

// The output file name of every recording of the catalog under the format,
// unique over the whole directory as the default names are, in order.
void FormatFileNames(const char* format, bool rescue, const Catalog& catalog,
                     std::vector<std::string>* files);

// Each lost recording's file name (r.file) under the format, unique over
// them; they have no number, so {index} is empty.
void NameLostRecordings(const char* format, bool rescue, std::vector<Recording>* lost);

#endif
