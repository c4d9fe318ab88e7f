// One recording copied to one output: resumable into NAME.part for a
// regular file, straight to a stream otherwise; every failure said with its
// reason and the bytes kept.
#ifndef MELVIR_CLI_COPY_H
#define MELVIR_CLI_COPY_H

#include <cstdio>

#include "cli/args.h"
#include "cli/recording_table.h"

// kCopyClosed: a stream's reader went away (`| head`); nothing more can
// be written to it, and nothing is said. kCopyInUse: another run holds
// NAME.part; nothing was read or written, and nothing is said.
struct RescueRecord;

enum CopyOutcome { kCopyDone, kCopyFailed, kCopyStopped, kCopyClosed, kCopyInUse };

struct CopyTarget {
  const char* path;  // the output's final name; "-" for standard output
  bool stream;       // standard output, a FIFO or the null device: no .part
  bool quiet;        // no progress display, no completion notice
  bool rescue;       // read past damage: unreadable sectors become zeros
  std::FILE* report; // with rescue: one JSON object per recording, or null
  const char* hint;  // added to an input failure's message
  const char* source;  // the disk or image, as read failures name it
  bool replace;      // --force: the final name may replace a file of that name
  bool anotherName;  // a name taken while copying: "NAME (2).EXT" ... will do
  bool matroska;     // written as Matroska (copy_mkv.cpp), never to a stream
  Subtitles subtitles;  // the teletext subtitle pages as text tracks, .srt files, or not
  bool trim;         // the programme alone (--trim), never to a stream
  RescueRecord* met; // when set, with rescue: what the copy met, once it is done
};

CopyOutcome CopyToTarget(const Recording& recording, const CopyTarget& target);

// How one recording's copy to a free name ended, for a run's summary.
enum Ending { kEndCopied, kEndRenamed, kEndSkipped, kEndFailed, kEndStopped, kEndClosed };

// Copies r to path, or, of several recordings, to the first of path,
// "NAME (2).EXT" ... that is free (neither another recording's file nor
// another run's .part) or holds r complete (kEndSkipped); *written: the
// name it has. A single recording's existing output is replaced only with
// force.
Ending CopyToFreeName(bool force, bool several, const char* path, const Recording& r,
                      CopyTarget* target, char* written, u32 size);

// Matroska is in this build (the FFmpeg libraries and libdvbpsi); when it
// is not, says so.
bool MatroskaAvailable();

// --subtitles srt is in this build (as Matroska is); when it is not, says so.
bool SubtitlesAvailable();

// path is a Matroska file of the recording, complete: its source tag is
// the recording's (trim: of its programme alone) and it has cues.
bool MatroskaIsComplete(const Recording& recording, bool rescue, bool trim, const char* path);

// path is a .ts of the recording's programme alone (--trim): after the PAT
// and PMT in front, its bytes where it is sampled are the recording's from
// where the cut begins.
bool CutIsComplete(const Recording& recording, bool rescue, const char* path);

// --trim is in this build (libdvbpsi, for the tables); when it is not,
// says so.
bool TrimAvailable();

#endif
