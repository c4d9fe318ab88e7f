// The regular files under a folder, read on each system with its own calls:
// on Windows through absolute "\\?\" paths and UTF-8 names, so that a
// library past 260 characters or of names outside the code page is read
// back whole.
#ifndef MELVIR_FILES_FOLDER_FILES_H
#define MELVIR_FILES_FOLDER_FILES_H

#include <string>
#include <vector>

// Every regular file under folder and its sub-folders (not through links)
// whose name ends in one of the suffixes, as folder + "/" + its path below
// with "/" between names, sorted; a folder that cannot be read adds nothing.
std::vector<std::string> FilesUnder(const std::string& folder, const std::vector<std::string>& suffixes);

// name ends in one of the suffixes (and is longer than it).
bool EndsInOneOf(const std::string& name, const std::vector<std::string>& suffixes);

#endif
