// The tag a finished Matroska file carries naming the recording it was made
// from: the disk's geometry, the recording's directory slot and first
// cluster, its stream's size and a hash of its first and last blocks. A
// later run knows the file for that recording, complete, by the tag and
// the cues (the index the muxer writes as it ends the file).
#ifndef MELVIR_REMUX_SOURCE_TAG_H
#define MELVIR_REMUX_SOURCE_TAG_H

#include <string>

#include "platform/types.h"

const char kSourceTagName[] = "MELVIR_SOURCE";

struct SourceFacts {
  u32 headerSector, sectorsPerCluster, clusterCount, dataStart;  // the disk's geometry
  bool lost;         // a lost recording: no slot
  u32 slot;          // its directory entry
  u32 cluster;       // its first cluster
  u64 bytes;         // its stream's length
  const u8* first;   // its first block's stream bytes
  u32 firstLength;
  const u8* last;    // its last block's
  u32 lastLength;
  bool trimmed;      // the file holds the programme alone (--trim)
};

// "geometry 64:64:1000:4680, slot 3, cluster 12, 1234567 bytes, blocks
// sha256 0123..." (and ", programme only" when trimmed): the tag's value.
std::string SourceTagValue(const SourceFacts& facts);

// What the Matroska file at path says of itself: its source tag ("" when
// it has none) and whether it has cues. False when libavformat does not
// read it as Matroska.
bool ReadMatroskaSource(const char* path, std::string* tag, bool* cues);

#endif
