// libFuzzer target: the whole road from a raw disk to extracted recordings,
// on disks the fuzzer makes up.
//
// Input encoding: the input IS a raw disk image, sector n at byte n x 512.
// The disk ends where the input ends (unless option bit 5 says otherwise),
// so every read beyond it fails the way a truncated disk does. Seeds (fuzz/corpus/, written by
// make_corpus) put the volume header in sector 3, with the allocation table,
// directory and data right after it, so everything the reader looks at lies
// in the first few KiB; any corpus file can be listed with the command-line
// front end as it is.
//
// Sector 0 is not part of the recorder's structures (they start at sector
// 2), unless a header points there; its first bytes choose how the run is
// made. Byte 0 holds the options:
//   bit 0  trace log on (its lines go to /dev/null, but are all formatted)
//   bit 1  quiet option: scan errors are not reported
//   bit 2  an empty drive is probed before the image (drive 0 fails to read)
//   bit 3  also extract from the cluster given by bytes 4..7 of sector 0
//          (little-endian), which need not be in the directory at all
//   bit 4  one platform call fails: byte 1 chooses the kind (low bits, the
//          platform/fault.h order) and whether it fails outright or comes
//          back short (bit 7); bytes 2..3 (little-endian) which call of
//          that kind, counted from the start of the run
//   bit 5  the disk goes on past the input, reading as zeros, to 8 MiB: a
//          small input then holds recordings long enough for the output
//          writer to hand buffers to its thread
//
// One run: discovery and the whole scan (ScanThread), then the extraction of
// every listed recording (ExtractThread, as the front ends make it) into a
// memory file, then the Info text and CloseDisk. Checked after each run:
// the image was not changed, every file descriptor opened was closed, the
// list lines match the table, output lengths are whole sectors.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/runs.h"
#include "app/state.h"
#include "app/ui_port.h"
#include "disk/recorder_disk.h"
#include "output/writer.h"
#include "platform/fault.h"
#include "platform/platform.h"

namespace {

int g_imageFd = -1;   // the input, as drive 0 (or 1)
int g_outputFd = -1;  // extraction output
int g_scratchDir = -1, g_startDir = -1;
char g_imagePath[64];
char g_outputPath[64];
const char* g_drives[2];
bool g_verbose = false;  // MELVIR_FUZZ_VERBOSE set: what each run found, on stderr

// What the threads sent through the port during one run.
char g_lines[kMaxRecordings + 1][kListTextSize];
u32 g_lineCount = 0;
bool g_lineTooLong = false;
u32 g_scanDone = 0, g_extractDone = 0;

void Ignore(const char*) {}
void Nothing() {}
void IgnoreNumber(u32) {}
void OnLine(const char* text) {
  if (std::strlen(text) >= kListTextSize) g_lineTooLong = true;
  if (g_lineCount <= kMaxRecordings) {
    std::strncpy(g_lines[g_lineCount], text, kListTextSize - 1);
    g_lines[g_lineCount][kListTextSize - 1] = 0;
  }
  ++g_lineCount;
}
void OnScanDone() { ++g_scanDone; }
void OnExtractDone() { ++g_extractDone; }
const UiPort kPort = {Ignore, Ignore, Nothing, OnLine, Ignore,
                      IgnoreNumber, Nothing, OnScanDone, OnExtractDone, IgnoreNumber};

void Fail(const char* what) {
  std::fprintf(stderr, "disk_fuzzer: %s\n", what);
  std::abort();
}

int MemoryFile(const char* name) {
  int fd = memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) Fail("memfd_create failed");
  return fd;
}

void ResetDisk() {
  CloseDisk();
  g_disk = RecorderDisk{};
  g_disk.device = kNoFile;
  g_disk.traceLog = kNoFile;
  g_disk.cachedSector = kNoSector;
}

const size_t kZeroExtendedDisk = 8u << 20;

// The image has diskSize bytes: the input, then zeros.
void WriteImage(const u8* data, size_t size, size_t diskSize) {
  if (ftruncate(g_imageFd, 0) != 0) Fail("cannot empty the image");
  size_t done = 0;
  while (done < size) {
    ssize_t n = pwrite(g_imageFd, data + done, size - done, off_t(done));
    if (n <= 0) Fail("cannot write the image");
    done += size_t(n);
  }
  if (diskSize > size && ftruncate(g_imageFd, off_t(diskSize)) != 0) Fail("cannot extend the image");
}

// The recorder disk is only ever read: the image must be as it was.
void CheckImageUnchanged(const u8* data, size_t size, size_t diskSize) {
  struct stat st;
  if (fstat(g_imageFd, &st) != 0 || size_t(st.st_size) != diskSize) Fail("the image changed size");
  static std::vector<u8> back;
  back.resize(size);
  size_t done = 0;
  while (done < size) {
    ssize_t n = pread(g_imageFd, back.data() + done, size - done, off_t(done));
    if (n <= 0) Fail("cannot read the image back");
    done += size_t(n);
  }
  if (size && std::memcmp(back.data(), data, size) != 0) Fail("the image was written to");
}

// Descriptors open in the process now. libFuzzer may open some of its own
// between runs (the symbolizer's pipes), so each run is compared with the
// count taken as it began.
int OpenDescriptors() {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) Fail("cannot list /proc/self/fd");
  int n = 0;
  while (readdir(dir)) ++n;
  closedir(dir);
  return n;
}

// Every drive, log and output handle of the run must be closed again. A
// thread of the run that is still ending may hold one for an instant (the
// sanitizer runtime's own), so a surplus must last a while to count.
void CheckNoDescriptorLeft(int before) {
  for (int attempt = 0; OpenDescriptors() != before; ++attempt) {
    if (attempt == 100) {
      std::fprintf(stderr, "disk_fuzzer: %d descriptors open after the run, %d before\n",
                   OpenDescriptors(), before);
      Fail("a file descriptor was left open");
    }
    usleep(1000);
  }
}

void Extract(u32 first, u32 sizeMiB, const char* text) {
  Selection& sel = g_app.selection;
  sel.valid = true;
  sel.firstCluster = first;
  sel.sizeMiB = sizeMiB;
  std::strncpy(sel.text, text, kListTextSize - 1);
  sel.text[kListTextSize - 1] = 0;
  ClearFlag(g_app.abortFlag);
  u32 before = g_extractDone;
  ExtractThread(nullptr);
  if (g_extractDone != before + 1) Fail("the extraction did not end with exactly one done message");
  struct stat st;
  if (fstat(g_outputFd, &st) != 0) Fail("cannot stat the output");
  if (st.st_size % 512 != 0) Fail("output length is not a whole number of sectors");
  if (g_verbose)
    std::fprintf(stderr, "  extract %u (%u MiB listed): %lld bytes written\n", first, sizeMiB,
                 static_cast<long long>(st.st_size));
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
  // The trace log is created in the current folder: a private one where the
  // log is /dev/null, so tracing costs formatting, not disk space.
  // Each run is made in that folder; libFuzzer's own paths stay relative to
  // the folder it was started in.
  static char dir[] = "/tmp/melvir-fuzz-XXXXXX";
  if (!mkdtemp(dir)) Fail("cannot make a scratch folder");
  g_scratchDir = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  g_startDir = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (g_scratchDir < 0 || g_startDir < 0) Fail("cannot open the folders");
  if (symlinkat("/dev/null", g_scratchDir, kTraceLogName) != 0) Fail("cannot link the trace log");
  g_imageFd = MemoryFile("melvir-image");
  g_outputFd = MemoryFile("melvir-output");
  std::snprintf(g_imagePath, sizeof g_imagePath, "/proc/self/fd/%d", g_imageFd);
  std::snprintf(g_outputPath, sizeof g_outputPath, "/proc/self/fd/%d", g_outputFd);
  if (std::strlen(g_outputPath) >= kOutputPathSize) Fail("output path too long");
  std::strcpy(g_app.outputPath, g_outputPath);
  SetUiPort(&kPort);
  g_verbose = std::getenv("MELVIR_FUZZ_VERBOSE") != nullptr;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
  if (size > (64u << 20)) return -1;  // no more than a small disk's worth
  u8 options = size ? data[0] : 0;
  u32 extraFirst = 0;
  if (size >= 8) std::memcpy(&extraFirst, data + 4, 4);  // little-endian hosts only

  int descriptors = OpenDescriptors();
  if (fchdir(g_scratchDir) != 0) Fail("cannot enter the scratch folder");
  size_t diskSize = (options & 32) && size < kZeroExtendedDisk ? kZeroExtendedDisk : size;
  WriteImage(data, size, diskSize);
  ResetDisk();
  ResetFaultCounts();
  if ((options & 16) && size >= 4) {
    u32 kind = (data[1] & 0x7F) % kCallKinds;
    u32 occurrence = data[2] | u32(data[3]) << 8;
    ArmFault(static_cast<PlatformCall>(kind), occurrence, data[1] & 0x80 ? kFaultShort : kFaultFail);
  }
  g_drives[0] = "/dev/null";
  g_drives[1] = g_imagePath;
  if (options & 4)
    SetDriveTable(g_drives, 2);
  else
    SetDriveTable(g_drives + 1, 1);
  g_app.traceOption = options & 1;
  g_app.quietOption = options & 2;
  ClearFlag(g_app.diskOpen);
  ClearFlag(g_app.abortFlag);
  g_lineCount = 0;
  g_lineTooLong = false;
  g_scanDone = g_extractDone = 0;

  ScanThread(nullptr);
  if (g_scanDone != 1) Fail("the scan did not end with exactly one done message");
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

  for (u32 i = 0; i < rows; ++i) {
    const RecordingInfo& r = g_app.recordings.rows[i];
    Extract(r.firstCluster, r.sizeMiB, g_lines[i]);
  }
  if (options & 8) Extract(extraFirst, 1, "extra");

  char info[kDiskInfoSize];
  FormatDiskInfo(info);
  if (std::strlen(info) >= kDiskInfoSize) Fail("the Info text overflows");

  ResetDisk();
  DisarmFault();
  SetDriveTable(nullptr, 0);
  CheckImageUnchanged(data, size, diskSize);
  CheckNoDescriptorLeft(descriptors);
  if (fchdir(g_startDir) != 0) Fail("cannot go back to the start folder");
  return 0;
}
