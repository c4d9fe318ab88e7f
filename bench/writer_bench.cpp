// Output writer throughput against a plain sequential write of the same bytes.
//
//   writer_bench [FOLDER [MiB [ROUNDS]]]      (defaults: /tmp, 1024, 3)
//
// The writer is fed 129344-byte blocks, as an extraction in block form feeds
// it, through OpenOutput / WriteOutput / CloseOutput; the plain write is the
// same number of bytes in 1 MiB write() calls to a file in the same folder.
// The writer bypasses the page cache (O_DIRECT), so its like is a plain
// write that bypasses it too: that is the target figure. Plain writes into
// the page cache, which end with the data still in memory, and both kinds
// timed up to an fsync of their file, are printed beside it. Every timed run
// starts with no dirty pages of an earlier one (a sync outside the timing);
// rounds alternate the kinds and the best of each kind is compared.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/runs.h"
#include "disk/block_form.h"
#include "app/state.h"
#include "output/writer.h"
#include "platform/platform.h"

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool SyncFile(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  return close(fd) == 0 && ok;
}

// Seconds to write `blocks` blocks through the output writer; synced when `sync`.
double WriterRun(const std::string& path, u32 blocks, const u8* data, bool sync) {
  double t0 = Now();
  if (!OpenOutput(path.c_str())) {
    std::fprintf(stderr, "writer_bench: cannot create %s\n", path.c_str());
    std::exit(1);
  }
  for (u32 i = 0; i < blocks; ++i) {
    if (!WriteOutput(data, kBlockStreamBytes)) {
      std::fprintf(stderr, "writer_bench: write refused at block %u\n", i);
      std::exit(1);
    }
  }
  if (!CloseOutput() || (sync && !SyncFile(path))) {
    std::fprintf(stderr, "writer_bench: closing %s failed\n", path.c_str());
    std::exit(1);
  }
  return Now() - t0;
}

// Seconds to write `bytes` in 1 MiB write() calls; synced when `sync`,
// bypassing the page cache when `direct` (data page-aligned).
double PlainRun(const std::string& path, u64 bytes, const u8* data, bool sync, bool direct) {
  double t0 = Now();
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | (direct ? O_DIRECT : 0), 0644);
  if (fd < 0) {
    std::fprintf(stderr, "writer_bench: cannot create %s\n", path.c_str());
    std::exit(1);
  }
  for (u64 done = 0; done < bytes;) {
    size_t n = bytes - done < kOutputBufferSize ? size_t(bytes - done) : kOutputBufferSize;
    ssize_t w = write(fd, data, n);
    if (w <= 0) {
      std::fprintf(stderr, "writer_bench: plain write failed\n");
      std::exit(1);
    }
    done += u64(w);
  }
  if ((sync && fsync(fd) != 0) || close(fd) != 0) {
    std::fprintf(stderr, "writer_bench: plain close failed\n");
    std::exit(1);
  }
  return Now() - t0;
}

u64 FileSize(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return 0;
  off_t end = lseek(fd, 0, SEEK_END);
  close(fd);
  return end < 0 ? 0 : u64(end);
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : "/tmp";
  u64 mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024;
  int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
  if (mib == 0 || rounds < 1) {
    std::fprintf(stderr, "usage: writer_bench [FOLDER [MiB [ROUNDS]]]\n");
    return 2;
  }
  if (!AllocateBuffers()) {
    std::fprintf(stderr, "writer_bench: cannot allocate the buffers\n");
    return 1;
  }
  u64 target = mib << 20;
  u32 blocks = u32((target + kBlockStreamBytes - 1) / kBlockStreamBytes);
  u64 streamBytes = u64(blocks) * kBlockStreamBytes;
  u64 fileBytes = streamBytes / 512 * 512;  // the writer drops the last partial sector
  u8* data = static_cast<u8*>(AllocPages(kOutputBufferSize));  // aligned for O_DIRECT
  if (!data) return 1;
  for (u32 i = 0; i < kOutputBufferSize; ++i) data[i] = u8(i * 2654435761u >> 13);
  std::string writerPath = folder + "/writer_bench.writer.ts";
  std::string plainPath = folder + "/writer_bench.plain.ts";

  enum { kWriter, kPlain, kPlainDirect, kWriterSync, kPlainSync, kKinds };
  const char* kinds[kKinds] = {"writer", "plain", "plain O_DIRECT", "writer+fsync", "plain+fsync"};
  double best[kKinds];
  for (double& b : best) b = 1e30;
  for (int r = 0; r < rounds; ++r) {
    std::printf("round %d:", r + 1);
    for (int k = 0; k < kKinds; ++k) {
      sync();  // each run starts with no dirty pages of an earlier one
      double t;
      if (k == kWriter || k == kWriterSync) {
        t = WriterRun(writerPath, blocks, data, k == kWriterSync);
        if (FileSize(writerPath) != fileBytes) {
          std::fprintf(stderr, "writer_bench: the writer's file has %llu bytes, not %llu\n",
                       (unsigned long long)FileSize(writerPath), (unsigned long long)fileBytes);
          return 1;
        }
        unlink(writerPath.c_str());
      } else {
        t = PlainRun(plainPath, fileBytes, data, k == kPlainSync, k == kPlainDirect);
        unlink(plainPath.c_str());
      }
      if (t < best[k]) best[k] = t;
      std::printf("%s %s %.3f s", k ? "," : "", kinds[k], t);
    }
    std::printf("\n");
  }
  double mb = double(fileBytes) / 1048576.0;
  std::printf("%.0f MiB in %u blocks of %u bytes, best of %d rounds, MiB/s:", mb, blocks,
              kBlockStreamBytes, rounds);
  for (int k = 0; k < kKinds; ++k) std::printf("%s %s %.0f", k ? "," : "", kinds[k], mb / best[k]);
  std::printf("\n");
  double same = best[kPlainDirect] / best[kWriter];
  double plain = best[kPlain] / best[kWriter];
  double synced = best[kPlainSync] / best[kWriterSync];
  std::printf("writer / plain 1 MiB writes, both unbuffered: %.2f  (target >= 0.90: %s)\n", same,
              same >= 0.9 ? "met" : "NOT met");
  std::printf("writer / plain 1 MiB writes into the page cache: %.2f  (target >= 0.90: %s; the plain "
              "write ends with its data still in memory)\n",
              plain, plain >= 0.9 ? "met" : "NOT met");
  std::printf("writer / plain 1 MiB writes, both timed up to an fsync: %.2f  (for information)\n",
              synced);
  return 0;
}
