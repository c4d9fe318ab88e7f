// A video stream's picture format, read from its own headers: the MPEG-1/2
// sequence header (and the MPEG-2 sequence extension after it) and the
// H.264 sequence parameter set with its VUI. Every read is bounded by the
// bytes given: a hostile header gives no format, never a read past them.
#ifndef MELVIR_STREAM_VIDEO_H
#define MELVIR_STREAM_VIDEO_H

#include "stream/packet.h"

enum VideoCoding { kVideoOther, kVideoMpeg12, kVideoH264, kVideoHevc };

// The video coding of a PMT stream_type (kVideoOther: not video).
VideoCoding VideoCodingOf(u8 streamType);

struct VideoFormat {
  bool known;                // width and height are
  u32 width, height;         // of the picture shown (H.264 cropping applied)
  u32 aspectNum, aspectDen;  // display aspect ratio, 16:9; 0:0 when not known
  u32 rateNum, rateDen;      // frames per second, 25:1 or 30000:1001; 0:0 when not known
};

// bytes start at a sequence header's start code (00 00 01 B3).
bool ReadMpegSequence(const u8* bytes, u32 size, VideoFormat* format);
// bytes start at a sequence parameter set's start code (00 00 01, then NAL type 7).
bool ReadH264Sps(const u8* bytes, u32 size, VideoFormat* format);

// The display aspect ratio of a width x height picture of sarNum:sarDen
// samples, to the nearest of 4:3, 16:9 and 2.21:1 within 3%, else reduced.
void DisplayAspect(u32 width, u32 height, u32 sarNum, u32 sarDen, VideoFormat* format);

// Bytes kept of a header being gathered across packets: a sequence header
// with both quantiser matrices and its extension, or an SPS with scaling
// lists and VUI, fits.
const u32 kVideoHeaderBytes = 512;

// One video PID's header looked for in its packets' payload until a format
// is read.
struct VideoProbe {
  u16 pid;
  VideoCoding coding;
  u8 bytes[kVideoHeaderBytes];  // from the header's start code on
  u32 held;                     // 0: looking for a start code
  u8 tail[3];                   // the last payload bytes, for a start code across packets
  u32 tailHeld;
  VideoFormat format;
};

void SeeVideoPacket(VideoProbe* probe, const u8* packet);

#endif
