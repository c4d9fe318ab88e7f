// The two worker threads: the recording list scan and the extraction run.
// Both talk to the user interface only through the port (app/ui_port.h).
#ifndef MELVIR_APP_RUNS_H
#define MELVIR_APP_RUNS_H

#include "platform/types.h"

// Finds the recorder disk and fills the recording list and table (at most
// 100 rows); ends with the port's scanDone. Argument ignored; returns 0.
u32 ScanThread(void* argument);

// Copies the selected recording (g_app.selection) to g_app.outputPath;
// ends with the port's extractDone. Argument ignored; returns 0.
u32 ExtractThread(void* argument);

#endif
