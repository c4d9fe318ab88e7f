// The source tag: made for a new file, read back from an existing one.
#include "remux/source_tag.h"

#include <cstdio>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

namespace {

// How far before the end the last cue may lie: the muxer starts a cluster,
// and a cue, at least every 5 s of video, at a key frame.
const int64_t kCueSlackSeconds = 10;

}  // namespace

std::string SourceTagValue(const SourceFacts& f) {
  u8 digest[32] = {};
  AVSHA* sha = av_sha_alloc();
  if (sha && av_sha_init(sha, 256) == 0) {
    av_sha_update(sha, f.first, f.firstLength);
    av_sha_update(sha, f.last, f.lastLength);
    av_sha_final(sha, digest);
  }
  av_free(sha);
  char hex[65];
  for (u32 i = 0; i < 32; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  char slot[24];
  if (f.lost) std::snprintf(slot, sizeof slot, "lost");
  else std::snprintf(slot, sizeof slot, "slot %u", f.slot);
  char text[256];
  std::snprintf(text, sizeof text, "geometry %u:%u:%u:%u, %s, cluster %u, %llu bytes, blocks sha256 %s%s",
                f.headerSector, f.sectorsPerCluster, f.clusterCount, f.dataStart, slot, f.cluster,
                static_cast<unsigned long long>(f.bytes), hex, f.trimmed ? ", programme only" : "");
  return text;
}

bool ReadMatroskaSource(const char* path, std::string* tag, bool* cues) {
  av_log_set_level(AV_LOG_QUIET);
  tag->clear();
  *cues = false;
  // The file protocol by name: a path holding ':' is no other protocol.
  std::string url = std::string("file:") + path;
  AVFormatContext* in = nullptr;
  if (avformat_open_input(&in, url.c_str(), av_find_input_format("matroska"), nullptr) < 0) return false;
  const AVDictionaryEntry* e = av_dict_get(in->metadata, kSourceTagName, nullptr, 0);
  if (e) *tag = e->value;
  // The duration and the cues are written as the file is ended. The
  // demuxer reads the cues at the first seek (a file without them is read
  // from its start instead, which indexes no more than its first clusters):
  // the index of a file with cues reaches its end.
  int index = av_find_default_stream_index(in);
  if (in->duration != AV_NOPTS_VALUE && index >= 0 &&
      av_seek_frame(in, index, 0, AVSEEK_FLAG_BACKWARD) >= 0) {
    AVStream* st = in->streams[index];
    int entries = avformat_index_get_entries_count(st);
    const AVIndexEntry* last = entries > 0 ? avformat_index_get_entry(st, entries - 1) : nullptr;
    int64_t end = av_rescale_q(in->duration, AV_TIME_BASE_Q, st->time_base);
    int64_t slack = av_rescale_q(kCueSlackSeconds, AVRational{1, 1}, st->time_base);
    *cues = last && last->timestamp >= end - slack;
  }
  avformat_close_input(&in);
  return true;
}
