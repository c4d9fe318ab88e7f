// What the parts of the check share while it runs: the successor of every
// held table entry, one bit per cluster for each question the walks ask,
// and the two copies' read windows. Laid out by CheckDisk in the caller's
// memory and handed to each part; nothing here is allocated.
#ifndef MELVIR_CHECK_CHECK_STATE_H
#define MELVIR_CHECK_CHECK_STATE_H

#include "check/check.h"

// A run of sectors of one copy, read at once. A run whose read fails is
// read again sector by sector, so one bad sector does not hide the others.
struct CopyWindow {
  u8* data;      // capacity x 512 bytes
  u8* readable;  // one flag per sector
  u32 capacity;
  u64 first;     // drive sector of data[0]
  u32 count;     // sectors held; 0: none yet
};

// A chain found running into an earlier entry's chain at cluster; the
// entry whose chain holds it is named once the whole directory is known.
struct JoinRecord {
  bool lost;      // from is a lost chain's first cluster, not an entry's slot
  u32 from;
  u32 cluster;
  u32 clusters;
  u32 owner;      // kNoEntry until found
};
const u32 kJoinRecords = 256;

struct CheckState {
  u32* successor;   // held entries, as the table holds them
  u32 held;
  u64* onChain;     // clusters on an entry's chain
  u64* pointedTo;   // clusters some cluster's successor names
  u64* pointedTwice;
  u64* joins;       // clusters some JoinRecord names
  u64* tableBad;    // table sectors unreadable in both copies
  CopyWindow window[2];
  u32 patchCount;   // successors taken from the other copy, for one walk
  ChainPatch patches[4];
  u8* sector;       // one sector: a lost chain's first data
  JoinRecord* records;
  u32 recordCount;
  u32 recordings;   // recordings numbered so far
  u64 diskSectors;  // sectors a read may reach: the drive's, at most 2^32
  const CheckSink* sink;
  CheckReport* report;
};

inline bool TestBit(const u64* bits, u64 i) { return (bits[i >> 6] >> (i & 63)) & 1; }
inline void SetBit(u64* bits, u64 i) { bits[i >> 6] |= u64(1) << (i & 63); }

// The parts of the check, each given the state of the one run under way.
void CheckGeometryOf(CheckGeometry* geometry);

// Points *data at drive sector `sector` of copy 1 or 2, read through that
// copy's window; false when it cannot be read.
bool CopySectorData(CheckState& state, u32 copy, u64 sector, const u8** data);
// Reads both copies of the table into the successor array.
void ReadTableCopies(CheckState& state);
// Gives each directory sector, from copy 1 where it reads, to use; with
// findings, records how the copies compare.
typedef void (*DirectorySectorUse)(CheckState& state, u32 s, const u8* data, bool fromCopy2);
void ReadDirectoryCopies(CheckState& state, CopyFindings* findings, DirectorySectorUse use);

// One step from cluster (1 to the cluster count): false with *end when the
// chain stops at cluster.
bool StepHeld(const CheckState& state, u32 cluster, u32* next, ChainEnd* end);
void WalkHeldChain(CheckState& state, u32 first, ChainWalk* walk);
// For a chain the held table makes fail where the copies differ: the copy
// whose chain is whole, and its clusters (see CheckEntry.wholeInCopy).
void FindWholeCopy(CheckState& state, CheckEntry* entry);
void CheckEntries(CheckState& state, u32 s, const u8* data, bool fromCopy2);
// Records a chain that runs into an earlier entry's at cluster.
void RecordJoin(CheckState& state, bool lost, u32 from, u32 cluster, u32 clusters);
// Names the entry each recorded chain runs into and hands them to the sink.
void ResolveJoins(CheckState& state);

void FindLostChains(CheckState& state);

#endif
