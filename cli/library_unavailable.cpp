// A build without the FFmpeg libraries or libdvbpsi (and the Windows build)
// has no library.
#include "cli/library_command.h"
#include "cli/cli_port.h"
#include "cli/exit_status.h"

int PrepareLibrary(const Options&) {
#ifdef _WIN32
  Say("%s", "library needs a Linux build of melvir");
#else
  Say("library needs %s, which this build of melvir lacks", MELVIR_MKV_LACKS);
#endif
  return kExitFailed;
}

int LibraryCommand(const Options&, const Catalog&) { return kExitFailed; }
