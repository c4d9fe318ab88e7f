// A build without libdvbpsi (and the Windows build) cuts no recording to
// its programme: the tables tell where it begins and ends.
#include "cli/cli_port.h"
#include "cli/copy.h"
#include "cli/copy_run.h"

bool TrimAvailable() {
#ifdef _WIN32
  Say("%s", "extract --trim is not in this build: it needs a Linux build of melvir");
#else
  Say("%s", "extract --trim is not in this build: it needs libdvbpsi, which this build lacks");
#endif
  return false;
}

bool CutIsComplete(const Recording&, bool, const char*) { return false; }

CopyOutcome CutToTarget(const Recording&, const CopyTarget&) {
  TrimAvailable();
  return kCopyFailed;
}
