// The library's files, and what it holds read back from them.
#include "library/library_files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "files/folder_files.h"
#include "files/output_file.h"
#include "library/nfo.h"
#include "platform/write_guard.h"

namespace {

bool WriteBytes(std::FILE* file, const void* context) {
  const std::string& bytes = *static_cast<const std::string*>(context);
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

// A regular file has the name path.
bool Exists(const std::string& path) {
  u64 size;
  return SizeOfFile(path.c_str(), &size);
}

}  // namespace

bool SaveWhenChanged(const std::string& path, const std::string& bytes, bool* written) {
  std::string held;
  *written = false;
  if (ReadSideFile(path.c_str(), &held) && held == bytes) return true;
  u32 error;
  if (ReplaceSideFile(path.c_str(), WriteBytes, &bytes, &error) != kWriteAllowed) return false;
  *written = true;
  return true;
}

std::string EarliestAired(const std::string& showFolder) {
  std::string earliest;
  for (const std::string& nfo : FilesUnder(showFolder, {".nfo"})) {
    std::string xml;
    if (!ReadSideFile(nfo.c_str(), &xml) || xml.find("<episodedetails>") == std::string::npos) continue;
    std::string aired = NfoField(xml, "aired");
    if (!aired.empty() && (earliest.empty() || aired < earliest)) earliest = aired;
  }
  return earliest;
}

std::string LinkOf(const std::string& path) {
  std::string link;
  for (unsigned char c : path) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '/' || c == '-' || c == '.' || c == '_' || c == '~';
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", c);
    link += plain ? std::string(1, char(c)) : std::string(hex);
  }
  return link;
}

void LibraryCards(const std::string& dir, std::vector<CatalogueCard>* cards) {
  cards->clear();
  const std::string& root = dir;
  for (const char* part : {"/Movies", "/Shows"}) {
    for (const std::string& file : FilesUnder(root + part, {".mkv", ".ts"})) {
      std::string stem = file.substr(0, file.rfind('.')), xml;
      if (!ReadSideFile((stem + ".nfo").c_str(), &xml)) continue;
      bool film = xml.find("<movie>") != std::string::npos;
      CatalogueCard c = {};
      c.index = u32(cards->size() + 1);
      c.link = LinkOf(file.substr(root.size() + 1));
      c.name = film ? NfoField(xml, "title") : NfoField(xml, "showtitle");
      c.title = NfoField(xml, "title");
      c.service = NfoField(xml, "studio");
      std::string when = film ? NfoField(xml, "dateadded") : NfoField(xml, "aired");
      c.date = when.substr(0, 10);
      if (when.size() >= 16) c.time = when.substr(11, 5);
      std::string width = NfoField(xml, "width"), height = NfoField(xml, "height");
      if (!width.empty()) c.video = width + "x" + height + ", " + NfoField(xml, "codec");
      std::string seconds = NfoField(xml, "durationinseconds");
      c.durationS = seconds.empty() ? -1 : std::atof(seconds.c_str());
      if (!SizeOfFile(file.c_str(), &c.sizeBytes)) c.sizeBytes = 0;
      std::string plot = NfoField(xml, "plot");
      c.damaged = plot.find("could not be read from the recorder") != std::string::npos;
      c.health = c.damaged ? plot.substr(plot.rfind('\n') + 1) : "";
      std::string picture = stem + (film ? "-fanart.jpg" : "-thumb.jpg");
      if (Exists(picture)) c.thumbnail = LinkOf(picture.substr(root.size() + 1));
      cards->push_back(c);
    }
  }
}
