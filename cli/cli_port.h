// The command line's side of the user-interface port, and its one way of
// speaking (report/say.h): errors on stderr as "melvir: ...", kept whole
// against the progress line.
#ifndef MELVIR_CLI_CLI_PORT_H
#define MELVIR_CLI_CLI_PORT_H

#include "report/say.h"

// Makes this port the one in force: the core's error messages go to stderr.
void InstallCliPort();

#endif
