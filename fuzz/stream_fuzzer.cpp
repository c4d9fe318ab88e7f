// libFuzzer target: the stream reader, on any bytes: sections through
// libdvbpsi, PES headers, adaptation fields, PCR and continuity, and the
// cut to a programme (key frames told from picture headers, its start and
// end found) of the service and event ffmpeg's streams name first.
//
// Input: one byte, then the stream. The stream is read whole, then again
// in pieces of 1 to 256 bytes (sizes that the byte's low seven bits set
// going, so pieces end anywhere in a packet). With the byte's top bit
// clear the two summaries must agree where the pieces cannot matter; with
// it set the second read also has a hole of unreadable bytes and a skip at
// offsets the input gives. Every count must stay within the packets read.
//
// Speed: about 6,700 a CPU second. Measured by perf at 1,000: a third of
// the run fed pieces of one byte through the instrumented reader and
// harness (an input whose first byte was 0 was read in 8,192 calls), a
// third was ASan's allocator and the page faults of libdvbpsi's sections
// (about 330 allocations an input, each section 4 KiB it zeroes). Now two
// reads an input rather than three, pieces of random sizes rather than one
// size, the harness's loops uninstrumented, and the reader's search for
// the packet grid jumps from sync byte to sync byte: what is left is the
// instrumented reader itself, over at most 8 KiB (fuzz/targets), and
// libdvbpsi's allocations.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "stream/programme_cut.h"
#include "stream/summary.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "stream_fuzzer: %s\n", what);
  std::abort();
}

// The next piece's size, 1 to 256 bytes, from the state the first byte of
// the input sets going: its pieces end anywhere in a packet, at about 64
// calls a read rather than one a byte (8 KiB read a byte at a time was
// most of a run).
u32 NextPiece(u32* state) {
  *state = *state * 1103515245u + 12345u;
  return (*state >> 16 & 0xFF) + 1;
}

// The harness's own loops are not what is explored: not instrumented.
__attribute__((no_sanitize("coverage")))
void Summarize(const u8* data, size_t size, u32 seed, bool damage, ProbeSummary* s) {
  static StreamAnalysis a;
  static ProgrammeCut cut;
  if (!StartAnalysis(&a)) Fail("libdvbpsi cannot be set up");
  // Looked for on the whole read, cut on the read in pieces.
  StartCut(&cut, 1, 1, true, 0, damage ? 0 : ~0ull);
  a.cut = &cut;
  size_t hole = damage ? size / 3 : size, skip = damage ? size / 3 * 2 : size;
  for (size_t at = 0; at < size;) {
    if (at == hole) {
      u32 n = u32(size - at < 700 ? size - at : 700);
      FeedUnreadable(&a, n);
      at += n;
      continue;
    }
    if (at == skip) {
      SkipTo(&a, a.offset + 4096);
      skip = size;
    }
    size_t end = at + (seed ? NextPiece(&seed) : size);
    if (end > hole && at < hole) end = hole;
    if (end > skip && at < skip) end = skip;
    if (end > size) end = size;
    FeedStream(&a, data + at, u32(end - at));
    at = end;
  }
  SummarizeStream(a, s);
  u64 start, end;
  FindCutStart(cut, a.tables, true, &start);
  FindCutEnd(cut, a.tables, &end);
  if (CutSafeOffset(&cut, a.tables, a.offset) > a.offset) Fail("the cut is safe past the bytes read");
  EndAnalysis(&a);
}

void CheckBounds(const ProbeSummary& s) {
  if (s.continuityErrors > s.packets || s.transportErrors > s.packets || s.syncLosses > s.packets + 1)
    Fail("more errors than packets");
  if (!std::isfinite(s.durationSeconds) || s.durationSeconds < 0) Fail("a duration out of range");
  for (const StreamSummary& st : s.streams)
    if (st.continuityErrors > s.continuityErrors) Fail("a stream has more errors than the whole");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  bool damage = data[0] & 0x80;
  u32 seed = u32(data[0] & 0x7F) + 1;
  ++data;
  --size;
  static ProbeSummary whole, pieces;
  Summarize(data, size, 0, false, &whole);
  CheckBounds(whole);
  Summarize(data, size, seed, damage, &pieces);
  CheckBounds(pieces);
  if (damage) return 0;
  if (whole.packets != pieces.packets || whole.syncLosses != pieces.syncLosses ||
      whole.continuityErrors != pieces.continuityErrors ||
      whole.transportErrors != pieces.transportErrors || whole.durationSeconds != pieces.durationSeconds ||
      whole.programKnown != pieces.programKnown || whole.streams.size() != pieces.streams.size() ||
      whole.event.title != pieces.event.title || whole.firstTime != pieces.firstTime)
    Fail("the stream read in pieces differs from the stream read whole");
  return 0;
}
