// The files under a folder on Windows: FindFirstFileW through WidePath, the
// names turned into UTF-8.
#include "files/folder_files.h"

#include <windows.h>

#include <algorithm>

#include "platform/wide_path.h"

namespace {

std::string Utf8Of(const wchar_t* wide) {
  char text[1024];
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
  return n > 0 ? std::string(text) : std::string();
}

void Walk(const std::string& folder, const std::vector<std::string>& suffixes, std::vector<std::string>* found) {
  WidePath pattern((folder + "/*").c_str());
  WIN32_FIND_DATAW e;
  HANDLE h = FindFirstFileExW(pattern.text, FindExInfoBasic, &e, FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = Utf8Of(e.cFileName);
    if (name.empty() || name == "." || name == "..") continue;
    std::string path = folder + "/" + name;
    bool link = e.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
    if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!link) Walk(path, suffixes, found);
    } else if (EndsInOneOf(name, suffixes)) {
      found->push_back(path);
    }
  } while (FindNextFileW(h, &e));
  FindClose(h);
}

}  // namespace

std::vector<std::string> FilesUnder(const std::string& folder, const std::vector<std::string>& suffixes) {
  std::vector<std::string> found;
  Walk(folder, suffixes, &found);
  std::sort(found.begin(), found.end());
  return found;
}
