// Teletext subtitle pages as text: a decoder per teletext stream of the
// programme, their PTS on one clock: the remux's timeline while it feeds
// them (TextTime), else one of their own made the same way (timeline.h),
// which runs on across the wrap and closes up jumps back; their cues
// handed to the Matroska file's text tracks (FeedTextTracks) or kept for
// .srt files: cues on the file's timeline when the tracks are kept aside,
// cues of the stream's bytes read by teletext_scan.h.
#ifndef MELVIR_REMUX_TELETEXT_TEXT_H
#define MELVIR_REMUX_TELETEXT_TEXT_H

#include <vector>

#include "remux/remux.h"
#include "remux/timeline.h"
#include "stream/summary.h"
#include "stream/teletext.h"

// A subtitle page of the programme: its teletext stream's PID and the
// descriptor's entry.
struct SubtitlePage {
  u16 pid;
  TeletextEntry entry;
};

const u32 kTeletextStreams = 4;  // teletext streams of a programme decoded at once

// The subtitle pages (types 2 and 5) the programme's teletext descriptors
// name, in their order, each once; as many as the decoders take.
void SubtitlePagesOf(const std::vector<StreamSummary>& streams, std::vector<SubtitlePage>* pages);

// Text of all pages kept at most: a stream that makes more loses the rest.
const u64 kKeptTextBytes = 16u << 20;

struct TeletextStream {
  struct TeletextText* owner;
  u16 pid;
  TeletextDecoder decoder;
};

struct TeletextText {
  std::vector<SubtitlePage> pages;
  u32 streams;
  TeletextStream stream[kTeletextStreams];
  Timeline timeline;  // the clock without the remux
  bool clockKnown;
  i64 latest;    // the latest time on the clock
  i64 furthest;  // the furthest
  RemuxSession* session;  // set while the remux feeds it: its clock, and cues go to its text tracks
  std::vector<std::vector<TeletextCue>> kept;  // by page: cues kept for .srt files
  u64 keptBytes;
  u64 lost;      // cues not kept (kKeptTextBytes)
};

// Sets the decoders up for the pages; nothing kept.
void StartTeletextText(TeletextText* text, const std::vector<SubtitlePage>& pages);

// The 33-bit stamp raw as the decoders count time (the clock's time, moved
// up so that it never goes below 0), which is the latest; clock: a stamp of
// the audio or video, which moves the clock (a subtitle's only follows it).
i64 TeletextTime(TeletextText* text, u64 raw, bool clock);

// The PES data field of the teletext stream pid (from data_identifier on)
// with its PTS (33 bits; ~0ull: none, it takes the latest).
void FeedTeletextText(TeletextText* text, u16 pid, const u8* data, size_t length, u64 pts);
// Time has reached the stamp raw of the audio or video: long cues are
// given in pieces.
void AdvanceTeletextText(TeletextText* text, u64 raw);
// The stream has ended at the furthest stamp: every page still shown ends.
void FinishTeletextText(TeletextText* text);

// The job's text tracks, one per page (its language, hearing impaired for
// type 5, not default), and the feed that fills them from text; with
// aside, the tracks are not written and their cues, on the file's
// timeline, are kept in text->kept instead.
void FeedTextTracks(TeletextText* text, bool aside, RemuxJob* job);

#endif
