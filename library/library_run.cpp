// The files beside a library's recordings.
#include "library/library_run.h"

#include "library/library_files.h"
#include "library/nfo.h"
#include "platform/platform.h"
#include "platform/write_guard.h"
#include "remux/media_details.h"

namespace {

bool Held(const std::string& path) {
  std::string bytes;
  return ReadSideFile(path.c_str(), &bytes);
}

std::string StemOf(const std::string& file) {
  size_t dot = file.rfind('.'), slash = file.rfind('/');
  return dot == std::string::npos || (slash != std::string::npos && dot < slash) ? file : file.substr(0, dot);
}

// A picture is never written over: a run adds what is missing.
bool AddPicture(const std::string& path, const std::vector<u8>& jpeg, std::string* failed) {
  if (jpeg.empty() || Held(path)) return true;
  bool written;
  if (SaveWhenChanged(path, std::string(jpeg.begin(), jpeg.end()), &written)) return true;
  *failed = path;
  return false;
}

}  // namespace

std::string TallyText(const LibraryTally& t, u32 recordings) {
  char under[48] = "";
  if (t.renamed) FormatText(under, sizeof under, " (%u under a new name)", t.renamed);
  char text[200];
  FormatText(text, sizeof text, "%u recording%s: %u added%s, %u already there, %u failed, %u damaged",
             recordings, recordings == 1 ? "" : "s", t.added, under, t.alreadyThere, t.failed, t.damaged);
  return text;
}

std::string DamageLine(double seconds) {
  char text[160];
  FormatText(text, sizeof text, "[About %.0f s of this recording could not be read from the recorder's "
             "disk; those seconds are missing.]", seconds < 1 ? 1.0 : seconds);
  return text;
}

std::string PicturePath(const LibraryEntry& e, const std::string& stemPath) {
  return stemPath + (e.kind == kLibraryFilm ? "-fanart.jpg" : "-thumb.jpg");
}

bool PictureWanted(const LibraryEntry& e, const std::string& dir, const std::string& stemPath) {
  return !Held(PicturePath(e, stemPath)) ||
         (e.kind == kLibraryEpisode && !Held(dir + "/" + e.show + "/fanart.jpg"));
}

bool WriteBeside(const std::string& dir, const LibraryEntry& e, const std::string& file, bool fresh,
                 const std::string& damage, const std::vector<u8>& jpeg, std::string* failed) {
  std::string stem = StemOf(file), nfo = stem + ".nfo";
  bool written;
  if (fresh || !Held(nfo)) {
    MediaDetails details;
    ReadMediaDetails(file.c_str(), &details);  // what cannot be read is left out
    std::string xml;
    RecordingNfo(e, details, damage, &xml);
    if (!SaveWhenChanged(nfo, xml, &written)) {
      *failed = nfo;
      return false;
    }
  }
  if (!AddPicture(PicturePath(e, stem), jpeg, failed)) return false;
  if (e.kind != kLibraryEpisode) return true;
  std::string show = dir + "/" + e.show;
  if (!AddPicture(show + "/fanart.jpg", jpeg, failed)) return false;
  // Never absent: an earlier episode's NFO that cannot be read leaves this one's.
  std::string premiered = EarliestAired(show);
  if (premiered.empty()) premiered = CivilDate(e.local);
  std::string xml;
  ShowNfo(e, premiered, &xml);
  if (SaveWhenChanged(show + "/tvshow.nfo", xml, &written)) return true;
  *failed = show + "/tvshow.nfo";
  return false;
}

bool WriteLibraryPage(const std::string& dir) {
  CataloguePage page;
  LibraryCards(dir, &page.cards);
  std::string html;
  RenderCataloguePage(page, &html);
  bool written;
  return SaveWhenChanged(dir + "/index.html", html, &written);
}
