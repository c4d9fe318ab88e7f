// libFuzzer target: the stream reader, on any bytes: sections through
// libdvbpsi, PES headers, adaptation fields, PCR and continuity, and the
// cut to a programme (key frames told from picture headers, its start and
// end found) of the service and event ffmpeg's streams name first.
//
// Input: one byte that picks the piece size, then the stream. It is read
// twice, whole and in pieces of that size (pieces of 1 to 256 bytes, then
// a hole of unreadable bytes and a skip at offsets the input gives), and
// the summaries must agree where the pieces cannot matter; every count must
// stay within the packets read.
//
// Speed (below 5,000 a second; its floor is in fuzz/targets): every input
// is read three times, packet by packet through the instrumented reader,
// and libdvbpsi allocates each section it gathers. Inputs stay within 8 KiB
// (fuzz/targets) and the reader's per-PID tables are zeroed in place rather
// than reallocated; what is left is the reading itself.
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

void Summarize(const u8* data, size_t size, u32 piece, bool damage, ProbeSummary* s) {
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
    size_t end = at + piece;
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
  u32 piece = u32(data[0]) + 1;
  ++data;
  --size;
  static ProbeSummary whole, pieces, damaged;
  Summarize(data, size, u32(size ? size : 1), false, &whole);
  Summarize(data, size, piece, false, &pieces);
  Summarize(data, size, piece, true, &damaged);
  CheckBounds(whole);
  CheckBounds(damaged);
  if (whole.packets != pieces.packets || whole.syncLosses != pieces.syncLosses ||
      whole.continuityErrors != pieces.continuityErrors ||
      whole.transportErrors != pieces.transportErrors || whole.durationSeconds != pieces.durationSeconds ||
      whole.programKnown != pieces.programKnown || whole.streams.size() != pieces.streams.size() ||
      whole.event.title != pieces.event.title || whole.firstTime != pieces.firstTime)
    Fail("the stream read in pieces differs from the stream read whole");
  return 0;
}
