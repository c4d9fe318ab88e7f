// libFuzzer target: the mapfile parser, on any bytes.
//
// Input: the image size (8 bytes, little-endian), then the mapfile text.
// A refused file must name a line of the text and a reason that fits its
// buffer. An accepted map must be what readers rely on: runs not empty,
// sorted, apart (adjacent blocks merged), within ddrescue's positions; and
// the two questions asked of it must agree with each other and with the
// runs, at the runs' edges and at positions taken from the input.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz/compact_input.h"
#include "platform/drive_map.h"

namespace {

const u64 kSector = 512;
const u64 kLargest = 0x7FFFFFFFFFFFFFFFull;

DriveMap g_map;

void Fail(const char* what) {
  std::fprintf(stderr, "mapfile_fuzzer: %s\n", what);
  std::abort();
}

// One range asked both ways: the unreadable bytes are bounded by its length,
// add up over a split, and are none exactly when it reads.
void CheckRange(u64 position, u64 length) {
  if (position > kLargest || length > kLargest - position) return;
  u64 bad = MapUnreadableBytes(g_map, position, length);
  if (bad > length) Fail("more unreadable bytes than asked for");
  if (length && MapReadable(g_map, position, length) != (bad == 0))
    Fail("MapReadable and MapUnreadableBytes disagree");
  u64 half = length / 2;
  if (MapUnreadableBytes(g_map, position, half) + MapUnreadableBytes(g_map, position + half, length - half) != bad)
    Fail("unreadable bytes do not add up over a split range");
}

bool Readable(u64 sector) { return MapUnreadableBytes(g_map, sector * kSector, kSector) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
  u64 imageSize = Little(data, u32(size < 8 ? size : 8));
  const char* text = reinterpret_cast<const char*>(data) + (size < 8 ? size : 8);
  size_t length = size < 8 ? 0 : size - 8;

  g_map.readable.clear();
  u32 line = 0xFFFFFFFFu;
  char reason[96];
  std::memset(reason, 'x', sizeof reason);
  if (!ParseMapfile(text, length, imageSize, &g_map, &line, reason, sizeof reason)) {
    if (!std::memchr(reason, 0, sizeof reason)) Fail("a refusal's reason overflows its buffer");
    if (!reason[0]) Fail("a refusal gives no reason");
    u32 lines = 1;
    for (size_t i = 0; i < length; ++i) lines += text[i] == '\n';
    if (line > lines) Fail("a refusal names a line past the text");
    return 0;
  }

  const std::vector<ByteRun>& runs = g_map.readable;
  for (size_t i = 0; i < runs.size(); ++i) {
    if (runs[i].begin >= runs[i].end) Fail("an empty or reversed run");
    if (runs[i].end - 1 > kLargest) Fail("a run past the largest position");
    if (i && runs[i - 1].end >= runs[i].begin) Fail("runs not sorted, apart and merged");
  }
  // At each run's edges: whole sectors inside read, the sector holding an
  // edge that is not on a sector boundary does not (runs are apart), nor
  // does the sector just past an aligned end.
  for (size_t i = 0; i < runs.size() && i < 64; ++i) {
    u64 b = runs[i].begin, e = runs[i].end;
    u64 firstWhole = (b + kSector - 1) / kSector, endWhole = e / kSector;
    if (firstWhole < endWhole) {
      if (!Readable(firstWhole) || !Readable(endWhole - 1)) Fail("a whole sector of a run does not read");
      CheckRange(firstWhole * kSector, (endWhole - firstWhole) * kSector);
    }
    if (b % kSector && Readable(b / kSector)) Fail("a sector a run only starts in reads");
    if (e % kSector && Readable(e / kSector)) Fail("a sector a run only ends in reads");
    if (e % kSector == 0 && e / kSector < (kLargest >> 9) && Readable(e / kSector))
      Fail("the sector past a run reads");
    CheckRange(b, e - b);
    CheckRange(b ? b - 1 : 0, e - b + 2);
  }
  // And at positions the input chose (its last 32 bytes as four numbers).
  if (size >= 40) {
    const u8* tail = data + size - 32;
    for (u32 k = 0; k < 4; k += 2) {
      u64 position = Little(tail + 8 * k, 8) & kLargest;
      u64 span = Little(tail + 8 * (k + 1), 8) & 0xFFFFFFFFull;
      CheckRange(position, span);
      CheckRange(position & ~(kSector - 1), kSector);
    }
  }
  CheckRange(0, imageSize & kLargest);
  return 0;
}
