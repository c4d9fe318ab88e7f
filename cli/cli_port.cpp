#include "cli/cli_port.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "app/ui_port.h"
#include "cli/progress.h"
#include "platform/platform.h"

namespace {

// A spin lock keeps stderr lines whole should two threads speak at once (the
// mingw-w64 runtime, win32 threads, has no std::mutex); it is held briefly.
std::atomic_flag g_lock = ATOMIC_FLAG_INIT;

struct Hold {
  Hold() {
    while (g_lock.test_and_set(std::memory_order_acquire)) YieldThread();
  }
  ~Hold() { g_lock.clear(std::memory_order_release); }
};

void SayLocked(const char* text) {
  ClearProgress();
  std::fprintf(stderr, "melvir: %s\n", text);
  std::fflush(stderr);
}

void OnError(const char* text) {
  Hold hold;
  SayLocked(text);
}

}  // namespace

void InstallCliPort() {
  static UiPort port = SilentUiPort();
  port.showError = OnError;
  SetUiPort(&port);
}

void Say(const char* format, ...) {
  char text[1600];
  va_list args;
  va_start(args, format);
  FormatTextV(text, sizeof text, format, args);
  va_end(args);
  Hold hold;
  SayLocked(text);
}
