// A build without the FFmpeg libraries or libdvbpsi has no library.
#include "cli/library_command.h"
#include "cli/cli_port.h"
#include "cli/exit_status.h"

int PrepareLibrary(const Options&) {
  Say("library needs %s, which this build of melvir lacks", MELVIR_MKV_LACKS);
  return kExitFailed;
}

int LibraryCommand(const Options&, const Catalog&) { return kExitFailed; }
