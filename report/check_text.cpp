// The check's report for people: the summary, then one section per kind of
// finding, every directory entry included.
#include "report/check_report.h"
#include "disk/layout.h"
#include "platform/platform.h"

namespace {

const char* const kAreaNames[kAreaCount] = {
    "the partition table",  "the volume header", "allocation table copy 1",
    "allocation table copy 2", "directory copy 1", "directory copy 2", "the data area"};

typedef unsigned long long ull;

// The plural ending of a noun counted n times.
const char* S(ull n) { return n == 1 ? "" : "s"; }

void Sectors(std::FILE* out, const char* what, const u32* first, u32 count) {
  std::fprintf(out, "; %u %s (sector%s", count, what, S(count));
  for (u32 i = 0; i < count && i < kFirstFew; ++i) std::fprintf(out, "%s %u", i ? "," : "", first[i]);
  std::fputs(count > kFirstFew ? ", ...)" : ")", out);
}

void Copies(std::FILE* out, const char* what, const CopyFindings& f) {
  static const char* const kWhat[kCopyFindings] = {"unreadable in copy 1 only", "unreadable in copy 2 only",
                                                   "unreadable in both copies", "differ"};
  if (f.sectors == 0) {
    std::fprintf(out, "  %s: nothing read (%u sector%s not read)\n", what, f.notRead, S(f.notRead));
    return;
  }
  std::fprintf(out, "  %s: %u sector%s read from each copy", what, f.sectors, S(f.sectors));
  if (f.notRead) std::fprintf(out, ", %u not read", f.notRead);
  bool any = false;
  for (u32 k = 0; k < kCopyFindings; ++k) {
    if (!f.count[k]) continue;
    Sectors(out, kWhat[k], f.first[k], f.count[k]);
    any = true;
  }
  std::fputs(any ? "\n" : "; the copies agree\n", out);
}

void Geometry(std::FILE* out, const CheckReport& r) {
  const CheckGeometry& g = r.geometry;
  std::fputs("\nGeometry\n", out);
  if (g.deviceSizeKnown)
    std::fprintf(out, "  drive: %llu sector%s\n", ull(g.deviceSectors), S(g.deviceSectors));
  else
    std::fputs("  drive: size unknown\n", out);
  std::fprintf(out, "  %u sector%s per cluster (%u usable byte%s), %u cluster%s\n", g_disk.sectorsPerCluster,
               S(g_disk.sectorsPerCluster), g_disk.usableClusterBytes, S(g_disk.usableClusterBytes),
               g_disk.clusterCount, S(g_disk.clusterCount));
  for (u32 i = 0; i < kAreaCount; ++i) {
    if (g.areaFirst[i] == g.areaEnd[i])
      std::fprintf(out, "  %s: empty\n", kAreaNames[i]);
    else if (g.areaEnd[i] - g.areaFirst[i] == 1)
      std::fprintf(out, "  %s: sector %llu\n", kAreaNames[i], ull(g.areaFirst[i]));
    else
      std::fprintf(out, "  %s: sectors %llu to %llu\n", kAreaNames[i], ull(g.areaFirst[i]), ull(g.areaEnd[i] - 1));
  }
  if (g.faults & kFaultNoSectorsPerCluster) std::fputs("  fault: 0 sectors per cluster: recordings hold no data\n", out);
  if (g.faults & kFaultTableInterleaveZero)
    std::fputs("  fault: allocation table interleave 0: both copies are the same sectors\n", out);
  if (g.faults & kFaultDirectoryInterleaveZero)
    std::fputs("  fault: directory interleave 0: both copies are the same sectors\n", out);
  if (g.faults & kFaultTableTooSmall)
    std::fprintf(out, "  fault: the allocation table (%u sector%s) holds %llu entr%s; %u cluster%s need %llu\n",
                 g_disk.tableSize, S(g_disk.tableSize), ull(u64(g_disk.tableSize) * kTableEntriesPerSector),
                 u64(g_disk.tableSize) * kTableEntriesPerSector == 1 ? "y" : "ies", g_disk.clusterCount,
                 S(g_disk.clusterCount), ull(u64(g_disk.clusterCount) + 1));
  for (u32 i = 0; i < kAreaCount; ++i)
    for (u32 j = i + 1; j < kAreaCount; ++j)
      if (g.overlaps[i] & (1u << j)) std::fprintf(out, "  fault: %s and %s share sectors\n", kAreaNames[i], kAreaNames[j]);
  for (u32 i = 0; i < kAreaCount; ++i) {
    if (g.pastDevice & (1u << i)) std::fprintf(out, "  fault: %s runs past the end of the drive\n", kAreaNames[i]);
    if (g.pastLimit & (1u << i)) std::fprintf(out, "  fault: %s runs past sector 4294967295\n", kAreaNames[i]);
  }
  if (g.faults & kFaultClusterCountIsEnd)
    std::fputs("  fault: the cluster count is 4294967295, the end-of-chain value\n", out);
  if (!g.faults) std::fputs("  no faults\n", out);
  if (r.tableEntriesHeld < r.tableEntriesWanted)
    std::fprintf(out, "  not checked: table entries from %u on (%llu describe%s clusters on the drive)\n",
                 r.tableEntriesHeld, ull(r.tableEntriesWanted), r.tableEntriesWanted == 1 ? "s" : "");
}

void ChainEndText(std::FILE* out, const ChainWalk& w) {
  switch (w.end) {
    case kChainEnd: std::fputs("whole", out); break;
    case kChainAboveCount:
      if (w.clusters == 0)
        std::fprintf(out, "first cluster %u is above the cluster count (the list skips it)", w.next);
      else
        std::fprintf(out, "ends at cluster %u, whose successor %u is above the cluster count", w.last, w.next);
      break;
    case kChainZero:
      if (w.clusters == 0)
        std::fputs("first cluster 0 (the list ends the directory here)", out);
      else
        std::fprintf(out, "ends at cluster %u, whose successor is cluster 0", w.last);
      break;
    case kChainCycle: std::fprintf(out, "cycle: cluster %u leads back to cluster %u", w.last, w.next); break;
    case kChainUnreadable:
      std::fprintf(out, "stops at cluster %u: its table sector %u is unreadable in both copies", w.last,
                   w.last / kTableEntriesPerSector);
      break;
    case kChainPastTable: std::fprintf(out, "stops at cluster %u: its entry lies past the table", w.last); break;
    case kChainBeyondDisk: std::fprintf(out, "stops at cluster %u: it lies past the end of the drive", w.last); break;
    case kChainNotChecked: std::fprintf(out, "stops at cluster %u: its entry was not checked", w.last); break;
  }
}

void Entry(std::FILE* out, const CheckFindings& f, const CheckEntry& e, const CheckOutput& how) {
  char name[kDirNameSize * 4 + 1];
  how.decode(e.raw.name, e.raw.nameLength, how.context, name, sizeof name);
  bool recording = e.raw.type == kRecordingType;
  std::fprintf(out, "  slot %u: ", e.slot);
  if (e.recording != kNoEntry)
    std::fprintf(out, "recording %u", e.recording);
  else if (recording)
    std::fputs("recording", out);
  else
    std::fprintf(out, "type 0x%04X", e.raw.type);
  std::fprintf(out, " \"%s\", first cluster %u", name, e.raw.firstCluster);
  if (e.walk.clusters) std::fprintf(out, ", %u cluster%s, %u MiB", e.walk.clusters, S(e.walk.clusters), e.sizeMiB);
  std::fputs(RecordingDamaged(f, e) ? ": DAMAGED: " : ": ", out);
  ChainEndText(out, e.walk);
  if (e.wholeInCopy)
    std::fprintf(out, "; whole in table copy %u (%u cluster%s), where the copies differ", e.wholeInCopy,
                 e.wholeClusters, S(e.wholeClusters));
  if (e.sharedClusters)
    std::fprintf(out, "; shares %u cluster%s with an earlier entry from cluster %u", e.sharedClusters,
                 S(e.sharedClusters), e.sharedFrom);
  if (e.fromCopy2) std::fputs(" (read from directory copy 2)", out);
  std::fputc('\n', out);
}

void Lost(std::FILE* out, const CheckFindings& f) {
  const CheckReport& r = f.report;
  std::fputs("\nLost recordings (a guess: chains no entry reaches whose first cluster holds a transport stream)\n", out);
  if (!r.lostRecordings) std::fputs("  none\n", out);
  for (const LostChain& c : f.lost)
    if (c.kind == kLostRecording)
      std::fprintf(out, "  first cluster %u: %u cluster%s, %u MiB (lost-%u.ts)\n", c.first, c.clusters, S(c.clusters),
                   c.sizeMiB, c.first);
  for (const LostChain& c : f.lost) {
    if (c.kind != kLostIntoListed) continue;
    std::fprintf(out, "  first cluster %u: %u cluster%s, then runs into the chain of ", c.first, c.clusters, S(c.clusters));
    if (c.slot == kNoEntry)
      std::fprintf(out, "an entry at cluster %u (not offered)\n", c.cluster);
    else
      std::fprintf(out, "slot %u at cluster %u (not offered)\n", c.slot, c.cluster);
  }
  if (r.chainsWithoutStream || r.chainsUnreadableStart)
    std::fprintf(out, "  not offered: %u chain%s without a transport stream, %u whose first cluster cannot be read\n",
                 r.chainsWithoutStream, S(r.chainsWithoutStream), r.chainsUnreadableStart);
}

}  // namespace

bool WriteCheckText(std::FILE* out, const CheckFindings& f, const CheckOutput& how) {
  const CheckReport& r = f.report;
  char summary[400];
  FormatCheckSummary(f, summary, sizeof summary);
  std::fprintf(out, "%s\n", summary);
  Geometry(out, r);
  std::fputs("\nCopies\n", out);
  Copies(out, "allocation table", r.table);
  Copies(out, "directory", r.directory);
  if (r.directorySectorsSkipped)
    std::fprintf(out, "  directory sectors past %u not read: %u\n", kCheckDirectoryLimit, r.directorySectorsSkipped);
  std::fprintf(out, "\nDirectory: %u entr%s, %u recording%s\n", r.entries, r.entries == 1 ? "y" : "ies", r.recordings,
               S(r.recordings));
  for (const CheckEntry& e : f.entries) Entry(out, f, e, how);
  if (r.unreadableEntries) std::fprintf(out, "  %u slot%s unreadable in both copies\n", r.unreadableEntries, S(r.unreadableEntries));
  if (r.crossLinks) {
    std::fputs("\nCross-linked chains\n", out);
    for (const CrossLink& c : f.crossLinks) {
      std::fprintf(out, "  slot %u and ", c.slot);
      if (c.earlier == kNoEntry)
        std::fputs("an earlier entry", out);
      else
        std::fprintf(out, "slot %u", c.earlier);
      std::fprintf(out, " share %u cluster%s from cluster %u\n", c.clusters, S(c.clusters), c.cluster);
    }
    if (r.unresolved) std::fprintf(out, "  %u more shared chain%s, their partners not named\n", r.unresolved, S(r.unresolved));
  }
  Lost(out, f);
  return std::fflush(out) == 0 && !std::ferror(out);
}
