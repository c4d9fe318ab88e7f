// `melvir list`, `melvir info` and `melvir check` over the recording table.
#include "cli/recording_commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/check_command.h"
#include "report/check_report.h"
#include "cli/cli_port.h"
#include "cli/copy.h"
#include "cli/existing_output.h"
#include "cli/rescue_settings.h"
#include "rescue/rescue.h"
#include "report/info_text.h"
#include "report/json.h"
#include "report/long_list.h"
#include "cli/file_names.h"
#include "cli/os.h"
#include "files/output_file.h"
#include "text/pattern.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"

int ListCommand(const Options& o, const Catalog& c) {
  if (o.longList) {
    std::vector<LongListRow> rows;
    for (const Recording& r : c.recordings)
      rows.push_back({r.number, r.entry.entry, r.entry.firstCluster, AllocatedBytes(r), r.decoded,
                      r.damage, r.unreadableKnown, r.unreadableBytes});
    WriteLongList(stdout, rows);
    return c.scanFailed ? kExitFailed : kExitDone;
  }
  u32 width = DecimalDigits(c.recordings.size());
  if (o.json) std::fputs(c.recordings.empty() ? "[" : "[\n", stdout);
  for (const Recording& r : c.recordings) {
    if (!o.json) {
      std::printf("%*u  %s  %uMo\n", int(width), r.number, r.decoded, r.entry.sizeMiB);
      continue;
    }
    std::fputs("  ", stdout);
    WriteJsonRecording(stdout, r.number, r.entry.name, r.entry.firstCluster, r.entry.sizeMiB,
                       r.entry.text);
    std::printf(", \"clusters\": %u, \"allocated_bytes\": %llu, \"decoded_name\": ",
                r.entry.clusters, static_cast<unsigned long long>(AllocatedBytes(r)));
    WriteJsonUtf8(stdout, r.decoded);
    std::fputs(", \"source\": ", stdout);
    WriteJsonUtf8(stdout, c.source);
    if (r.unreadableKnown)
      std::printf(", \"unreadable_bytes\": %llu", static_cast<unsigned long long>(r.unreadableBytes));
    if (r.damage[0]) {
      std::fputs(", \"damaged\": ", stdout);
      WriteJsonString(stdout, r.damage);
    }
    std::printf(", \"slot\": %u", r.entry.entry);
    std::fputs(&r == &c.recordings.back() ? "}\n" : "},\n", stdout);
  }
  if (o.json) std::fputs("]\n", stdout);
  return c.scanFailed ? kExitFailed : kExitDone;
}

int CheckDiskCommand(const Options& o, const Catalog& c) {
  return CheckCommand(o.json, o.charset, c.source, stdout);
}

int InfoCommand(const Options& o, const Catalog& c) {
  if (!o.json) {
    char text[kInfoTextSize];
    FormatInfoText(u32(c.recordings.size()), text, sizeof text);
    std::fputs(text, stdout);
    return c.scanFailed ? kExitFailed : kExitDone;
  }
  u32 clusterBytes = g_disk.sectorsPerCluster * kSectorSize;
  std::printf("{\"hard_disk\": %u, \"partition\": %u, \"sectors_per_cluster\": %u, "
              "\"cluster_count\": %u, \"table_start\": %u, \"table_interleave\": %u, "
              "\"table_size\": %u, \"directory_start\": %u, \"directory_interleave\": %u, "
              "\"directory_size\": %u, \"data_start\": %u, \"byte_order\": \"%s\", "
              "\"cluster_bytes\": %u, \"usable_cluster_bytes\": %u, \"partition_gib\": %.2f, "
              "\"recordings\": %u, \"source\": ",
              g_disk.diskNumber, g_disk.partitionIndex + 1, g_disk.sectorsPerCluster,
              g_disk.clusterCount, g_disk.tableStart, g_disk.tableInterleave, g_disk.tableSize,
              g_disk.directoryStart, g_disk.directoryInterleave, g_disk.directorySize,
              g_disk.dataStart, ByteOrderName(), clusterBytes, g_disk.usableClusterBytes,
              PartitionGiB(), u32(c.recordings.size()));
  WriteJsonUtf8(stdout, c.source);
  std::fputs("}\n", stdout);
  return c.scanFailed ? kExitFailed : kExitDone;
}
