// Every recording's file name under --name-format, unique over the whole
// directory as the default names are.
#include "cli/file_names.h"

#include "platform/platform.h"

namespace {

// Recording r's file name under the format, unique in *set; its own name
// when the format's cannot be made unique.
std::string FormatFileName(const char* format, bool usesStream, bool rescue, const Recording& r,
                           NameSet* set) {
  NameValues v;
  v.name = r.decoded;
  v.index = r.number ? std::to_string(r.number) : "";
  v.cluster = std::to_string(r.entry.firstCluster);
  if (usesStream) StreamNameValues(r, rescue, &v);
  std::string filled = FillNameFormat(format, v);
  char stem[kDecodedNameSize + 1], file[kFileNameSize + kDecodedNameSize];
  SafeStem(filled.c_str(), stem, sizeof stem);
  if (!UniqueFileName(set, stem, file, sizeof file)) FormatText(file, sizeof file, "%s", r.file);
  return file;
}

bool UsesStream(const char* format) {
  bool usesStream = false;
  char error[200];
  CheckNameFormat(format, &usesStream, error, sizeof error);
  return usesStream;
}

}  // namespace

void FormatFileNames(const char* format, bool rescue, const Catalog& c,
                     std::vector<std::string>* files) {
  bool usesStream = UsesStream(format);
  NameSet set = {};
  files->clear();
  for (const Recording& r : c.recordings) files->push_back(FormatFileName(format, usesStream, rescue, r, &set));
  FreeNameSet(&set);
}

void NameLostRecordings(const char* format, bool rescue, std::vector<Recording>* lost) {
  bool usesStream = UsesStream(format);
  NameSet set = {};
  for (Recording& r : *lost) {
    std::string file = FormatFileName(format, usesStream, rescue, r, &set);
    FormatText(r.file, sizeof r.file, "%s", file.c_str());
  }
  FreeNameSet(&set);
}
