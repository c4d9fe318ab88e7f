// A recording's picture for `melvir catalog`, read through the same reader
// as extract (its card: report/probe_report.h).
#ifndef MELVIR_CLI_CATALOG_CARD_H
#define MELVIR_CLI_CATALOG_CARD_H

#include "cli/probe_record.h"
#include "picture/thumbnail.h"
#include "report/catalogue_page.h"

// The recording's picture into *picture (*made: one was made; a stream with
// no picture that decodes makes none). False, said with hint, when its bytes
// cannot be read (without rescue); with it unreadable bytes are zeros and
// count as damage met.
// width: as MakeThumbnail takes it.
bool PictureOfRecording(const Recording& recording, bool rescue, const char* hint,
                        Thumbnail* picture, bool* made, u32 width = kThumbnailWidth);

#endif
