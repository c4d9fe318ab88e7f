// A word-swapped disk's bytes put back in order: each pair of bytes
// changes places, eight at a time or one pair at a time, an odd last byte
// left as it is.
#include <gtest/gtest.h>

#include "disk/recorder_disk.h"

TEST(SwapWordBytesTest, EveryPairSwapsAnOddLastByteStays) {
  for (u32 length : {0u, 1u, 2u, 7u, 8u, 9u, 16u, 19u}) {
    u8 bytes[24];
    for (u32 i = 0; i < sizeof bytes; ++i) bytes[i] = u8(i + 1);
    SwapWordBytes(bytes, length);
    for (u32 i = 0; i < sizeof bytes; ++i) {
      u8 want = i >= length / 2 * 2 ? u8(i + 1) : i % 2 ? u8(i) : u8(i + 2);
      EXPECT_EQ(bytes[i], want) << "length " << length << ", byte " << i;
    }
  }
}
