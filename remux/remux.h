// A recording's transport stream written as a Matroska file in one pass:
// demuxed by libavformat straight from the caller's reader, every track of
// the programme that Matroska carries copied packet by packet (nothing is
// decoded or encoded), with its language and flags, on one timeline that
// starts at 0 at the first video key frame, and muxed by libavformat into
// the caller's output file, which it seeks in (cues and duration).
#ifndef MELVIR_REMUX_REMUX_H
#define MELVIR_REMUX_REMUX_H

#include <string>
#include <vector>

#include "picture/thumbnail.h"
#include "remux/text_track.h"

// Writes length bytes at offset of the output file; false with the
// system's error in *error.
typedef bool (*RemuxWrite)(void* context, u64 offset, const u8* data, u32 length, u32* error);

// Whether any of the stream bytes [from, to) could not be read (the zeros
// of a read past damage), among those read so far.
typedef bool (*UnreadableQuery)(void* context, u64 from, u64 to);

struct RemuxTag {
  std::string name, value;  // UTF-8
};

struct RemuxJob {
  // Read once, in order, from offset 0: each read starts where the last
  // one ended. A read that fails ends the remux (readFailed).
  StreamSource source;
  UnreadableQuery unreadable;  // null: everything read
  void* unreadableContext;
  RemuxWrite write;
  void* writeContext;
  int program;                 // the programme's number; -1: the first with video
  std::string title;           // the segment's title, or ""
  std::vector<RemuxTag> tags;  // global tags
  std::vector<TextTrackPlan> textTracks;  // text subtitle tracks, after the stream's own
  TeletextFeed text;             // what gives their cues (null feed: none)
  // --trim: the programme alone, from the leading video's key frame whose
  // PES starts at stream offset trimFrom, to where the stream's EIT names
  // present an event that starts after programmeStart (and chapters from
  // the programme's on).
  bool trim;
  u64 trimFrom;
  i64 programmeStart;
};

struct RemuxResult {
  bool refused;       // nothing to write: no transport stream, no programme, no track
  bool readFailed;    // the source's read failed (its reason is the caller's)
  bool writeFailed;   // a write failed: error holds the system's code
  u32 error;
  char reason[200];   // why it failed, for refused and other failures
  u64 bytes;          // the output file's length
  u32 tracks;
  u32 leftOut;        // streams of the programme not written (teletext, data, undescribed)
  u64 packets;        // packets written
  u64 dropped;        // packets left out: damaged, before the start, out of order
  u64 damaged;        // of those, over unreadable bytes or marked corrupt, or video after them
  u32 joins;          // jumps of the stream's clock closed up
  double seconds;     // the file's duration
  u32 chapters;       // chapters written (one per EIT event the file spans)
  bool endFound;      // --trim: the programme ended before the recording did
};

// Writes the Matroska file; false (result says why) when it is not whole.
bool RemuxToMatroska(const RemuxJob& job, RemuxResult* result);

#endif
