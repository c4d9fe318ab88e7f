// The command line's side of the user-interface port: list lines kept for
// printing, errors on stderr as "melvir: ...", the completion notice kept
// for the caller, progress drawn on a terminal.
#ifndef MELVIR_CLI_CLI_PORT_H
#define MELVIR_CLI_CLI_PORT_H

#include "platform/types.h"

// Makes this port the one in force.
void InstallCliPort();

// The list lines the scan sent, in order.
u32 ListLineCount();
const char* ListLine(u32 index);

// Errors shown so far (every showError, from any thread).
u32 ErrorCount();

// Starts one extraction's reporting: error lines name file; the progress
// display is drawn when show is true.
void BeginExtraction(const char* file, u32 sizeMiB, bool show);
// Ends it; true when the completion notice came, its text in notice.
bool EndExtraction(char* notice, u32 size);

// "melvir: " and the formatted text on stderr, as its own line.
void Say(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif
