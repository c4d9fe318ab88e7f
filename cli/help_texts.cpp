// Each command's usage lines and help text, as `melvir COMMAND --help` prints
// them; the command table (cli/command_table.cpp) names them.
#include "cli/help_texts.h"

#define LIST_USAGE                                                                      \
  "usage: melvir list [-l | --json] [--charset NAME] [--rescue] [--copy 2] [--mapfile FILE]\n"  \
  "                   [--header SECTOR] [--trace | --trace-file FILE] [--quiet] [SOURCE...]\n"
#define DOMAIN_USAGE                                                                      \
  "usage: melvir domain [--metadata] [--lost] [-n LIST | --all | --slot LIST | --cluster C]\n" \
  "                     [--rescue] [--copy 2] [--mapfile FILE]\n"                          \
  "                     [--header SECTOR] [--trace | --trace-file FILE] [--quiet] SOURCE\n"
#define CHECK_USAGE                                                                       \
  "usage: melvir check [--json] [--charset NAME] [--mapfile FILE] [--header SECTOR]\n"      \
  "                    [--trace | --trace-file FILE] [SOURCE...]\n"                      \
  "       melvir check --find-header SOURCE\n"
#define INFO_USAGE                                                                        \
  "usage: melvir info [--json] [--charset NAME] [--mapfile FILE] [--header SECTOR]\n"       \
  "                   [--trace | --trace-file FILE] [--quiet] [SOURCE...]\n"
#define EXTRACT_USAGE                                                                     \
  "usage: melvir extract (-n LIST | --all | --name PATTERN | --slot LIST | --cluster C |\n"  \
  "                       --lost CLUSTER | --all-lost)\n"                                  \
  "                      [-o FILE|DIR|- | -d DIR] [--force] [--charset NAME] [--rescue]\n"   \
  "                      [--copy 2] [--mapfile FILE] [--report FILE] [--header SECTOR]\n"   \
  "                      [--name-format F] [--ignore-space] [--container ts|mkv]\n"        \
  "                      [--subtitles embed|srt|none] [--trim]\n"                         \
  "                      [--trace | --trace-file FILE] [--quiet] [SOURCE...]\n"

#define MOUNT_USAGE                                                                       \
  "usage: melvir mount [--rescue] [--mapfile FILE] [--header SECTOR] [--charset NAME] [--background]\n" \
  "                    [--allow-other] [--trace | --trace-file FILE] [--quiet] [SOURCE...]\n" \
  "                    MOUNTPOINT\n"

#define PROBE_USAGE                                                                       \
  "usage: melvir probe [-n LIST | --all | --name PATTERN | --slot LIST | --cluster C]\n"   \
  "                    [--json] [--full] [--rescue]\n"                                    \
  "                    [--mapfile FILE] [--header SECTOR] [--charset NAME]\n"             \
  "                    [--trace | --trace-file FILE] [SOURCE...]\n"

#define CATALOG_USAGE                                                                     \
  "usage: melvir catalog [-n LIST | --all | --name PATTERN | --slot LIST | --cluster C]\n" \
  "                      -d DIR [--full] [--rescue] [--mapfile FILE] [--header SECTOR]\n"  \
  "                      [--charset NAME] [SOURCE...]\n"

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
  "                   sector not finished (+) in it fails to read, a bad one (-)\n"   \
  "                   as the disk did, the others as not yet imaged (mapfile)\n"

#define PLACES                                                                          \
  "  --slot LIST      recordings by directory slot (from 0, as 'melvir check' and\n"   \
  "                   list --json give it): 3, or 2,5-7\n"                               \
  "  --cluster C      the recording whose chain starts at cluster C (first_cluster)\n"  \
  "                   Numbers follow the listing and shift when damage hides\n"         \
  "                   entries; slots and first clusters do not: scripts use them.\n"

#define HEADER                                                                          \
  "  --header SECTOR  take the volume header at SECTOR of the one SOURCE, whatever\n"  \
  "                   sector 2 holds (for a broken partition table; 'melvir check\n"   \
  "                   --find-header' finds candidates); no trace log with it\n"

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
    "  -l               a heading, then per recording: its number, directory slot,\n"
    "                   first cluster, the bytes its clusters hold and the same in\n"
    "                   MiB (one decimal), its name, then [chain damaged: ...] when\n"
    "                   its chain is (with --rescue) and [unreadable: N bytes] when\n"
    "                   a mapfile says so\n"
    "  --json           a JSON array of objects: index, name, first_cluster,\n"
    "                   size_mib, text, clusters, allocated_bytes, decoded_name, source,\n"
    "                   slot (its directory slot)\n"
    "                   (with --mapfile unreadable_bytes; with --rescue damaged)\n"
    COMMON RESCUE HEADER
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
    HEADER
    "\n" SOURCES "\n" STATUSES;

const char kDomainHelp[] =
    DOMAIN_USAGE
    "\n"
    "Writes a GNU ddrescue domain mapfile (for ddrescue -m) to standard output whose\n"
    "finished blocks are the sectors that matter, so that a failing disk is imaged\n"
    "where it counts: with --metadata sector 2, the volume header and both copies\n"
    "of the table and the directory; with -n LIST or --all the sectors of those\n"
    "recordings' clusters, in chain order; with --lost (and --all) those of the\n"
    "lost recordings' chains, as far as the table knows them, also those whose\n"
    "first cluster cannot be read yet. They may be given together.\n"
    "\n" PLACES RESCUE HEADER
    "  --trace          write the disk trace log MELVIR.LOG in the current folder\n"
    "  --trace-file F   write the disk trace log to F\n"
    "  --quiet          no message when the directory cannot be read to the end\n"
    "                   (the exit status still tells)\n"
    "\n" STATUSES;

const char kExtractHelp[] =
    EXTRACT_USAGE
    "\n"
    "Copies recordings into MPEG-2 transport stream files, named after the\n"
    "recordings (NAME.ts, made safe and unique over the whole directory), or\n"
    "into Matroska files (NAME.mkv).\n"
    "\n"
    "  -n LIST          recordings by number in the listing: 3, or 2,5-7\n"
    "  --all            every recording\n"
    "  --name PATTERN   every recording whose name matches the shell pattern\n"
    "                   (* ? [...]), ignoring case\n"
    PLACES
    "  -o FILE          the output file, for one recording; - writes the stream to\n"
    "                   standard output; an existing folder (or a path ending in /)\n"
    "                   takes the file under its own name\n"
    "  -d DIR           the folder for the output files (made when missing)\n"    "  --container mkv  Matroska files that play and seek everywhere: every video,\n"
    "                   audio and DVB subtitle track of the programme, copied (not\n"
    "                   re-encoded), with its language and flags (the video and\n"
    "                   the first audio that is not audio description, hearing\n"
    "                   impaired or clean effects are the default tracks), the\n"
    "                   programme's title, channel, date, genre and synopsis as\n"
    "                   tags, a chapter per EIT event the recording spans (where\n"
    "                   the EIT's present event switches to it, else at its start\n"
    "                   time), and a timeline from 0 at the first key frame;\n"
    "                   packets over unreadable bytes are left out. Not to -o - or\n"
    "                   a FIFO (the file is written by seeking back). -o NAME.mkv\n"
    "                   means it; --container ts (the default) copies the bytes as\n"
    "                   recorded.\n"
    "                   LATM (HE-AAC) audio is kept as FFmpeg maps it (A_MS/ACM),\n"
    "                   which players outside FFmpeg may not play\n"
    "  --subtitles embed|srt|none\n"
    "                   the teletext subtitle pages the programme names (types 2\n"
    "                   and 5; other teletext pages are left out), as text:\n"
    "                   embed (the default with --container mkv) makes each page\n"
    "                   a SubRip track of the .mkv in its language, hearing\n"
    "                   impaired ones marked so, none of them default; srt writes\n"
    "                   each page beside the output, once it is complete, as\n"
    "                   NAME.LANG.srt (NAME.LANG.sdh.srt for the hearing impaired,\n"
    "                   NAME.LANG.PAGE.srt when two pages would share a name),\n"
    "                   UTF-8, its times from the file's start (of a .ts the\n"
    "                   earliest first audio or video time stamp, as ffprobe\n"
    "                   gives it), read in the same pass as the copy; an existing\n"
    "                   .srt is replaced only with --force, else the page goes to\n"
    "                   NAME.LANG (2).srt, said; none (the default for .ts)\n"
    "                   writes no text. A cue lasts until its page is erased or\n"
    "                   replaced, in pieces of at most 10 s. Not with -o -\n"
    "  --trim           the programme alone, not re-encoded: from the last key frame\n"
    "                   at or before its chapter's start to the end of its last\n"
    "                   frame (audio within a frame); as .ts, whole packets, the\n"
    "                   last PAT and PMT in front, never resumed. Without EIT, the\n"
    "                   whole recording (said). Not to -o -\n"
    "  --lost CLUSTER   the lost recording whose chain starts at CLUSTER, as\n"
    "                   'melvir check' reports it (named lost-CLUSTER.ts)\n"
    "  --all-lost       every lost recording 'melvir check' finds\n"
    "  --force          replace existing output files\n"
    "  --ignore-space   copy even where the output folder's free space is less\n"
    "                   than the recordings need (without it nothing is copied)\n"
    "  --name-format F  the output file names (without .ts), from placeholders:\n"
    "                   {name} (the default), {index}, {cluster} (its first), and\n"
    "                   from the stream's own tables {service}, {title}, {date} and\n"
    "                   {time} (the first broadcast time, local where the stream\n"
    "                   gives the offset: 2009-05-03, 22.44), {date_utc}, {time_utc},\n"
    "                   {duration} (0h45); one with no value is left out with the\n"
    "                   blanks and separators beside it, an empty result is {name};\n"
    "                   a lost recording's {name} is lost-CLUSTER, its {index} empty\n"
    COMMON RESCUE HEADER
    "  --report FILE    with --rescue: one JSON object per recording: output (its\n"
    "                   path), bytes_written, unreadable (its ranges written as\n"
    "                   zeros, [[offset, length], ...] in bytes of the file),\n"
    "                   chain_end and damaged (the last cluster copied and why,\n"
    "                   when its chain ends early) and, for the block form,\n"
    "                   bad_packets (whole 188-byte packets of the file that do not\n"
    "                   begin with 0x47 or hold unreadable bytes, as probe counts\n"
    "                   them; zero ones at the recording's end are not counted);\n"
    "                   with --container mkv or --trim, bytes of the recording's\n"
    "                   stream\n"
    "  --quiet          no completion notices, no progress bar, no summary\n"
    "\n"
    "A file is written as NAME.part and renamed to NAME once the whole recording\n"
    "is copied, never over a file that appeared meanwhile. A stopped or failed\n"
    "copy leaves NAME.part; the next run resumes it (its first block, one at\n"
    "each tenth and its last whole block are read again and compared; if they\n"
    "differ the old file is kept as NAME.part.old and the copy starts afresh).\n"
    "With several recordings, an output there complete is skipped, another\n"
    "recording's file of that name stays and the recording gets NAME (2).ts,\n"
    "and a failure does not stop the others, so running the same command again\n"
    "completes what is missing. A Matroska file cannot be resumed: its NAME.part\n"
    "is kept as NAME.part.old and written afresh (said); an existing NAME.mkv is\n"
    "that recording, complete, when its source tag (the disk's geometry, the\n"
    "slot, first cluster, size and a hash of the first and last blocks) is the\n"
    "recording's and it has cues. No output, .part, report or trace is ever a\n"
    "source or a device, by any name (a usage error when the line names one);\n"
    "-o - and /dev/null stay allowed. A copy to -o - whose reader goes away ends\n"
    "quietly, with status 141 (by SIGPIPE on Linux).\n"
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
    HEADER
    "  --find-header    look through the first 16 MiB of the one SOURCE for sectors\n"
    "                   that hold a volume header, and print each with its byte\n"
    "                   order, geometry and the command that reads the disk from it\n"
    "                   (exit status 0 when one has a consistent geometry, 3 when\n"
    "                   none has)\n"
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
    "DAMAGE.txt lists each file's unreadable ranges (OFFSET LENGTH, bytes of the\n"
    "file): a mapfile's from the start, then those reads under --rescue meet, as\n"
    "they are met; the extended attribute user.melvir.unreadable of each\n"
    "recording holds its own (getfattr -n user.melvir.unreadable FILE).\n"
    "Runs until 'fusermount3 -u MOUNTPOINT' or Ctrl-C unmounts it.\n"
    "\n"
    "  --background     detach once mounted (messages are then not shown)\n"
    "  --allow-other    let other users read the mount too (FUSE allow_other), as a\n"
    "                   player run by the user of a mount made with sudo; a user\n"
    "                   other than root needs user_allow_other in /etc/fuse.conf\n"
    "  --rescue         read past damage: mirror copies of the table and the\n"
    "                   directory, damaged chains as far as they go, unreadable\n"
    "                   sectors read as zeros and named on stderr; without it a\n"
    "                   read that meets one fails (EIO)\n"
    "  --mapfile FILE   a GNU ddrescue mapfile of the one SOURCE, an image; implies\n"
    "                   --rescue\n"
    HEADER COMMON
    "  --quiet          no word once mounted\n"
    "\n"
    "On a device, desktop thumbnailers and indexers may read every file: imaging\n"
    "a failing disk first spares it.\n"
    "\n" SOURCES "\n"
    "Exit status: 0 unmounted; 1 failure (no recorder disk, a MOUNTPOINT that is\n"
    "not an empty folder, no FUSE, no rights to mount); 2 usage error; 3\n"
    "unmounted, but damage was met.\n";

// The program's help around its list of commands, which the command table
// gives.
const char kProbeHelp[] =
    PROBE_USAGE
    "\n"
    "What each recording holds, from its transport stream: the programme, its\n"
    "channel and provider (SDT), the event broadcast (EIT present/following: the\n"
    "one that overlaps the recorded time most, and the one after it), a chapter\n"
    "per event (at its EIT switch, else its start time; seconds from the first\n"
    "PCR), the first and last broadcast time (TDT/TOT) and the local offset, the\n"
    "duration from the PCR (the PTS when there is none), the elementary streams\n"
    "(of every programme when the stream holds several; of video the size, frame\n"
    "rate and aspect ratio its own headers give), the programme's subtitles (the\n"
    "teletext subtitle pages and DVB subtitle services its tables name), the bit\n"
    "rate and the stream's health (TR 101 290 sync losses, continuity errors,\n"
    "transport errors, unreadable packets). Without --full, the start is read\n"
    "until every table has been seen (or 64 MiB, or 35 s), then the last 4 MiB;\n"
    "when the two do not join (a recording spliced from two broadcasts: its time\n"
    "runs backwards, or its clock does not fit the bytes between) the whole stream\n"
    "is read for the duration. Without -n, --all or --name, every recording. Names\n"
    "in the tables are decoded as --charset dvb decodes them; the two-byte tables\n"
    "0x12-0x14 show as U+FFFD.\n"
    "\n"
    "  -n LIST          recordings by number in the listing: 3, or 2,5-7\n"
    "  --all            every recording\n"
    "  --name PATTERN   every recording whose name matches the shell pattern\n"
    PLACES
    "  --json           a JSON array, one object per recording: index, name,\n"
    "                   decoded_name, transport_stream, full, probed_bytes, reason,\n"
    "                   program, duration_s, duration_source (pcr, pcr_full, pts),\n"
    "                   splice (why it is spliced, or null), service, event,\n"
    "                   following, chapters (title, start_s, from: switch,\n"
    "                   recording_start or start_time), first_time, last_time,\n"
    "                   local_offset_min, streams, teletext_pages (the subtitle\n"
    "                   pages the programme's teletext names: pid, page,\n"
    "                   language, type, hearing_impaired), dvb_subtitles (its DVB\n"
    "                   subtitle services: pid, language, type, hearing_impaired),\n"
    "                   programs (every programme seen, the one described\n"
    "                   first), packets, bitrate_bps, health\n"
    "  --full           read the whole stream (the health counts then cover it all)\n"
    COMMON
    "  --rescue         read past damage: unreadable packets are counted, not read\n"
    "  --mapfile FILE   a GNU ddrescue mapfile of the one SOURCE, an image: every\n"
    "                   sector not finished (+) in it fails to read\n"
    HEADER
    "\n" SOURCES "\n"
    "Exit status: 0 done; 1 no recorder disk, or a recording that cannot be read\n"
    "(without --rescue); 2 usage error; 3 done, but damage was met (--rescue);\n"
    "130 stopped by Ctrl-C.\n";

const char kCatalogHelp[] =
    CATALOG_USAGE
    "\n"
    "Writes a catalogue of the recordings into DIR (made when missing):\n"
    "DIR/index.html, one self-contained page (no script, nothing fetched) with a\n"
    "card for each recording: its picture, name, channel, title, date and time\n"
    "(local where the stream gives the offset), video format, duration (1 h 02\n"
    "min, 45 min, 58 s), size, health and the 'melvir extract -n INDEX' command\n"
    "that copies it; DIR/catalog.json, what 'melvir probe --json' prints with\n"
    "\"thumbnail\" added to each object (\"thumbs/INDEX.jpg\", or null); and\n"
    "DIR/thumbs/INDEX.jpg, a picture of each recording with video: the first key\n"
    "frame from a tenth of the way in (the first of all when none follows), 320\n"
    "pixels wide at the display aspect ratio. Existing files of those names are\n"
    "replaced. The stream is read as probe reads it. Without -n, --all, --name,\n"
    "--slot or --cluster, every recording. A progress line on stderr when it is a\n"
    "terminal.\n"
    "\n"
    "  -n LIST          recordings by number: 3, or 2,5-7\n"
    "  --all            every recording\n"
    "  --name PATTERN   every recording whose name matches the shell pattern\n"
    PLACES
    "  -d DIR           the folder the catalogue is written in\n"
    "  --full           read each whole stream (the health counts then cover it all)\n"
    "  --rescue         read past damage: unreadable packets are counted, not read,\n"
    "                   and read as zeros for the picture\n"
    "  --mapfile FILE   a GNU ddrescue mapfile of the one SOURCE, an image: every\n"
    "                   sector not finished (+) in it fails to read\n"
    HEADER
    "  --charset NAME   how names are coded: ISO-8859-1 (default), ISO-8859-15,\n"
    "                   CP1252, UTF-8, or dvb (a broadcast selector byte, else ISO 6937)\n"
    "\n" SOURCES "\n"
    "Exit status: 0 done; 1 no recorder disk, a recording that cannot be read\n"
    "(without --rescue; the others are catalogued), a file that cannot be written;\n"
    "2 usage error; 3 done, but damage was met (--rescue); 130 stopped by Ctrl-C\n"
    "(the page then shows the recordings catalogued so far).\n";

const char kMainHelpHead[] =
    "usage: melvir COMMAND [OPTION...] [SOURCE...]\n"
    "       melvir help [COMMAND] | --help | --version\n"
    "\n"
    "Copies recordings off the hard disk of a DVB-T video recorder. The disk is\n"
    "only ever read.\n"
    "\n"
    "Commands:\n";
// The Windows build has every command but mount.
#ifdef _WIN32
const char kMountSummary[] = "the recordings as a read-only folder (FUSE: Linux only)";
#define PLATFORM_NOTE "This Windows build has every command but mount, which needs Linux.\n"
#else
const char kMountSummary[] = "the recordings as a read-only folder (FUSE)";
#define PLATFORM_NOTE ""
#endif
const char kMainHelpTail[] =
    "\n" PLATFORM_NOTE
    "Options may come before or after the sources; -- ends the options.\n"
    "Run 'melvir COMMAND --help' for a command's options.\n"
    "\n" SOURCES "\n" STATUSES;
const char kHelpUsage[] = "       melvir help [COMMAND] | --help | --version\n";

const char kListUsage[] = LIST_USAGE;
const char kInfoUsage[] = INFO_USAGE;
const char kExtractUsage[] = EXTRACT_USAGE;
const char kCheckUsage[] = CHECK_USAGE;
const char kDomainUsage[] = DOMAIN_USAGE;
const char kMountUsage[] = MOUNT_USAGE;
const char kProbeUsage[] = PROBE_USAGE;
const char kCatalogUsage[] = CATALOG_USAGE;
