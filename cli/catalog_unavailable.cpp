// A build without the FFmpeg libraries or libdvbpsi has no catalogue.
#include "cli/catalog_command.h"
#include "cli/cli_port.h"
#include "cli/exit_status.h"

int PrepareCatalog(const Options&) {
  Say("catalog needs %s, which this build of melvir lacks", MELVIR_CATALOG_LACKS);
  return kExitFailed;
}

int CatalogCommand(const Options&, const Catalog&) { return kExitFailed; }
