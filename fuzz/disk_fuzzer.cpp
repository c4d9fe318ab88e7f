// libFuzzer target: the whole road from a disk to extracted recordings, on
// disks the fuzzer makes up, held in memory and read through the platform
// calls like any drive; the outputs and the trace log go to counting sinks.
//
// Input: the compact form (compact_input.h). Options byte:
//   bit 0  trace log on (its lines go to a sink, but are all formatted)
//   bit 1  quiet option: scan errors are not reported
//   bit 2  an empty drive is probed before the disk (drive 0 reads nothing)
//   bit 3  also extract from the cluster in the header's own number, which
//          need not be in the directory at all
//   bit 4  the header's platform call fails or comes back short
//
// One run: discovery and the whole scan (ScanThread), then the extraction
// (ExtractThread, as the front ends make it) of the first kMaxExtractions
// listed recordings, then the Info text and CloseDisk. At most
// kExtractBudgetMiB are read per input: past that the extraction is stopped
// as the Stop button does, and later recordings are not extracted. The disk
// dies (its reads fail) after kReadLimit reads, fewer when tracing, where
// each metadata read formats a 34-line dump: a directory as long as the
// disk would otherwise cost a second a run. Later rows, longer recordings
// and later reads take the same paths as earlier ones; the bounds keep
// every input quick. Checked after each run: the disk was never written to
// (libFuzzer checks that the input bytes are unchanged), every drive and
// file handle opened was closed and no descriptor is left, the list lines
// match the table, outputs are whole sectors written the unbuffered way,
// and the Info shown during the scan is the disk as discovery left it.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/runs.h"
#include "app/state.h"
#include "app/ui_port.h"
#include "disk/recorder_disk.h"
#include "fuzz/compact_input.h"
#include "platform/drive_table.h"
#include "platform/fault.h"
#include "platform/memory_files.h"
#include "platform/platform.h"
#include "platform/thread_reuse.h"

namespace {

const u8 kTrace = 1, kQuiet = 2, kEmptyDriveFirst = 4, kExtraExtract = 8, kFault = 16;
const u32 kMaxExtractions = 8;
// Enough for both output buffers to be handed over and written in turn.
const u32 kExtractBudgetMiB = 3;
const u64 kExtractBudget = u64(kExtractBudgetMiB) << 20;
const u32 kReadLimit = 2048, kTracedReadLimit = 32;

CompactInput g_input;
MemoryDrive g_emptyDrive = {0, nullptr, 0, 0, 0, 0};
DriveSource g_sources[2];
FileSink g_output, g_log;
bool g_verbose = false;  // MELVIR_FUZZ_VERBOSE set: what each run found, on stderr

// What the threads sent through the port during one run.
char g_lines[kMaxRecordings + 1][kEntryTextSize];
u32 g_lineCount = 0;
bool g_lineTooLong = false;
u32 g_scanDone = 0, g_extractDone = 0;
u32 g_mibRead = 0;   // whole MiB read by this run's extractions
u64 g_extracted = 0; // bytes written by them
bool g_shortWrites = false;  // the input makes a write come back short

void Ignore(const char*) {}
void Nothing() {}
void IgnoreNumber(u32) {}
void OnLine(const char* text) {
  if (std::strlen(text) >= kEntryTextSize) g_lineTooLong = true;
  if (g_lineCount <= kMaxRecordings) {
    std::strncpy(g_lines[g_lineCount], text, kEntryTextSize - 1);
    g_lines[g_lineCount][kEntryTextSize - 1] = 0;
  }
  ++g_lineCount;
}
void OnScanDone() { ++g_scanDone; }
void OnExtractDone() { ++g_extractDone; }
// The budget is spent: stop the run as the Stop button does.
void OnMiBRead(u32) {
  if (++g_mibRead >= kExtractBudgetMiB) SetFlag(g_app.abortFlag);
}
const UiPort kPort = {Ignore, Ignore, Nothing, OnLine, Ignore,
                      IgnoreNumber, Nothing, OnScanDone, OnExtractDone, OnMiBRead};

void Fail(const char* what) {
  std::fprintf(stderr, "disk_fuzzer: %s\n", what);
  std::abort();
}

// The lowest descriptor number free now. A descriptor opened and left open
// by a run takes the lowest free number, so it shows as a higher one after
// the run (nothing of a run should open one: every drive and file is in
// memory). Cheaper than listing /proc/self/fd.
int LowestFreeDescriptor() {
  int fd = dup(2);
  if (fd < 0) Fail("cannot duplicate a descriptor");
  close(fd);
  return fd;
}

void Extract(u32 first, u32 sizeMiB, const char* text) {
  Selection& sel = g_app.selection;
  sel.valid = true;
  sel.firstCluster = first;
  sel.sizeMiB = sizeMiB;
  std::strncpy(sel.text, text, kEntryTextSize - 1);
  sel.text[kEntryTextSize - 1] = 0;
  ClearFlag(g_app.abortFlag);
  if (g_mibRead >= kExtractBudgetMiB) SetFlag(g_app.abortFlag);
  g_output = FileSink{};
  u32 before = g_extractDone;
  ExtractThread(nullptr);
  if (g_extractDone != before + 1) Fail("the extraction did not end with exactly one done message");
  if (g_output.creates != g_output.closes) Fail("an output file was left open");
  // A write made short takes half its sectors, perhaps half a sector.
  if (!g_shortWrites) {
    if (g_output.bytes % 512 != 0) Fail("output length is not a whole number of sectors");
    if (g_output.unalignedWrites) Fail("an output write was not whole sectors from aligned memory");
  }
  g_extracted += g_output.bytes;
  if (g_verbose)
    std::fprintf(stderr, "  extract %u (%u MiB listed): %llu bytes written, hash %016llx\n", first,
                 sizeMiB, static_cast<unsigned long long>(g_output.bytes),
                 static_cast<unsigned long long>(g_output.hash));
}

// The list line of a recording ends in "  <size>Mo".
void CheckLine(u32 row) {
  const char* line = g_lines[row];
  for (const char* p = line; *p; ++p)
    if (*p < 0x20 || *p > 0x7E) Fail("a list line holds an unprintable byte");
  char tail[32];
  std::snprintf(tail, sizeof tail, "  %uMo", g_app.recordings.rows[row].sizeMiB);
  size_t n = std::strlen(line), t = std::strlen(tail);
  if (n < t || std::strcmp(line + n - t, tail) != 0) Fail("a list line does not end with its size");
  if (g_app.recordings.rows[row].listPosition != row) Fail("a row is not on its own line");
  if (g_app.recordings.rows[row].firstCluster == 0) Fail("a listed recording starts at cluster 0");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!AllocateBuffers()) Fail("cannot allocate the buffers");
  std::strcpy(g_app.outputPath, "recording.ts");  // never created: the output sink takes it
  SetFileSinks(&g_output, &g_log);
  SetThreadReuse(true);  // a new thread per extraction costs more than the rest of a run
  SetUiPort(&kPort);
  g_verbose = std::getenv("MELVIR_FUZZ_VERBOSE") != nullptr;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
  int freeDescriptor = LowestFreeDescriptor();
  DecodeCompactInput(data, size, &g_input);
  u8 options = g_input.options;
  ResetDiskRecord();
  ResetFaultCounts();
  if (options & kFault) ArmInputFault(g_input);
  g_shortWrites = (options & kFault) && g_input.faultKind == kCallWrite &&
                  g_input.faultMode == kFaultShort;
  g_sources[0] = DriveSource{nullptr, &g_emptyDrive};
  g_input.drive.readLimit = options & kTrace ? kTracedReadLimit : kReadLimit;
  g_sources[1] = DriveSource{nullptr, &g_input.drive};
  if (options & kEmptyDriveFirst)
    SetDriveSources(g_sources, 2);
  else
    SetDriveSources(g_sources + 1, 1);
  g_app.traceOption = options & kTrace;
  g_app.quietOption = options & kQuiet;
  ClearFlag(g_app.diskOpen);
  ClearFlag(g_app.abortFlag);
  g_lineCount = 0;
  g_lineTooLong = false;
  g_scanDone = g_extractDone = 0;
  g_mibRead = 0;
  g_extracted = 0;
  g_log = FileSink{};

  // As StartScan, without the thread: Info keeps the record as it was.
  ClearFlag(g_app.infoPublished);
  g_app.infoBeforeScan = g_disk;
  ScanThread(nullptr);
  if (g_scanDone != 1) Fail("the scan did not end with exactly one done message");
  // Info, asked during or after the scan, shows the disk as discovery left it.
  char info[kDiskInfoSize], published[kDiskInfoSize];
  FormatDiskInfo(info);
  FormatPublishedDiskInfo(published);
  if (std::strcmp(info, published) != 0) Fail("Info differs from the disk as discovery left it");
  u32 rows = g_app.recordings.rowCount.load();
  if (rows > kMaxRecordings) Fail("more rows than the table holds");
  if (g_lineTooLong) Fail("a list line is longer than 75 characters");
  if (g_lineCount != rows) Fail("list lines and table rows differ");
  if (rows && !TestFlag(g_app.diskOpen)) Fail("rows listed without an open disk");
  for (u32 i = 0; i < rows; ++i) CheckLine(i);
  if (g_verbose) {
    std::fprintf(stderr, "run: %zu bytes, options %02X, disk %s, %u listed\n", size, options,
                 TestFlag(g_app.diskOpen) ? "found" : "not found", rows);
    for (u32 i = 0; i < rows; ++i) std::fprintf(stderr, "  %s\n", g_lines[i]);
  }

  for (u32 i = 0; i < rows && i < kMaxExtractions && g_extracted < kExtractBudget; ++i) {
    const RecordingInfo& r = g_app.recordings.rows[i];
    Extract(r.firstCluster, r.sizeMiB, g_lines[i]);
  }
  if ((options & kExtraExtract) && g_extracted < kExtractBudget) Extract(g_input.extra, 1, "extra");

  FormatDiskInfo(info);
  if (std::strlen(info) >= kDiskInfoSize) Fail("the Info text overflows");

  ResetDiskRecord();
  DisarmFault();
  SetDriveSources(nullptr, 0);
  if (g_input.drive.writeAttempts || g_emptyDrive.writeAttempts) Fail("a drive was written to");
  if (g_log.creates != g_log.closes) Fail("the trace log was left open");
  if (OpenMemoryFiles() != 0) Fail("a drive or file handle was left open");
  if (LowestFreeDescriptor() != freeDescriptor) Fail("a file descriptor was left open");
  if (g_verbose)
    std::fprintf(stderr, "  trace log: %llu bytes, hash %016llx\n",
                 static_cast<unsigned long long>(g_log.bytes),
                 static_cast<unsigned long long>(g_log.hash));
  return 0;
}
