// probe_disk IMAGE STREAM COUNT MiB: writes a disk of COUNT recordings of at
// least MiB each, in the recorder's block form, whose stream is the
// transport stream file STREAM played over and over (made on the fly, so
// no recording is ever held in memory), for timing and measuring `melvir
// probe`.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/block_form_content.h"
#include "testdisk.h"

namespace {


const uint32_t kBlock = testdisk::kBlockBytes, kStream = testdisk::kBlockStreamBytes;

// The stream file's bytes, played over and over.
testdisk::Content Looped(std::shared_ptr<const std::vector<uint8_t>> ts) {
  return [ts](uint64_t offset, uint8_t* out, size_t n) {
    while (n > 0) {
      uint64_t s = offset % ts->size();
      size_t piece = std::min<size_t>(n, size_t(ts->size() - s));
      std::memcpy(out, ts->data() + s, piece);
      out += piece;
      offset += piece;
      n -= piece;
    }
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: probe_disk IMAGE STREAM COUNT MiB\n");
    return 2;
  }
  std::ifstream in(argv[2], std::ios::binary);
  auto ts = std::make_shared<std::vector<uint8_t>>(std::istreambuf_iterator<char>(in),
                                                   std::istreambuf_iterator<char>());
  ts->resize(ts->size() / 188 * 188);
  if (ts->empty()) {
    std::fprintf(stderr, "probe_disk: %s holds no packets\n", argv[2]);
    return 1;
  }
  uint32_t count = uint32_t(std::atol(argv[3]));
  uint64_t bytes = uint64_t(std::atoll(argv[4])) << 20;
  testdisk::Disk d;
  d.sectorsPerCluster = 256;
  uint32_t usable = (256 - 1) * 512;
  // Whole blocks of stream: at least MiB of it.
  uint64_t blocks = (bytes + kStream - 1) / kStream;
  uint32_t clusters = uint32_t((blocks * kBlock + usable - 1) / usable);
  d.clusterCount = clusters * count + 16;
  for (uint32_t i = 0; i < count; ++i) {
    testdisk::Entry e;
    e.name = "Recording " + std::to_string(i + 1);
    e.clusters = clusters;
    e.content = BlockFormOf(Looped(ts), false);
    d.entries.push_back(e);
  }
  std::string error;
  testdisk::Layout layout;
  if (!testdisk::WriteImage(d, argv[1], &layout, &error)) {
    std::fprintf(stderr, "probe_disk: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
