// One decoded frame as the thumbnail's JPEG: scaled to the display aspect
// ratio, full range, and encoded by libavcodec's MJPEG encoder.
#ifndef MELVIR_PICTURE_FRAME_JPEG_H
#define MELVIR_PICTURE_FRAME_JPEG_H

#include "picture/thumbnail.h"

struct AVFrame;

// At most width pixels wide, and never wider than the frame.
bool EncodeFrameJpeg(const AVFrame* frame, int sarNum, int sarDen, u32 width, Thumbnail* out);

#endif
