// A build without the FFmpeg libraries or libdvbpsi writes no Matroska.
#include "cli/cli_port.h"
#include "cli/copy.h"
#include "cli/copy_run.h"
#include "cli/copy_subtitles.h"

bool MatroskaAvailable() {
  Say("extract --container mkv needs %s, which this build of melvir lacks", MELVIR_MKV_LACKS);
  return false;
}

bool MatroskaIsComplete(const Recording&, bool, bool, const char*) { return false; }

// Nor .srt files of the teletext.
bool SubtitlesAvailable() {
  Say("extract --subtitles srt is not in this build: it needs %s", MELVIR_MKV_LACKS);
  return false;
}

bool StartSubtitleCopy(const Recording&, const CopyTarget&) { return false; }
bool KeptSubtitleBytes(OutputFile*, u64, const char*) { return false; }
void SubtitleBytes(const u8*, u32) {}
bool EndSubtitleCopy(const char*, const CopyTarget&) { return false; }

CopyOutcome RemuxToTarget(const Recording&, const CopyTarget&) {
  MatroskaAvailable();
  return kCopyFailed;
}
