// The commands and their options, described once: each command's name, the
// options it takes, its usage and help, and what runs it. The parser, the
// help, the manual page's check and the completion's check all read it.
#ifndef MELVIR_CLI_COMMAND_TABLE_H
#define MELVIR_CLI_COMMAND_TABLE_H

#include "cli/args.h"

struct Catalog;

enum OptionId {
  kOptJson, kOptCharset, kOptTrace, kOptTraceFile, kOptQuiet, kOptRescue, kOptCopy,
  kOptMapfile, kOptReport, kOptNumbers, kOptAll, kOptName, kOptLost, kOptAllLost, kOptOutput,
  kOptFolder, kOptForce, kOptMetadata, kOptBackground, kOptHeader, kOptFindHeader, kOptNameFormat,
  kOptFull, kOptSlot, kOptCluster, kOptLostChains, kOptIgnoreSpace, kOptLong, kOptAllowOther, kOptContainer,
  kOptSubtitles, kOptTrim, kOptAs, kOptionCount
};

struct OptionRow {
  OptionId id;
  const char* name;  // "-n", "--json"; two rows may share a name, for different commands
  bool takesValue;   // "-n 3", "-n3", "--name X", "--name=X"
};

inline u64 OptionBit(OptionId id) { return u64(1) << id; }

struct CommandRow {
  Command command;
  const char* name;
  const char* summary;  // its line in the program's help
  u64 options;          // OptionBit of each option it takes
  const char* usage;
  const char* help;
  const char* trailing; // a word after the sources (mount: its MOUNTPOINT), or null
  // After the line is read: false (with options->error) refuses it.
  bool (*validate)(Options* options);
  // Before the disk is read: 0 to go on, else the exit status (the reason
  // told on stderr).
  int (*prepare)(const Options& options);
  // Once the sources are open, for a line that needs no recorder disk: its
  // exit status, or -1 when the disk is to be found and run called.
  int (*runAlone)(const Options& options);
  // With the recorder disk found: the exit status.
  int (*run)(const Options& options, Catalog* catalog);
};

extern const OptionRow kOptionRows[kOptionCount];
extern const CommandRow kCommandRows[];
extern const u32 kCommandRowCount;

// The row of a command word or of a command; null when there is none.
const CommandRow* CommandNamed(const char* word);
const CommandRow* RowOf(Command command);

#endif
