// What a library run writes beside each recording's file once the file is
// whole, and what it counts: the NFO, the picture, the show's tvshow.nfo
// and fanart.jpg, the library's index.html.
#ifndef MELVIR_LIBRARY_LIBRARY_RUN_H
#define MELVIR_LIBRARY_LIBRARY_RUN_H

#include <string>
#include <vector>

#include "library/library_entry.h"
#include "platform/types.h"

const u32 kLibraryPictureWidth = 1280;  // or the video's width, when narrower

// How the run's recordings ended, for its summary.
struct LibraryTally {
  u32 added, alreadyThere, renamed, failed, damaged;
};

// "3 recordings: 2 added (1 under a new name), 1 already there, 0 failed, 0 damaged".
std::string TallyText(const LibraryTally& tally, u32 recordings);

// The last line of a damaged copy's plot: how many seconds of the
// programme could not be read.
std::string DamageLine(double seconds);

// The picture file beside a recording's file (path without extension):
// NAME-fanart.jpg for a film, NAME-thumb.jpg for an episode.
std::string PicturePath(const LibraryEntry& entry, const std::string& stemPath);
// The picture is still to be made: it, or its show's fanart.jpg, is missing.
bool PictureWanted(const LibraryEntry& entry, const std::string& dir, const std::string& stemPath);

// Writes what goes beside file (the recording's, whole, in dir): its NFO
// when the file was written now (fresh) or the NFO is missing (damage: a
// line added to its plot, or ""); its picture and, for an episode, its
// show's fanart.jpg when missing (jpeg: none made when empty); the show's
// tvshow.nfo when it changes. False, with the file that failed in *failed.
bool WriteBeside(const std::string& dir, const LibraryEntry& entry, const std::string& file, bool fresh,
                 const std::string& damage, const std::vector<u8>& jpeg, std::string* failed);

// DIR/index.html of the whole library, when it changes. False when it
// cannot be written.
bool WriteLibraryPage(const std::string& dir);

#endif
