// `melvir domain`: a GNU ddrescue domain mapfile (for ddrescue -m) whose
// finished blocks are the sectors that matter, so a dying drive's remaining
// hours go to them first.
#ifndef MELVIR_REPORT_DOMAIN_MAPFILE_H
#define MELVIR_REPORT_DOMAIN_MAPFILE_H

#include <cstdio>
#include <vector>

#include "platform/types.h"

struct SectorRun {
  u64 first, count;  // absolute sectors [first, first + count)
};

// A SectorRunSink (disk/rescue.h) appending to the std::vector<SectorRun>
// given as context.
void AppendSectorRun(void* runs, u64 first, u64 count);

// Sorts the runs and merges those that overlap or touch.
void MergeSectorRuns(std::vector<SectorRun>* runs);

// Merges the runs and cuts them to a disk of diskSectors sectors; *leftOut
// counts the sectors cut away.
void ClipSectorRuns(std::vector<SectorRun>* runs, u64 diskSectors, u64* leftOut);

// Writes the mapfile of a disk of diskBytes bytes: the runs (merged here;
// clipped to the disk) as finished blocks, the rest as non-tried, every byte
// covered once. False on a write error.
bool WriteDomainMapfile(std::FILE* out, std::vector<SectorRun> runs, u64 diskBytes);

#endif
