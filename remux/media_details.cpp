// A written file's tracks, read back through libavformat.
#include "remux/media_details.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace {

MediaTrack TrackOf(const AVStream* st) {
  MediaTrack t;
  t.codec = avcodec_get_name(st->codecpar->codec_id);
  const AVDictionaryEntry* lang = av_dict_get(st->metadata, "language", nullptr, 0);
  t.language = lang && lang->value ? lang->value : "";
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(59, 37, 100)
  t.channels = u32(st->codecpar->ch_layout.nb_channels);
#else
  t.channels = u32(st->codecpar->channels);
#endif
  return t;
}

}  // namespace

bool ReadMediaDetails(const char* path, MediaDetails* d) {
  *d = MediaDetails{};
  av_log_set_level(AV_LOG_QUIET);
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path, nullptr, nullptr) < 0) return false;
  bool ok = avformat_find_stream_info(format, nullptr) >= 0;
  if (ok && format->duration > 0) d->seconds = double(format->duration) / AV_TIME_BASE;
  for (unsigned i = 0; ok && i < format->nb_streams; ++i) {
    const AVStream* st = format->streams[i];
    AVMediaType type = st->codecpar->codec_type;
    if (type == AVMEDIA_TYPE_VIDEO && !d->videoKnown && st->codecpar->width > 0) {
      d->videoKnown = true;
      d->video = TrackOf(st);
      d->video.channels = 0;
      d->width = u32(st->codecpar->width);
      d->height = u32(st->codecpar->height);
      AVRational sar = av_guess_sample_aspect_ratio(format, const_cast<AVStream*>(st), nullptr);
      double pixels = sar.num > 0 && sar.den > 0 ? double(sar.num) / sar.den : 1.0;
      if (d->height) d->aspect = d->width * pixels / d->height;
    } else if (type == AVMEDIA_TYPE_AUDIO) {
      d->audio.push_back(TrackOf(st));
    } else if (type == AVMEDIA_TYPE_SUBTITLE) {
      MediaTrack t = TrackOf(st);
      t.channels = 0;
      d->subtitles.push_back(t);
    }
  }
  avformat_close_input(&format);
  return ok;
}
