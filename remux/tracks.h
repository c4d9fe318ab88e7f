// The tracks a recording's Matroska file gets: every elementary stream of
// the programme that Matroska carries, in PMT order, with its language as
// broadcast and its flags: the video and exactly one audio track default
// (the first that is neither audio description, hearing impaired nor clean
// effects; players otherwise start with the describer's voice), audio
// description marked visual impaired and named so, hearing impaired
// marked, clean effects named.
#ifndef MELVIR_REMUX_TRACKS_H
#define MELVIR_REMUX_TRACKS_H

#include <vector>

#include "platform/types.h"

struct AVFormatContext;

enum TrackRole { kRoleVideo, kRoleAudio, kRoleBitmapSubtitles, kRoleText };

struct TrackPlan {
  int input;          // the demuxer's stream index (-1: a text track)
  TrackRole role;
  int inFlags;        // the demuxer's dispositions (AV_DISPOSITION_*)
  int outFlags;       // the file's
  char language[4];   // "" when not known
  const char* title;  // the track's name, or null
};

// The programme's streams of the demuxer, planned; teletext streams (fed
// to the text source) in *teletext; *leftOut counts the others (data, and
// streams that sent nothing the demuxer could describe). program -1, or
// one not there: the first programme with video. *found: its number.
void PlanTracks(const AVFormatContext* in, int program, std::vector<TrackPlan>* tracks,
                std::vector<int>* teletext, u32* leftOut, int* found);

// Sets outFlags and title of every track from its role and inFlags.
void SetTrackFlags(std::vector<TrackPlan>* tracks);

#endif
