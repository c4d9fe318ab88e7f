// A decoded frame scaled and encoded as the thumbnail's JPEG.
#include "picture/frame_jpeg.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace {

const int kJpegQuality = 3;                  // qscale: 2 (best) to 31

// The frame scaled into a new full-range YUVJ420P frame of w x h.
AVFrame* ScaleFrame(const AVFrame* f, int w, int h) {
  SwsContext* sws = sws_getContext(f->width, f->height, AVPixelFormat(f->format), w, h,
                                   AV_PIX_FMT_YUVJ420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
  AVFrame* out = av_frame_alloc();
  bool ok = sws && out;
  if (ok) {
    out->width = w;
    out->height = h;
    out->format = AV_PIX_FMT_YUVJ420P;
    ok = av_frame_get_buffer(out, 0) >= 0;
  }
  if (ok) {
    int *inverse, *table, srcRange, dstRange, brightness, contrast, saturation;
    sws_getColorspaceDetails(sws, &inverse, &srcRange, &table, &dstRange, &brightness, &contrast, &saturation);
    // The source's own matrix and range in; JPEG's (BT.601, full range) out.
    sws_setColorspaceDetails(sws, sws_getCoefficients(f->colorspace),
                             srcRange || f->color_range == AVCOL_RANGE_JPEG,
                             sws_getCoefficients(SWS_CS_ITU601), 1, brightness, contrast, saturation);
    ok = sws_scale(sws, f->data, f->linesize, 0, f->height, out->data, out->linesize) == h;
  }
  sws_freeContext(sws);
  if (!ok) av_frame_free(&out);
  return out;
}

bool EncodeJpeg(AVFrame* frame, Thumbnail* out) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  AVCodecContext* enc = codec ? avcodec_alloc_context3(codec) : nullptr;
  AVPacket* packet = av_packet_alloc();
  bool ok = enc && packet;
  if (ok) {
    enc->width = frame->width;
    enc->height = frame->height;
    enc->pix_fmt = AV_PIX_FMT_YUVJ420P;
    enc->color_range = AVCOL_RANGE_JPEG;
    enc->time_base = AVRational{1, 25};
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = FF_QP2LAMBDA * kJpegQuality;
    frame->quality = enc->global_quality;
    frame->pts = 0;
    ok = avcodec_open2(enc, codec, nullptr) >= 0 && avcodec_send_frame(enc, frame) >= 0 &&
         avcodec_send_frame(enc, nullptr) >= 0 && avcodec_receive_packet(enc, packet) >= 0;
  }
  if (ok) out->jpeg.assign(packet->data, packet->data + packet->size);
  av_packet_free(&packet);
  avcodec_free_context(&enc);
  return ok;
}

}  // namespace

u32 ThumbnailHeight(u32 width, u32 height, u32 sarNum, u32 sarDen, u32 wide) {
  if (sarNum == 0 || sarDen == 0) sarNum = sarDen = 1;
  if (width == 0) return 2;
  // A nonsense aspect ratio still gives a sane picture.
  u32 most = 4 * wide;
  // The nearest even number to wide * height * sarDen / (width * sarNum).
  u64 n = u64(wide) * height * sarDen;
  u64 d = u64(width) * sarNum;
  u64 even = 2 * ((n + d) / (2 * d));
  if (even < 2) return 2;
  return even > most ? most : u32(even);
}

bool EncodeFrameJpeg(const AVFrame* frame, int sarNum, int sarDen, u32 width, Thumbnail* out) {
  if (frame->width <= 0 || frame->height <= 0 || sarNum < 0 || sarDen < 0) return false;
  // A card's picture has its one width; a larger one is never wider than
  // the video (pixels are not made up).
  u32 whole = u32(frame->width) & ~1u;
  u32 wide = width > kThumbnailWidth && width > whole ? whole : width;
  u32 h = ThumbnailHeight(u32(frame->width), u32(frame->height), u32(sarNum), u32(sarDen), wide);
  AVFrame* scaled = ScaleFrame(frame, int(wide), int(h));
  bool ok = scaled && EncodeJpeg(scaled, out);
  av_frame_free(&scaled);
  if (!ok) return false;
  out->width = wide;
  out->height = h;
  return true;
}
