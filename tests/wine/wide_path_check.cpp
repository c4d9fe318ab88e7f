// The paths WidePath gives Windows' file calls, under Wine: absolute, with
// the "\\?\" prefix that lifts MAX_PATH, devices and prefixed paths as given.
// Prints "ok: ..." or "FAIL: ..." per case; exit status 1 on a failure.
//
//   wide_path_check FOLDER      (FOLDER: an absolute folder, made current)
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/wide_path.h"

int main(int argc, char** argv) {
  if (argc != 2 || !SetCurrentDirectoryA(argv[1])) {
    std::fprintf(stderr, "usage: wide_path_check FOLDER (an existing absolute folder)\n");
    return 2;
  }
  wchar_t here[1024];
  GetCurrentDirectoryW(1024, here);
  std::wstring cwd = here;
  std::string deep(300, 'x');
  std::wstring wdeep(deep.begin(), deep.end());
  struct Case {
    std::string given;
    std::wstring wanted;
  } cases[] = {
      {"Z:\\a\\..\\b\\c.mkv", L"\\\\?\\Z:\\b\\c.mkv"},
      {"Z:/a/./b.nfo", L"\\\\?\\Z:\\a\\b.nfo"},
      {"film.mkv", L"\\\\?\\" + cwd + L"\\film.mkv"},
      {"Z:\\" + deep + "\\f.mkv", L"\\\\?\\Z:\\" + wdeep + L"\\f.mkv"},
      {"\\\\server\\share\\f.mkv", L"\\\\?\\UNC\\server\\share\\f.mkv"},
      {"\\\\?\\Z:\\a\\..\\kept", L"\\\\?\\Z:\\a\\..\\kept"},
      {"\\\\.\\PhysicalDrive1", L"\\\\.\\PhysicalDrive1"},
      {"nul", L"nul"},
  };
  int failures = 0;
  for (const Case& c : cases) {
    WidePath path(c.given.c_str());
    bool ok = c.wanted == path.text;
    if (!ok) ++failures;
    std::printf("%s: %s -> %ls\n", ok ? "ok" : "FAIL", c.given.c_str(), path.text);
  }
  return failures ? 1 : 0;
}
