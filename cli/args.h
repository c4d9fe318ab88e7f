// The command line, read into one plain record.
#ifndef MELVIR_CLI_ARGS_H
#define MELVIR_CLI_ARGS_H

#include "platform/types.h"

enum Command { kNoCommand, kList, kInfo, kExtract, kHelp, kVersion };

const u32 kMaxSources = 17;  // as many drives as the probe looks at

struct Options {
  Command command;
  bool json;
  bool trace;
  bool quiet;
  bool force;
  bool all;
  u32 number;               // extract -n, 1-based; 0 when not given
  const char* outputFile;   // -o, or null
  const char* outputDir;    // -d, or null
  const char* sources[kMaxSources];  // point into argv, which outlives the run
  u32 sourceCount;
  char error[160];          // why the line was refused
};

// Reads argv into *options; false (with options->error) on a usage error.
bool ParseArgs(int argc, char** argv, Options* options);

extern const char kUsageText[];  // after a usage error
extern const char kHelpText[];   // for --help

#endif
