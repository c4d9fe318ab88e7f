// Volume headers by content: the partition name at the start of a sector
// and the signature at its end, as the drive gives them or word-swapped.
#include "check/header_scan.h"

#include <cstring>
#include <vector>

#include "check/check_state.h"

namespace {

const char kName[] = "HDD1_AV1";
const char kSwappedName[] = "DH1DA_1V";  // the same bytes, each pair exchanged
const u32 kScanSectors = 2048;           // 1 MiB a read

// The bytes of a sector that may be a header in some order.
bool LooksLikeHeader(const u8* s) {
  bool straight = std::memcmp(s, kName, 8) == 0 && s[8] == 0;
  bool swapped = std::memcmp(s, kSwappedName, 8) == 0 && s[9] == 0;
  bool signature = (s[510] == 0xAA && s[511] == 0x55) || (s[510] == 0x55 && s[511] == 0xAA);
  return (straight || swapped) && signature;
}

}  // namespace

bool TakeHeaderAt(u32 sector) {
  static const bool kOrders[4][2] = {{false, true}, {false, false}, {true, true}, {true, false}};
  for (const bool* order : kOrders) {
    g_disk.wordSwap = order[0];
    g_disk.bigEndian = order[1];
    g_disk.cachedSector = kNoSector;
    if (LoadVolumeHeader(sector)) return true;
  }
  return false;
}

namespace {

void Consider(u32 sector, const u8* data, HeaderSink sink, void* context) {
  if (!LooksLikeHeader(data)) return;
  HeaderCandidate c = {};
  c.sector = sector;
  if (!TakeHeaderAt(sector)) return;
  c.wordSwap = g_disk.wordSwap;
  c.bigEndian = g_disk.bigEndian;
  CheckGeometryOf(&c.geometry);
  sink(context, c);
}

}  // namespace

void ScanForHeaders(u32 count, HeaderSink sink, void* context, u32* scanned, u32* unreadable) {
  std::vector<u8> buffer(size_t(kScanSectors) * kSectorSize);
  *scanned = *unreadable = 0;
  while (*scanned < count) {
    u32 n = count - *scanned < kScanSectors ? count - *scanned : kScanSectors;
    u32 got = 0, whole;
    if (ReadAt(g_disk.device, u64(*scanned) * kSectorSize, buffer.data(), n * kSectorSize, &got)) {
      whole = got / kSectorSize;
    } else {
      // A run that does not read is read sector by sector: one bad sector
      // hides no header.
      for (whole = 0; whole < n; ++whole) {
        u8* at = &buffer[size_t(whole) * kSectorSize];
        if (ReadAt(g_disk.device, u64(*scanned + whole) * kSectorSize, at, kSectorSize, &got)) {
          if (got < kSectorSize) break;
        } else {
          std::memset(at, 0, kSectorSize);
          ++*unreadable;
        }
      }
    }
    for (u32 i = 0; i < whole; ++i)
      Consider(*scanned + i, &buffer[size_t(i) * kSectorSize], sink, context);
    *scanned += whole;
    if (whole < n) return;
  }
}
