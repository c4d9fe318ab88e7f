// Whether a video PES starts a key frame, from the picture's own headers
// as FFmpeg's parsers tell one (so that a cut of the transport stream and
// the Matroska file begin on the same frame): an MPEG-1/2 I picture, an
// H.264 IDR picture or one after a recovery point SEI, an HEVC random
// access picture. Fed the PES's payload packet by packet; every read is
// bounded by the bytes given.
#ifndef MELVIR_STREAM_KEY_FRAME_H
#define MELVIR_STREAM_KEY_FRAME_H

#include "stream/video.h"

enum KeyFrameVerdict { kKeyUnknown, kKeyFrame, kNotKeyFrame };

// How far into a PES the first picture or slice is looked for (parameter
// sets and SEI come first).
const u32 kKeyFrameLook = 65536;

struct KeyFrameScan {
  VideoCoding coding;
  KeyFrameVerdict verdict;
  u32 seen;        // payload bytes looked at
  u32 zeros;       // zero bytes in a row (start codes, emulation prevention)
  bool inUnit;     // after a start code: the bytes of one unit
  u32 unitAt;      // bytes of the unit read (its emulation prevention bytes left out)
  u8 head[2];      // its first bytes
  bool recovery;   // an H.264 recovery point SEI came in this picture
  // An H.264 SEI's messages: the type and size being summed, the bytes
  // of a payload still to skip.
  u32 seiType, seiSize, seiSkip;
  u8 seiField;     // 0: type, 1: size, 2: payload
};

// A PES of the stream starts; payload: its bytes after the PES header in
// the packet that starts it.
void StartKeyFrameScan(KeyFrameScan* scan, VideoCoding coding, const u8* payload, u32 size);
// More of the PES's payload.
void ScanKeyFrame(KeyFrameScan* scan, const u8* payload, u32 size);

// The payload of a PES's first packet after its header, when it fits;
// false otherwise.
bool PesPayload(const u8* packet, u32* at);

#endif
