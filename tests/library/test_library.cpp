// Two disks of test recordings for the library.
#include "test_library.h"

#include "../cli/child.h"
#include "../remux/mkv_checks.h"
#include "../stream/streams.h"
#include "testdisk.h"

const char kLibraryService[] = "Das Erste";

namespace {

// 2009-05-03 00:00:00 UTC.
const long kDay = 86400, kMay3 = 1241308800;

// A recording's tables: its first broadcast time, one event around it, and
// central European summer time (+2 h).
std::string Tables(long utc, const std::string& event) {
  return "--utc " + std::to_string(utc) + " --offset 120 --sdt '" + kLibraryService + "|ARD' --event '" +
         std::to_string(utc - 60) + "|" + event + "'";
}

bool Disk(const std::string& path, const std::vector<std::pair<std::string, std::string>>& recordings,
          std::string* why) {
  testdisk::Disk d;
  d.sectorsPerCluster = 64;
  d.clusterCount = 400;
  for (const auto& r : recordings) {
    if (r.second.empty()) {
      *why = "ffmpeg or melvir-ts-si failed for " + r.first;
      return false;
    }
    d.entries.push_back(Recording(r.first, ReadWhole(r.second), false));
  }
  testdisk::Layout layout;
  std::string error;
  if (!testdisk::WriteImage(d, path, &layout, &error)) {
    *why = error;
    return false;
  }
  return true;
}

}  // namespace

bool MakeLibraryDisks(const std::string& folder, std::string* why) {
  // The film: its year in the short text, the story's in the synopsis.
  std::string film = MakeStream("film", Mpeg2(4, "200k", 0),
                                Tables(kMay3 + 19 * 3600, "5400|deu|Das Boot|Kriegsfilm, Deutschland 1981|0x10|"
                                       "Herbst 1941: U 96 laeuft aus La Rochelle aus.|"));
  // The news at 23:45 local (21:45 UTC) on May 3, and at 00:05 local on May
  // 5 (22:05 UTC on May 4): the second's UTC date is the day before.
  std::string news1 = MakeStream("news1", Mpeg2(4, "200k", 0),
                                 Tables(kMay3 + 21 * 3600 + 45 * 60 + 60, "900|deu|Tagesschau|Nachrichten|0x20||"));
  std::string news2 = MakeStream("news2", Mpeg2(4, "200k", 0),
                                 Tables(kMay3 + kDay + 22 * 3600 + 5 * 60 + 60, "900|deu|Tagesschau|Nachrichten|0x20||"));
  std::string news0 = MakeStream("news0", Mpeg2(4, "200k", 0),
                                 Tables(kMay3 - kDay + 18 * 3600 + 60, "900|deu|Tagesschau|Nachrichten|0x20||"));
  std::string plain = MakeStream("plain", Mpeg2(4, "200k", 0), "");
  std::string again = MakeStream("again", Mpeg2(4, "200k", 0),
                                 Tables(kMay3 + 13 * 3600, "9000|deu|Metropolis|Stummfilm, Deutschland 1927|0x10||"));
  return Disk(folder + "/first.img",
              {{"Film", film}, {"News 1", news1}, {"News 2", news2}, {"Plain", plain},
               {"Metro A", again}, {"Metro B", again}}, why) &&
         Disk(folder + "/second.img", {{"News 0", news0}}, why);
}

int RunLibrary(const std::string& dir, const std::string& image, std::string* err) {
  ChildResult r = RunMelvir({"library", "-d", dir, image}, 300);
  *err = r.err;
  return r.status;
}
