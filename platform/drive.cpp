// The drive calls of platform.h, once for both systems: an injected fault,
// a drive held in memory and a drive's ddrescue map are applied here, and
// only then is the system asked (os_calls.h).
#include <cstdint>
#include <cstring>

#include "platform/drive_map.h"
#include "platform/drive_table.h"
#include "platform/fault.h"
#include "platform/memory_files.h"
#include "platform/os_calls.h"
#include "platform/platform.h"

namespace {

bool Fail(u32 code) { return NoteSystemError(code); }

// Reads at the file's position, from memory or the system.
bool ReadOn(FileHandle file, void* buffer, u32 length, u32* got) {
  if (IsMemoryHandle(file))
    return ReadMemory(file, buffer, length, got) || Fail(kOsErrors.unreadable);
  return OsRead(file, buffer, length, got);
}

typedef bool (*OsPositionalRead)(FileHandle, u64, void*, u32, u32*);

// A disk device's cache reads whole pages: one bad sector fails a read of
// any sector beside it. A failed read of a few sectors (a metadata sector)
// is read again past the cache, in the device's own units, so that a good
// sector next to a bad one reads. False where that cannot be tried.
const u32 kRereadLimit = 8192;
bool RereadPastCache(FileHandle file, u64 position, void* buffer, u32 length, u32* got) {
  if constexpr (!kOsRereadsPastCache) {
    return false;
  } else {
    if (LastSystemError() != kOsErrors.unreadable || !OsIsBlockDevice(file)) return false;
    u64 unit = OsDirectReadUnit(file);
    u64 first = position / unit * unit, end = (position + length + unit - 1) / unit * unit;
    if (unit > kRereadLimit / 2 || end - first > kRereadLimit) return false;
    alignas(4096) u8 bounce[kRereadLimit];
    u32 n = 0;
    if (!OsReadDirect(file, first, bounce, u32(end - first), &n)) return false;
    u64 skip = position - first, have = n > skip ? n - skip : 0;
    *got = u32(have < length ? have : length);
    std::memcpy(buffer, bounce + skip, *got);
    return true;
  }
}

// A positional read through the system's read (cached or direct): an injected
// fault, a position the system cannot take, a sector the map says is
// unreadable fail it first; past the end of a mapped image's file it gives
// zeros as far as the map reaches.
bool ReadAtVia(OsPositionalRead osRead, FileHandle file, u64 position, void* buffer, u32 length,
               u32* got) {
  bool fail;
  length = FaultLength(kCallRead, length, &fail);
  if (fail) return Fail(kOsErrors.injectedRead);
  if (kOsErrors.readTooFar && position > u64(INT64_MAX)) return Fail(kOsErrors.readTooFar);
  const DriveMap* map = HandleMap(file);
  // As the disk's own read of a bad sector failed.
  if (map && !MapReadable(*map, position, length))
    return Fail(MapFailure(*map, position, length, kOsErrors.unreadable));
  bool ok;
  if (IsMemoryHandle(file))
    ok = ReadMemoryAt(file, position, buffer, length, got) || Fail(kOsErrors.unreadable);
  else
    ok = osRead(file, position, buffer, length, got) ||
         (osRead == OsReadAt && RereadPastCache(file, position, buffer, length, got));
  if (ok && map) FillPastFileEnd(*map, position, buffer, length, got);
  return ok;
}

}  // namespace

void SystemErrorText(u32 code, char* out, u32 size) {
  if (code == kNotImagedError) FormatText(out, size, "%s", "not yet imaged (mapfile)");
  else OsErrorText(code, out, size);
}

bool OpenDrive(u32 number, FileHandle* out) {
  FaultMode mode;
  if (FaultHit(kCallOpenDrive, &mode)) return Fail(kOsErrors.injectedOpen);
  MemoryDrive* memory;
  FileHandle file;
  if (TabledMemoryDrive(number, &memory)) {
    if (!OpenMemoryDrive(memory, &file)) return Fail(kOsErrors.noFreeHandle);
  } else if (!OsOpenDrive(number, &file)) {
    return false;
  }
  NoteDriveOpened(number, file);
  *out = file;
  return true;
}

bool SeekFile(FileHandle file, u64 position) {
  FaultMode mode;
  if (FaultHit(kCallSeek, &mode)) return Fail(kOsErrors.injectedSeek);
  if (position > u64(INT64_MAX)) return Fail(kOsErrors.seekTooFar);
  if (IsMemoryHandle(file)) return SeekMemory(file, position) || Fail(kOsErrors.memorySeekFailed);
  return OsSeek(file, position);
}

bool ReadBytes(FileHandle file, void* buffer, u32 length, u32* got) {
  bool fail;
  length = FaultLength(kCallRead, length, &fail);
  if (fail) return Fail(kOsErrors.injectedRead);
  const DriveMap* map = HandleMap(file);
  if (!map) {
    u64 at = 0;
    bool placed = !IsMemoryHandle(file) && length <= kRereadLimit && OsTell(file, &at);
    if (ReadOn(file, buffer, length, got)) return true;
    // Read again past the cache, the position moved on as the read would.
    return placed && RereadPastCache(file, at, buffer, length, got) && OsSeek(file, at + *got);
  }
  u64 at;
  if (IsMemoryHandle(file))
    at = MemoryPosition(file);
  else if (!OsTell(file, &at))
    return false;
  if (!MapReadable(*map, at, length))  // as the disk's own read
    return Fail(MapFailure(*map, at, length, kOsErrors.unreadable));
  if (!ReadOn(file, buffer, length, got)) return false;
  u32 read = *got;
  FillPastFileEnd(*map, at, buffer, length, got);
  // Zeros past the file's end move the position on as a read of them would.
  return read == *got || SeekFile(file, at + *got);
}

bool ReadAt(FileHandle file, u64 position, void* buffer, u32 length, u32* got) {
  return ReadAtVia(OsReadAt, file, position, buffer, length, got);
}

bool DriveSize(FileHandle file, u64* size) {
  bool known = IsMemoryHandle(file) ? MemorySize(file, size) : OsSize(file, size);
  if (const DriveMap* map = HandleMap(file)) return MappedDriveSize(*map, known, size);
  return known;
}

bool CloseFile(FileHandle file) {
  FaultMode mode;
  bool fail = FaultHit(kCallClose, &mode);
  NoteHandleClosed(file);
  // The handle is released even when the close is made to fail.
  bool ok = IsMemoryHandle(file) ? CloseMemory(file) : OsClose(file);
  return ok && !fail;
}

bool IsBlockDevice(FileHandle file) { return !IsMemoryHandle(file) && OsIsBlockDevice(file); }

u32 DirectReadUnit(FileHandle file) { return IsMemoryHandle(file) ? 512 : OsDirectReadUnit(file); }

bool ReadDirect(FileHandle file, u64 position, void* buffer, u32 length, u32* got) {
  if constexpr (!kOsRereadsPastCache) {
    return SeekFile(file, position) && ReadBytes(file, buffer, length, got);
  } else {
    return ReadAtVia(OsReadDirect, file, position, buffer, length, got);
  }
}
