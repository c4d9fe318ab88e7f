// The teletext subtitles of a recording read from its transport stream's
// bytes as a copy hands them on, in order, in pieces of any length: the
// PES of the subtitle pages' streams decoded (teletext_text.h), and the
// PTS of the audio and video streams of the programme: they move time on
// (long cues given in pieces, the last cue ending with the recording), and
// the earliest first one is the file's start (as ffprobe gives a transport
// stream's start time): the zero of its .srt files.
#ifndef MELVIR_REMUX_TELETEXT_SCAN_H
#define MELVIR_REMUX_TELETEXT_SCAN_H

#include <vector>

#include "remux/teletext_text.h"
#include "stream/packet.h"

// A teletext PES is at most this long (its length field's 16 bits).
const u32 kTeletextPesMax = 65536 + 6;

struct TeletextScan {
  TeletextText* text;
  u8 role[kPidCount];        // kScan* of each PID
  u32 clocksLeft;            // audio and video streams whose first PTS is still to come
  bool zeroKnown;
  i64 zero;                  // the earliest first PTS, on the text's clock
  bool synced;               // on the packet grid
  u8 packet[kPacketSize];    // a packet cut by a piece's end
  u32 held;
  std::vector<u8> pes[kTeletextStreams];  // each teletext stream's PES being gathered
};

// Starts reading for text (started with its pages) from offset 0 of the
// stream; clocks: the PIDs of the programme's audio and video streams.
void StartTeletextScan(TeletextScan* scan, TeletextText* text, const std::vector<u16>& clocks);
// The next length stream bytes.
void ScanTeletext(TeletextScan* scan, const u8* data, u32 length);
// The stream's end: the cues still shown end; the zero is known unless
// no stream had a PTS.
void EndTeletextScan(TeletextScan* scan);

#endif
