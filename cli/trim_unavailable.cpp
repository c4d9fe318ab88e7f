// A build without libdvbpsi cuts no recording to its programme: the tables
// tell where it begins and ends.
#include "cli/cli_port.h"
#include "cli/copy.h"
#include "cli/copy_run.h"

bool TrimAvailable() {
  Say("%s", "extract --trim is not in this build: it needs libdvbpsi, which this build lacks");
  return false;
}

bool CutIsComplete(const Recording&, bool, const char*) { return false; }

CopyOutcome CutToTarget(const Recording&, const CopyTarget&) {
  TrimAvailable();
  return kCopyFailed;
}
