// melvir library on two test disks: where each recording goes, its NFO
// files well formed (xmllint) and saying what the broadcast says, a second
// run that adds and rewrites nothing, a second disk that adds its episode
// and moves the show's premiere; a copy past damage; Kodi reading it all as written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "../cli/child.h"
#include "../stream/streams.h"
#include "library/nfo.h"
#include "support.h"
#include "test_library.h"

namespace {

const std::string kFilm = "Movies/Das Boot (1981)/Das Boot (1981)";
const std::string kSeason = "Shows/Tagesschau/Season 2009/Tagesschau S2009E";

// Every file under dir with its inode and modification time: a file
// written again gets a new inode (a rename over it) or a new time.
std::map<std::string, std::pair<ino_t, long>> Files(const std::string& dir) {
  std::map<std::string, std::pair<ino_t, long>> files;
  for (const auto& f : std::filesystem::recursive_directory_iterator(dir)) {
    struct stat st;
    if (f.is_regular_file() && stat(f.path().c_str(), &st) == 0)
      files[f.path().string().substr(dir.size() + 1)] = {st.st_ino, long(st.st_mtim.tv_nsec) ^ long(st.st_mtime)};
  }
  return files;
}

class LibraryTest : public ScratchTest {};

TEST_F(LibraryTest, PlacesNamesAndDescribesEachRecordingAndRunsAgainAsANoOp) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg (Debian ffmpeg) is not installed: it makes the test streams";
  std::string why, err;
  ASSERT_TRUE(MakeLibraryDisks(dir_, &why)) << why;
  std::string lib = Path("lib");
  ASSERT_EQ(RunLibrary(lib, Path("first.img"), &err), 0) << err;
  EXPECT_NE(err.find("6 recordings: 6 added (1 under a new name), 0 already there, 0 failed, 0 damaged"),
            std::string::npos) << err;

  // Each recording's file, NFO and picture; the fields Kodi reads.
  struct Case {
    std::string stem, picture;
    std::vector<std::pair<const char*, std::string>> fields;  // "" : absent
  };
  const Case cases[] = {
      {kFilm, "-fanart.jpg",
       {{"title", "Das Boot"}, {"year", "1981"}, {"premiered", ""}, {"studio", kLibraryService},
        {"genre", "Movie/Drama"}, {"outline", "Kriegsfilm, Deutschland 1981"},
        {"plot", "Herbst 1941: U 96 laeuft aus La Rochelle aus."}, {"runtime", "90"},
        {"dateadded", "2009-05-03 20:59:00"}, {"codec", "mpeg2video"}}},
      // Local 23:45 and, across midnight, 00:05 two days on (UTC: the day before).
      {kSeason + "05032345", "-thumb.jpg",
       {{"title", "Nachrichten"}, {"showtitle", "Tagesschau"}, {"season", "2009"},
        {"episode", "5032345"}, {"aired", "2009-05-03"}, {"studio", kLibraryService}}},
      {kSeason + "05050005", "-thumb.jpg", {{"episode", "5050005"}, {"aired", "2009-05-05"}}},
      // No EIT: a film of the recording's name.
      {"Movies/Plain/Plain", "-fanart.jpg", {{"title", "Plain"}, {"year", ""}, {"outline", ""}}},
      // One programme twice: told apart, not overwritten.
      {"Movies/Metropolis (1927)/Metropolis (1927)", "-fanart.jpg", {{"year", "1927"}}},
      {"Movies/Metropolis (1927)/Metropolis (1927) (2)", "-fanart.jpg", {{"year", "1927"}}},
  };
  bool xmllint = RunProgram({"/bin/sh", "-c", "command -v xmllint"}).status == 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stem);
    EXPECT_TRUE(std::filesystem::is_regular_file(lib + "/" + c.stem + ".mkv"));
    EXPECT_GT(std::filesystem::file_size(lib + "/" + c.stem + c.picture), 1000u);
    std::string nfo = ReadWholeFile(lib + "/" + c.stem + ".nfo");
    ASSERT_FALSE(nfo.empty());
    for (const auto& f : c.fields) EXPECT_EQ(NfoField(nfo, f.first), f.second) << f.first;
    if (xmllint) {
      EXPECT_EQ(RunProgram({"xmllint", "--noout", lib + "/" + c.stem + ".nfo"}).status, 0);
    }
  }
  std::string show = ReadWholeFile(lib + "/Shows/Tagesschau/tvshow.nfo");
  EXPECT_EQ(NfoField(show, "premiered"), "2009-05-03");
  EXPECT_EQ(NfoField(show, "genre"), "News/Current affairs");
  EXPECT_TRUE(std::filesystem::is_regular_file(lib + "/Shows/Tagesschau/fanart.jpg"));
  std::string page = ReadWholeFile(lib + "/index.html");
  EXPECT_NE(page.find("href=\"Movies/Das%20Boot%20%281981%29/Das%20Boot%20%281981%29.mkv\""), std::string::npos);

  // Again: nothing added, nothing written.
  auto before = Files(lib);
  ASSERT_EQ(RunLibrary(lib, Path("first.img"), &err), 0) << err;
  EXPECT_NE(err.find("6 recordings: 0 added, 6 already there"), std::string::npos) << err;
  EXPECT_EQ(Files(lib), before);

  // A second disk: its earlier episode added, the premiere moved, and
  // nothing else of the first disk's written.
  ASSERT_EQ(RunLibrary(lib, Path("second.img"), &err), 0) << err;
  EXPECT_NE(err.find("1 recording: 1 added"), std::string::npos) << err;
  EXPECT_NE(ReadWholeFile(lib + "/" + kSeason + "05022000.nfo"), "");
  EXPECT_EQ(NfoField(ReadWholeFile(lib + "/Shows/Tagesschau/tvshow.nfo"), "premiered"), "2009-05-02");
  auto after = Files(lib);
  for (const auto& f : before)
    if (f.first != "index.html" && f.first != "Shows/Tagesschau/tvshow.nfo") {
      EXPECT_EQ(after[f.first], f.second) << f.first;
    }

  // Copied past damage: still added, its plot saying so, the run's status damage.
  std::string image = Path("first.img");
  unsigned long long size = std::filesystem::file_size(image);
  char map[200];  // 16 KiB of the film, the first recording (clusters of 32 KiB from byte 38912)
  std::snprintf(map, sizeof map, "0x0 +\n0x0 0x20000 +\n0x20000 0x4000 -\n0x24000 0x%llX +\n", size - 0x24000);
  WriteWholeFile(Path("bad.map"), map);
  ChildResult damaged = RunMelvir({"library", "-d", Path("damaged"), "--rescue", "--mapfile", Path("bad.map"), image}, 300);
  EXPECT_EQ(damaged.status, 3) << damaged.err;
  EXPECT_NE(damaged.err.find("0 failed, 1 damaged"), std::string::npos) << damaged.err;
  std::string plot = NfoField(ReadWholeFile(Path("damaged/") + kFilm + ".nfo"), "plot");
  EXPECT_NE(plot.find("\n[About 1 s of this recording could not be read"), std::string::npos) << plot;

  if (!xmllint) GTEST_SKIP() << "xmllint (Debian libxml2-utils) is not installed: the NFOs' form is unchecked";

  // Kodi itself scans the library and lists everything as written.
  ChildResult kodi = RunProgram({"bash", MELVIR_KODI_CHECK, "-", lib}, 240);
  if (kodi.status == 77) GTEST_SKIP() << kodi.err;
  EXPECT_EQ(kodi.status, 0) << kodi.out << kodi.err;
}

}  // namespace
