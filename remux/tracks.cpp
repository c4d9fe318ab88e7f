// The programme's streams as the file's tracks, and their flags.
#include "remux/tracks.h"

#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

// The role of a stream Matroska carries; false for one it does not (or
// one the demuxer could not describe: a PMT entry that sent nothing).
bool RoleOf(const AVStream* st, TrackRole* role) {
  const AVCodecParameters* p = st->codecpar;
  switch (p->codec_id) {
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_H264:
    case AV_CODEC_ID_HEVC:
      *role = kRoleVideo;
      return p->width > 0 && p->height > 0;
    // LATM/HE-AAC goes as FFmpeg maps it (A_MS/ACM, tag 0x1602).
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3:
    case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_AAC_LATM:
      *role = kRoleAudio;
      return p->sample_rate > 0 && p->ch_layout.nb_channels > 0;
    case AV_CODEC_ID_DVB_SUBTITLE:
      *role = kRoleBitmapSubtitles;
      return true;
    default:
      return false;
  }
}

// The first language of the stream ("eng", of "eng,fra" for a descriptor
// of several), as broadcast.
void LanguageOf(const AVStream* st, char* language) {
  language[0] = 0;
  const AVDictionaryEntry* e = av_dict_get(st->metadata, "language", nullptr, 0);
  if (!e) return;
  u32 n = 0;
  while (n < 3 && e->value[n] && e->value[n] != ',') {
    language[n] = e->value[n];
    ++n;
  }
  language[n] = 0;
}

bool HasVideo(const AVFormatContext* in, const AVProgram* p) {
  for (unsigned i = 0; i < p->nb_stream_indexes; ++i)
    if (in->streams[p->stream_index[i]]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) return true;
  return false;
}

const AVProgram* ChooseProgram(const AVFormatContext* in, int program) {
  const AVProgram* chosen = nullptr;
  for (unsigned i = 0; i < in->nb_programs; ++i)
    if (in->programs[i]->id == program) return in->programs[i];
  for (unsigned i = 0; i < in->nb_programs && !chosen; ++i)
    if (HasVideo(in, in->programs[i])) chosen = in->programs[i];
  for (unsigned i = 0; i < in->nb_programs && !chosen; ++i)
    if (in->programs[i]->nb_stream_indexes) chosen = in->programs[i];
  return chosen;
}

}  // namespace

void PlanTracks(const AVFormatContext* in, int program, std::vector<TrackPlan>* tracks,
                std::vector<int>* teletext, u32* leftOut, int* found) {
  tracks->clear();
  teletext->clear();
  *leftOut = 0;
  const AVProgram* p = ChooseProgram(in, program);
  *found = p ? p->id : -1;
  u32 count = p ? p->nb_stream_indexes : in->nb_streams;
  for (u32 i = 0; i < count; ++i) {
    int index = p ? int(p->stream_index[i]) : int(i);
    const AVStream* st = in->streams[index];
    if (st->codecpar->codec_id == AV_CODEC_ID_DVB_TELETEXT) {
      teletext->push_back(index);
      continue;
    }
    TrackPlan t = {};
    if (!RoleOf(st, &t.role)) {
      ++*leftOut;
      continue;
    }
    t.input = index;
    t.inFlags = st->disposition;
    LanguageOf(st, t.language);
    tracks->push_back(t);
  }
  SetTrackFlags(tracks);
}

void SetTrackFlags(std::vector<TrackPlan>* tracks) {
  const int kNotMain = AV_DISPOSITION_VISUAL_IMPAIRED | AV_DISPOSITION_HEARING_IMPAIRED |
                       AV_DISPOSITION_CLEAN_EFFECTS;
  bool video = false, audio = false;
  for (TrackPlan& t : *tracks) {
    t.outFlags = t.inFlags & (AV_DISPOSITION_VISUAL_IMPAIRED | AV_DISPOSITION_HEARING_IMPAIRED);
    t.title = nullptr;
    if (t.role == kRoleVideo && !video) {
      video = true;
      t.outFlags |= AV_DISPOSITION_DEFAULT;
    }
    if (t.role != kRoleAudio) continue;
    if (t.inFlags & AV_DISPOSITION_VISUAL_IMPAIRED)
      t.title = t.inFlags & AV_DISPOSITION_DEPENDENT ? "audio description (to be mixed)"
                                                      : "audio description";
    else if (t.inFlags & AV_DISPOSITION_CLEAN_EFFECTS)
      t.title = "clean effects";
    if (!audio && !(t.inFlags & kNotMain)) {
      audio = true;
      t.outFlags |= AV_DISPOSITION_DEFAULT;
    }
  }
}
