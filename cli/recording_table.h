// The command line's recording table: every recording of the directory, in
// directory order, with its decoded name and its unique output file name.
// It grows as recordings are found; nothing is sized from the header.
#ifndef MELVIR_CLI_RECORDING_TABLE_H
#define MELVIR_CLI_RECORDING_TABLE_H

#include <vector>

#include "cli/args.h"
#include "text/charset.h"
#include "text/names.h"
#include "walk/chain_walk.h"
#include "disk/entries.h"

struct Recording {
  u32 number;                       // 1-based, in list order
  RecordingEntry entry;             // as the directory walk gave it
  char decoded[kDecodedNameSize];   // the name field decoded into UTF-8
  char file[kFileNameSize];         // NAME.ts, safe and unique over the directory
  char damage[64];                  // how its chain is damaged ("cycle at cluster 12"), or ""
  ChainWalk walk;                   // with --rescue: how the walk of its chain ended
  bool unreadableKnown;             // a mapfile gave unreadableBytes
  u64 unreadableBytes;
};

struct Catalog {
  std::vector<Recording> recordings;
  bool scanFailed;                  // the directory could not be read to the end
  u32 drive;                        // the drive the recorder disk is on
  char source[1024];                // its path
};

// Finds the recorder disk, reporting why sources are not one. False when no
// recorder disk was found: the reason has been said.
bool FindDisk(const Options& options, Catalog* catalog);
// Then reads its whole directory into the table.
void ReadCatalog(const Options& options, Catalog* catalog);

// A lost recording as a row of its own: named lost-<first cluster>.
void LostRecording(u32 first, u32 clusters, u32 sizeMiB, Recording* recording);

// Bytes the recording's clusters hold for it.
u64 AllocatedBytes(const Recording& recording);

#endif
