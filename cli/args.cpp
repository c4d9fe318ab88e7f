#include "cli/args.h"

#include <cstring>

#include "platform/platform.h"

namespace {

#define LIST_USAGE                                                                      \
  "usage: melvir list [--json] [--charset NAME] [--rescue] [--copy 2] [--mapfile FILE]\n"  \
  "                   [--trace | --trace-file FILE] [--quiet] [SOURCE...]\n"
#define DOMAIN_USAGE "usage: melvir domain [--metadata] [-n LIST | --all] [--rescue] [--copy 2] [--mapfile FILE] SOURCE\n"
#define CHECK_USAGE                                                                       \
  "usage: melvir check [--json] [--charset NAME] [--mapfile FILE] [--trace | --trace-file FILE]\n" \
  "                    [SOURCE...]\n"
#define INFO_USAGE                                                                        \
  "usage: melvir info [--json] [--charset NAME] [--mapfile FILE] [--trace | --trace-file FILE]\n" \
  "                   [--quiet] [SOURCE...]\n"
#define EXTRACT_USAGE                                                                     \
  "usage: melvir extract (-n LIST | --all | --name PATTERN | --lost CLUSTER | --all-lost)\n" \
  "                      [-o FILE|DIR|- | -d DIR] [--force] [--charset NAME] [--rescue]\n"   \
  "                      [--copy 2] [--mapfile FILE] [--report FILE]\n"                     \
  "                      [--trace | --trace-file FILE] [--quiet] [SOURCE...]\n"

#define MOUNT_USAGE                                                                       \
  "usage: melvir mount [--rescue] [--mapfile FILE] [--charset NAME] [--background]\n"   \
  "                    [--trace | --trace-file FILE] [--quiet] [SOURCE...] MOUNTPOINT\n"

#define STATUSES                                                                        \
  "Exit status: 0 done; 1 failure (no recorder disk, a source that cannot be\n"        \
  "opened, a recording that could not be copied); 2 usage error; 3 done, but\n"        \
  "damage was met (with --rescue: unreadable sectors, mirror copies used,\n"           \
  "damaged chains); 130 stopped by Ctrl-C. When several apply, the first of\n"         \
  "130, 2, 1, 3 is given.\n"

#define RESCUE                                                                          \
  "  --rescue         read past damage: a table or directory sector that fails is\n"   \
  "                   read from its mirror copy, a damaged chain is listed as far\n"   \
  "                   as it goes, unreadable sectors of a recording are written\n"     \
  "                   as zeros at their place (exit status 3 when any was met)\n"      \
  "  --copy 2         read the table and the directory from copy 2 first\n"           \
  "  --mapfile FILE   a GNU ddrescue mapfile of the one SOURCE, an image: every\n"     \
  "                   sector not finished (+) in it fails to read\n"

#define SOURCES                                                                         \
  "SOURCE: disk images or devices, taken as drives 0, 1, 2 ... in order; the first\n"  \
  "recorder disk among them is used. Without any, the machine's own disks are\n"       \
  "probed (which needs the rights to read them). Nothing is ever written to a\n"       \
  "source.\n"

#define COMMON                                                                          \
  "  --trace          write the disk trace log MELVIR.LOG in the current folder\n"     \
  "  --trace-file F   write the disk trace log to F\n"                                 \
  "  --charset NAME   how names are coded: ISO-8859-1 (default), ISO-8859-15,\n"       \
  "                   CP1252, UTF-8, or dvb (a broadcast selector byte, else ISO 6937)\n"

const char kListHelp[] =
    LIST_USAGE
    "\n"
    "Lists the recordings of the recorder disk, one line each in directory order:\n"
    "its number, then the name and size as the Windows program shows them.\n"
    "\n"
    "  --json           a JSON array of objects: index, name, first_cluster,\n"
    "                   size_mib, text, clusters, allocated_bytes, decoded_name, source\n"
    "                   (with --mapfile unreadable_bytes; with --rescue damaged)\n"
    COMMON RESCUE
    "  --quiet          no message when the directory cannot be read to the end\n"
    "                   (the exit status still tells)\n"
    "\n" SOURCES "\n" STATUSES;

const char kInfoHelp[] =
    INFO_USAGE
    "\n"
    "The disk's geometry, as the Windows program's Info shows it, then its byte\n"
    "order, cluster size in bytes, the space its partition spans and the number\n"
    "of recordings.\n"
    "\n"
    "  --json           the same as one JSON object\n"
    COMMON
    "  --mapfile FILE   a GNU ddrescue mapfile of the one SOURCE, an image\n"
    "\n" SOURCES "\n" STATUSES;

const char kDomainHelp[] =
    DOMAIN_USAGE
    "\n"
    "Writes a GNU ddrescue domain mapfile (for ddrescue -m) to standard output whose\n"
    "finished blocks are the sectors that matter, so that a failing disk is imaged\n"
    "where it counts: with --metadata sector 2, the volume header and both copies\n"
    "of the table and the directory; with -n LIST or --all the sectors of those\n"
    "recordings' clusters, in chain order. Both may be given.\n"
    "\n" RESCUE
    "\n" STATUSES;

const char kExtractHelp[] =
    EXTRACT_USAGE
    "\n"
    "Copies recordings into MPEG-2 transport stream files, named after the\n"
    "recordings (NAME.ts, made safe and unique over the whole directory).\n"
    "\n"
    "  -n LIST          recordings by number: 3, or 2,5-7\n"
    "  --all            every recording\n"
    "  --name PATTERN   every recording whose name matches the shell pattern\n"
    "                   (* ? [...]), ignoring case\n"
    "  -o FILE          the output file, for one recording; - writes the stream to\n"
    "                   standard output; an existing folder (or a path ending in /)\n"
    "                   takes the file under its own name\n"
    "  -d DIR           the folder for the output files (made when missing)\n"
    "  --lost CLUSTER   the lost recording whose chain starts at CLUSTER, as\n"
    "                   'melvir check' reports it (named lost-CLUSTER.ts)\n"
    "  --all-lost       every lost recording 'melvir check' finds\n"
    "  --force          replace existing output files\n"
    COMMON RESCUE
    "  --report FILE    with --rescue: one JSON object per recording, its output,\n"
    "                   bytes written, unreadable [[offset, length], ...], chain_end\n"
    "  --quiet          no completion notices, no progress bar, no summary\n"
    "\n"
    "A file is written as NAME.part and renamed to NAME once the whole recording\n"
    "is copied. A stopped or failed copy leaves NAME.part; the next run resumes\n"
    "it (the last whole block it holds is read again and compared; if it differs\n"
    "the old file is kept as NAME.part.old and the copy starts afresh). With\n"
    "several recordings, existing outputs are skipped and a failure does not\n"
    "stop the others, so running the same command again completes what is missing.\n"
    "\n" SOURCES "\n" STATUSES;

const char kCheckHelp[] =
    CHECK_USAGE
    "\n"
    "A read-only consistency report of the recorder disk, as fsck -n gives one:\n"
    "the geometry, whether the two copies of the allocation table and of the\n"
    "directory read and agree, every directory entry with its chain (its length,\n"
    "how it ends, clusters shared with another recording), and lost recordings:\n"
    "chains no entry reaches that begin with transport-stream packets. Finding\n"
    "those is a guess from what the clusters hold; 'melvir extract --lost'\n"
    "copies one. A summary comes first.\n"
    "\n"
    "  --json           the same as one JSON object\n"
    COMMON
    "  --mapfile FILE   a GNU ddrescue mapfile of the one SOURCE, an image\n"
    "\n" SOURCES "\n"
    "Exit status: 0 nothing found; 3 problems found; 1 no recorder disk, or it\n"
    "could not be read; 2 usage error; 130 stopped by Ctrl-C.\n";

const char kMountHelp[] =
    MOUNT_USAGE
    "\n"
    "Shows the recorder disk as a read-only folder on MOUNTPOINT (an empty folder),\n"
    "through FUSE: one file per recording, named as extract --all names it and\n"
    "holding exactly the bytes extract writes, so players and ffmpeg can seek in it\n"
    "and cp can copy it; lost/ with the lost recordings 'melvir check' finds; and\n"
    "INFO.txt with the info text. Nothing can be written, renamed or removed.\n"
    "Runs until 'fusermount3 -u MOUNTPOINT' or Ctrl-C unmounts it.\n"
    "\n"
    "  --background     detach once mounted (messages are then not shown)\n"
    "  --rescue         read past damage: mirror copies of the table and the\n"
    "                   directory, damaged chains as far as they go, unreadable\n"
    "                   sectors read as zeros and named on stderr; without it a\n"
    "                   read that meets one fails (EIO)\n"
    "  --mapfile FILE   a GNU ddrescue mapfile of the one SOURCE, an image; implies\n"
    "                   --rescue\n"
    COMMON
    "  --quiet          no word once mounted\n"
    "\n"
    "On a device, desktop thumbnailers and indexers may read every file: imaging\n"
    "a failing disk first spares it.\n"
    "\n" SOURCES "\n"
    "Exit status: 0 unmounted; 1 failure (no recorder disk, a MOUNTPOINT that is\n"
    "not an empty folder, no FUSE, no rights to mount); 2 usage error; 3\n"
    "unmounted, but damage was met.\n";

const char kMainHelp[] =
    "usage: melvir COMMAND [OPTION...] [SOURCE...]\n"
    "       melvir help [COMMAND] | --help | --version\n"
    "\n"
    "Copies recordings off the hard disk of a DVB-T video recorder. The disk is\n"
    "only ever read.\n"
    "\n"
    "Commands:\n"
    "  list         one line per recording, in directory order\n"
    "  info         the disk's geometry\n"
    "  extract      recordings as .ts files (or to standard output)\n"
    "  check        a read-only consistency report, and lost recordings\n"
    "  domain       a ddrescue domain mapfile of the sectors that matter\n"
    "  mount        the recordings as a read-only folder (FUSE)\n"
    "  help         this text, or a command's own: melvir help extract\n"
    "\n"
    "Options may come before or after the sources; -- ends the options.\n"
    "Run 'melvir COMMAND --help' for a command's options.\n"
    "\n" SOURCES "\n" STATUSES;

const char kMainUsage[] =
    LIST_USAGE INFO_USAGE EXTRACT_USAGE CHECK_USAGE DOMAIN_USAGE MOUNT_USAGE "       melvir help [COMMAND] | --help | --version\n";

bool Refuse(Options* o, const char* format, const char* word) {
  FormatText(o->error, sizeof o->error, format, word);
  return false;
}

bool Is(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// A decimal number from 1 to 4294967295, nothing else; *end after it.
bool ParseNumber(const char* s, const char** end, u32* out) {
  u64 v = 0;
  const char* p = s;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + u64(*p - '0');
    if (v > 0xFFFFFFFFull) return false;
  }
  *end = p;
  *out = u32(v);
  return p != s && v != 0;
}

// "3", "2,5-7": numbers and ranges, separated by commas.
bool ParseRanges(const char* s, Options* o) {
  o->rangeCount = 0;
  for (;;) {
    if (o->rangeCount == kMaxRanges) return false;
    NumberRange& r = o->ranges[o->rangeCount++];
    const char* end;
    if (!ParseNumber(s, &end, &r.first)) return false;
    r.last = r.first;
    if (*end == '-' && (!ParseNumber(end + 1, &end, &r.last) || r.last < r.first)) return false;
    if (*end == 0) return true;
    if (*end != ',') return false;
    s = end + 1;
  }
}

bool CommandWord(const char* word, Command* command) {
  if (Is(word, "list")) *command = kList;
  else if (Is(word, "info")) *command = kInfo;
  else if (Is(word, "extract")) *command = kExtract;
  else if (Is(word, "check")) *command = kCheck;
  else if (Is(word, "domain")) *command = kDomain;
  else if (Is(word, "mount")) *command = kMount;
  else return false;
  return true;
}

// The value of an option taking one: "-n 3", "-n3", "--name X", "--name=X".
bool TakeValue(int argc, char** argv, int* i, const char* name, const char** value) {
  const char* arg = argv[*i];
  u32 length = u32(std::strlen(name));
  if (std::strncmp(arg, name, length) != 0) return false;
  if (arg[length] == 0) {
    if (*i + 1 >= argc) return false;
    *value = argv[++*i];
    return true;
  }
  bool shortForm = name[1] != '-';
  if (shortForm || arg[length] == '=') {
    *value = arg + length + (shortForm ? 0 : 1);
    return true;
  }
  return false;
}

enum Taken { kNotThis, kTaken, kBad };

Taken Bad(Options* o, const char* format, const char* word) {
  Refuse(o, format, word);
  return kBad;
}

// An option that takes a value, if arg is one that this command has.
Taken ValueOption(int argc, char** argv, int* i, Options* o) {
  struct Spec {
    const char* name;
    bool list, info, extract, check, domain;
  };
  static const Spec kSpecs[] = {
      {"--trace-file", true, true, true, true, true}, {"--charset", true, true, true, true, false},
      {"--name", false, false, true, false, false},   {"-n", false, false, true, false, true},
      {"-o", false, false, true, false, false},       {"-d", false, false, true, false, false},
      {"--lost", false, false, true, false, false},   {"--mapfile", true, true, true, true, true},
      {"--copy", true, false, true, false, true},     {"--report", false, false, true, false, false},
  };
  const char* arg = argv[*i];
  for (const Spec& spec : kSpecs) {
    u32 length = u32(std::strlen(spec.name));
    bool named = std::strncmp(arg, spec.name, length) == 0 &&
                 (arg[length] == 0 || arg[length] == '=' || spec.name[1] != '-');
    if (!named) continue;
    bool allowed = (o->command == kList && spec.list) || (o->command == kInfo && spec.info) ||
                   (o->command == kExtract && spec.extract) || (o->command == kCheck && spec.check) ||
                   (o->command == kDomain && spec.domain) ||
                   (o->command == kMount && (Is(spec.name, "--charset") || Is(spec.name, "--mapfile") ||
                                               Is(spec.name, "--trace-file")));
    if (!allowed) return Bad(o, "unknown option '%s'", arg);
    const char* value = nullptr;
    if (!TakeValue(argc, argv, i, spec.name, &value) || !*value)
      return Bad(o, "option %s needs a value", spec.name);
    if (Is(spec.name, "--trace-file")) o->traceFile = value;
    else if (Is(spec.name, "--charset")) {
      if (!ParseCharset(value, &o->charset))
        return Bad(o, "unknown charset '%s' (ISO-8859-1, ISO-8859-15, CP1252, UTF-8, dvb)", value);
    } else if (Is(spec.name, "--name")) o->namePattern = value;
    else if (Is(spec.name, "-n")) {
      if (!ParseRanges(value, o))
        return Bad(o, "-n takes recording numbers from 1 on (3 or 2,5-7), not '%s'", value);
    } else if (Is(spec.name, "--lost")) {
      const char* end;
      if (!ParseNumber(value, &end, &o->lostCluster) || *end)
        return Bad(o, "--lost takes a cluster number from 1 on, not '%s'", value);
    } else if (Is(spec.name, "--copy")) {
      if (!Is(value, "1") && !Is(value, "2")) return Bad(o, "--copy takes 1 or 2, not '%s'", value);
      o->firstCopy = u32(value[0] - '0');
    } else if (Is(spec.name, "--mapfile")) o->mapfile = value;
    else if (Is(spec.name, "--report")) o->report = value;
    else if (Is(spec.name, "-o")) o->outputFile = value;
    else o->outputDir = value;
    return kTaken;
  }
  return kNotThis;
}

bool ParseOption(int argc, char** argv, int* i, Options* o) {
  const char* arg = argv[*i];
  if (Is(arg, "--help") || Is(arg, "-h")) {
    o->helpTopic = o->command;
    o->command = kHelp;
    return true;
  }
  if (Is(arg, "--version")) { o->command = kVersion; return true; }
  if (Is(arg, "--trace")) { o->trace = true; return true; }
  if (Is(arg, "--quiet")) { o->quiet = true; return true; }
  if (Is(arg, "--json") && o->command != kExtract && o->command != kMount) { o->json = true; return true; }
  if (Is(arg, "--background") && o->command == kMount) { o->background = true; return true; }
  if (Is(arg, "--rescue") && TakesRescue(o->command)) {
    o->rescue = true;
    return true;
  }
  if (Is(arg, "--metadata") && o->command == kDomain) { o->metadata = true; return true; }
  if (Is(arg, "--all") && o->command == kDomain) { o->all = true; return true; }
  if (o->command == kExtract) {
    if (Is(arg, "--force")) { o->force = true; return true; }
    if (Is(arg, "--all")) { o->all = true; return true; }
    if (Is(arg, "--all-lost")) { o->allLost = true; return true; }
  }
  Taken taken = ValueOption(argc, argv, i, o);
  if (taken == kTaken) return true;
  if (taken == kBad) return false;
  return Refuse(o, "unknown option '%s'", arg);
}

bool CheckExtract(Options* o) {
  int ways = (o->all ? 1 : 0) + (o->rangeCount ? 1 : 0) + (o->namePattern ? 1 : 0) +
             (o->lostCluster ? 1 : 0) + (o->allLost ? 1 : 0);
  if (ways != 1)
    return Refuse(o, "%s", "extract takes one of -n LIST, --all, --name PATTERN, --lost CLUSTER or --all-lost");
  if (o->outputFile && o->outputDir) return Refuse(o, "%s", "-o and -d exclude each other");
  return true;
}

// "help", "help COMMAND".
bool ParseHelp(int argc, char** argv, Options* o) {
  o->command = kHelp;
  if (argc == 2) return true;
  if (argc == 3 && CommandWord(argv[2], &o->helpTopic)) return true;
  if (argc == 3 && Is(argv[2], "help")) return true;
  return Refuse(o, "no help for '%s'", argv[2]);
}

}  // namespace

bool TakesRescue(Command c) { return c == kList || c == kExtract || c == kDomain || c == kMount; }

bool ParseArgs(int argc, char** argv, Options* o) {
  std::memset(o, 0, sizeof *o);
  o->charset = kLatin1;
  if (argc < 2) return Refuse(o, "%s", "no command given");
  const char* word = argv[1];
  if (Is(word, "help")) return ParseHelp(argc, argv, o);
  if (!CommandWord(word, &o->command)) {
    if (Is(word, "--help") || Is(word, "-h")) o->command = kHelp;
    else if (Is(word, "--version")) o->command = kVersion;
    else return Refuse(o, "unknown command '%s'", word);
    // "--help" and "--version" stand alone, or before anything else.
    return argc == 2 || Refuse(o, "%s", "too many arguments");
  }
  bool optionsEnd = false;
  for (int i = 2; i < argc; ++i) {
    const char* arg = argv[i];
    if (!optionsEnd && Is(arg, "--")) {
      optionsEnd = true;
    } else if (!optionsEnd && arg[0] == '-' && arg[1] != 0) {
      if (!ParseOption(argc, argv, &i, o)) return false;
      if (o->command == kHelp || o->command == kVersion) return true;
    } else if (o->sourceCount == kMaxSources) {
      return Refuse(o, "%s", "at most 17 sources");
    } else {
      o->sources[o->sourceCount++] = arg;
    }
  }
  if (o->command == kMount) {
    if (o->sourceCount == 0) return Refuse(o, "%s", "mount needs a MOUNTPOINT, after the sources");
    o->mountPoint = o->sources[--o->sourceCount];
    if (o->mapfile) o->rescue = true;
  }
  if (o->trace && o->traceFile) return Refuse(o, "%s", "--trace and --trace-file exclude each other");
  if (o->mapfile && o->sourceCount != 1)
    return Refuse(o, "%s", "--mapfile describes one image: give exactly one SOURCE");
  if (o->report && !o->rescue) return Refuse(o, "%s", "--report goes with --rescue");
  if (o->command == kDomain) {
    if (o->sourceCount != 1) return Refuse(o, "%s", "domain takes exactly one SOURCE");
    if (!o->metadata && !o->all && !o->rangeCount)
      return Refuse(o, "%s", "domain takes --metadata, -n LIST or --all (or several)");
    if (o->all && o->rangeCount) return Refuse(o, "%s", "-n and --all exclude each other");
  }
  return o->command != kExtract || CheckExtract(o);
}

bool SelectsSeveral(const Options& o) {
  return o.all || o.allLost || o.namePattern || o.rangeCount > 1 ||
         (o.rangeCount == 1 && o.ranges[0].first != o.ranges[0].last);
}

const char* HelpText(Command command) {
  switch (command) {
    case kList: return kListHelp;
    case kInfo: return kInfoHelp;
    case kExtract: return kExtractHelp;
    case kCheck: return kCheckHelp;
    case kDomain: return kDomainHelp;
    case kMount: return kMountHelp;
    default: return kMainHelp;
  }
}

const char* UsageText(Command command) {
  switch (command) {
    case kList: return LIST_USAGE;
    case kInfo: return INFO_USAGE;
    case kExtract: return EXTRACT_USAGE;
    case kCheck: return CHECK_USAGE;
    case kDomain: return DOMAIN_USAGE;
    case kMount: return MOUNT_USAGE;
    default: return kMainUsage;
  }
}
