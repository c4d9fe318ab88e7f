// The recording table: the recorder disk found, and every recording of its
// directory read into rows, plainly or past damage.
#include "cli/recording_table.h"

#include <cstring>

#include "app/messages.h"
#include "cli/cli_port.h"
#include "cli/header_source.h"
#include "cli/rescue_settings.h"
#include "report/rescue_report.h"
#include "cli/sources.h"
#include "rescue/unreadable.h"
#include "disk/layout.h"
#include "rescue/mirror.h"
#include "rescue/rescue.h"
#include "platform/platform.h"

namespace {

void Describe(const Options& o, const RecordingEntry& entry, NameSet* names, Recording* r) {
  r->entry = entry;
  DecodeName(entry.raw, entry.rawLength, o.charset, r->decoded, sizeof r->decoded);
  char stem[kFileNameSize];
  SafeStem(r->decoded, stem, sizeof stem);
  UniqueFileName(names, stem, r->file, sizeof r->file);
}

}  // namespace

bool FindDisk(const Options& o, Catalog* catalog) {
  catalog->recordings.clear();
  catalog->scanFailed = false;
  if (o.headerSector) {
    if (!FindDiskAtHeader(o)) return false;
  } else if (!FindRecorderDisk(o.trace || o.traceFile)) {
    ReportProbes(o, false);
    ShowError(IDS_NO_DRIVE);
    return false;
  }
  if (!o.headerSector) ReportProbes(o, true);
  catalog->drive = g_disk.diskNumber;
  if (!DriveName(catalog->drive, catalog->source, sizeof catalog->source)) catalog->source[0] = 0;
  return true;
}

namespace {

Recording* NewRow(Catalog* catalog) {
  catalog->recordings.emplace_back();
  Recording& r = catalog->recordings.back();
  r.number = u32(catalog->recordings.size());
  return &r;
}

// One entry of the walk past damage: listed with its chain walked as far as
// it goes.
void AddPastDamage(const Options& o, Catalog* catalog, NameSet* names, u32 index,
                   const DirEntry& e) {
  if (e.type != kRecordingType || e.firstCluster > g_disk.clusterCount) return;
  ChainWalk walk;
  u32 patches = ChainPatchCount();
  WalkChain(e.firstCluster, &walk);
  bool otherCopy = ChainPatchCount() != patches;
  RecordingEntry entry = {};
  entry.entry = index;
  entry.firstCluster = e.firstCluster;
  entry.clusters = walk.clusters;
  std::memcpy(entry.raw, e.name, e.nameLength);
  entry.rawLength = e.nameLength;
  FormatEntryText(e, walk.clusters, entry.text, &entry.sizeMiB);
  FormatEntryName(e, entry.name);
  Recording* r = NewRow(catalog);
  Describe(o, entry, names, r);
  r->walk = walk;
  if (otherCopy) {
    SayHeldRun();
    Say("recording %u \"%s\": the table's copies differ on its chain; it is whole in copy %u, "
        "which is read there", r->number, r->decoded, MirrorFirstCopy() == 2 ? 1 : 2);
    NoteDamage();
  }
  if (!WalkIsWhole(walk)) {
    FormatChainDamage(walk, r->damage, sizeof r->damage);
    SayHeldRun();
    Say("recording %u \"%s\": chain damaged at cluster %u (%s)", r->number, r->decoded,
        walk.last, ChainEndText(walk.end));
    NoteDamage();
  }
}

// Every entry the directory still gives: a directory sector unreadable in
// both copies loses its seven entries, a damaged chain is listed as far as
// it can be walked, and the scan goes on. It stops at the drive's end: a
// damaged directory size is one line, not billions of failed reads.
void ReadCatalogPastDamage(const Options& o, Catalog* catalog, NameSet* names) {
  const u32 size = g_disk.directorySize;
  const u32 onDrive =
      CopySectorsBefore(g_disk.directoryStart, g_disk.directoryInterleave, size, g_disk.driveSectors);
  HoldSectorRuns(true);
  for (u32 s = 0; s < onDrive; ++s) {
    if (!ReadDirectorySector(s)) {
      TellSectorRun(kDirectoryArea, s, kEntriesLost);
      continue;
    }
    // The chain walks reuse the sector buffer: the entries are taken first.
    DirEntry entries[kDirEntriesPerSector];
    for (u32 i = 0; i < kDirEntriesPerSector; ++i)
      DecodeDirEntry(g_disk.sector + i * kDirEntrySize, &entries[i]);
    for (u32 i = 0; i < kDirEntriesPerSector; ++i)
      AddPastDamage(o, catalog, names, s * kDirEntriesPerSector + i, entries[i]);
  }
  HoldSectorRuns(false);
  if (onDrive < size) {
    if (onDrive + 1 == size)
      Say("sector %u of the directory lies past the drive's end: not read", onDrive);
    else
      Say("sectors %u to %u of the directory lie past the drive's end: not read", onDrive, size - 1);
    NoteDamage();
  }
}

}  // namespace

void ReadCatalog(const Options& o, Catalog* catalog) {
  static NameSet names;
  names.count = 0;
  if (o.rescue) {
    ReadCatalogPastDamage(o, catalog, &names);
  } else {
    ResetDirectory();
    for (;;) {
      RecordingEntry entry;
      if (!GetNextRecording(&entry)) {
        catalog->scanFailed = true;
        char text[100];
        LoadText(IDS_SCAN_ERROR, text, sizeof text);
        if (!o.quiet) Say("%s%s", text, RescueHint(o));
        break;
      }
      if (entry.firstCluster == 0) break;
      Describe(o, entry, &names, NewRow(catalog));
    }
  }
  if (const DriveMap* map = ActiveMap()) {
    for (Recording& r : catalog->recordings)
      r.unreadableKnown = RecordingUnreadableBytes(*map, r.entry.firstCluster, r.entry.clusters,
                                                   &r.unreadableBytes);
  }
}

void LostRecording(u32 first, u32 clusters, u32 sizeMiB, Recording* r) {
  *r = Recording{};
  r->entry.firstCluster = first;
  r->entry.clusters = clusters;
  r->entry.sizeMiB = sizeMiB;
  FormatText(r->entry.name, sizeof r->entry.name, "lost-%u", first);
  FormatText(r->entry.text, sizeof r->entry.text, "%s  %uMo", r->entry.name, sizeMiB);
  FormatText(r->decoded, sizeof r->decoded, "%s", r->entry.name);
  FormatText(r->file, sizeof r->file, "%s.ts", r->entry.name);
}

u64 AllocatedBytes(const Recording& r) { return u64(r.entry.clusters) * g_disk.usableClusterBytes; }
