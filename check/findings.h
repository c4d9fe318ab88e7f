// The check of the open recorder disk collected and summed up: what
// report/check_report.h writes for people or as JSON (fields: docs/check.md).
#ifndef MELVIR_CHECK_FINDINGS_H
#define MELVIR_CHECK_FINDINGS_H

#include <vector>

#include "check/check.h"

// Everything one check found.
struct CheckFindings {
  CheckReport report;
  std::vector<CheckEntry> entries;     // directory order
  std::vector<CrossLink> crossLinks;
  std::vector<LostChain> lost;         // lost recordings, chains into entries' chains, unreadable starts
};

// A 4 TB disk of 256-sector clusters has 2^25 clusters: 128 MiB of table.
// A header claiming more is checked in its first 2^25 entries.
const u32 kCheckMaxTableEntries = 1u << 25;
const u32 kCheckWindowSectors = 2048;  // 1 MiB read at a time from each copy

// Checks the disk FindRecorderDisk left open. False when the memory for
// the table could not be had.
bool RunCheck(CheckFindings* findings);
bool RunCheckWith(u32 maxTableEntries, u32 windowSectors, CheckFindings* findings);

struct CheckSummary {
  u32 recordings;
  u32 damaged;           // recordings whose chain is not whole, or shares clusters
  u32 tableUnreadable;   // table sectors unreadable in one copy or both
  u32 directoryUnreadable;
  bool incomplete;       // part of the table or directory was not checked
  bool problems;         // anything above, or any other finding but chains
                         // without a transport stream
};
void SummariseCheck(const CheckFindings& findings, CheckSummary* summary);
// A recording whose chain is not whole or shares clusters with another's.
bool RecordingDamaged(const CheckFindings& findings, const CheckEntry& entry);

// The command line's exit status for a check that ran: 0 nothing found,
// 3 problems found.
int CheckExitStatus(const CheckFindings& findings);

// "3 recordings, 1 damaged, 2 lost recordings found, table copies differ
// in 4 sectors", or "... no problems found".
void FormatCheckSummary(const CheckFindings& findings, char* text, u32 size);

// The lost recording whose chain starts at first; false when none does.
bool FindLostRecording(const CheckFindings& findings, u32 first, LostChain* chain);

#endif
