// What a written media file holds, as a media library lists it: its video's
// codec, size, display aspect and duration, and each audio and subtitle
// track's codec, language and channels, read back by the FFmpeg libraries.
#ifndef MELVIR_REMUX_MEDIA_DETAILS_H
#define MELVIR_REMUX_MEDIA_DETAILS_H

#include <string>
#include <vector>

#include "platform/types.h"

struct MediaTrack {
  std::string codec;     // FFmpeg's short name: "mpeg2video", "h264", "mp2", "ac3", "subrip"
  std::string language;  // ISO 639-2, "" when not given
  u32 channels;          // audio; 0 when not known
};

struct MediaDetails {
  bool videoKnown;
  MediaTrack video;
  u32 width, height;
  double aspect;         // display aspect ratio as a decimal (1.778); 0 when not known
  double seconds;        // the file's duration; 0 when not known
  std::vector<MediaTrack> audio, subtitles;
};

// False when the file cannot be opened or read as media.
bool ReadMediaDetails(const char* path, MediaDetails* details);

#endif
