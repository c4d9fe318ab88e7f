// `melvir check`, run once discovery has left the recorder disk open.
#ifndef MELVIR_CLI_CHECK_COMMAND_H
#define MELVIR_CLI_CHECK_COMMAND_H

#include <cstdio>

#include "text/charset.h"

// Checks the open disk and writes the report (JSON with json) to out;
// names are decoded from charset. Returns 0 when nothing was found, 3 when
// problems were, 1 when the check could not run or out could not be written.
int CheckCommand(bool json, Charset charset, const char* source, std::FILE* out);

#endif
