// A picture of a recording for its catalogue card: the first key frame from
// a tenth of the way in (from the start when none follows the tenth), 320
// pixels wide at the display aspect ratio, as a JPEG. The stream is demuxed and decoded by the FFmpeg libraries, straight
// from the caller's reader.
#ifndef MELVIR_PICTURE_THUMBNAIL_H
#define MELVIR_PICTURE_THUMBNAIL_H

#include <vector>

#include "platform/types.h"

const u32 kThumbnailWidth = 320;

// Reads up to count stream bytes at offset into buffer; *got is fewer than
// count only at the end of the stream. The block-form cut and what to do
// with damage (fail, or zeros under --rescue) are the reader's. False when
// the bytes cannot be read. Reads come at any offset from a tenth of the
// way in (or from the start), backwards too (the demuxer seeks), at most
// 65536 bytes each.
typedef bool (*StreamRead)(void* context, u64 offset, u8* buffer, u32 count, u32* got);

struct StreamSource {
  StreamRead read;
  void* context;
  u64 length;  // stream bytes of the recording
};

struct Thumbnail {
  std::vector<u8> jpeg;  // a whole JPEG file
  u32 width;             // as asked, or the video's when it is narrower
  u32 height;
};

// False, quietly, when the recording has no video, none that decodes in
// the 48 MiB from a tenth of the way in nor in its first 48 MiB (at most
// that much is read each time), or the reader fails.
// width: the picture's, kThumbnailWidth for a card, larger for a media
// library (never wider than the video).
bool MakeThumbnail(const StreamSource& source, Thumbnail* out, u32 width = kThumbnailWidth);

// The even height of a wide-pixel picture of a width x height frame whose
// pixels are sarNum:sarDen (0 for either: square).
u32 ThumbnailHeight(u32 width, u32 height, u32 sarNum, u32 sarDen, u32 wide = kThumbnailWidth);

#endif
