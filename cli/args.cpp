#include "cli/args.h"

#include <cstring>

#include "platform/platform.h"

#define SYNOPSIS                                                                           \
  "usage: melvir list [--json] [--trace] [--quiet] [SOURCE...]\n"                           \
  "       melvir info [--trace] [SOURCE...]\n"                                              \
  "       melvir extract -n N [-o FILE | -d DIR] [--force] [--trace] [--quiet] [SOURCE...]\n" \
  "       melvir extract --all [-d DIR] [--force] [--trace] [--quiet] [SOURCE...]\n"       \
  "       melvir --help | --version\n"

const char kUsageText[] = SYNOPSIS "Try 'melvir --help' for more.\n";

const char kHelpText[] =
    SYNOPSIS
    "\n"
    "Copies recordings off the hard disk of a DVB-T video recorder. The disk is\n"
    "only ever read.\n"
    "\n"
    "  list         one line per recording, in directory order (at most 100)\n"
    "  info         the disk's geometry\n"
    "  extract      recording N (1-based, list order), or --all, as .ts files\n"
    "\n"
    "  --json       list as a JSON array\n"
    "  -n N         the recording to extract\n"
    "  -o FILE      its output file (default: its name + \".ts\")\n"
    "  -d DIR       the folder for the output files (made when missing)\n"
    "  --all        every listed recording, each to its own file\n"
    "  --force      replace existing output files\n"
    "  --trace      write the disk trace log MELVIR.LOG in the current folder\n"
    "  --quiet      no message for an unreadable directory (the exit status\n"
    "               still tells), no completion notices, no progress bar\n"
    "\n"
    "SOURCE: disk images or devices, taken as drives 0, 1, 2 ... in order.\n"
    "Without any, the machine's own disks are probed (which needs the rights\n"
    "to read them). Exit status: 0 done, 1 no recorder disk or a failure,\n"
    "2 usage error, 130 stopped by Ctrl-C (the output keeps what was written).\n";

namespace {

bool Refuse(Options* o, const char* format, const char* word) {
  FormatText(o->error, sizeof o->error, format, word);
  return false;
}

// A decimal number from 1 to 999999, nothing else.
bool ParseNumber(const char* s, u32* out) {
  u32 v = 0;
  if (!*s) return false;
  for (; *s; ++s) {
    if (*s < '0' || *s > '9' || v > 99999) return false;
    v = v * 10 + u32(*s - '0');
  }
  *out = v;
  return v != 0;
}

bool Is(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// The value of an option taking one: "-n 3" or "-n3".
bool TakeValue(int argc, char** argv, int* i, const char** value) {
  const char* arg = argv[*i];
  if (arg[1] != '-' && arg[2] != 0) {
    *value = arg + 2;
    return true;
  }
  if (*i + 1 >= argc) return false;
  *value = argv[++*i];
  return true;
}

bool ParseOption(int argc, char** argv, int* i, Options* o) {
  const char* arg = argv[*i];
  if (Is(arg, "--help") || Is(arg, "-h")) { o->command = kHelp; return true; }
  if (Is(arg, "--trace")) { o->trace = true; return true; }
  if (Is(arg, "--quiet")) { o->quiet = true; return true; }
  if (Is(arg, "--json") && o->command == kList) { o->json = true; return true; }
  if (o->command == kExtract) {
    if (Is(arg, "--force")) { o->force = true; return true; }
    if (Is(arg, "--all")) { o->all = true; return true; }
    const char* value = nullptr;
    char letter = arg[1];
    if (arg[0] == '-' && (letter == 'n' || letter == 'o' || letter == 'd')) {
      if (!TakeValue(argc, argv, i, &value)) return Refuse(o, "option %s needs a value", arg);
      if (letter == 'n') {
        if (!ParseNumber(value, &o->number))
          return Refuse(o, "-n takes a recording number from 1 on, not '%s'", value);
      } else if (!*value) {
        return Refuse(o, "option %s needs a value", arg);
      } else if (letter == 'o') {
        o->outputFile = value;
      } else {
        o->outputDir = value;
      }
      return true;
    }
  }
  return Refuse(o, "unknown option '%s'", arg);
}

bool CheckExtract(Options* o) {
  if (o->all == (o->number != 0)) return Refuse(o, "%s", "extract takes either -n N or --all");
  if (o->all && o->outputFile) return Refuse(o, "%s", "-o names one file; with --all use -d DIR");
  if (o->outputFile && o->outputDir) return Refuse(o, "%s", "-o and -d exclude each other");
  return true;
}

}  // namespace

bool ParseArgs(int argc, char** argv, Options* o) {
  std::memset(o, 0, sizeof *o);
  if (argc < 2) return Refuse(o, "%s", "no command given");
  const char* word = argv[1];
  if (Is(word, "list")) o->command = kList;
  else if (Is(word, "info")) o->command = kInfo;
  else if (Is(word, "extract")) o->command = kExtract;
  else if (Is(word, "--help") || Is(word, "-h") || Is(word, "help")) o->command = kHelp;
  else if (Is(word, "--version")) o->command = kVersion;
  else return Refuse(o, "unknown command '%s'", word);
  if (o->command == kHelp || o->command == kVersion) return argc == 2 || Refuse(o, "%s", "too many arguments");
  bool optionsEnd = false;
  for (int i = 2; i < argc; ++i) {
    const char* arg = argv[i];
    if (!optionsEnd && Is(arg, "--")) {
      optionsEnd = true;
    } else if (!optionsEnd && arg[0] == '-' && arg[1] != 0) {
      if (!ParseOption(argc, argv, &i, o)) return false;
      if (o->command == kHelp) return true;
    } else if (o->sourceCount == kMaxSources) {
      return Refuse(o, "%s", "at most 17 sources");
    } else {
      o->sources[o->sourceCount++] = arg;
    }
  }
  return o->command != kExtract || CheckExtract(o);
}
