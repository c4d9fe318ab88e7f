// Reads through a mapfile: which sectors a mapped drive delivers, and which
// drives and open handles are mapped.
#include <algorithm>
#include <cstring>

#include "platform/drive_map.h"
#include "platform/drive_table.h"

namespace {

const u64 kSector = 512;

// The first run that ends after position (runs are sorted and disjoint, so
// their ends are sorted too).
std::vector<ByteRun>::const_iterator FirstEndingAfter(const DriveMap& map, u64 position) {
  return std::upper_bound(map.readable.begin(), map.readable.end(), position,
                          [](u64 p, const ByteRun& r) { return p < r.end; });
}

const u32 kMapSlots = 32;
struct MappedDrive {
  u32 drive;
  const DriveMap* map;
};
struct MappedHandle {
  FileHandle handle;
  const DriveMap* map;
};
MappedDrive g_drives[kMapSlots];
u32 g_driveCount = 0;
MappedHandle g_handles[kMapSlots];
u32 g_handleCount = 0;

}  // namespace

bool MapReadable(const DriveMap& map, u64 position, u64 length) {
  if (length == 0) return true;
  u64 last = position + (length - 1);  // the last byte touched
  if (last < position) return false;   // wraps: no such bytes
  u64 from = position / kSector * kSector;
  u64 to = last / kSector * kSector + kSector;
  if (to < from) return false;
  // Runs are maximal, so the touched sectors must all lie in one.
  auto run = FirstEndingAfter(map, from);
  return run != map.readable.end() && run->begin <= from && run->end >= to;
}

u32 MapFailure(const DriveMap& map, u64 position, u64 length, u32 unreadable) {
  // The sectors it touches.
  u64 from = position / kSector * kSector, to = (position + length + kSector - 1) / kSector * kSector;
  auto run = std::upper_bound(map.bad.begin(), map.bad.end(), from,
                              [](u64 p, const ByteRun& r) { return p < r.end; });
  return run != map.bad.end() && run->begin < to ? unreadable : kNotImagedError;
}

void FillPastFileEnd(const DriveMap& map, u64 position, void* buffer, u32 length, u32* got) {
  if (*got >= length || position + *got >= map.extent) return;
  u64 end = std::min(position + length, map.extent);
  std::memset(static_cast<u8*>(buffer) + *got, 0, size_t(end - position - *got));
  *got = u32(end - position);
}

bool MappedDriveSize(const DriveMap& map, bool known, u64* size) {
  if (!known) *size = 0;
  if (map.extent > *size) *size = map.extent;
  return known || map.extent > 0;
}

void MapUnreadableRuns(const DriveMap& map, u64 position, u64 length, ByteRunSink sink,
                       void* context) {
  u64 end = position + length < position ? ~0ull : position + length;
  u64 at = position;  // where the bytes not yet given start
  for (auto run = FirstEndingAfter(map, position); run != map.readable.end() && run->begin < end;
       ++run) {
    // Only the whole sectors of a run can be read.
    u64 from = (run->begin + kSector - 1) / kSector * kSector;
    u64 to = run->end / kSector * kSector;
    from = std::max(from, position);
    to = std::min(to, end);
    if (to <= from) continue;
    if (from > at) sink(context, ByteRun{at, from});
    at = to;
  }
  if (at < end) sink(context, ByteRun{at, end});
}

u64 MapUnreadableBytes(const DriveMap& map, u64 position, u64 length) {
  u64 bytes = 0;
  MapUnreadableRuns(map, position, length,
                    [](void* sum, const ByteRun& r) { *static_cast<u64*>(sum) += r.end - r.begin; },
                    &bytes);
  return bytes;
}

bool SetDriveMap(u32 drive, const DriveMap* map) {
  for (u32 i = 0; i < g_driveCount; ++i) {
    if (g_drives[i].drive != drive) continue;
    if (map) {
      g_drives[i].map = map;
    } else {
      g_drives[i] = g_drives[--g_driveCount];
    }
    return true;
  }
  if (!map) return true;
  if (g_driveCount == kMapSlots) return false;
  g_drives[g_driveCount++] = {drive, map};
  return true;
}

void NoteDriveOpened(u32 number, FileHandle handle) {
  for (u32 i = 0; i < g_driveCount; ++i) {
    if (g_drives[i].drive != number) continue;
    // More open mapped handles than slots cannot happen: every open drive
    // but the recorder disk is closed after its probe.
    if (g_handleCount < kMapSlots) g_handles[g_handleCount++] = {handle, g_drives[i].map};
    return;
  }
}

void NoteHandleClosed(FileHandle handle) {
  for (u32 i = 0; i < g_handleCount; ++i)
    if (g_handles[i].handle == handle) {
      g_handles[i] = g_handles[--g_handleCount];
      return;
    }
}

const DriveMap* HandleMap(FileHandle handle) {
  for (u32 i = 0; i < g_handleCount; ++i)
    if (g_handles[i].handle == handle) return g_handles[i].map;
  return nullptr;
}
