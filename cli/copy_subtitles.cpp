// The teletext of a copy to .ts, read as it is copied.
#include "cli/copy_subtitles.h"

#include "cli/cli_port.h"
#include "cli/probe_record.h"
#include "cli/srt_files.h"
#include "remux/teletext_scan.h"

namespace {

TeletextText g_text;
TeletextScan g_scan;
u8 g_kept[1 << 16];

}  // namespace

bool SubtitlesAvailable() { return true; }

bool StartSubtitleCopy(const Recording& r, const CopyTarget& t) {
  static ProbeRecord record;
  std::vector<SubtitlePage> pages;
  if (ProbeRecording(r, false, t.rescue, nullptr, &record)) SubtitlePagesOf(record.summary.streams, &pages);
  if (pages.empty()) {
    if (!t.quiet) Say("%s: no teletext subtitle pages in the stream's tables; no .srt written", t.path);
    return false;
  }
  std::vector<u16> clocks;
  for (const StreamSummary& st : record.summary.streams)
    if (st.kind == kKindVideo || st.kind == kKindAudio) clocks.push_back(st.pid);
  StartTeletextText(&g_text, pages);
  StartTeletextScan(&g_scan, &g_text, clocks);
  return true;
}

bool KeptSubtitleBytes(OutputFile* out, u64 length, const char* part) {
  for (u64 at = 0; at < length;) {
    u32 piece = length - at < sizeof g_kept ? u32(length - at) : u32(sizeof g_kept), error;
    if (!ReadOutputAt(out, at, g_kept, piece, &error)) {
      char reason[200];
      SystemErrorText(error, reason, sizeof reason);
      Say("%s: cannot be read back for its subtitles: %s; no .srt written", part, reason);
      return false;
    }
    ScanTeletext(&g_scan, g_kept, piece);
    at += piece;
  }
  return true;
}

void SubtitleBytes(const u8* data, u32 length) { ScanTeletext(&g_scan, data, length); }

bool EndSubtitleCopy(const char* published, const CopyTarget& t) {
  EndTeletextScan(&g_scan);
  return WriteSrtFiles(published, g_text, g_scan.zeroKnown ? g_scan.zero : 0, t);
}
