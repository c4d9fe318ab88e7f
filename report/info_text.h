// The info text: the Windows program's Info lines, then the command line's
// own (byte order, cluster bytes, the partition's span, the recordings), as
// `melvir info` prints it and a mount's INFO.txt holds it.
#ifndef MELVIR_REPORT_INFO_TEXT_H
#define MELVIR_REPORT_INFO_TEXT_H

#include "disk/recorder_disk.h"

const u32 kInfoTextSize = kDiskInfoSize + 160;

// Of the open disk, which lists recordings recordings.
void FormatInfoText(u32 recordings, char* text, u32 size);
// "big-endian", "little-endian" or "word-swapped".
const char* ByteOrderName();
// The bytes from the volume header to the end of the data area, in GiB.
double PartitionGiB();

#endif
