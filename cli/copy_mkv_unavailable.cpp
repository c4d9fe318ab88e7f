// A build without the FFmpeg libraries or libdvbpsi (and the Windows
// build) writes no Matroska.
#include "cli/cli_port.h"
#include "cli/copy.h"
#include "cli/copy_run.h"

bool MatroskaAvailable() {
#ifdef _WIN32
  Say("%s", "extract --container mkv needs a Linux build of melvir");
#else
  Say("extract --container mkv needs %s, which this build of melvir lacks", MELVIR_MKV_LACKS);
#endif
  return false;
}

bool MatroskaIsComplete(const Recording&, bool, bool, const char*) { return false; }

CopyOutcome RemuxToTarget(const Recording&, const CopyTarget&) {
  MatroskaAvailable();
  return kCopyFailed;
}
