// A UTF-8 path as Windows' wide-character file interface takes it: made
// absolute and given the "\\?\" prefix, so that a path past MAX_PATH (260)
// opens even where LongPathsEnabled is off. Device names ("\\.\X", NUL) and
// paths already prefixed are kept as they are.
#ifndef MELVIR_PLATFORM_WIDE_PATH_H
#define MELVIR_PLATFORM_WIDE_PATH_H

#ifdef _WIN32
struct WidePath {
  explicit WidePath(const char* utf8);
  // The prefix ("\\?\UNC\") and a path of 1024 characters.
  wchar_t text[1040];
};
#endif

#endif
