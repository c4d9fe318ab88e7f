// Text subtitle tracks (SubRip) of a Matroska file, filled with cues by a
// decoder of the stream's teletext: where the subtitle pages plug in. The
// tracks are declared before the remux starts; the decoder is handed each
// teletext packet of the programme and puts its cues as they end.
#ifndef MELVIR_REMUX_TEXT_TRACK_H
#define MELVIR_REMUX_TEXT_TRACK_H

#include <string>

#include "platform/types.h"

struct TextTrackPlan {
  char language[4];      // ISO 639-2, as broadcast ("" when not known)
  bool hearingImpaired;  // marked so
  std::string title;     // the track's name, or ""
};

// One subtitle shown from start to end, in 90 kHz ticks of the remux's
// timeline (TextTime), its text UTF-8, lines split by '\n'.
struct TextCue {
  i64 start, end;
  std::string text;
};

struct RemuxSession;  // the remux in progress

// A subtitle's 33-bit stamp on the remux's timeline, as the stamps of the
// video about it are: it runs on across the wrap and the jumps the remux
// closes up, so that a decoder given these times never sees its clock go
// far back.
i64 TextTime(RemuxSession* session, u64 pts);

// Writes the cues of text track `track` (an index of RemuxJob::textTracks),
// in the order they start; each is held no longer than the muxer waits for
// a sparse track (kTextCueHoldSeconds). Cues put before the file's start
// is known are held until it is; those that end before it are left out.
// False when the muxer refused one (the remux then fails).
bool PutTextCues(RemuxSession* session, u32 track, const TextCue* cues, u32 count);

// How long a cue may be put after the video of its start was muxed.
const u32 kTextCueHoldSeconds = 10;

struct TeletextFeed {
  // Each packet of a teletext stream of the programme (its PES payload as
  // the demuxer gives it) in stream order, with its PTS (33 bits, or
  // ~0ull when it has none) and the stream's PID. May put cues.
  void (*feed)(void* context, RemuxSession* session, u16 pid, const u8* data, u32 length,
               u64 pts);
  // The video's decoding stamp (33 bits) as its packets are demuxed, so
  // that cues shown long are put within kTextCueHoldSeconds. May be null.
  void (*advance)(void* context, RemuxSession* session, u64 dts);
  // At the stream's end: may put the cues still held.
  void (*finish)(void* context, RemuxSession* session);
  // Set: the text tracks are kept out of the file (written beside it) and
  // PutTextCues hands their cues here instead, on the file's timeline (90
  // kHz ticks from its start, 0 <= start < end).
  void (*aside)(void* context, u32 track, i64 start, i64 end, const std::string& text);
  void* context;
};

#endif
