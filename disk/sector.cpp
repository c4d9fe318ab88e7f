// The recorder disk record, its byte order and the one-sector reader.
#include <cstring>

#include "disk/recorder_disk.h"

namespace {
RecorderDisk InitialDisk() {
  RecorderDisk d = {};
  d.device = kNoFile;
  d.traceLog = kNoFile;
  d.cachedSector = kNoSector;
  return d;
}

char TextByte(u8 b) { return (b >= 0x20 && b <= 0x7E) ? static_cast<char>(b) : '.'; }

void DumpSector(u32 number) {
  char line[128];
  u32 n = FormatText(line, sizeof line, "Hard disk #%u sector %u\r\n", g_disk.diskNumber, number);
  WriteTrace(line, n);
  for (u32 offset = 0; offset < kSectorSize; offset += 16) {
    const u8* b = g_disk.sector + offset;
    char text[17];
    for (u32 i = 0; i < 16; ++i) text[i] = TextByte(b[i]);
    text[16] = 0;
    n = FormatText(line, sizeof line,
                   "%03X  %02X %02X %02X %02X %02X %02X %02X %02X-"
                   "%02X %02X %02X %02X %02X %02X %02X %02X %s\r\n",
                   offset, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10],
                   b[11], b[12], b[13], b[14], b[15], text);
    WriteTrace(line, n);
  }
  WriteTrace("\r\n", 2);
}
}  // namespace

RecorderDisk g_disk = InitialDisk();

void ResetDiskRecord() {
  CloseDisk();
  g_disk = InitialDisk();
  SetMetadataReader(nullptr);
}

u32 SwapLong(u32 raw) {
  if (!g_disk.bigEndian) return raw;
  return (raw >> 24) | ((raw >> 8) & 0xFF00u) | ((raw << 8) & 0xFF0000u) | (raw << 24);
}

u16 SwapShort(u16 raw) {
  if (!g_disk.bigEndian) return raw;
  return static_cast<u16>((raw >> 8) | (raw << 8));
}

void SwapWordBytes(void* data, u32 length) {
  u8* p = static_cast<u8*>(data);
  u32 i = 0;
  // Four words at a time: every byte of a swapped disk's recordings passes
  // here. The same in either byte order of the machine.
  const u64 kLow = 0x00FF00FF00FF00FFull;
  for (; i + 8 <= length; i += 8) {
    u64 v;
    std::memcpy(&v, p + i, 8);
    v = (v >> 8 & kLow) | (v & kLow) << 8;
    std::memcpy(p + i, &v, 8);
  }
  for (; i + 1 < length; i += 2) {
    u8 t = p[i];
    p[i] = p[i + 1];
    p[i + 1] = t;
  }
}

void WriteTrace(const char* line, u32 length) {
  u32 written;
  (void)WriteBytes(g_disk.traceLog, line, length, &written);
}

bool ReadSector(u32 number) {
  // kNoSector also names the last sector a 32-bit number reaches: that one
  // is never taken for cached, or a read of it would return a stale buffer.
  if (number == g_disk.cachedSector && number != kNoSector) return true;
  g_disk.cachedSector = kNoSector;
  u32 got = 0;
  if (!SeekFile(g_disk.device, u64(number) * kSectorSize)) return false;
  if (!ReadBytes(g_disk.device, g_disk.sector, kSectorSize, &got) || got != kSectorSize)
    return false;
  g_disk.cachedSector = number;
  if (g_disk.wordSwap) SwapWordBytes(g_disk.sector, kSectorSize);
  if (g_disk.trace) DumpSector(number);
  return true;
}
