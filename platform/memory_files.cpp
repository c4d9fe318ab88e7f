// Drives and files held in memory.
#include "platform/memory_files.h"

#include <atomic>
#include <cstring>

namespace {

// A few handles suffice: one drive, the trace log and one output at a time.
const u32 kSlots = 8;
const std::intptr_t kFirstHandle = -0x10000;  // then -0x10001, ... downwards
const u32 kSectorBytes = 512;
const std::uintptr_t kPageBytes = 4096;

struct Slot {
  std::atomic<bool> used;
  MemoryDrive* drive;  // null: a sink
  FileSink* sink;
  u64 position;
};
Slot g_slots[kSlots] = {};
FileSink* g_outputSink = nullptr;
FileSink* g_logSink = nullptr;

Slot* SlotOf(FileHandle file) {
  std::intptr_t i = kFirstHandle - file;
  if (i < 0 || i >= std::intptr_t(kSlots) || !g_slots[i].used.load()) return nullptr;
  return &g_slots[i];
}

bool Claim(MemoryDrive* drive, FileSink* sink, FileHandle* out) {
  for (u32 i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (!g_slots[i].used.compare_exchange_strong(expected, true)) continue;
    g_slots[i].drive = drive;
    g_slots[i].sink = sink;
    g_slots[i].position = 0;
    *out = kFirstHandle - std::intptr_t(i);
    return true;
  }
  return false;
}

// Multiply-xor, sector by sector: each whole sector of a write in four
// lanes of 8-byte words (host order), folded into the running hash; then
// the write's remaining words and bytes in turn. Fast enough to hash every
// byte of every extraction and trace line, and for writes of whole sectors
// (all the output writer makes) the hash depends on the bytes alone, not on
// how they were cut.
const u64 kHashStart = 0xCBF29CE484222325ull;
const u64 kHashPrime = 0x100000001B3ull;

void Hash(FileSink* s, const u8* p, u32 n) {
  if (s->bytes == 0) s->hash = kHashStart;
  s->bytes += n;
  u64 h = s->hash;
  for (; n >= kSectorBytes; p += kSectorBytes, n -= kSectorBytes) {
    u64 lane[4] = {h, h + 1, h + 2, h + 3};
    for (u32 at = 0; at < kSectorBytes; at += 32) {
      u64 w[4];
      std::memcpy(w, p + at, 32);
      for (u32 i = 0; i < 4; ++i) lane[i] = (lane[i] ^ w[i]) * kHashPrime;
    }
    h = ((lane[0] ^ (lane[1] << 1) ^ (lane[2] << 2) ^ (lane[3] << 3)) ^ h) * kHashPrime;
  }
  for (; n >= 8; p += 8, n -= 8) {
    u64 w;
    std::memcpy(&w, p, 8);
    h = (h ^ w) * kHashPrime;
  }
  for (; n; ++p, --n) h = (h ^ *p) * kHashPrime;
  s->hash = h;
}

}  // namespace

void SetFileSinks(FileSink* output, FileSink* log) {
  g_outputSink = output;
  g_logSink = log;
}

u32 OpenMemoryFiles() {
  u32 n = 0;
  for (const Slot& s : g_slots) n += s.used.load() ? 1 : 0;
  return n;
}

bool IsMemoryHandle(FileHandle file) {
  return file <= kFirstHandle && file > kFirstHandle - std::intptr_t(kSlots);
}

bool OpenMemoryDrive(MemoryDrive* drive, FileHandle* out) { return Claim(drive, nullptr, out); }

bool OutputSinkSet() { return g_outputSink != nullptr; }
bool LogSinkSet() { return g_logSink != nullptr; }

bool CreateSinkFile(bool log, FileHandle* out) {
  FileSink* sink = log ? g_logSink : g_outputSink;
  if (!sink || !Claim(nullptr, sink, out)) return false;
  ++sink->creates;
  return true;
}

bool SeekMemory(FileHandle file, u64 position) {
  Slot* s = SlotOf(file);
  if (!s || position > u64(INT64_MAX)) return false;
  s->position = position;
  return true;
}

u64 MemoryPosition(FileHandle file) {
  Slot* s = SlotOf(file);
  return s ? s->position : 0;
}

bool ReadMemory(FileHandle file, void* buffer, u32 length, u32* got) {
  Slot* s = SlotOf(file);
  if (!s || !s->drive) return false;
  MemoryDrive& d = *s->drive;
  if (d.readLimit && d.reads >= d.readLimit) return false;
  ++d.reads;
  u64 from = s->position;
  u64 n = from < d.size ? d.size - from : 0;
  if (n > length) n = length;
  u8* out = static_cast<u8*>(buffer);
  std::memset(out, 0, size_t(n));
  for (u32 i = 0; i < d.extentCount; ++i) {
    const MemoryExtent& e = d.extents[i];
    u64 lo = e.position > from ? e.position : from;
    u64 hi = e.position + e.length < from + n ? e.position + e.length : from + n;
    if (lo < hi) std::memcpy(out + (lo - from), e.bytes + (lo - e.position), size_t(hi - lo));
  }
  s->position = from + n;
  *got = u32(n);
  return true;
}

bool ReadMemoryAt(FileHandle file, u64 position, void* buffer, u32 length, u32* got) {
  Slot* s = SlotOf(file);
  if (!s || position > u64(INT64_MAX)) return false;
  u64 kept = s->position;
  s->position = position;
  bool ok = ReadMemory(file, buffer, length, got);
  s->position = kept;
  return ok;
}

bool WriteMemory(FileHandle file, const void* buffer, u32 length, u32* written) {
  Slot* s = SlotOf(file);
  if (!s) return false;
  if (s->drive) {
    ++s->drive->writeAttempts;  // a drive is only ever read
    return false;
  }
  FileSink* sink = s->sink;
  ++sink->writes;
  if (length % kSectorBytes != 0 || reinterpret_cast<std::uintptr_t>(buffer) % kPageBytes != 0)
    ++sink->unalignedWrites;
  Hash(sink, static_cast<const u8*>(buffer), length);
  *written = length;
  return true;
}

bool MemorySize(FileHandle file, u64* size) {
  Slot* s = SlotOf(file);
  if (!s || !s->drive) return false;
  *size = s->drive->size;
  return true;
}

bool CloseMemory(FileHandle file) {
  Slot* s = SlotOf(file);
  if (!s) return false;
  if (!s->drive) ++s->sink->closes;
  s->used.store(false);
  return true;
}
