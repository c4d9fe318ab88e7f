// The PTS of a PES packet that starts in a transport-stream packet.
#ifndef MELVIR_STREAM_PES_H
#define MELVIR_STREAM_PES_H

#include <cstddef>

#include "stream/packet.h"

// The PTS (90 kHz, 33 bits) of a video, audio or private-stream PES whose
// header is at h, length bytes of it at hand, when it carries one.
bool PesPts(const u8* h, size_t length, u64* pts);

// The PTS in 27 MHz ticks (90 kHz times 300, as a PCR counts), for a video,
// audio or private stream whose header starts in packet p and carries one.
bool PesTimestamp(const u8* p, u64* ticks);

#endif
