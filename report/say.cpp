// Lines on stderr, one at a time.
#include "report/say.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

namespace {

// A spin lock keeps stderr lines whole should two threads speak at once (the
// mingw-w64 runtime, win32 threads, has no std::mutex); it is held briefly.
std::atomic_flag g_lock = ATOMIC_FLAG_INIT;
std::atomic<void (*)()> g_before{nullptr};

struct Hold {
  Hold() {
    while (g_lock.test_and_set(std::memory_order_acquire)) YieldThread();
  }
  ~Hold() { g_lock.clear(std::memory_order_release); }
};

}  // namespace

void SetBeforeSay(void (*before)()) { g_before.store(before); }

void SayText(const char* text) {
  Hold hold;
  if (void (*before)() = g_before.load()) before();
  std::fprintf(stderr, "melvir: %s\n", text);
  std::fflush(stderr);
}

void Say(const char* format, ...) {
  char text[1600];
  va_list args;
  va_start(args, format);
  FormatTextV(text, sizeof text, format, args);
  va_end(args);
  SayText(text);
}
