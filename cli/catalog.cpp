#include "cli/catalog.h"

#include "app/messages.h"
#include "cli/cli_port.h"
#include "cli/sources.h"
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
  if (!FindRecorderDisk(o.trace || o.traceFile)) {
    ReportProbes(o, false);
    ShowError(IDS_NO_DRIVE);
    return false;
  }
  ReportProbes(o, true);
  catalog->drive = g_disk.diskNumber;
  if (!DriveName(catalog->drive, catalog->source, sizeof catalog->source)) catalog->source[0] = 0;
  return true;
}

void ReadCatalog(const Options& o, Catalog* catalog) {
  static NameSet names;
  names.count = 0;
  ResetDirectory();
  for (;;) {
    RecordingEntry entry;
    if (!GetNextRecording(&entry)) {
      catalog->scanFailed = true;
      if (!o.quiet) ShowError(IDS_SCAN_ERROR);
      break;
    }
    if (entry.firstCluster == 0) break;
    catalog->recordings.emplace_back();
    Recording& r = catalog->recordings.back();
    r.number = u32(catalog->recordings.size());
    Describe(o, entry, &names, &r);
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
