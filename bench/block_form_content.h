// The recorder's block form of a stream made up on the fly: each
// 131072-byte block holds 129344 stream bytes and 1728 filler bytes, so any
// piece can be produced on its own. For the benchmark disks.
#ifndef MELVIR_BENCH_BLOCK_FORM_CONTENT_H
#define MELVIR_BENCH_BLOCK_FORM_CONTENT_H

#include <algorithm>
#include <cstring>

#include "testdisk.h"

// stream gives the stream bytes; stampSync puts 0x47 at every 188th, for a
// stream of pattern bytes.
inline testdisk::Content BlockFormOf(testdisk::Content stream, bool stampSync) {
  const uint32_t kBlock = testdisk::kBlockBytes, kStream = testdisk::kBlockStreamBytes;
  return [stream, stampSync, kBlock, kStream](uint64_t offset, uint8_t* out, size_t n) {
    while (n > 0) {
      uint64_t block = offset / kBlock;
      uint32_t within = uint32_t(offset % kBlock);
      size_t piece;
      if (within < kStream) {
        piece = std::min<size_t>(n, kStream - within);
        uint64_t s = block * kStream + within;
        stream(s, out, piece);
        for (uint64_t p = (s + 187) / 188 * 188; stampSync && p < s + piece; p += 188) out[p - s] = 0x47;
      } else {
        piece = std::min<size_t>(n, kBlock - within);
        std::memset(out, 0xFF, piece);
      }
      out += piece;
      offset += piece;
      n -= piece;
    }
  };
}

#endif
