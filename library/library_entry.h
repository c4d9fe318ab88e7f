// Where a recording goes in a media library, from what its broadcast says:
// a film under its title and production year, or an episode of a show named
// by its title, numbered by its local air time so that a daily show's
// recordings stay distinct and in air order.
#ifndef MELVIR_LIBRARY_LIBRARY_ENTRY_H
#define MELVIR_LIBRARY_LIBRARY_ENTRY_H

#include <string>
#include <vector>

#include "report/probe_report.h"
#include "stream/dvb_time.h"

enum LibraryKind { kLibraryFilm, kLibraryEpisode };
// --as: what every recording is taken for, or as its content descriptor says.
enum LibraryAs { kAsContent, kAsFilm, kAsShow };

struct LibraryEntry {
  LibraryKind kind;
  std::string title;      // the programme's title, or the recording's name without EIT
  std::string shortText;  // the event's short text
  std::string plot;       // the extended text, else the short one
  std::string service;    // the channel
  std::string genre;      // the content descriptor's level-1 name, or ""
  int year;               // the production year, 0 when none is written
  bool timeKnown;         // local holds the event's start
  bool utc;               // no TOT gave the offset: local is UTC
  CivilTime local;        // the event's start, local
  u32 runtimeMinutes;     // the programme's, 0 when not known
  std::string show;       // an episode's show folder, from DIR: "Shows/TITLE"
  std::string folder;     // the file's folder, from DIR: "Movies/TITLE (1981)", ".../Season 2009"
  std::string stem;       // its name without extension: "TITLE (1981)", "TITLE S2009E05032044"
  std::string episodeTitle;  // an episode's: its short text when that is one short line, else the title
};

// The production year in an event's short text: its last run of exactly
// four digits from 1900 to broadcastYear (0: no bound), or 0.
int ProductionYear(const std::string& shortText, int broadcastYear);

// The local time of utc under the TOT's offset in force then; *utcOnly
// when the summary has none.
void LocalTimeOf(const ProbeSummary& summary, i64 utc, CivilTime* local, bool* utcOnly);

// The entry of a probed recording (null: its stream could not be read),
// named name (decoded) on the disk.
void EntryOfRecording(const ProbeRecord* record, const char* name, LibraryAs as, LibraryEntry* entry);

// "2009-05-03" and "2009-05-03 20:45:00" of a civil time.
std::string CivilDate(const CivilTime& t);
std::string CivilDateTime(const CivilTime& t);

#endif
