#include "fuzz/bad_sectors.h"

#include <algorithm>

#include "fuzz/compact_input.h"
#include "disk/recorder_disk.h"

u32 BadRuns(const u8* data, size_t size) {
  if (size == 0) return 0;
  u32 n = std::min<u32>(data[size - 1], kMaxBadRuns);
  return std::min<u32>(n, u32((size - 1) / kBadRecordBytes));
}

void MapAroundBadRuns(const u8* end, u32 n, u64 diskSize, DriveMap* map) {
  map->readable.clear();
  ByteRun bad[kMaxBadRuns];
  const u8* at = end - 1 - n * kBadRecordBytes;
  for (u32 i = 0; i < n; ++i, at += kBadRecordBytes) {
    u64 first = Little(at, 4);
    bad[i] = {first * kSectorSize, (first + Little(at + 4, 2) % 64 + 1) * kSectorSize};
  }
  std::sort(bad, bad + n, [](const ByteRun& a, const ByteRun& b) { return a.begin < b.begin; });
  u64 from = 0;
  for (u32 i = 0; i < n; ++i) {
    if (bad[i].begin > from) map->readable.push_back({from, std::min(bad[i].begin, diskSize)});
    from = std::max(from, bad[i].end);
    if (from >= diskSize) break;
  }
  if (from < diskSize) map->readable.push_back({from, diskSize});
  // Empty runs where a bad sector lies past the disk.
  map->readable.erase(std::remove_if(map->readable.begin(), map->readable.end(),
                                     [](const ByteRun& r) { return r.begin >= r.end; }),
                      map->readable.end());
}
