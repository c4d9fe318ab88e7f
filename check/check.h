// The read-only consistency check of an open recorder disk: its geometry,
// the two copies of the allocation table and the directory, every entry's
// chain, cross-linked clusters and recordings the directory no longer names.
// Findings are plain records; entries and chains are handed to a sink one
// at a time, so the check itself holds nothing per entry.
#ifndef MELVIR_CHECK_CHECK_H
#define MELVIR_CHECK_CHECK_H

#include "walk/chain_walk.h"
#include "disk/entries.h"

// ---- Geometry ------------------------------------------------------------

// The areas a recorder disk is made of, as they lie on the drive.
enum CheckArea {
  kAreaPartitionTable,  // sector 2
  kAreaHeader,          // the volume header
  kAreaTable1,
  kAreaTable2,
  kAreaDirectory1,
  kAreaDirectory2,
  kAreaData,
  kAreaCount
};

enum GeometryFault {
  kFaultNoSectorsPerCluster = 1 << 0,
  kFaultTableInterleaveZero = 1 << 1,
  kFaultDirectoryInterleaveZero = 1 << 2,
  kFaultTableTooSmall = 1 << 3,         // table size x 127 < cluster count + 1
  kFaultAreasOverlap = 1 << 4,          // see overlaps
  kFaultPastDevice = 1 << 5,            // see pastDevice
  kFaultPastSectorLimit = 1 << 6,       // an area passes sector 2^32 - 1: see pastLimit
  kFaultClusterCountIsEnd = 1 << 7,     // the cluster count is the end-of-chain value
};

struct CheckGeometry {
  u32 faults;                 // GeometryFault bits
  bool deviceSizeKnown;
  u64 deviceSectors;          // whole 512-byte sectors of the drive or image
  u64 areaFirst[kAreaCount];  // sectors [first, end) of each area, in 64 bits
  u64 areaEnd[kAreaCount];
  u32 overlaps[kAreaCount];   // bit j of overlaps[i], i < j: areas i and j share sectors
  u32 pastDevice;             // bit per area
  u32 pastLimit;              // bit per area
};

// ---- The two copies -----------------------------------------------------

enum CopyFinding { kCopy1Unreadable, kCopy2Unreadable, kBothUnreadable, kCopiesDiffer, kCopyFindings };
const u32 kFirstFew = 8;

// For the allocation table or the directory. Sector numbers are the
// structure's own (table sector s, directory sector s), not the drive's.
// Copy 1 and copy 2 are compared over the bytes that carry fields (508 of
// a table sector, 504 of a directory sector).
struct CopyFindings {
  u32 sectors;  // sectors of one copy read from both copies
  u32 notRead;  // sectors of one copy not read: with an interleave of 0, or
                // table sectors past those that describe the clusters checked
  u32 count[kCopyFindings];
  u32 first[kCopyFindings][kFirstFew];  // the first count (at most kFirstFew) of each
};

// ---- Directory entries ---------------------------------------------------

const u32 kNoEntry = 0xFFFFFFFFu;

// Every entry that is not an empty slot.
struct CheckEntry {
  u32 slot;        // position in the directory, from 0
  u32 recording;   // its number in the recording list (from 1), or kNoEntry
  DirEntry raw;    // raw name, type, first cluster
  bool fromCopy2;  // its directory sector is unreadable in copy 1
  // Walked when the first cluster is 1 to the cluster count; otherwise
  // clusters is 0 and end tells why (kChainZero, or kChainAboveCount with
  // next = the first cluster).
  ChainWalk walk;
  u32 sizeMiB;     // by the recording list's rule, from walk.clusters
  u32 sharedFrom;  // first cluster this chain shares with an earlier entry's, or 0
  u32 sharedClusters;
  // A chain that cycles or steps to 0 where the table's copies differ, and is
  // whole with the other copy's successor there: that copy (1 or 2), and the
  // whole chain's clusters; 0 otherwise.
  u32 wholeInCopy;
  u32 wholeClusters;
};

// A recording whose chain is not whole: it does not end in the end marker,
// or does not start at a cluster.
inline bool ChainDamaged(const CheckEntry& e) { return e.walk.end != kChainEnd; }

// Two entries whose chains share clusters from `cluster` on.
struct CrossLink {
  u32 slot;     // the later entry
  u32 earlier;  // the first earlier entry whose chain holds cluster (kNoEntry: not found)
  u32 cluster;
  u32 clusters;  // clusters of the later chain that an earlier chain holds too
};

// ---- Chains no entry reaches ---------------------------------------------

enum LostKind {
  kLostRecording,   // offered for extraction
  kLostIntoListed,  // runs into an entry's chain: reported, not offered
  kLostUnreadable,  // shaped as a lost recording, its first cluster unreadable: neither
                    // offered nor reported, but worth imaging (domain --lost)
};

// A chain whose first cluster no entry's chain reaches and no cluster
// points to. A lost recording reads exactly as a listed recording with
// that first cluster: its chain ends in a successor above the cluster
// count, after clusters clusters.
struct LostChain {
  LostKind kind;
  u32 first;
  u32 clusters;   // kLostIntoListed: the clusters before the one it runs into
  u32 sizeMiB;    // by the recording list's rule
  u32 slot;       // kLostIntoListed: the entry whose chain it runs into (kNoEntry: not found)
  u32 cluster;    // kLostIntoListed: the cluster it runs into
};

// ---- The whole check -------------------------------------------------------

struct CheckSink {
  void* context;
  void (*entry)(void* context, const CheckEntry& entry);
  void (*crossLink)(void* context, const CrossLink& link);
  void (*lost)(void* context, const LostChain& chain);
};

struct CheckReport {
  CheckGeometry geometry;
  CopyFindings table;
  CopyFindings directory;
  u64 tableEntriesWanted;     // entries that describe clusters on the drive
  u32 tableEntriesHeld;       // of them, held by the check (the rest: kChainNotChecked)
  u32 directorySectorsSkipped;  // past the largest directory the check reads
  u32 entries;                // entries that are not empty slots
  u32 recordings;             // of them, recordings (type 13)
  u32 unreadableEntries;      // slots of directory sectors unreadable in both copies
  u32 crossLinks;             // delivered ones and those past the check's record
  u32 lostRecordings;
  u32 lostIntoListed;
  u32 chainsWithoutStream;    // lost chains whose first cluster holds no transport stream
  u32 chainsUnreadableStart;  // lost chains whose first cluster cannot be read
  u32 unresolved;             // cross-links and chains past the check's record (no partner named)
};

// A directory larger than this many sectors is read in its first ones only.
const u32 kCheckDirectoryLimit = 65536;

// Table entries worth holding for the open disk: the table's real entries
// (table size x 127), bounded by the cluster count + 1 and by the clusters
// whose sectors lie on the drive.
u64 CheckTableEntries();

// Bytes of memory a check holding tableEntries entries needs, reading
// windowSectors sectors of each copy at a time (at least 1).
u64 CheckMemoryBytes(u32 tableEntries, u32 windowSectors);

// Checks the open disk, reading only. memory: CheckMemoryBytes(tableEntries,
// windowSectors) bytes, 8-byte aligned; tableEntries larger than
// CheckTableEntries() is cut to it. False when the memory is too small (no
// sink call is made); true otherwise, whatever the findings.
bool CheckDisk(void* memory, u64 bytes, u32 tableEntries, u32 windowSectors,
               const CheckSink& sink, CheckReport* report);

#endif
