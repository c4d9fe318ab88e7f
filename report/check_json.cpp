// The check's report as one JSON object; every field is described in
// docs/check.md. Plain ASCII: names are written with \u escapes.
#include <cstring>

#include "report/check_report.h"
#include "report/json.h"
#include "disk/layout.h"

namespace {

typedef unsigned long long ull;

const char* const kAreaCodes[kAreaCount] = {"partition_table", "volume_header", "table_copy_1", "table_copy_2",
                                            "directory_copy_1", "directory_copy_2", "data_area"};
const char* const kEndCodes[] = {"end_marker", "above_cluster_count", "cluster_zero", "cycle",
                                 "unreadable_table_sector", "past_table", "beyond_disk", "not_checked"};
const char* const kFaultCodes[] = {"sectors_per_cluster_zero", "table_interleave_zero",
                                   "directory_interleave_zero", "table_too_small", "areas_overlap",
                                   "past_device", "past_sector_limit", "cluster_count_is_end_marker"};
const char* const kCopyCodes[kCopyFindings] = {"copy1_unreadable", "copy2_unreadable", "both_unreadable",
                                               "differ"};

// UTF-8 text as a JSON string of ASCII: everything outside 0x20..0x7E as
// \u escapes (surrogate pairs above U+FFFF); a malformed sequence as U+FFFD.
void WriteUtf8String(std::FILE* out, const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  std::fputc('"', out);
  while (*p) {
    u32 c = *p++, extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (c >= 0x80) {
      c &= 0x3F >> extra;
      bool bad = c == 0 && extra == 0;  // a lone continuation byte
      for (u32 i = 0; i < extra && !bad; ++i, ++p) {
        bad = (*p & 0xC0) != 0x80;
        c = c << 6 | (*p & 0x3F);
      }
      if (bad || c > 0x10FFFF) c = 0xFFFD;
    }
    if (c == '"' || c == '\\') {
      std::fprintf(out, "\\%c", char(c));
    } else if (c >= 0x20 && c <= 0x7E) {
      std::fputc(char(c), out);
    } else if (c > 0xFFFF) {
      c -= 0x10000;
      std::fprintf(out, "\\u%04X\\u%04X", 0xD800 + (c >> 10), 0xDC00 + (c & 0x3FF));
    } else {
      std::fprintf(out, "\\u%04X", c);
    }
  }
  std::fputc('"', out);
}

void Codes(std::FILE* out, u32 bits, const char* const* codes, u32 count) {
  std::fputc('[', out);
  bool comma = false;
  for (u32 i = 0; i < count; ++i) {
    if (!(bits & (1u << i))) continue;
    std::fprintf(out, "%s\"%s\"", comma ? ", " : "", codes[i]);
    comma = true;
  }
  std::fputc(']', out);
}

void Geometry(std::FILE* out, const CheckReport& r) {
  const CheckGeometry& g = r.geometry;
  const RecorderDisk& d = g_disk;
  std::fprintf(out,
               "  \"geometry\": {\"header_sector\": %u, \"sectors_per_cluster\": %u, \"usable_cluster_bytes\": %u, "
               "\"cluster_count\": %u, \"table_start\": %u, \"table_interleave\": %u, \"table_size\": %u, "
               "\"directory_start\": %u, \"directory_interleave\": %u, \"directory_size\": %u, \"data_start\": %u,\n",
               d.headerSector, d.sectorsPerCluster, d.usableClusterBytes, d.clusterCount, d.tableStart,
               d.tableInterleave, d.tableSize, d.directoryStart, d.directoryInterleave, d.directorySize, d.dataStart);
  std::fputs("    \"areas\": {", out);
  for (u32 i = 0; i < kAreaCount; ++i)
    std::fprintf(out, "%s\"%s\": [%llu, %llu]", i ? ", " : "", kAreaCodes[i], ull(g.areaFirst[i]), ull(g.areaEnd[i]));
  std::fputs("},\n    \"faults\": ", out);
  Codes(out, g.faults, kFaultCodes, sizeof kFaultCodes / sizeof *kFaultCodes);
  std::fputs(", \"overlaps\": [", out);
  bool comma = false;
  for (u32 i = 0; i < kAreaCount; ++i)
    for (u32 j = i + 1; j < kAreaCount; ++j)
      if (g.overlaps[i] & (1u << j)) {
        std::fprintf(out, "%s[\"%s\", \"%s\"]", comma ? ", " : "", kAreaCodes[i], kAreaCodes[j]);
        comma = true;
      }
  std::fputs("], \"past_device\": ", out);
  Codes(out, g.pastDevice, kAreaCodes, kAreaCount);
  std::fputs(", \"past_sector_limit\": ", out);
  Codes(out, g.pastLimit, kAreaCodes, kAreaCount);
  std::fputs("},\n", out);
}

void Copies(std::FILE* out, const char* key, const CopyFindings& f) {
  std::fprintf(out, "  \"%s\": {\"sectors\": %u, \"not_read\": %u", key, f.sectors, f.notRead);
  for (u32 k = 0; k < kCopyFindings; ++k) {
    std::fprintf(out, ", \"%s\": {\"count\": %u, \"first\": [", kCopyCodes[k], f.count[k]);
    for (u32 i = 0; i < f.count[k] && i < kFirstFew; ++i) std::fprintf(out, "%s%u", i ? ", " : "", f.first[k][i]);
    std::fputs("]}", out);
  }
  std::fputs("},\n", out);
}

void OrNull(std::FILE* out, bool present, u32 value) {
  if (present)
    std::fprintf(out, "%u", value);
  else
    std::fputs("null", out);
}

void Entry(std::FILE* out, const CheckFindings& f, const CheckEntry& e, const CheckOutput& how) {
  char name[kDirNameSize * 4 + 1];
  how.decode(e.raw.name, e.raw.nameLength, how.context, name, sizeof name);
  char raw[kDirNameSize + 1];
  std::memcpy(raw, e.raw.name, e.raw.nameLength);
  raw[e.raw.nameLength] = 0;
  const ChainWalk& w = e.walk;
  bool damaged = RecordingDamaged(f, e);
  std::fprintf(out, "    {\"slot\": %u, \"recording\": ", e.slot);
  OrNull(out, e.recording != kNoEntry, e.recording);
  std::fprintf(out, ", \"type\": %u, \"name\": ", e.raw.type);
  WriteUtf8String(out, name);
  std::fputs(", \"raw_name\": ", out);
  WriteJsonString(out, raw);
  std::fprintf(out, ", \"first_cluster\": %u, \"from_copy_2\": %s, \"clusters\": %u, \"size_mib\": %u, "
               "\"end\": \"%s\", \"last_cluster\": ",
               e.raw.firstCluster, e.fromCopy2 ? "true" : "false", w.clusters, e.sizeMiB, kEndCodes[w.end]);
  OrNull(out, w.clusters != 0, w.last);
  std::fputs(", \"end_value\": ", out);
  OrNull(out, w.end == kChainAboveCount || w.end == kChainCycle, w.next);
  std::fprintf(out, ", \"damaged\": %s, \"shared_from\": ", damaged ? "true" : "false");
  OrNull(out, e.sharedClusters != 0, e.sharedFrom);
  std::fprintf(out, ", \"shared_clusters\": %u, \"whole_in_table_copy\": ", e.sharedClusters);
  OrNull(out, e.wholeInCopy != 0, e.wholeInCopy);
  std::fputs("}", out);
}

}  // namespace

bool WriteCheckJson(std::FILE* out, const CheckFindings& f, const CheckOutput& how) {
  const CheckReport& r = f.report;
  CheckSummary s;
  SummariseCheck(f, &s);
  char summary[400];
  FormatCheckSummary(f, summary, sizeof summary);
  std::fputs("{\n  \"source\": ", out);
  if (how.source)
    WriteJsonString(out, how.source);
  else
    std::fputs("null", out);
  std::fputs(",\n  \"summary\": ", out);
  WriteJsonString(out, summary);
  std::fprintf(out, ",\n  \"problems\": %s,\n  \"device_sectors\": ", s.problems ? "true" : "false");
  if (r.geometry.deviceSizeKnown)
    std::fprintf(out, "%llu", ull(r.geometry.deviceSectors));
  else
    std::fputs("null", out);
  std::fputs(",\n", out);
  Geometry(out, r);
  std::fprintf(out, "  \"table_entries\": {\"wanted\": %llu, \"checked\": %u},\n", ull(r.tableEntriesWanted),
               r.tableEntriesHeld);
  Copies(out, "table_copies", r.table);
  Copies(out, "directory_copies", r.directory);
  std::fprintf(out, "  \"directory_sectors_skipped\": %u, \"unreadable_slots\": %u,\n", r.directorySectorsSkipped,
               r.unreadableEntries);
  std::fprintf(out, "  \"recordings\": %u, \"damaged\": %u,\n  \"entries\": [", s.recordings, s.damaged);
  for (size_t i = 0; i < f.entries.size(); ++i) {
    std::fputs(i ? ",\n" : "\n", out);
    Entry(out, f, f.entries[i], how);
  }
  std::fputs(f.entries.empty() ? "],\n  \"cross_links\": [" : "\n  ],\n  \"cross_links\": [", out);
  for (size_t i = 0; i < f.crossLinks.size(); ++i) {
    const CrossLink& c = f.crossLinks[i];
    std::fprintf(out, "%s\n    {\"slot\": %u, \"earlier_slot\": ", i ? "," : "", c.slot);
    OrNull(out, c.earlier != kNoEntry, c.earlier);
    std::fprintf(out, ", \"cluster\": %u, \"clusters\": %u}", c.cluster, c.clusters);
  }
  std::fprintf(out, "%s],\n  \"shared_chains_unnamed\": %u,\n  \"lost_recordings\": [",
               f.crossLinks.empty() ? "" : "\n  ", r.unresolved);
  bool comma = false;
  for (const LostChain& c : f.lost) {
    if (c.kind != kLostRecording) continue;
    std::fprintf(out, "%s\n    {\"first_cluster\": %u, \"clusters\": %u, \"size_mib\": %u, \"file\": \"lost-%u.ts\"}",
                 comma ? "," : "", c.first, c.clusters, c.sizeMiB, c.first);
    comma = true;
  }
  std::fprintf(out, "%s],\n  \"lost_into_entries\": [", comma ? "\n  " : "");
  comma = false;
  for (const LostChain& c : f.lost) {
    if (c.kind != kLostIntoListed) continue;
    std::fprintf(out, "%s\n    {\"first_cluster\": %u, \"clusters\": %u, \"slot\": ", comma ? "," : "", c.first,
                 c.clusters);
    OrNull(out, c.slot != kNoEntry, c.slot);
    std::fprintf(out, ", \"cluster\": %u}", c.cluster);
    comma = true;
  }
  std::fprintf(out, "%s],\n  \"chains_without_stream\": %u, \"chains_unreadable_start\": %u\n}\n",
               comma ? "\n  " : "", r.chainsWithoutStream, r.chainsUnreadableStart);
  return std::fflush(out) == 0 && !std::ferror(out);
}
