// `melvir library`'s usage and help.
#include "cli/help_texts.h"

#define LIBRARY_USAGE                                                                          \
  "usage: melvir library -d DIR [-n LIST | --all | --name PATTERN | --slot LIST]\n"           \
  "                      [--container mkv|ts] [--as film|show] [--rescue] [--copy 2]\n"       \
  "                      [--mapfile FILE] [--header SECTOR] [--charset NAME] [--quiet]\n"     \
  "                      [SOURCE...]\n"

const char kLibraryUsage[] = LIBRARY_USAGE;

const char kLibraryHelp[] =
    LIBRARY_USAGE
    "\n"
    "Copies the recordings into DIR as a media library that Kodi and Jellyfin\n"
    "read from file names and NFO files alone. From the programme the stream's\n"
    "EIT names (as probe chooses it), its content descriptor and its start in\n"
    "local time (the TOT's offset; UTC without a TOT, said):\n"
    "  a film (movie/drama with a production year in its short text, or a\n"
    "  recording without EIT): DIR/Movies/TITLE (YEAR)/TITLE (YEAR).mkv, with\n"
    "  TITLE (YEAR).nfo and TITLE (YEAR)-fanart.jpg beside it (no year: TITLE);\n"
    "  anything else, an episode of the show of its title, numbered by its local\n"
    "  air time: DIR/Shows/TITLE/Season YYYY/TITLE SYYYYEMMDDhhmm.mkv, with its\n"
    "  .nfo and -thumb.jpg, and tvshow.nfo and fanart.jpg in DIR/Shows/TITLE.\n"
    "Names are made safe as --name-format's are; a name another recording holds\n"
    "gets ' (2)'. DIR/index.html is the catalogue page of the whole library. A\n"
    "second run adds nothing that is there (a file is known by its source tag)\n"
    "and rewrites only tvshow.nfo and index.html, when they change; a run over\n"
    "another disk adds to the same library. Without -n, --all, --name or --slot,\n"
    "every recording. One progress line on stderr when it is a terminal.\n"
    "\n"
    "  -d DIR           the library's folder (made when missing)\n"
    "  -n LIST          recordings by number: 3, or 2,5-7\n"
    "  --all            every recording\n"
    "  --name PATTERN   every recording whose name matches the shell pattern\n"
    "  --slot LIST      recordings by directory slot (from 0): 3, or 2,5-7\n"
    "  --container mkv  Matroska with the subtitles as text tracks (default)\n"
    "  --container ts   the stream as recorded, with NAME.LANG.srt beside it\n"
    "  --as film|show   every selected recording a film, or an episode\n"
    "  --rescue         read past damage: unreadable sectors are left out; the\n"
    "                   NFO's plot ends with a line of the seconds missing\n"
    "  --copy 2         with --rescue, read the disk's second metadata copy first\n"
    "  --mapfile FILE   a GNU ddrescue mapfile of the one SOURCE, an image: every\n"
    "                   sector not finished (+) in it fails to read\n"
    "  --header SECTOR  take the volume header at SECTOR of the one SOURCE\n"
    "  --charset NAME   how names are coded: ISO-8859-1 (default), ISO-8859-15,\n"
    "                   CP1252, UTF-8, or dvb\n"
    "  --trace, --trace-file F   the disk trace log\n"
    "  --quiet          no progress line, no summary\n"
    "\n"
    "Exit status: 0 done; 1 no recorder disk, a recording that cannot be read or\n"
    "written, or too little space for the run (checked first); 2 usage error; 3\n"
    "done, but damage was met (--rescue); 130 stopped by Ctrl-C (a recording\n"
    "being written stays NAME.part, written again by the next run).\n";
