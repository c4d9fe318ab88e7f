// The decoder's packet layer, between the PES data units and the pages.
#ifndef MELVIR_STREAM_TELETEXT_PAGE_H
#define MELVIR_STREAM_TELETEXT_PAGE_H

#include "stream/teletext.h"

// One 42-byte EN 300 706 packet (address first, bits in the standard's
// order), carried by a PES of the given PTS.
void TeletextPacket(TeletextDecoder* decoder, const u8* packet, u64 pts);

#endif
