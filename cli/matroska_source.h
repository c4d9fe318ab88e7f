// What a Matroska file is told of its recording, and what an existing one
// must say to be that recording's, complete.
#ifndef MELVIR_CLI_MATROSKA_SOURCE_H
#define MELVIR_CLI_MATROSKA_SOURCE_H

#include <vector>

#include "cli/recording_table.h"
#include "remux/remux.h"
#include "remux/teletext_text.h"

// Fills the job's programme, title and tags from a quiet probe of the
// stream (head and tail, as --name-format reads it) and its source tag,
// and *pages with the programme's teletext subtitle pages. False, with the
// reason, when the stream is no transport stream.
bool DescribeSource(const Recording& recording, bool rescue, RemuxJob* job, std::vector<SubtitlePage>* pages,
                    char* reason, u32 size);

// The source tag's value for the recording; false when its first or last
// block cannot be read.
bool SourceTagOf(const Recording& recording, bool rescue, std::string* tag);

#endif
