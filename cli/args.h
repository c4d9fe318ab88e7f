// The command line, read into one plain record.
#ifndef MELVIR_CLI_ARGS_H
#define MELVIR_CLI_ARGS_H

#include "text/charset.h"
#include "platform/types.h"

enum Command { kNoCommand, kList, kInfo, kExtract, kCheck, kDomain, kMount, kProbe, kCatalog, kHelp,
              kVersion, kLibrary };

const u32 kMaxSources = 17;  // as many drives as the probe looks at
const u32 kMaxRanges = 64;   // pieces of one -n list

// What extract writes: a transport stream as recorded, or Matroska.
enum Container { kContainerUnset, kContainerTs, kContainerMkv };
// Where extract puts the teletext subtitle pages: Matroska text tracks,
// .srt files beside the output, or nowhere (the .ts keeps them as broadcast).
enum Subtitles { kSubtitlesUnset, kSubtitlesEmbed, kSubtitlesSrt, kSubtitlesNone };

// library --as: every recording a film or a show, or as its content
// descriptor says.
enum TakeAs { kTakeAsContent, kTakeAsFilm, kTakeAsShow };

// A piece of -n: recordings first to last, 1-based, inclusive.
struct NumberRange {
  u32 first;
  u32 last;
};

struct Options {
  Command command;
  Command helpTopic;        // with kHelp: the command asked about (kNoCommand: all)
  bool json;
  bool longList;            // list -l
  bool trace;
  bool quiet;
  bool force;
  bool ignoreSpace;         // several recordings are copied into too little space
  bool all;
  const char* traceFile;    // --trace-file, or null
  Charset charset;
  NumberRange ranges[kMaxRanges];  // -n
  u32 rangeCount;
  NumberRange slots[kMaxRanges];   // --slot: directory slots, from 0
  u32 slotCount;
  u32 firstCluster;         // --cluster: the recording whose chain starts there; 0 when not given
  const char* namePattern;  // --name, or null
  u32 lostCluster;          // --lost: the first cluster of a lost recording; 0 when not given
  bool allLost;             // --all-lost
  bool rescue;              // --rescue: read past damage
  u32 firstCopy;            // --copy: 1 or 2 (0: not given)
  const char* mapfile;      // --mapfile, or null
  const char* report;       // --report, or null
  bool metadata;            // domain --metadata
  bool lostChains;          // domain --lost: the chains of lost recordings
  u32 headerSector;         // --header: the volume header's sector; 0 when not given
  bool findHeader;          // check --find-header
  const char* outputFile;   // -o, or null ("-": standard output)
  const char* outputDir;    // -d, or null (catalog: its folder)
  const char* mountPoint;   // mount: the last argument
  bool background;          // mount --background
  bool allowOther;          // mount --allow-other: other users may read the mount
  bool full;                // probe and catalog --full: the whole stream
  const char* nameFormat;   // extract --name-format, or null
  Container container;      // extract --container, or what -o's name says (ts unless either)
  bool trim;                // extract --trim: the programme alone
  Subtitles subtitles;      // extract --subtitles (embed for mkv, none for ts unless given)
  TakeAs as;                // library --as
  const char* sources[kMaxSources];  // point into argv, which outlives the run
  u32 sourceCount;
  char error[200];          // why the line was refused
};

// Reads argv into *options; false (with options->error) on a usage error.
bool ParseArgs(int argc, char** argv, Options* options);

// More than one recording may be selected: --all, --name, or an -n list
// that is more than one number.
bool SelectsSeveral(const Options& options);
// How many ways of selecting recordings the line gives (-n, --all, --name,
// --slot, --cluster, --lost, --all-lost).
u32 SelectionWays(const Options& options);

// The commands --rescue goes with.
bool TakesRescue(Command command);

// The help text of a command (kNoCommand: the whole program's); the usage
// lines alone after a usage error.
const char* HelpText(Command command);
const char* UsageText(Command command);
// The command's word ("" for none).
const char* CommandName(Command command);

#endif
