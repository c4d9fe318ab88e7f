// The command table: every command's options, texts and handler in one row.
#include "cli/command_table.h"

#include <cctype>
#include <cstring>

#include "cli/recording_table.h"
#include "cli/catalog_command.h"
#include "cli/copy.h"
#include "cli/recording_commands.h"
#include "cli/exit_status.h"
#include "cli/header_source.h"
#include "cli/help_texts.h"
#include "cli/mount_command.h"
#include "files/output_file.h"
#include "cli/file_names.h"
#include "cli/library_command.h"
#include "cli/probe.h"

namespace {

bool Refuse(Options* o, const char* text) {
  std::strncpy(o->error, text, sizeof o->error - 1);
  o->error[sizeof o->error - 1] = 0;
  return false;
}

bool ValidateList(Options* o) {
  if (o->longList && o->json) return Refuse(o, "-l and --json exclude each other");
  return true;
}

// ASCII letters alike in either case: an extension's.
bool EqualNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

// -o NAME.mkv means --container mkv; a name and a --container that say
// otherwise, and Matroska to standard output (it is written by seeking
// back), are refused.
bool SettleContainer(Options* o) {
  const char* file = o->outputFile;
  u32 n = file ? u32(std::strlen(file)) : 0;
  bool mkvName = n > 4 && EqualNoCase(file + n - 4, ".mkv");
  bool tsName = n > 3 && EqualNoCase(file + n - 3, ".ts");
  if (mkvName && o->container == kContainerTs)
    return Refuse(o, "-o names a .mkv file and --container says ts");
  if (tsName && o->container == kContainerMkv)
    return Refuse(o, "-o names a .ts file and --container says mkv");
  if (mkvName) o->container = kContainerMkv;
  if (o->container == kContainerUnset) o->container = kContainerTs;
  if (o->container == kContainerMkv && file && std::strcmp(file, "-") == 0)
    return Refuse(o, "a Matroska file is written by seeking back in it: -o - takes --container ts");
  if (o->trim && file && std::strcmp(file, "-") == 0)
    return Refuse(o, "--trim writes a file: -o - takes no --trim");
  return true;
}

// Text tracks for Matroska, nothing for a .ts unless --subtitles srt;
// .srt files go beside a file, which standard output is not.
bool SettleSubtitles(Options* o) {
  if (o->subtitles == kSubtitlesUnset)
    o->subtitles = o->container == kContainerMkv ? kSubtitlesEmbed : kSubtitlesNone;
  if (o->subtitles == kSubtitlesEmbed && o->container != kContainerMkv)
    return Refuse(o, "--subtitles embed puts text tracks into a Matroska file: it takes --container mkv "
                     "(a .ts keeps the teletext as broadcast)");
  if (o->subtitles == kSubtitlesSrt && o->outputFile && std::strcmp(o->outputFile, "-") == 0)
    return Refuse(o, "--subtitles srt writes files beside the output: not with -o -");
  return true;
}

bool ValidateExtract(Options* o) {
  if (SelectionWays(*o) != 1)
    return Refuse(o, "extract takes one of -n LIST, --all, --name PATTERN, --slot LIST, --cluster C, "
                     "--lost CLUSTER or --all-lost");
  if (o->outputFile && o->outputDir) return Refuse(o, "-o and -d exclude each other");
  if (!SettleContainer(o) || !SettleSubtitles(o)) return false;
  bool usesStream;
  return !o->nameFormat || CheckNameFormat(o->nameFormat, &usesStream, o->error, sizeof o->error);
}

bool ValidateProbe(Options* o) {
  if (SelectionWays(*o) > 1)
    return Refuse(o, "probe takes at most one of -n LIST, --all, --name PATTERN, --slot LIST and "
                     "--cluster C");
  return true;
}

bool ValidateCatalog(Options* o) {
  if (SelectionWays(*o) > 1)
    return Refuse(o, "catalog takes at most one of -n LIST, --all, --name PATTERN, --slot LIST and "
                     "--cluster C");
  if (!o->outputDir) return Refuse(o, "catalog needs -d DIR, the folder it writes the catalogue in");
  return true;
}

bool ValidateDomain(Options* o) {
  if (o->sourceCount != 1) return Refuse(o, "domain takes exactly one SOURCE");
  if (!o->metadata && !o->lostChains && !SelectionWays(*o))
    return Refuse(o, "domain takes --metadata, --lost, -n LIST, --slot LIST, --cluster C or --all "
                     "(or several)");
  if (SelectionWays(*o) > 1) return Refuse(o, "-n, --slot, --cluster and --all exclude each other");
  return true;
}

bool ValidateCheck(Options* o) {
  if (o->findHeader && (o->headerSector || o->json || o->mapfile))
    return Refuse(o, "--find-header goes alone with its SOURCE (no --header, --json or --mapfile)");
  return true;
}

// A mount served through a map reads past what the map says is missing.
// A lone word naming a file or a device is a source whose mount point was
// left out, not a folder to mount on.
bool ValidateMount(Options* o) {
  if (o->mapfile) o->rescue = true;
  TargetKind kind = o->sourceCount ? kTargetFolder : KindOfTarget(o->mountPoint);
  if (kind == kTargetFile || kind == kTargetDevice) {
    FormatText(o->error, sizeof o->error, "mount needs a MOUNTPOINT, after the sources (%s is a %s)",
               o->mountPoint, kind == kTargetFile ? "file" : "device");
    return false;
  }
  return true;
}

int PrepareExtract(const Options& o) {
  if (o.container == kContainerMkv && !MatroskaAvailable()) return kExitFailed;  // said
  if (o.subtitles == kSubtitlesSrt && !SubtitlesAvailable()) return kExitFailed;  // said
  if (o.trim && !TrimAvailable()) return kExitFailed;                            // said
  return CheckOutputChoice(o);
}
int PrepareProbe(const Options&) { return ProbeAvailable() ? kExitDone : kExitFailed; }

int RunList(const Options& o, Catalog* c) {
  ReadCatalog(o, c);
  return ListCommand(o, *c);
}

int RunInfo(const Options& o, Catalog* c) {
  ReadCatalog(o, c);
  return InfoCommand(o, *c);
}

// The lost recordings are found by the check, which reads the disk its own way.
int RunExtract(const Options& o, Catalog* c) {
  if (!o.lostCluster && !o.allLost) ReadCatalog(o, c);
  return ExtractCommand(o, *c);
}

int RunCheckDisk(const Options& o, Catalog* c) { return CheckDiskCommand(o, *c); }
int FindHeader(const Options& o) { return o.findHeader ? FindHeaderCommand(o) : -1; }

// The metadata's domain needs no directory.
int RunDomain(const Options& o, Catalog* c) {
  if (SelectionWays(o)) ReadCatalog(o, c);
  return DomainCommand(o, *c);
}

int RunProbe(const Options& o, Catalog* c) {
  ReadCatalog(o, c);
  return ProbeCommand(o, *c);
}

int RunCatalog(const Options& o, Catalog* c) {
  ReadCatalog(o, c);
  return CatalogCommand(o, *c);
}

// Every recording unless the line selects some.
bool ValidateLibrary(Options* o) {
  if (SelectionWays(*o) > 1)
    return Refuse(o, "library takes at most one of -n LIST, --all, --name PATTERN and --slot LIST");
  if (!o->outputDir) return Refuse(o, "library needs -d DIR, the folder of the media library");
  if (o->container == kContainerUnset) o->container = kContainerMkv;
  // Text tracks in a Matroska file; .srt files beside a .ts.
  o->subtitles = o->container == kContainerMkv ? kSubtitlesEmbed : kSubtitlesSrt;
  return true;
}

int RunLibrary(const Options& o, Catalog* c) {
  ReadCatalog(o, c);
  return LibraryCommand(o, *c);
}

int RunMount(const Options& o, Catalog* c) {
  ReadCatalog(o, c);
  return MountCommand(o, *c);
}

#define BIT(id) OptionBit(id)
// Recordings by their place on the disk, which damage does not shift.
const u64 kByPlace = OptionBit(kOptSlot) | OptionBit(kOptCluster);
const u64 kTracing = BIT(kOptTrace) | BIT(kOptTraceFile);
const u64 kRescuing = BIT(kOptRescue) | BIT(kOptCopy) | BIT(kOptMapfile) | BIT(kOptHeader);

}  // namespace

const OptionRow kOptionRows[kOptionCount] = {
    {kOptJson, "--json", false},         {kOptCharset, "--charset", true},
    {kOptTrace, "--trace", false},       {kOptTraceFile, "--trace-file", true},
    {kOptQuiet, "--quiet", false},       {kOptRescue, "--rescue", false},
    {kOptCopy, "--copy", true},          {kOptMapfile, "--mapfile", true},
    {kOptReport, "--report", true},      {kOptNumbers, "-n", true},
    {kOptAll, "--all", false},           {kOptName, "--name", true},
    {kOptLost, "--lost", true},          {kOptAllLost, "--all-lost", false},
    {kOptOutput, "-o", true},            {kOptFolder, "-d", true},
    {kOptForce, "--force", false},       {kOptMetadata, "--metadata", false},
    {kOptBackground, "--background", false}, {kOptHeader, "--header", true},
    {kOptFindHeader, "--find-header", false}, {kOptNameFormat, "--name-format", true},
    {kOptFull, "--full", false},             {kOptSlot, "--slot", true},
    {kOptCluster, "--cluster", true},        {kOptLostChains, "--lost", false},
    {kOptIgnoreSpace, "--ignore-space", false}, {kOptLong, "-l", false},
    {kOptAllowOther, "--allow-other", false}, {kOptContainer, "--container", true},
    {kOptSubtitles, "--subtitles", true},
    {kOptTrim, "--trim", false},             {kOptAs, "--as", true},
};

const CommandRow kCommandRows[] = {
    {kList, "list", "one line per recording, in directory order",
     BIT(kOptJson) | BIT(kOptLong) | BIT(kOptCharset) | kTracing | BIT(kOptQuiet) | kRescuing,
     kListUsage, kListHelp, nullptr, ValidateList, nullptr, nullptr, RunList},
    {kInfo, "info", "the disk's geometry",
     BIT(kOptJson) | BIT(kOptCharset) | kTracing | BIT(kOptQuiet) | BIT(kOptMapfile) |
         BIT(kOptHeader),
     kInfoUsage, kInfoHelp, nullptr, nullptr, nullptr, nullptr, RunInfo},
    {kExtract, "extract", "recordings as .ts files (or to standard output), or .mkv",
     BIT(kOptNumbers) | BIT(kOptAll) | BIT(kOptName) | kByPlace | BIT(kOptLost) | BIT(kOptAllLost) |
         BIT(kOptOutput) | BIT(kOptFolder) | BIT(kOptForce) | BIT(kOptIgnoreSpace) | BIT(kOptCharset) | kRescuing |
         BIT(kOptReport) | kTracing | BIT(kOptQuiet) | BIT(kOptNameFormat) | BIT(kOptContainer) |
         BIT(kOptSubtitles) | BIT(kOptTrim),
     kExtractUsage, kExtractHelp, nullptr, ValidateExtract, PrepareExtract, nullptr, RunExtract},
    {kCheck, "check", "a read-only consistency report, and lost recordings",
     BIT(kOptJson) | BIT(kOptCharset) | BIT(kOptMapfile) | kTracing | BIT(kOptHeader) |
         BIT(kOptFindHeader),
     kCheckUsage, kCheckHelp, nullptr, ValidateCheck, nullptr, FindHeader, RunCheckDisk},
    {kDomain, "domain", "a ddrescue domain mapfile of the sectors that matter",
     BIT(kOptMetadata) | BIT(kOptLostChains) | BIT(kOptNumbers) | BIT(kOptAll) | kByPlace |
         kRescuing | kTracing | BIT(kOptQuiet),
     kDomainUsage, kDomainHelp, nullptr, ValidateDomain, nullptr, nullptr, RunDomain},
    {kMount, "mount", kMountSummary,
     BIT(kOptRescue) | BIT(kOptMapfile) | BIT(kOptCharset) | BIT(kOptBackground) |
         BIT(kOptAllowOther) | kTracing | BIT(kOptQuiet) | BIT(kOptHeader),
     kMountUsage, kMountHelp, "MOUNTPOINT", ValidateMount, PrepareMount, nullptr, RunMount},
    {kProbe, "probe", "what each recording holds: channel, programme, date, length",
     BIT(kOptNumbers) | BIT(kOptAll) | BIT(kOptName) | kByPlace | BIT(kOptJson) | BIT(kOptFull) |
         BIT(kOptRescue) | BIT(kOptMapfile) | BIT(kOptHeader) | BIT(kOptCharset) | kTracing,
     kProbeUsage, kProbeHelp, nullptr, ValidateProbe, PrepareProbe, nullptr, RunProbe},
    {kCatalog, "catalog", "a catalogue page of the recordings, with a picture of each",
     BIT(kOptNumbers) | BIT(kOptAll) | BIT(kOptName) | kByPlace | BIT(kOptFolder) | BIT(kOptFull) |
         BIT(kOptRescue) | BIT(kOptMapfile) | BIT(kOptHeader) | BIT(kOptCharset),
     kCatalogUsage, kCatalogHelp, nullptr, ValidateCatalog, PrepareCatalog, nullptr, RunCatalog},
    {kLibrary, "library", "the recordings as a media library for Kodi and Jellyfin: films, shows, NFO files",
     BIT(kOptNumbers) | BIT(kOptAll) | BIT(kOptName) | BIT(kOptSlot) | BIT(kOptFolder) |
         BIT(kOptContainer) | BIT(kOptAs) | kRescuing | BIT(kOptCharset) | kTracing | BIT(kOptQuiet),
     kLibraryUsage, kLibraryHelp, nullptr, ValidateLibrary, PrepareLibrary, nullptr, RunLibrary},
    {kHelp, "help", "this text, or a command's own: melvir help extract", 0, kHelpUsage,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};
const u32 kCommandRowCount = sizeof kCommandRows / sizeof kCommandRows[0];

const CommandRow* CommandNamed(const char* word) {
  for (const CommandRow& row : kCommandRows)
    if (std::strcmp(row.name, word) == 0) return &row;
  return nullptr;
}

const CommandRow* RowOf(Command command) {
  for (const CommandRow& row : kCommandRows)
    if (row.command == command) return &row;
  return nullptr;
}
