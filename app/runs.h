// The two worker threads: the recording list scan and the extraction run.
// Both talk to the user interface only through the port (app/ui_port.h).
#ifndef MELVIR_APP_RUNS_H
#define MELVIR_APP_RUNS_H

#include "platform/types.h"

// Finds the recorder disk and fills the recording list and table (at most
// 100 rows); ends with the port's scanDone. Argument ignored; returns 0.
u32 ScanThread(void* argument);

// Starts ScanThread, first keeping a copy of the disk record for Info.
bool StartScan();

// The Info text for the user-interface thread, which may ask while the scan
// fills the disk record: the record as it was when the scan was started
// until discovery has finished, then as discovery left it.
void FormatPublishedDiskInfo(char* text);

// Copies the selected recording (g_app.selection) to g_app.outputPath;
// ends with the port's extractDone. Argument ignored; returns 0.
u32 ExtractThread(void* argument);

#endif
