// The parts of `melvir catalog`: a recording's card from its probe, and its
// picture read through the same reader as extract.
#ifndef MELVIR_CLI_CATALOG_CARD_H
#define MELVIR_CLI_CATALOG_CARD_H

#include "cli/probe_record.h"
#include "picture/thumbnail.h"
#include "report/catalogue_page.h"

// Everything of the card but its picture.
void CardOfProbe(const ProbeRecord& record, CatalogueCard* card);

// The stream holds a video stream.
bool HasVideo(const ProbeSummary& summary);

// The recording's picture into *picture (*made: one was made; a stream with
// no picture that decodes makes none). False, said with hint, when its bytes
// cannot be read (without rescue); with it unreadable bytes are zeros and
// count as damage met.
bool PictureOfRecording(const Recording& recording, bool rescue, const char* hint,
                        Thumbnail* picture, bool* made);

#endif
