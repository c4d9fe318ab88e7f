// What both systems' listings share.
#include "files/folder_files.h"

bool EndsInOneOf(const std::string& name, const std::vector<std::string>& suffixes) {
  for (const std::string& s : suffixes)
    if (name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0) return true;
  return false;
}
