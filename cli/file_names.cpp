// Every recording's file name under --name-format, unique over the whole
// directory as the default names are.
#include "cli/file_names.h"

#include "platform/platform.h"

void FormatFileNames(const char* format, bool rescue, const Catalog& c,
                     std::vector<std::string>* files) {
  bool usesStream = false;
  char error[200];
  CheckNameFormat(format, &usesStream, error, sizeof error);
  NameSet set = {};
  files->clear();
  for (const Recording& r : c.recordings) {
    NameValues v;
    v.name = r.decoded;
    v.index = std::to_string(r.number);
    v.cluster = std::to_string(r.entry.firstCluster);
    if (usesStream) StreamNameValues(r, rescue, &v);
    std::string filled = FillNameFormat(format, v);
    char stem[kDecodedNameSize + 1], file[kFileNameSize + kDecodedNameSize];
    SafeStem(filled.c_str(), stem, sizeof stem);
    if (!UniqueFileName(&set, stem, file, sizeof file)) FormatText(file, sizeof file, "%s", r.file);
    files->push_back(file);
  }
  FreeNameSet(&set);
}
