// The info text of the open disk.
#include "report/info_text.h"

#include <cstring>

const char* ByteOrderName() {
  if (g_disk.wordSwap) return "word-swapped";
  return g_disk.bigEndian ? "big-endian" : "little-endian";
}

double PartitionGiB() {
  u64 end = u64(g_disk.dataStart) + u64(g_disk.clusterCount) * g_disk.sectorsPerCluster;
  u64 sectors = end > g_disk.headerSector ? end - g_disk.headerSector : 0;
  return double(sectors) * kSectorSize / (1024.0 * 1024.0 * 1024.0);
}

void FormatInfoText(u32 recordings, char* text, u32 size) {
  FormatDiskInfo(text);
  for (char* p = text; *p; ++p)
    if (*p == '\r') *p = '\n';
  u32 used = u32(std::strlen(text));
  FormatText(text + used, size - used,
             "\nByte order: %s\nCluster bytes: %u\nPartition spans: %.2f GiB\nRecordings: %u\n",
             ByteOrderName(), g_disk.sectorsPerCluster * kSectorSize, PartitionGiB(), recordings);
}
