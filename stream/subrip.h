// SubRip (.srt) text of subtitle cues: numbered from 1, UTF-8,
// "HH:MM:SS,mmm --> HH:MM:SS,mmm", times from a zero PTS the caller gives.
#ifndef MELVIR_STREAM_SUBRIP_H
#define MELVIR_STREAM_SUBRIP_H

#include <string>

#include "stream/teletext.h"

// "01:02:03,456" for pts ticks of 90 kHz (hours beyond 99 take more digits).
std::string SubripTime(u64 pts);

// Appends cue number (1, 2, ...) to out, its times less zeroPts. False,
// and nothing appended, for a cue that ends at or before zeroPts; one that
// starts before it starts at 0.
bool AppendSubripCue(std::string* out, u32 number, const TeletextCue& cue, u64 zeroPts);

#endif
