// A UTF-8 path as Windows' wide-character file interface takes it.
#ifndef MELVIR_PLATFORM_WIDE_PATH_H
#define MELVIR_PLATFORM_WIDE_PATH_H

#ifdef _WIN32
struct WidePath {
  explicit WidePath(const char* utf8);
  wchar_t text[1024];
};
#endif

#endif
