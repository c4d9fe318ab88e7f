// Finding the recorder disk: the sector-2 partition table, the volume header
// of the recording partition, and the geometry loaded from it.
#include <cstring>

#include "disk/layout.h"
#include "disk/recorder_disk.h"

namespace {

const u32 kTableSector = 2;
const u32 kEntries = 12;
const u32 kEntrySize = 40;
const u32 kMagicOffset = 504;
const char kPartitionName[] = "HDD1_AV1";  // compared with its NUL

// Partition-table entry fields.
const u32 kEntryFirst = 4;
const u32 kEntryName = 24;

// Volume-header fields.
const u32 kBytesPerSector = 16;
const u32 kSectorsPerCluster = 20;
const u32 kTableCopies = 24;
const u32 kTableSize = 28;
const u32 kTable1 = 32;
const u32 kTable2 = 36;
const u32 kDirectoryCopies = 40;
const u32 kDirectorySize = 44;
const u32 kDirectory1 = 52;
const u32 kDirectory2 = 56;
const u32 kClusterCount = 60;
const u32 kDataStart = 64;

bool HasMagic(const char* magic) {
  return std::memcmp(g_disk.sector + kMagicOffset, magic, 4) == 0;
}

// Finds the recording partition in the table now in the sector buffer and
// returns the sector of its volume header.
bool FindPartition(u32* headerSector) {
  for (u32 i = 0; i < kEntries; ++i) {
    g_disk.partitionIndex = i;
    const u8* entry = g_disk.sector + 4 + kEntrySize * i;
    u16 marker;
    std::memcpy(&marker, entry, 2);
    if (marker == 0xFFFF) return false;
    if (std::memcmp(entry + kEntryName, kPartitionName, sizeof kPartitionName) == 0) {
      *headerSector = Field32(entry + kEntryFirst);
      return true;
    }
  }
  return false;
}

bool HeaderValid() {
  const u8* h = g_disk.sector;
  return h[510] == 0xAA && h[511] == 0x55 &&
         std::memcmp(h, kPartitionName, sizeof kPartitionName) == 0 &&
         Field32(h + kBytesPerSector) == 512 && Field32(h + kTableCopies) == 2 &&
         Field32(h + kDirectoryCopies) == 2;
}

void LoadGeometry() {
  const u8* h = g_disk.sector;
  u32 spc = Field32(h + kSectorsPerCluster);
  g_disk.sectorsPerCluster = spc;
  // One sector in every 256 of a cluster is not recording data.
  g_disk.usableClusterBytes = (spc - spc / 256) * kSectorSize;
  g_disk.clusterCount = Field32(h + kClusterCount);
  g_disk.tableStart = Field32(h + kTable1);
  g_disk.tableInterleave = Field32(h + kTable2) - Field32(h + kTable1);
  g_disk.tableSize = Field32(h + kTableSize);
  g_disk.directoryStart = Field32(h + kDirectory1);
  g_disk.directoryInterleave = Field32(h + kDirectory2) - Field32(h + kDirectory1);
  g_disk.directorySize = Field32(h + kDirectorySize);
  g_disk.dataStart = Field32(h + kDataStart);
}

DriveProbe g_probes[kLastDrive + 1];
const char* g_traceLogPath = kTraceLogName;

// Notes where the probe of the drive now open stopped; false but for kProbeFound.
bool ProbeStops(ProbeStep step) {
  DriveProbe& p = g_probes[g_disk.diskNumber];
  p.step = step;
  p.error = step == kProbeFound ? 0 : LastSystemError();
  return step == kProbeFound;
}

// Examines the drive now open; false means it is not a recorder disk.
bool ProbeOpenDrive() {
  g_disk.cachedSector = kNoSector;
  g_disk.wordSwap = false;
  if (!ReadSector(kTableSector)) return ProbeStops(kProbeTableUnreadable);
  if (HasMagic("aPTr")) {
    g_disk.wordSwap = true;
    g_disk.cachedSector = kNoSector;
    if (!ReadSector(kTableSector)) return ProbeStops(kProbeTableUnreadable);
  }
  if (HasMagic("ParT"))
    g_disk.bigEndian = true;
  else if (HasMagic("TraP"))
    g_disk.bigEndian = false;
  else
    return ProbeStops(kProbeNoMagic);
  u32 headerSector;
  if (!FindPartition(&headerSector)) return ProbeStops(kProbeNoPartition);
  if (!ReadSector(headerSector)) return ProbeStops(kProbeHeaderUnreadable);
  if (!LoadVolumeHeader(headerSector)) return ProbeStops(kProbeHeaderInvalid);
  return ProbeStops(kProbeFound);
}

void CloseTrace() {
  if (g_disk.trace) CloseFile(g_disk.traceLog);
  g_disk.trace = false;
  g_disk.traceLog = kNoFile;
}

void CloseDevice() {
  if (g_disk.device != kNoFile) CloseFile(g_disk.device);
  g_disk.device = kNoFile;
}

}  // namespace

bool LoadVolumeHeader(u32 sector) {
  if (!ReadSector(sector) || !HeaderValid()) return false;
  LoadGeometry();
  g_disk.headerSector = sector;
  bool known;
  g_disk.driveSectors = DiskSectors(&known);
  return true;
}

bool FindRecorderDisk(bool trace) {
  // A second discovery must not leak what a first one left open.
  CloseDevice();
  CloseTrace();
  FileHandle log;
  if (trace && CreateLogFile(g_traceLogPath, &log)) {
    g_disk.traceLog = log;
    g_disk.trace = true;
  }
  for (g_disk.diskNumber = 0; g_disk.diskNumber <= kLastDrive; ++g_disk.diskNumber) {
    FileHandle device;
    g_probes[g_disk.diskNumber] = DriveProbe{kProbeNotOpened, 0};
    if (!OpenDrive(g_disk.diskNumber, &device)) {
      g_probes[g_disk.diskNumber].error = LastSystemError();
      continue;
    }
    g_disk.device = device;
    if (ProbeOpenDrive()) return true;
    CloseDevice();
  }
  CloseTrace();
  return false;
}

void SetTraceLogPath(const char* path) { g_traceLogPath = path; }

const DriveProbe& ProbeOf(u32 drive) { return g_probes[drive]; }

void CloseDisk() {
  CloseDevice();
  CloseTrace();
}

void FormatDiskInfo(char* text) { FormatDiskInfoOf(&g_disk, text); }

void FormatDiskInfoOf(const RecorderDisk* d, char* text) {
  FormatText(text, kDiskInfoSize,
             "Hard disk: %u Partition: %u\rCluster size: %u, Clusters count: %u\r"
             "Allocation table start: %u\rTable interleave: %u\rTable size: %u\r"
             "Directory start: %u\rDirectory interleave: %u\rDirectory size: %u\r"
             "Data start: %u",
             d->diskNumber, d->partitionIndex + 1, d->sectorsPerCluster, d->clusterCount,
             d->tableStart, d->tableInterleave, d->tableSize, d->directoryStart,
             d->directoryInterleave, d->directorySize, d->dataStart);
}
