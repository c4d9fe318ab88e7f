// Absolute "\\?\" paths: Windows hands such a path to the file system
// unparsed, and so without the MAX_PATH limit; it is made absolute here
// first because that parse ("." and "..", "/" for "\", the current folder)
// is what the prefix skips.
#include "platform/wide_path.h"

#include <windows.h>

#include <cwchar>

namespace {

const DWORD kRoom = sizeof(WidePath::text) / sizeof(wchar_t);

bool StartsWith(const wchar_t* text, const wchar_t* start) {
  return std::wcsncmp(text, start, std::wcslen(start)) == 0;
}

}  // namespace

WidePath::WidePath(const char* utf8) {
  wchar_t given[kRoom];
  text[0] = 0;
  if (!MultiByteToWideChar(CP_UTF8, 0, utf8, -1, given, kRoom)) return;
  wchar_t full[kRoom];
  full[0] = 0;
  DWORD n = StartsWith(given, L"\\\\?\\") || StartsWith(given, L"\\\\.\\") || given[0] == 0
                ? 0 : GetFullPathNameW(given, kRoom, full, nullptr);
  // Already prefixed, a device (GetFullPathNameW makes NUL "\\.\NUL"), or
  // too long to say: as given.
  const wchar_t* prefix = StartsWith(full, L"\\\\") ? L"\\\\?\\UNC" : L"\\\\?\\";
  const wchar_t* rest = StartsWith(full, L"\\\\") ? full + 1 : full;
  if (n == 0 || n >= kRoom || StartsWith(full, L"\\\\.\\") ||
      std::wcslen(prefix) + std::wcslen(rest) >= kRoom) {
    std::wcscpy(text, given);
    return;
  }
  std::wcscpy(text, prefix);
  std::wcscat(text, rest);
}
