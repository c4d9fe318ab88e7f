// The command line's side of the user-interface port and its one way of
// speaking: errors on stderr as "melvir: ...", kept whole against the
// progress line.
#ifndef MELVIR_CLI_CLI_PORT_H
#define MELVIR_CLI_CLI_PORT_H

#include "platform/types.h"

// Makes this port the one in force: the core's error messages go to stderr.
void InstallCliPort();

// "melvir: " and the formatted text on stderr, as its own line.
void Say(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif
