// A build without the FFmpeg libraries or libdvbpsi (and the Windows build)
// has no catalogue.
#include "cli/catalog_command.h"
#include "cli/cli_port.h"
#include "cli/exit_status.h"

int PrepareCatalog(const Options&) {
#ifdef _WIN32
  Say("%s", "catalog needs a Linux build of melvir");
#else
  Say("catalog needs %s, which this build of melvir lacks", MELVIR_CATALOG_LACKS);
#endif
  return kExitFailed;
}

int CatalogCommand(const Options&, const Catalog&) { return kExitFailed; }
