// The files under a folder on POSIX systems.
#include "files/folder_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace {

void Walk(const std::string& folder, const std::vector<std::string>& suffixes, std::vector<std::string>* found) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string path = folder + "/" + name;
    struct stat s;
    if (lstat(path.c_str(), &s) != 0) continue;
    if (S_ISDIR(s.st_mode)) Walk(path, suffixes, found);
    // A link to a regular file counts as one, as the folder shows it.
    else if ((S_ISREG(s.st_mode) || (S_ISLNK(s.st_mode) && stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode))) &&
             EndsInOneOf(name, suffixes))
      found->push_back(path);
  }
  closedir(dir);
}

}  // namespace

std::vector<std::string> FilesUnder(const std::string& folder, const std::vector<std::string>& suffixes) {
  std::vector<std::string> found;
  Walk(folder, suffixes, &found);
  std::sort(found.begin(), found.end());
  return found;
}
