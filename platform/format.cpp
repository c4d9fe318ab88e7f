// printf-style formatting, the same on every platform.
#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

u32 FormatTextV(char* out, u32 size, const char* format, va_list args) {
  if (size == 0) return 0;
  // Bounded, unlike wsprintf, so no text from the disk can overrun a buffer.
  int n = std::vsnprintf(out, size, format, args);
  if (n < 0) {
    out[0] = 0;
    return 0;
  }
  return static_cast<u32>(n) < size ? static_cast<u32>(n) : size - 1;
}

u32 FormatText(char* out, u32 size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  u32 n = FormatTextV(out, size, format, args);
  va_end(args);
  return n;
}
