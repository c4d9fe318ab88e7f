// The Matroska remux of a hostile stream: the input is the recording's
// stream bytes (random bytes, cut PES, absurd section lengths, timestamps
// that jump both ways), read in order from memory; a fixed stride of it is
// told unreadable, as a rescued recording's zeros are; half the inputs are
// cut to a programme (--trim). The Matroska file is written into memory.
// Whatever the input: no crash, no leak, no hang, and
// every write lands inside what the muxer asked for.
//
// Speed: each input opens Debian's FFmpeg libraries afresh (the demuxer's
// probe and the muxer's header), which are not instrumented here; they
// find crashes, hangs and leaks in MELVIR's handling of what they return,
// not coverage of their own code, and they set the rate: from about 80 to
// 320 a CPU second as the corpus goes (316 over 13 minutes from the seeds),
// inputs of 8 KiB or 64 KiB alike. perf puts two thirds of a run
// in FFmpeg's large allocations as the sanitizer's allocator serves them
// (a fresh mapping each, faulted in and zeroed): the 5 MB seek-back buffer
// the transport-stream demuxer takes for its probe, the decoder contexts
// (up to 765 KB) the stream search opens; the rest is that search's
// decoding and the muxer. All of it is FFmpeg's work the remux asks for,
// so the harness cannot take it away. Its floor of executions per CPU
// second is in fuzz/targets.
#include <cstring>
#include <vector>

#include "remux/remux.h"

namespace {

struct Input {
  const u8* data;
  size_t size;
  u64 unreadableFrom;  // stream bytes from here to +4096 read as zeros
};

bool Read(void* context, u64 offset, u8* buffer, u32 count, u32* got) {
  const Input* in = static_cast<const Input*>(context);
  *got = 0;
  if (offset >= in->size) return true;
  u32 n = in->size - offset < count ? u32(in->size - offset) : count;
  std::memcpy(buffer, in->data + offset, n);
  for (u64 i = offset; i < offset + n; ++i)
    if (i >= in->unreadableFrom && i < in->unreadableFrom + 4096) buffer[i - offset] = 0;
  *got = n;
  return true;
}

bool Unreadable(void* context, u64 from, u64 to) {
  const Input* in = static_cast<const Input*>(context);
  return from < in->unreadableFrom + 4096 && to > in->unreadableFrom;
}

std::vector<u8> g_out;

bool Write(void*, u64 offset, const u8* data, u32 length, u32*) {
  // A muxer gone wild would ask for more than any input could give.
  if (offset + length > (u64(64) << 20)) __builtin_trap();
  if (g_out.size() < offset + length) g_out.resize(offset + length);
  std::memcpy(g_out.data() + offset, data, length);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
  if (size < 2) return 0;
  // The first byte places the unreadable stretch (0: none).
  Input in = {data + 1, size - 1, data[0] ? u64(data[0]) * 188 * 8 : ~u64(0) >> 1};
  RemuxJob job;
  job.source = StreamSource{Read, &in, in.size};
  job.unreadable = Unreadable;
  job.unreadableContext = &in;
  job.write = Write;
  job.writeContext = nullptr;
  job.program = -1;
  job.title = "fuzz";
  job.text = TeletextFeed{nullptr, nullptr, nullptr, nullptr, nullptr};
  // An odd first byte cuts to a programme: from a quarter in, to where the
  // EIT names present an event after 2009-05-03 (the test streams' day).
  job.trim = data[0] & 1;
  job.trimFrom = in.size / 4;
  job.programmeStart = 1241308800;
  g_out.clear();
  RemuxResult result;
  std::memset(&result, 0, sizeof result);
  RemuxToMatroska(job, &result);
  if (!result.refused && !result.readFailed && !result.writeFailed && result.bytes > g_out.size())
    __builtin_trap();  // the file's length said is more than was written
  return 0;
}
