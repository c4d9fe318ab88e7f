// `melvir check`: the check of the open recorder disk collected, summed up,
// and written as a report for people or as JSON (fields: docs/check.md).
#ifndef MELVIR_CLI_CHECK_REPORT_H
#define MELVIR_CLI_CHECK_REPORT_H

#include <cstdio>
#include <vector>

#include "check/check.h"

// Everything one check found.
struct CheckFindings {
  CheckReport report;
  std::vector<CheckEntry> entries;     // directory order
  std::vector<CrossLink> crossLinks;
  std::vector<LostChain> lost;         // lost recordings, then chains into entries' chains
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

// Turns a raw name field into UTF-8 text (the command line's charset).
typedef void (*NameDecoder)(const u8* raw, u32 length, void* context, char* out, u32 size);
struct CheckOutput {
  const char* source;  // the image or device checked; may be null
  NameDecoder decode;
  void* context;
};

// The reports; false when writing failed.
bool WriteCheckText(std::FILE* out, const CheckFindings& findings, const CheckOutput& how);
bool WriteCheckJson(std::FILE* out, const CheckFindings& findings, const CheckOutput& how);

// The lost recording whose chain starts at first; false when none does.
bool FindLostRecording(const CheckFindings& findings, u32 first, LostChain* chain);

#endif
