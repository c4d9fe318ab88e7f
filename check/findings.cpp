// The check run with memory the command line takes for it, its findings
// collected, summed up and turned into an exit status.
#include "check/findings.h"

#include <algorithm>
#include <cstdlib>

#include "disk/layout.h"
#include "platform/platform.h"

namespace {

void OnEntry(void* context, const CheckEntry& entry) {
  static_cast<CheckFindings*>(context)->entries.push_back(entry);
}
void OnCrossLink(void* context, const CrossLink& link) {
  static_cast<CheckFindings*>(context)->crossLinks.push_back(link);
}
void OnLost(void* context, const LostChain& chain) {
  static_cast<CheckFindings*>(context)->lost.push_back(chain);
}

u32 Unreadable(const CopyFindings& f) {
  return f.count[kCopy1Unreadable] + f.count[kCopy2Unreadable] + f.count[kBothUnreadable];
}

// Appends one part of the summary, with the separator it needs.
void Add(char* text, u32 size, u32* used, const char* piece) {
  if (*used + 1 < size) *used += FormatText(text + *used, size - *used, "%s%s", *used ? ", " : "", piece);
}

// format holds %u for n, then %s for the plural ending.
void Part(char* text, u32 size, u32* used, const char* format, u32 n, const char* plural = "s") {
  char piece[100];
  FormatText(piece, sizeof piece, format, n, n == 1 ? "" : plural);
  Add(text, size, used, piece);
}

}  // namespace

bool RunCheckWith(u32 maxTableEntries, u32 windowSectors, CheckFindings* findings) {
  u64 wanted = CheckTableEntries();
  u32 entries = wanted < maxTableEntries ? static_cast<u32>(wanted) : maxTableEntries;
  u64 bytes = CheckMemoryBytes(entries, windowSectors);
  void* memory = bytes == static_cast<size_t>(bytes) ? std::malloc(static_cast<size_t>(bytes)) : nullptr;
  if (!memory) return false;
  *findings = CheckFindings();
  CheckSink sink = {findings, OnEntry, OnCrossLink, OnLost};
  bool ok = CheckDisk(memory, bytes, entries, windowSectors, sink, &findings->report);
  std::free(memory);
  // Lost recordings first, by first cluster; the chains that run into
  // entries' chains after them, then those whose start cannot be read.
  std::stable_sort(findings->lost.begin(), findings->lost.end(),
                   [](const LostChain& a, const LostChain& b) {
                     return a.kind != b.kind ? a.kind < b.kind : a.first < b.first;
                   });
  return ok;
}

bool RunCheck(CheckFindings* findings) {
  return RunCheckWith(kCheckMaxTableEntries, kCheckWindowSectors, findings);
}

bool RecordingDamaged(const CheckFindings& f, const CheckEntry& e) {
  if (e.raw.type != kRecordingType) return false;
  if (ChainDamaged(e) || e.sharedClusters) return true;
  for (const CrossLink& link : f.crossLinks)
    if (link.earlier == e.slot) return true;
  return false;
}

void SummariseCheck(const CheckFindings& f, CheckSummary* s) {
  const CheckReport& r = f.report;
  *s = CheckSummary();
  s->recordings = r.recordings;
  for (const CheckEntry& e : f.entries) s->damaged += RecordingDamaged(f, e);
  s->tableUnreadable = Unreadable(r.table);
  s->directoryUnreadable = Unreadable(r.directory);
  s->incomplete = r.tableEntriesHeld < r.tableEntriesWanted || r.directorySectorsSkipped > 0;
  s->problems = s->damaged || s->tableUnreadable || s->directoryUnreadable || s->incomplete ||
                r.geometry.faults || r.table.count[kCopiesDiffer] ||
                r.directory.count[kCopiesDiffer] || r.crossLinks || r.lostRecordings ||
                r.lostIntoListed;
}

int CheckExitStatus(const CheckFindings& f) {
  CheckSummary s;
  SummariseCheck(f, &s);
  return s.problems ? 3 : 0;
}

void FormatCheckSummary(const CheckFindings& f, char* text, u32 size) {
  const CheckReport& r = f.report;
  CheckSummary s;
  SummariseCheck(f, &s);
  u32 used = 0;
  text[0] = 0;
  Part(text, size, &used, "%u recording%s", s.recordings);
  if (s.damaged) Part(text, size, &used, "%u damaged%s", s.damaged, "");
  if (r.lostRecordings) Part(text, size, &used, "%u lost recording%s found", r.lostRecordings);
  if (r.table.count[kCopiesDiffer])
    Part(text, size, &used, "table copies differ in %u sector%s", r.table.count[kCopiesDiffer]);
  if (r.directory.count[kCopiesDiffer])
    Part(text, size, &used, "directory copies differ in %u sector%s", r.directory.count[kCopiesDiffer]);
  if (s.tableUnreadable) Part(text, size, &used, "%u table sector%s unreadable", s.tableUnreadable);
  if (s.directoryUnreadable)
    Part(text, size, &used, "%u directory sector%s unreadable", s.directoryUnreadable);
  if (r.crossLinks) Part(text, size, &used, "%u cross-linked chain%s", r.crossLinks);
  if (r.lostIntoListed)
    Part(text, size, &used, "%u lost chain%s running into a recording", r.lostIntoListed);
  u32 faults = 0;
  for (u32 bits = r.geometry.faults; bits; bits &= bits - 1) ++faults;
  if (faults) Part(text, size, &used, "%u geometry fault%s", faults);
  if (s.incomplete) Add(text, size, &used, "check incomplete");
  if (!s.problems) Add(text, size, &used, "no problems found");
}

bool FindLostRecording(const CheckFindings& f, u32 first, LostChain* chain) {
  for (const LostChain& c : f.lost) {
    if (c.kind == kLostRecording && c.first == first) {
      *chain = c;
      return true;
    }
  }
  return false;
}
