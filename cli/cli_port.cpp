#include "cli/cli_port.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "app/state.h"
#include "app/ui_port.h"
#include "cli/progress.h"
#include "platform/platform.h"

namespace {

// The writer thread reports its errors while the extraction thread draws
// progress: one lock keeps their stderr lines whole. A spin lock, as the
// mingw-w64 runtime (win32 threads) has no std::mutex; it is held briefly.
std::atomic_flag g_lock = ATOMIC_FLAG_INIT;

struct Hold {
  Hold() {
    while (g_lock.test_and_set(std::memory_order_acquire)) YieldThread();
  }
  ~Hold() { g_lock.clear(std::memory_order_release); }
};

char g_lines[kMaxRecordings][kListTextSize];
std::atomic<u32> g_lineCount{0};
std::atomic<u32> g_errors{0};
const char* g_file = nullptr;  // the output file of the running extraction
bool g_noticeSeen = false;
char g_notice[100];

void SayLocked(const char* text) {
  ClearProgress();
  std::fprintf(stderr, "melvir: %s\n", text);
  std::fflush(stderr);
}

void OnError(const char* text) {
  Hold hold;
  g_errors.fetch_add(1);
  if (!g_file) {
    SayLocked(text);
    return;
  }
  char line[400];
  FormatText(line, sizeof line, "%s: %s", g_file, text);
  SayLocked(line);
}

void OnNotice(const char* text) {
  Hold hold;
  FormatText(g_notice, sizeof g_notice, "%s", text);
  g_noticeSeen = true;
}

void ResetList() { g_lineCount.store(0); }

void AddListLine(const char* text) {
  u32 n = g_lineCount.load();
  if (n == kMaxRecordings) return;
  FormatText(g_lines[n], kListTextSize, "%s", text);
  g_lineCount.store(n + 1);
}

void SetStatus(const char* text) {
  Hold hold;
  ProgressLabel(text);
}

void SetProgress(u32 position) {
  Hold hold;
  ProgressPercent(position);
}

void ReadProgress(u32 mibRead) {
  Hold hold;
  ProgressMiB(mibRead);
}

void Nothing() {}

const UiPort kCliPort = {OnError, OnNotice, ResetList, AddListLine, SetStatus,
                         SetProgress, Nothing, Nothing, Nothing, ReadProgress};

}  // namespace

void InstallCliPort() { SetUiPort(&kCliPort); }

u32 ListLineCount() { return g_lineCount.load(); }

const char* ListLine(u32 index) { return g_lines[index]; }

u32 ErrorCount() { return g_errors.load(); }

void BeginExtraction(const char* file, u32 sizeMiB, bool show) {
  Hold hold;
  g_file = file;
  g_noticeSeen = false;
  StartProgress(show, sizeMiB);
}

bool EndExtraction(char* notice, u32 size) {
  Hold hold;
  EndProgress();
  g_file = nullptr;
  FormatText(notice, size, "%s", g_noticeSeen ? g_notice : "");
  return g_noticeSeen;
}

void Say(const char* format, ...) {
  char text[600];
  va_list args;
  va_start(args, format);
  FormatTextV(text, sizeof text, format, args);
  va_end(args);
  Hold hold;
  SayLocked(text);
}
