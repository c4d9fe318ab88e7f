// `melvir catalog`: a catalogue of the recordings in one folder: the page
// (index.html), what probe says of each as JSON (catalog.json) and a
// picture of each recording with video (thumbs/INDEX.jpg). Not to be
// confused with cli/catalog.h, the recording table every command reads.
#ifndef MELVIR_CLI_CATALOG_COMMAND_H
#define MELVIR_CLI_CATALOG_COMMAND_H

#include "cli/args.h"
#include "cli/recording_table.h"

// Before the disk is read: 0 when this build has the catalogue and -d can
// be a folder, else 1 (the reason on stderr).
int PrepareCatalog(const Options& options);

int CatalogCommand(const Options& options, const Catalog& catalog);

#endif
