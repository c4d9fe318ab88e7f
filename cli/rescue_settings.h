// The command line's rescue settings for one run: the ddrescue map a
// source is served through, the mirror fallback with its messages, and
// whether damage was met (exit status 3).
#ifndef MELVIR_CLI_RESCUE_SETTINGS_H
#define MELVIR_CLI_RESCUE_SETTINGS_H

#include "cli/args.h"
#include "disk/recorder_disk.h"
#include "platform/drive_map.h"

// Before the discovery: loads --mapfile for the one SOURCE and serves it
// through the map. False (said) for a mapfile that is refused: exit 2.
bool PrepareMapfile(const Options& options);
// The map in force, or null.
const DriveMap* ActiveMap();

// After the discovery: with --rescue or --copy, table and directory sectors
// that fail are read from the other copy, each named once on stderr.
void StartRescue(const Options& options);

// Lines about table and directory sectors. While held (a walk of the
// directory), a run of consecutive sectors told the same way is one line,
// kept while it may still grow: say it (SayHeldRun) before saying anything
// else. Otherwise each is said at once; ending the hold says the last run.
enum SectorTale { kReadFromMirror, kReadFromCopy1, kUnreadable, kEntriesLost };
void TellSectorRun(MetadataArea area, u32 s, SectorTale tale);
void SayHeldRun();
void HoldSectorRuns(bool hold);

// Damage met or found so far in this run.
void NoteDamage();
bool DamageMet();

// What a failure without --rescue adds to its message, for a command that takes it.
const char* RescueHint(const Options& options);

// Once per run, at the first unreadable sector of a device (not an image).
void AdviseImaging();

#endif
