// The command line read into one plain record, by the command table.
#include "cli/args.h"

#include <cstring>

#include "cli/command_table.h"
#include "cli/help_texts.h"
#include "platform/platform.h"

namespace {

bool Refuse(Options* o, const char* format, const char* word) {
  FormatText(o->error, sizeof o->error, format, word);
  return false;
}

bool Is(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// A decimal number from 1 (0 with zero) to 4294967295, nothing else; *end
// after it.
bool ParseNumber(const char* s, const char** end, u32* out, bool zero = false) {
  u64 v = 0;
  const char* p = s;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + u64(*p - '0');
    if (v > 0xFFFFFFFFull) return false;
  }
  *end = p;
  *out = u32(v);
  return p != s && (v != 0 || zero);
}

// A number from 1 and nothing after it.
bool ParseWhole(const char* s, u32* out) {
  const char* end;
  return ParseNumber(s, &end, out) && *end == 0;
}

// "3", "2,5-7": numbers and ranges, separated by commas.
bool ParseRanges(const char* s, bool zero, NumberRange* ranges, u32* count) {
  *count = 0;
  for (;;) {
    if (*count == kMaxRanges) return false;
    NumberRange& r = ranges[(*count)++];
    const char* end;
    if (!ParseNumber(s, &end, &r.first, zero)) return false;
    r.last = r.first;
    if (*end == '-' && (!ParseNumber(end + 1, &end, &r.last, zero) || r.last < r.first))
      return false;
    if (*end == 0) return true;
    if (*end != ',') return false;
    s = end + 1;
  }
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

// The option arg names, if the command's row takes one of that name (a name
// may mean one thing to one command and another to the next); *value its
// value when it takes one.
bool TakeOption(int argc, char** argv, int* i, const CommandRow& row, const OptionRow** option,
                const char** value, Options* o) {
  const char* arg = argv[*i];
  for (const OptionRow& opt : kOptionRows) {
    u32 length = u32(std::strlen(opt.name));
    bool named = opt.takesValue ? std::strncmp(arg, opt.name, length) == 0 &&
                                      (arg[length] == 0 || arg[length] == '=' || opt.name[1] != '-')
                                : Is(arg, opt.name);
    if (!named || !(row.options & OptionBit(opt.id))) continue;
    *option = &opt;
    if (opt.takesValue && (!TakeValue(argc, argv, i, opt.name, value) || !**value))
      return Refuse(o, "option %s needs a value", opt.name);
    return true;
  }
  return Refuse(o, "unknown option '%s'", arg);
}

bool SetOption(OptionId id, const char* value, Options* o) {
  switch (id) {
    case kOptJson: o->json = true; break;
    case kOptTrace: o->trace = true; break;
    case kOptQuiet: o->quiet = true; break;
    case kOptRescue: o->rescue = true; break;
    case kOptAll: o->all = true; break;
    case kOptAllLost: o->allLost = true; break;
    case kOptForce: o->force = true; break;
    case kOptIgnoreSpace: o->ignoreSpace = true; break;
    case kOptMetadata: o->metadata = true; break;
    case kOptLostChains: o->lostChains = true; break;
    case kOptBackground: o->background = true; break;
    case kOptAllowOther: o->allowOther = true; break;
    case kOptFindHeader: o->findHeader = true; break;
    case kOptFull: o->full = true; break;
    case kOptLong: o->longList = true; break;
    case kOptTrim: o->trim = true; break;
    case kOptSlot:
      if (!ParseRanges(value, true, o->slots, &o->slotCount))
        return Refuse(o, "--slot takes directory slots from 0 on (3 or 2,5-7), not '%s'", value);
      break;
    case kOptCluster:
      if (!ParseWhole(value, &o->firstCluster))
        return Refuse(o, "--cluster takes a first cluster, from 1 on, not '%s'", value);
      break;
    case kOptNameFormat: o->nameFormat = value; break;
    case kOptContainer:
      if (Is(value, "ts")) o->container = kContainerTs;
      else if (Is(value, "mkv")) o->container = kContainerMkv;
      else return Refuse(o, "--container takes ts or mkv, not '%s'", value);
      break;
    case kOptAs:
      if (Is(value, "film")) o->as = kTakeAsFilm;
      else if (Is(value, "show")) o->as = kTakeAsShow;
      else return Refuse(o, "--as takes film or show, not '%s'", value);
      break;
    case kOptSubtitles:
      if (Is(value, "embed")) o->subtitles = kSubtitlesEmbed;
      else if (Is(value, "srt")) o->subtitles = kSubtitlesSrt;
      else if (Is(value, "none")) o->subtitles = kSubtitlesNone;
      else return Refuse(o, "--subtitles takes embed, srt or none, not '%s'", value);
      break;
    case kOptHeader:
      if (!ParseWhole(value, &o->headerSector))
        return Refuse(o, "--header takes the volume header's sector, from 1 on, not '%s'", value);
      break;
    case kOptTraceFile: o->traceFile = value; break;
    case kOptName: o->namePattern = value; break;
    case kOptMapfile: o->mapfile = value; break;
    case kOptReport: o->report = value; break;
    case kOptOutput: o->outputFile = value; break;
    case kOptFolder: o->outputDir = value; break;
    case kOptCharset:
      if (!ParseCharset(value, &o->charset))
        return Refuse(o, "unknown charset '%s' (ISO-8859-1, ISO-8859-15, CP1252, UTF-8, dvb)", value);
      break;
    case kOptNumbers:
      if (!ParseRanges(value, false, o->ranges, &o->rangeCount))
        return Refuse(o, "-n takes recording numbers from 1 on (3 or 2,5-7), not '%s'", value);
      break;
    case kOptLost:
      if (!ParseWhole(value, &o->lostCluster))
        return Refuse(o, "--lost takes a cluster number from 1 on, not '%s'", value);
      break;
    case kOptCopy:
      if (!Is(value, "1") && !Is(value, "2")) return Refuse(o, "--copy takes 1 or 2, not '%s'", value);
      o->firstCopy = u32(value[0] - '0');
      break;
    case kOptionCount: break;
  }
  return true;
}

// "help", "help COMMAND".
bool ParseHelp(int argc, char** argv, Options* o) {
  o->command = kHelp;
  if (argc == 2) return true;
  const CommandRow* topic = argc == 3 ? CommandNamed(argv[2]) : nullptr;
  if (topic && topic->command != kHelp) o->helpTopic = topic->command;
  if (topic) return true;
  return Refuse(o, "no help for '%s'", argv[2]);
}

// What every command's line must hold together.
bool CheckLine(const CommandRow& row, Options* o) {
  if (row.trailing) {
    if (o->sourceCount == 0) {
      FormatText(o->error, sizeof o->error, "%s needs a %s, after the sources", row.name,
                 row.trailing);
      return false;
    }
    o->mountPoint = o->sources[--o->sourceCount];
  }
  if (o->trace && o->traceFile) return Refuse(o, "%s", "--trace and --trace-file exclude each other");
  if (o->mapfile && o->sourceCount != 1)
    return Refuse(o, "%s", "--mapfile describes one image: give exactly one SOURCE");
  if (o->report && !o->rescue) return Refuse(o, "%s", "--report goes with --rescue");
  if ((o->headerSector || o->findHeader) && o->sourceCount != 1)
    return Refuse(o, "%s", "--header and --find-header read one disk: give exactly one SOURCE");
  if (o->headerSector && (o->trace || o->traceFile))
    return Refuse(o, "%s", "--header and the trace log exclude each other");
  return !row.validate || row.validate(o);
}

}  // namespace

bool TakesRescue(Command c) {
  const CommandRow* row = RowOf(c);
  return row && (row->options & OptionBit(kOptRescue));
}

bool ParseArgs(int argc, char** argv, Options* o) {
  std::memset(o, 0, sizeof *o);
  o->charset = kLatin1;
  if (argc < 2) return Refuse(o, "%s", "no command given");
  const char* word = argv[1];
  const CommandRow* row = CommandNamed(word);
  if (row && row->command == kHelp) return ParseHelp(argc, argv, o);
  if (!row) {
    if (Is(word, "--help") || Is(word, "-h")) o->command = kHelp;
    else if (Is(word, "--version")) o->command = kVersion;
    else return Refuse(o, "unknown command '%s'", word);
    // "--help" and "--version" stand alone, or before anything else.
    return argc == 2 || Refuse(o, "%s", "too many arguments");
  }
  o->command = row->command;
  bool optionsEnd = false;
  for (int i = 2; i < argc; ++i) {
    const char* arg = argv[i];
    if (!optionsEnd && Is(arg, "--")) {
      optionsEnd = true;
    } else if (!optionsEnd && (Is(arg, "--help") || Is(arg, "-h"))) {
      o->helpTopic = o->command;
      o->command = kHelp;
      return true;
    } else if (!optionsEnd && Is(arg, "--version")) {
      o->command = kVersion;
      return true;
    } else if (!optionsEnd && arg[0] == '-' && arg[1] != 0) {
      const OptionRow* option = nullptr;
      const char* value = nullptr;
      if (!TakeOption(argc, argv, &i, *row, &option, &value, o)) return false;
      if (!SetOption(option->id, value, o)) return false;
    } else if (o->sourceCount == kMaxSources) {
      return Refuse(o, "%s", "at most 17 sources");
    } else {
      o->sources[o->sourceCount++] = arg;
    }
  }
  return CheckLine(*row, o);
}

bool SelectsSeveral(const Options& o) {
  return o.all || o.allLost || o.namePattern || o.rangeCount > 1 ||
         (o.rangeCount == 1 && o.ranges[0].first != o.ranges[0].last) || o.slotCount > 1 ||
         (o.slotCount == 1 && o.slots[0].first != o.slots[0].last);
}

u32 SelectionWays(const Options& o) {
  return (o.all ? 1 : 0) + (o.rangeCount ? 1 : 0) + (o.namePattern ? 1 : 0) +
         (o.lostCluster ? 1 : 0) + (o.allLost ? 1 : 0) + (o.slotCount ? 1 : 0) +
         (o.firstCluster ? 1 : 0);
}

const char* CommandName(Command command) {
  const CommandRow* row = RowOf(command);
  return row ? row->name : "";
}

const char* HelpText(Command command) {
  const CommandRow* row = RowOf(command);
  if (row && row->help) return row->help;
  static char text[4096];
  if (!text[0]) {
    u32 used = FormatText(text, sizeof text, "%s", kMainHelpHead);
    for (u32 i = 0; i < kCommandRowCount; ++i)
      used += FormatText(text + used, sizeof text - used, "  %-12s %s\n", kCommandRows[i].name,
                         kCommandRows[i].summary);
    FormatText(text + used, sizeof text - used, "%s", kMainHelpTail);
  }
  return text;
}

const char* UsageText(Command command) {
  const CommandRow* row = RowOf(command);
  if (row && row->command != kHelp) return row->usage;
  static char text[4096];
  if (!text[0]) {
    u32 used = 0;
    for (u32 i = 0; i < kCommandRowCount; ++i)
      used += FormatText(text + used, sizeof text - used, "%s", kCommandRows[i].usage);
  }
  return text;
}
