// Both copies of the allocation table and the directory, each read once in
// sector order in large runs, compared sector by sector.
#include <cstring>

#include "check/check_state.h"
#include "disk/layout.h"

namespace {

const u32 kTableFieldBytes = kTableEntriesPerSector * 4;
const u32 kDirectoryFieldBytes = kDirEntriesPerSector * kDirEntrySize;

bool ReadRun(u64 sector, u32 count, u8* out) {
  u32 length = count * kSectorSize, got = 0;
  return SeekFile(g_disk.device, sector * kSectorSize) &&
         ReadBytes(g_disk.device, out, length, &got) && got == length;
}

void LoadWindow(CopyWindow* w, u64 diskSectors, u64 sector) {
  u64 left = diskSectors - sector;
  w->first = sector;
  w->count = left < w->capacity ? static_cast<u32>(left) : w->capacity;
  if (ReadRun(sector, w->count, w->data)) {
    std::memset(w->readable, 1, w->count);
  } else if (w->count == 1) {
    w->readable[0] = 0;
  } else {
    for (u32 i = 0; i < w->count; ++i)
      w->readable[i] = ReadRun(sector + i, 1, w->data + i * kSectorSize);
  }
  if (g_disk.wordSwap) SwapWordBytes(w->data, w->count * kSectorSize);
}

void Note(CopyFindings* f, CopyFinding kind, u32 s) {
  if (!f) return;
  if (f->count[kind] < kFirstFew) f->first[kind][f->count[kind]] = s;
  ++f->count[kind];
}

// Sector s of both copies: what they show, and the copy to use (copy 1's
// where it reads, as the recording list does).
const u8* CompareCopies(CheckState& state, CopyFindings* f, u32 start, u32 k, u32 s,
                        u32 fieldBytes, bool* fromCopy2) {
  const u8* one = nullptr;
  const u8* two = nullptr;
  bool ok1 = CopySectorData(state, 1, WideCopySector(start, k, s, 1), &one);
  bool ok2 = CopySectorData(state, 2, WideCopySector(start, k, s, 2), &two);
  if (!ok1 && !ok2)
    Note(f, kBothUnreadable, s);
  else if (!ok1)
    Note(f, kCopy1Unreadable, s);
  else if (!ok2)
    Note(f, kCopy2Unreadable, s);
  else if (std::memcmp(one, two, fieldBytes) != 0)
    Note(f, kCopiesDiffer, s);
  *fromCopy2 = !ok1 && ok2;
  return ok1 ? one : two;
}

}  // namespace

bool CopySectorData(CheckState& state, u32 copy, u64 sector, const u8** data) {
  CopyWindow& w = state.window[copy - 1];
  if (sector >= state.diskSectors) return false;
  if (w.count == 0 || sector < w.first || sector >= w.first + w.count)
    LoadWindow(&w, state.diskSectors, sector);
  u32 i = static_cast<u32>(sector - w.first);
  if (!w.readable[i]) return false;
  *data = w.data + i * kSectorSize;
  return true;
}

void ReadTableCopies(CheckState& state) {
  CopyFindings* f = &state.report->table;
  u32 held = state.held;
  u32 sectors = held ? (held - 1) / kTableEntriesPerSector + 1 : 0;
  f->notRead = g_disk.tableSize - sectors;
  if (g_disk.tableInterleave == 0) {
    // The recording list cannot read such a table either: every step fails.
    f->notRead = g_disk.tableSize;
    for (u32 s = 0; s < sectors; ++s) SetBit(state.tableBad, s);
    return;
  }
  f->sectors = sectors;
  for (u32 s = 0; s < sectors; ++s) {
    bool fromCopy2;
    const u8* data = CompareCopies(state, f, g_disk.tableStart, g_disk.tableInterleave, s,
                                   kTableFieldBytes, &fromCopy2);
    if (!data) {
      SetBit(state.tableBad, s);
      continue;
    }
    u32 base = s * kTableEntriesPerSector;
    u32 n = held - base < kTableEntriesPerSector ? held - base : kTableEntriesPerSector;
    for (u32 j = 0; j < n; ++j) state.successor[base + j] = Field32(data + 4 * j);
  }
}

void ReadDirectoryCopies(CheckState& state, CopyFindings* f, DirectorySectorUse use) {
  if (g_disk.directoryInterleave == 0) {
    if (f) f->notRead = g_disk.directorySize;
    return;
  }
  u32 n = g_disk.directorySize < kCheckDirectoryLimit ? g_disk.directorySize : kCheckDirectoryLimit;
  if (f) {
    f->sectors = n;
    state.report->directorySectorsSkipped = g_disk.directorySize - n;
  }
  for (u32 s = 0; s < n; ++s) {
    bool fromCopy2;
    const u8* data = CompareCopies(state, f, g_disk.directoryStart, g_disk.directoryInterleave, s,
                                   kDirectoryFieldBytes, &fromCopy2);
    if (data)
      use(state, s, data, fromCopy2);
    else if (f)
      state.report->unreadableEntries += kDirEntriesPerSector;
  }
}
