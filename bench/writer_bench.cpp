// Output writer throughput against a plain sequential write of the same bytes.
//
//   writer_bench [FOLDER [MiB [ROUNDS]]]      (defaults: /tmp, 1024, 2)
//
// The writer is fed 129344-byte blocks, as an extraction in block form feeds
// it, through OpenOutput / WriteOutput / CloseOutput; the plain write is the
// same number of bytes in 1 MiB write() calls to a file in the same folder.
// The writer bypasses the page cache (O_DIRECT) and the plain write does not,
// so the fair figure times both up to the data being on the disk: each run
// ends with an fsync of its file, inside the timing. The page-cache figure
// (plain write not synced) is printed too: it is what a user waits for when
// copying with an ordinary tool, but it leaves the writing to the kernel.
// Runs alternate, ROUNDS of each, and the best of each is compared.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/runs.h"
#include "app/state.h"
#include "output/writer.h"

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

// Seconds to write `blocks` blocks through the output writer, and sync.
double WriterRun(const std::string& path, u32 blocks, const u8* data) {
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
  if (!CloseOutput() || !SyncFile(path)) {
    std::fprintf(stderr, "writer_bench: closing %s failed\n", path.c_str());
    std::exit(1);
  }
  return Now() - t0;
}

// Seconds to write `bytes` in 1 MiB write() calls; synced when `sync`.
double PlainRun(const std::string& path, u64 bytes, const u8* data, bool sync) {
  double t0 = Now();
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
  int rounds = argc > 3 ? std::atoi(argv[3]) : 2;
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
  std::vector<u8> data(kOutputBufferSize);
  for (size_t i = 0; i < data.size(); ++i) data[i] = u8(i * 2654435761u >> 13);
  std::string writerPath = folder + "/writer_bench.writer.ts";
  std::string plainPath = folder + "/writer_bench.plain.ts";

  double bestWriter = 1e30, bestPlain = 1e30, bestCached = 1e30;
  for (int r = 0; r < rounds; ++r) {
    double p = PlainRun(plainPath, fileBytes, data.data(), true);
    unlink(plainPath.c_str());
    double w = WriterRun(writerPath, blocks, data.data());
    if (FileSize(writerPath) != fileBytes) {
      std::fprintf(stderr, "writer_bench: the writer's file has %llu bytes, not %llu\n",
                   (unsigned long long)FileSize(writerPath), (unsigned long long)fileBytes);
      return 1;
    }
    unlink(writerPath.c_str());
    double c = PlainRun(plainPath, fileBytes, data.data(), false);
    // The unsynced file's pages are still being written back: sync before
    // the next timed run so it does not pay for them.
    SyncFile(plainPath);
    unlink(plainPath.c_str());
    std::printf("round %d: writer %.3f s, plain+fsync %.3f s, plain page cache %.3f s\n", r + 1, w, p, c);
    if (w < bestWriter) bestWriter = w;
    if (p < bestPlain) bestPlain = p;
    if (c < bestCached) bestCached = c;
  }
  double mb = double(fileBytes) / 1048576.0;
  std::printf("%.0f MiB in %u blocks of %u bytes; best of %d: writer %.0f MiB/s, plain+fsync %.0f MiB/s, "
              "plain page cache %.0f MiB/s\n",
              mb, blocks, kBlockStreamBytes, rounds, mb / bestWriter, mb / bestPlain, mb / bestCached);
  double fair = bestPlain / bestWriter;
  double cached = bestCached / bestWriter;
  std::printf("writer throughput / plain 1 MiB writes, both synced to disk: %.2f  (target >= 0.90: %s)\n",
              fair, fair >= 0.9 ? "met" : "NOT met");
  std::printf("writer throughput / plain 1 MiB writes into the page cache, not synced: %.2f  (for information)\n",
              cached);
  return 0;
}
