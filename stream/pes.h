// The PTS of a PES packet that starts in a transport-stream packet.
#ifndef MELVIR_STREAM_PES_H
#define MELVIR_STREAM_PES_H

#include "stream/packet.h"

// The PTS in 27 MHz ticks (90 kHz times 300, as a PCR counts), for a video,
// audio or private stream whose header starts in packet p and carries one.
bool PesTimestamp(const u8* p, u64* ticks);

#endif
