// The recorder disk: its one process-wide record and every operation on it.
// The disk layer never shows anything; it reports by its results.
#ifndef MELVIR_DISK_RECORDER_DISK_H
#define MELVIR_DISK_RECORDER_DISK_H

#include "platform/platform.h"
#include "platform/types.h"

const u32 kSectorSize = 512;
const u32 kNoSector = 0xFFFFFFFFu;
const u32 kEndOfChain = 0xFFFFFFFFu;
const u32 kLastDrive = 16;          // drives 0 to 16 are probed
const u32 kDiskInfoSize = 300;      // room FormatDiskInfo needs
const char kTraceLogName[] = "MELVIR.LOG";

// The two metadata areas, each stored as two interleaved copies.
enum MetadataArea { kTableArea, kDirectoryArea };

struct RecorderDisk {
  alignas(512) u8 sector[kSectorSize];  // the last sector read
  FileHandle device;                   // kNoFile when none is open
  u32 diskNumber;
  u32 partitionIndex;
  u32 headerSector;                    // the volume header's sector
  bool wordSwap;
  bool bigEndian;
  u32 cachedSector;                    // kNoSector: nothing cached
  bool trace;
  FileHandle traceLog;
  // Geometry, loaded from the volume header.
  u32 sectorsPerCluster;
  u32 usableClusterBytes;
  u32 clusterCount;
  u32 tableStart;
  u32 tableInterleave;
  u32 tableSize;
  u32 directoryStart;
  u32 directoryInterleave;
  u32 directorySize;
  u32 dataStart;
  u64 driveSectors;  // sectors a read may reach (DiskSectors), set by discovery
  // Cursors.
  u32 directoryCursor;
  u32 currentCluster;
  u32 clusterOffset;
  u64 chainSteps;  // steps taken since OpenEntry: bounds a cyclic chain
  u32 cycleMark;   // cluster met at the last power-of-two step: met again, a cycle
};

extern RecorderDisk g_disk;

// Closes the disk and puts the record back as it is at program start (for
// tests and the fuzzer, which run many discoveries in one process).
void ResetDiskRecord();

// Byte order and sector reader.
u32 SwapLong(u32 raw);
u16 SwapShort(u16 raw);
bool ReadSector(u32 sector);
void SwapWordBytes(void* data, u32 length);
void WriteTrace(const char* line, u32 length);
// A chain has at most clusterCount clusters: more steps than that mean the
// table is damaged (a cycle, or a walk through table entry 0).
inline bool ChainTooLong(u64 steps) { return steps > g_disk.clusterCount; }
// Past the last cluster of a chain. 0xFFFFFFFF is the end even when the
// header counts that many clusters.
inline bool ChainEnded(u32 cluster) {
  return cluster == kEndOfChain || cluster > g_disk.clusterCount;
}
// A chain never holds a cluster twice. Comparing the cluster of each step
// with the one met at the last power-of-two step finds a cycle within a few
// times its length, where the bound above would let a damaged header's huge
// cluster count spin for billions of cached steps.
inline bool MeetsCycleMark(u64 step, u32 cluster, u32* mark) {
  if (cluster == *mark) return true;
  if ((step & (step - 1)) == 0) *mark = cluster;
  return false;
}

// Discovery and geometry.
bool FindRecorderDisk(bool trace);
// Where the trace log is created (MELVIR.LOG in the current folder unless
// set); the path must outlive the discovery.
void SetTraceLogPath(const char* path);
// How far the last discovery got with each drive, for front ends that say
// why a source is no recorder disk. error: the system's error code of the
// failed open or read, 0 when none was given.
enum ProbeStep {
  kProbeNotOpened, kProbeTableUnreadable, kProbeNoMagic, kProbeNoPartition,
  kProbeHeaderUnreadable, kProbeHeaderInvalid, kProbeFound
};
struct DriveProbe {
  ProbeStep step;
  u32 error;
};
const DriveProbe& ProbeOf(u32 drive);
// Reads the volume header at sector in the byte order set and, when it is
// one, loads its geometry; false otherwise (the geometry unchanged).
bool LoadVolumeHeader(u32 sector);
void CloseDisk();
// The Info text of the record as it stands, or of a copy of it.
void FormatDiskInfo(char* text);
void FormatDiskInfoOf(const RecorderDisk* disk, char* text);

// What of the disk the drive holds. DiskSectors: the drive's sectors, at
// most 2^32 (*known false, and 2^32, when its size cannot be told).
// CopySectorsBefore: the leading sectors of a table or directory of size
// sectors, interleaved by k from start, whose copy 1 lies before sector end
// (copy 2's lies further on). ClusterOnDrive: all of cluster's sectors lie
// before driveSectors.
u64 DiskSectors(bool* known);
u32 CopySectorsBefore(u32 start, u32 k, u32 size, u64 end);
bool ClusterOnDrive(u32 cluster);

// Metadata sectors: sector s of the allocation table or the directory into
// the sector buffer, from copy 1 (the Windows program's way; a failed read
// is final), or through the reader set below.
bool ReadTableSector(u32 s);
bool ReadDirectorySector(u32 s);
// One hook for reading metadata sectors otherwise (the rescue room's mirror
// reads): sector s of an area of size sectors a copy, interleaved by k from
// start. Null: copy 1 alone. ResetDiskRecord clears it.
typedef bool (*MetadataReader)(MetadataArea area, u32 start, u32 k, u32 size, u32 s);
void SetMetadataReader(MetadataReader reader);
MetadataReader CurrentMetadataReader();

// Allocation chain.
bool GetNextCluster(u32* cluster);

// Directory (disk/entries.h has the entries themselves).
bool ResetDirectory();
bool GetNextEntry(char* text, u32* start, u32* sizeMiB);

// Recording data.
bool OpenEntry(u32 first);
bool ReadEntryData(void* buffer, u32 length, u32* got);
// Why the last ReadEntryData or SkipEntryData failed: a device read or seek
// (the platform's LastSystemError tells more), a read that came back short
// (the disk or image ends early), or a chain step that failed or looped.
enum DataFailure { kDataFailNone, kDataFailDevice, kDataFailShort, kDataFailChain };
DataFailure LastDataFailure();
// The byte of the disk where that device read or short read failed.
u64 LastDataFailurePosition();
// Moves the cursor length bytes on, as reading them would, following the
// chain without reading any data; *skipped falls short at the chain's end.
bool SkipEntryData(u64 length, u64* skipped);

#endif
