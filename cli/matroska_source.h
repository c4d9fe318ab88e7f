// What a Matroska file is told of its recording, and what an existing one
// must say to be that recording's, complete.
#ifndef MELVIR_CLI_MATROSKA_SOURCE_H
#define MELVIR_CLI_MATROSKA_SOURCE_H

#include <vector>

#include "cli/recording_table.h"
#include "cli/trim_plan.h"
#include "remux/remux.h"
#include "remux/teletext_text.h"

// Fills the job's programme, title and tags from a quiet probe of the
// stream (head and tail, as --name-format reads it) and its source tag,
// *pages with the programme's teletext subtitle pages and, with trim, the
// cut to the programme (*plan). False, with the reason, when the stream is
// no transport stream, or "stopped" when Ctrl-C stopped it.
bool DescribeSource(const Recording& recording, bool rescue, bool trim, RemuxJob* job,
                    std::vector<SubtitlePage>* pages, TrimPlan* plan, char* reason, u32 size);

// The source tag's value for the recording (trim: of its programme alone);
// false when its first or last block cannot be read.
bool SourceTagOf(const Recording& recording, bool rescue, bool trim, std::string* tag);

#endif
