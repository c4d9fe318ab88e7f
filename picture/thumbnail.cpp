// A recording's thumbnail: demuxed from a tenth of the way in, first key frame.
#include "picture/thumbnail.h"

#include "disk/block_form.h"
#include "picture/frame_jpeg.h"
#include "picture/stream_io.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace {

// How far past the tenth a key frame is looked for: many seconds of any
// broadcast, and a bound on what a picture costs on a slow or dying disk.
const u64 kSearchBytes = 48ull << 20;

bool IsKeyFrame(const AVFrame* f) {
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(58, 7, 100)
  return (f->flags & AV_FRAME_FLAG_KEY) != 0;
#else
  return f->key_frame != 0;
#endif
}

AVCodecContext* OpenDecoder(const AVStream* stream) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  AVCodecContext* dec = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (!dec) return nullptr;
  dec->thread_count = 1;  // one frame is wanted: threads would only add delay
  if (avcodec_parameters_to_context(dec, stream->codecpar) < 0 || avcodec_open2(dec, codec, nullptr) < 0)
    avcodec_free_context(&dec);
  return dec;
}

// Feeds the video stream's packets to the decoder until a key frame comes
// out, then encodes it. A packet that does not decode is passed over: the
// next one may.
bool FirstKeyFrame(AVFormatContext* format, int index, AVCodecContext* dec, u32 width, Thumbnail* out) {
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  bool found = false, ok = false, ended = !packet || !frame;
  while (!found && !ended) {
    int64_t before = avio_tell(format->pb);
    int read = av_read_frame(format, packet);
    if (read == AVERROR(EAGAIN) && avio_tell(format->pb) > before) {
      // The demuxer lost the packet grid (zeros where sectors were lost, say)
      // and has read on to find it again.
      continue;
    }
    if (read < 0) {
      ended = true;
      avcodec_send_packet(dec, nullptr);
    } else {
      if (packet->stream_index == index) avcodec_send_packet(dec, packet);
      av_packet_unref(packet);
    }
    while (!found && avcodec_receive_frame(dec, frame) >= 0) {
      if (IsKeyFrame(frame)) {
        found = true;
        AVRational sar = av_guess_sample_aspect_ratio(format, format->streams[index], frame);
        ok = EncodeFrameJpeg(frame, sar.num, sar.den, width, out);
      }
      av_frame_unref(frame);
    }
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  return ok;
}

// *video: the window holds a video stream.
bool ThumbnailFromIo(AVIOContext* io, u32 width, Thumbnail* out, bool* video) {
  *video = false;
  AVFormatContext* format = avformat_alloc_context();
  if (!format) return false;
  format->pb = io;
  AVDictionary* options = nullptr;
  // The end of the stream is not read for a duration nobody asks for.
  av_dict_set(&options, "skip_estimate_duration_from_pts", "1", 0);
  // The streams are looked for over the whole search, past zeros that fill
  // what a rescue could not read.
  av_dict_set_int(&options, "probesize", int64_t(kSearchBytes), 0);
  // On failure avformat_open_input frees the context; the I/O stays ours.
  int opened = avformat_open_input(&format, nullptr, av_find_input_format("mpegts"), &options);
  av_dict_free(&options);
  if (opened < 0) return false;
  bool ok = false;
  if (avformat_find_stream_info(format, nullptr) >= 0) {
    int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    *video = index >= 0;
    AVCodecContext* dec = index >= 0 ? OpenDecoder(format->streams[index]) : nullptr;
    if (dec) ok = FirstKeyFrame(format, index, dec, width, out);
    avcodec_free_context(&dec);
  }
  avformat_close_input(&format);
  return ok;
}

// A picture from the first key frame in the kSearchBytes from start.
bool PictureFrom(const StreamSource& source, u64 start, u32 width, Thumbnail* out, bool* video,
                 bool* failed) {
  StreamWindow window = {};
  window.source = source;
  window.start = start;
  window.end = source.length - start > kSearchBytes ? start + kSearchBytes : source.length;
  window.pos = start;
  *video = *failed = false;
  if (window.start >= window.end) return false;
  AVIOContext* io = OpenStreamIo(&window);
  if (!io) return false;
  out->jpeg.clear();
  bool ok = ThumbnailFromIo(io, width, out, video);
  CloseStreamIo(&io);
  *failed = window.failed;
  return ok;
}

}  // namespace

bool MakeThumbnail(const StreamSource& source, Thumbnail* out, u32 width) {
  av_log_set_level(AV_LOG_QUIET);
  u64 tenth = source.length / 10 / kPacketSize * kPacketSize;
  bool video, failed;
  if (PictureFrom(source, tenth, width, out, &video, &failed)) return true;
  // A short recording may have its only key frame at its start.
  return tenth > 0 && video && !failed && PictureFrom(source, 0, width, out, &video, &failed);
}
