// The directory: one recording at a time, with its size and list text.
#include <cstring>

#include "disk/entries.h"
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

}  // namespace

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

bool ResetDirectory() {
  g_disk.directoryCursor = 0;
  return true;
}

bool GetNextRecording(RecordingEntry* r) {
  char line[160];
  for (;;) {
    u32 s = g_disk.directoryCursor / kDirEntriesPerSector;
    if (s >= g_disk.directorySize) {
      r->firstCluster = 0;
      return true;
    }
    u32 e = g_disk.directoryCursor++;
    if (!ReadDirectorySector(s)) return false;
    DirEntry d;
    DecodeDirEntry(g_disk.sector + (e % kDirEntriesPerSector) * kDirEntrySize, &d);
    SanitiseName(d.name, d.nameLength, r->name);
    r->entry = e;
    std::memcpy(r->raw, d.name, d.nameLength);
    r->rawLength = d.nameLength;
    if (d.type == kRecordingType && d.firstCluster <= g_disk.clusterCount) {
      r->firstCluster = d.firstCluster;
      break;
    }
    if (g_disk.trace && d.type != 0) {
      u32 n = FormatText(line, sizeof line, "GetNextEntry skips: (%04X) %s\r\n", d.type, r->name);
      WriteTrace(line, n);
    }
  }
  if (!CountChain(r->firstCluster, &r->clusters)) return false;
  r->sizeMiB = ListSizeMiB(r->clusters);
  FormatText(r->text, kEntryTextSize, "%s  %uMo", r->name, r->sizeMiB);
  if (g_disk.trace) {
    u32 n = FormatText(line, sizeof line, "GetNextEntry returns: %s (start=%08X)\r\n", r->text,
                       r->firstCluster);
    WriteTrace(line, n);
  }
  return true;
}

bool GetNextEntry(char* text, u32* start, u32* sizeMiB) {
  RecordingEntry r;
  r.firstCluster = *start;  // left as it was by a failure before an entry is taken
  bool ok = GetNextRecording(&r);
  *start = r.firstCluster;
  if (!ok || r.firstCluster == 0) return ok;
  *sizeMiB = r.sizeMiB;
  FormatText(text, kEntryTextSize, "%s", r.text);
  return true;
}

void FormatEntryName(const DirEntry& entry, char* name) {
  SanitiseName(entry.name, entry.nameLength, name);
}

void FormatEntryText(const DirEntry& entry, u32 clusters, char* text, u32* sizeMiB) {
  char name[kDirNameSize + 1];
  SanitiseName(entry.name, entry.nameLength, name);
  *sizeMiB = ListSizeMiB(clusters);
  FormatText(text, kEntryTextSize, "%s  %uMo", name, *sizeMiB);
}
