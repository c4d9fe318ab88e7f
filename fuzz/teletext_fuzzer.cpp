// libFuzzer target: the teletext subtitle decoder, on any bytes given as
// PES packets, PES data fields and clock steps, with the record reused.
//
// Input: a byte that picks the pages' language and a byte that picks a
// second page of magazine 8 (beside 0x888 and 0x100), then records of an
// operation byte, a 16-bit big-endian length and that many bytes (cut short
// at the end): operation % 4 is 0 for a whole PES, 1 for a data field at
// the clock plus (operation >> 2) * 1800, 2 to advance the clock by
// (operation >> 2) s, 3 to finish and reset, taking the subtitle pages the
// bytes name as a teletext descriptor and as FFmpeg's form of one. Every
// cue must keep to what the decoder promises: a page's cues in order and
// apart, none longer than kCueLimit nor empty, their text UTF-8 rows with
// no empty row.
//
// The seeds (fuzz/corpus/teletext/) hold subtitle pages as
// tools/teletext_pages.h codes them: shown, replaced, erased, long, in
// national options with X/28/0 and M/29/0, magazines in series.
//
// Speed: over a third of a run was the tracing of comparisons in the
// lookup of each composed character among the national codes, now built
// without it (fuzz/CMakeLists.txt); with inputs held to 16 KiB, ten million
// from the seeds ran at 8,406 a CPU second (4,813 before), 350 edges.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "stream/teletext.h"
#include "text/utf8.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "teletext_fuzzer: %s\n", what);
  std::abort();
}

u64 g_lastEnd[0x900];

void Check(void*, const TeletextCue& cue) {
  if (cue.page < 0x100 || cue.page > 0x8FF) Fail("a cue of no page");
  if (cue.endPts <= cue.startPts || cue.endPts - cue.startPts > kCueLimit) Fail("a cue empty or too long");
  if (cue.startPts < g_lastEnd[cue.page]) Fail("a cue before the end of the one before");
  g_lastEnd[cue.page] = cue.endPts;
  const std::string& t = cue.text;
  if (t.empty() || t.size() > kTeletextRows * (kTeletextColumns * 3 + 1)) Fail("a text empty or too long");
  if (t.front() == '\n' || t.back() == '\n' || t.find("\n\n") != std::string::npos) Fail("an empty row");
  for (size_t at = 0; at < t.size();) {
    u32 c;
    at += ReadUtf8(reinterpret_cast<const u8*>(t.data()) + at, u32(t.size() - at), &c);
    if (c == kReplacement || (c < 0x20 && c != '\n')) Fail("a text that is no UTF-8 text");
  }
}

void Start(TeletextDecoder* d, u8 language, u8 page) {
  static const char* const kLanguages[] = {"eng", "deu", "pol", "tur", "slv", "est", "", nullptr};
  for (u64& end : g_lastEnd) end = 0;
  ResetTeletext(d, Check, nullptr);
  const char* l = kLanguages[language % 8];
  AddTeletextPage(d, 0x888, l);
  AddTeletextPage(d, 0x100, l);
  AddTeletextPage(d, u16(0x800 | page), l);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static TeletextDecoder d;
  u8 language = data[0], page = data[1];
  Start(&d, language, page);
  u64 clock = 0;
  for (size_t at = 2; at + 3 <= size;) {
    u8 op = data[at];
    size_t length = size_t(data[at + 1]) << 8 | data[at + 2];
    at += 3;
    if (length > size - at) length = size - at;
    const u8* bytes = data + at;
    at += length;
    u64 step = op >> 2;
    switch (op % 4) {
      case 0:
        FeedTeletextPes(&d, bytes, length);
        clock = d.pts;
        break;
      case 1:
        clock += step * 1800;
        FeedTeletextData(&d, bytes, length, clock);
        break;
      case 2:
        clock += step * kPtsPerSecond;
        AdvanceTeletext(&d, clock);
        break;
      default: {
        // Again, with the subtitle pages of the bytes as a teletext
        // descriptor's body and as what FFmpeg keeps of one.
        FinishTeletext(&d, clock);
        Start(&d, language, page);
        TeletextEntry entries[64];
        u32 n = ReadTeletextDescriptor(bytes, u8(length < 255 ? length : 255), entries, 64);
        std::string languages(reinterpret_cast<const char*>(bytes), length);
        n += ReadDemuxedTeletext(languages.c_str(), bytes, length, entries + n, 64 - n);
        for (u32 i = 0; i < n; ++i)
          if (IsSubtitleEntry(entries[i])) AddTeletextPage(&d, entries[i].page, entries[i].language);
        break;
      }
    }
  }
  FinishTeletext(&d, clock + kPtsPerSecond);
  return 0;
}
