// The directory: one recording at a time, with its size and list text.
#include "disk/layout.h"
#include "disk/recorder_disk.h"

namespace {


// Non-printable bytes become "." so the name is safe to show and to log.
void SanitiseName(const u8* raw, u32 length, char* name) {
  u32 i = 0;
  for (; i < length && i < kDirNameSize && raw[i] != 0; ++i)
    name[i] = (raw[i] >= 0x20 && raw[i] <= 0x7E) ? static_cast<char>(raw[i]) : '.';
  name[i] = 0;
}

// The list text "%s  %uMo": whole KiB per cluster, rounded to MiB.
void FormatListText(const char* name, u32 clusters, char* text, u32* sizeMiB) {
  *sizeMiB = ((g_disk.usableClusterBytes / 1024) * clusters + 511) / 1024;
  FormatText(text, kEntryTextSize, "%s  %uMo", name, *sizeMiB);
}

// Counts the clusters of the chain starting at first.
bool CountChain(u32 first, u32* count) {
  u64 n = 0;
  u32 mark = first;
  for (u32 c = first; c != kEndOfChain;) {
    if (ChainTooLong(n + 1)) return false;
    if (!GetNextCluster(&c)) return false;
    if (MeetsCycleMark(++n, c, &mark)) return false;
  }
  *count = static_cast<u32>(n);
  return true;
}

}  // namespace

bool ResetDirectory() {
  g_disk.directoryCursor = 0;
  return true;
}

bool GetNextEntry(char* text, u32* start, u32* sizeMiB) {
  char name[kDirNameSize + 1];
  char line[160];
  u32 first;
  for (;;) {
    u32 s = g_disk.directoryCursor / kDirEntriesPerSector;
    if (s >= g_disk.directorySize) {
      *start = 0;
      return true;
    }
    u32 e = g_disk.directoryCursor++;
    if (!ReadDirectorySector(s)) return false;
    const u8* entry = g_disk.sector + (e % kDirEntriesPerSector) * kDirEntrySize;
    SanitiseName(entry, kDirNameSize, name);
    u16 type = Field16(entry + kDirType);
    if (type == kRecordingType) {
      first = Field32(entry + kDirFirstCluster);
      if (first <= g_disk.clusterCount) break;
    }
    if (g_disk.trace && type != 0) {
      u32 n = FormatText(line, sizeof line, "GetNextEntry skips: (%04X) %s\r\n", type, name);
      WriteTrace(line, n);
    }
  }
  *start = first;
  u32 clusters;
  if (!CountChain(first, &clusters)) return false;
  FormatListText(name, clusters, text, sizeMiB);
  if (g_disk.trace) {
    u32 n = FormatText(line, sizeof line, "GetNextEntry returns: %s (start=%08X)\r\n", text, first);
    WriteTrace(line, n);
  }
  return true;
}

void FormatEntryText(const DirEntry& entry, u32 clusters, char* text, u32* sizeMiB) {
  char name[kDirNameSize + 1];
  SanitiseName(entry.name, entry.nameLength, name);
  FormatListText(name, clusters, text, sizeMiB);
}
