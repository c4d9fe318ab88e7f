// The output writer on the Windows platform, under Wine, on the real volume
// and on volumes whose sectors are 512 and 4096 bytes (forced through the
// platform's test hook, which also refuses unbuffered writes of part sectors
// as Windows does): the file is unbuffered only on 512-byte sectors, and
// every file holds the whole stream, rounded down to 512 bytes.
// Prints "ok: ..." or "FAIL: ..." per check; exit status 1 on a failure.
//
//   output_check FOLDER
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/state.h"
#include "app/ui_port.h"
#include "output/writer.h"
#include "platform/fault.h"

namespace {

int g_failures = 0;
std::string g_errors;

void Check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
  if (!ok) ++g_failures;
}

void Record(const char* text) { g_errors += std::string(text) + "; "; }
void Ignore(const char*) {}
void Nothing() {}
void IgnoreProgress(u32) {}
const UiPort kPort = {Record, Ignore, Nothing, Ignore, Ignore, IgnoreProgress,
                      Nothing, Nothing, Nothing, nullptr};

// Whether the system writes the open file without its cache.
bool Unbuffered(FileHandle file) {
  typedef LONG(WINAPI * QueryFile)(HANDLE, void* status, void* info, ULONG size, int infoClass);
  const int kFileModeInformation = 16;
  const ULONG kNoIntermediateBuffering = 0x8;
  QueryFile query = reinterpret_cast<QueryFile>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile")));
  ULONG_PTR status[2];
  ULONG mode = 0;
  return query && query(reinterpret_cast<HANDLE>(file), status, &mode, sizeof mode,
                        kFileModeInformation) == 0 &&
         (mode & kNoIntermediateBuffering) != 0;
}

std::string ReadAll(const std::string& path) {
  std::string s;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || !AllocateBuffers()) {
    std::printf("FAIL: usage: output_check FOLDER\n");
    return 1;
  }
  SetUiPort(&kPort);
  // A full buffer, then a tail of three sectors and a part sector.
  const u32 kLength = 0x100000 + 3 * 512 + 100, kKept = 0x100000 + 3 * 512;
  std::vector<char> stream(kLength);
  for (u32 i = 0; i < kLength; ++i) stream[i] = static_cast<char>(i * 7 + i / 4096);
  for (u32 sector : {0u, 512u, 4096u}) {
    std::string label = sector ? std::to_string(sector) + "-byte sectors" : "the real volume";
    std::string path = std::string(argv[1]) + "\\out-" + std::to_string(sector) + ".ts";
    ForceOutputSectorSize(sector);
    g_errors.clear();
    ClearFlag(g_app.abortFlag);
    if (!OpenOutput(path.c_str())) {
      Check(false, label + ": the output opens");
      continue;
    }
    if (sector) {
      Check(Unbuffered(g_writer.file) == (sector == 512),
            label + ": the file is " + (sector == 512 ? "" : "not ") + "written unbuffered");
    }
    bool ok = WriteOutput(stream.data(), kLength);
    ok = CloseOutput() && ok;
    Check(ok && g_errors.empty(), label + ": the writer succeeds" +
                                      (g_errors.empty() ? "" : " (shown: " + g_errors + ")"));
    Check(ReadAll(path) == std::string(stream.data(), kKept),
          label + ": the file holds the stream rounded down to 512 bytes");
  }
  DisarmFault();
  return g_failures ? 1 : 0;
}
