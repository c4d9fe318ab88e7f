// A build without libdvbpsi has no probe.
#include "cli/cli_port.h"
#include "cli/recording_commands.h"
#include "cli/file_names.h"
#include "cli/probe.h"

bool ProbeAvailable() {
  Say("%s", "probe needs libdvbpsi, which this build of melvir lacks");
  return false;
}

int ProbeCommand(const Options&, const Catalog&) { return kExitFailed; }

bool StreamPlaceholdersBuilt() { return false; }

void StreamNameValues(const Recording&, bool, NameValues*) {}
