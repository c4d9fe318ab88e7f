// The teletext subtitle pages of a recording written as text, on test
// disks of streams made at test time (ffmpeg, with melvir-ts-si's teletext:
// four subtitle pages, one for the hearing impaired, and one page that is
// no subtitle), one of them across the 33-bit wrap, one twice in a row
// (its stamps jump back, and its cues go on after): Matroska text tracks
// with their languages and flags (mkvmerge -J) whose cues, read back by
// ffmpeg, are the pages written, on the video's timeline; .srt files
// beside a .ts (times from its start as ffprobe gives it) and beside a
// .mkv, named after the output, never over another's; what probe lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "../cli/child.h"
#include "../stream/streams.h"
#include "mkv_checks.h"
#include "support.h"

namespace {

struct Cue {
  double start, end;  // stream seconds from the first PCR, as written
  std::string text;
};

struct Page {
  const char* number;
  const char* language;  // as broadcast
  const char* mkvLanguage;  // as mkvmerge names it
  bool hearingImpaired;
  const char* file;  // the .srt's name after the output's
  std::vector<Cue> cues;
};

const Page kPages[] = {
    {"888", "deu", "ger", false, ".deu.srt",
     {{1, 2.5, "Gr\xC3\xBC\xC3\x9F" "e\nZweite Zeile"}, {3, 4.5, "Danke"}}},
    {"889", "deu", "ger", true, ".deu.sdh.srt", {{1.5, 4, "Sch\xC3\xB6ne Musik"}}},
    {"777", "eng", "eng", false, ".eng.777.srt", {{2, 5, "Hello"}}},
    // Shown long: in pieces of 10 s, each put while the muxer still waits for it.
    {"778", "eng", "eng", false, ".eng.778.srt", {{6, 29, "World"}}},
};

// The pages above, and page 100: teletext that is no subtitle.
std::string Teletext() {
  std::string o = "--utc 1241383440 --teletext 'deu|2|888' --teletext 'deu|5|889' --teletext 'deu|1|100' "
                  "--teletext 'eng|2|777' --teletext 'eng|2|778' --subtitle '100|1|6|Index'";
  for (const Page& p : kPages) {
    for (const Cue& c : p.cues) {
      std::string text = c.text, subset = p.language[0] == 'd' ? "|de|1" : "";
      for (size_t at; (at = text.find('\n')) != std::string::npos;) text.replace(at, 1, "\\x0A");
      std::ostringstream o2;
      o2 << " --subtitle '" << p.number << "|" << c.start << "|" << c.end << "|" << text << subset << "'";
      o += o2.str();
    }
  }
  return o;
}

std::string Mpeg2(int offset) {
  return "-f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine=frequency=440 -t 30 -c:v mpeg2video "
         "-b:v 200k -g 12 -c:a mp2 -b:a 64k" + (offset ? " -output_ts_offset " + std::to_string(offset) : "");
}

// "00:00:01,270" in seconds.
double SrtSeconds(const std::string& t) {
  return std::atoi(t.substr(0, 2).c_str()) * 3600 + std::atoi(t.substr(3, 2).c_str()) * 60 +
         std::atof((t.substr(6, 2) + "." + t.substr(9, 3)).c_str());
}

// The cues of SubRip text (ffmpeg's lines end in CR LF), in seconds.
std::vector<Cue> ParseSrt(std::string srt) {
  for (size_t at; (at = srt.find('\r')) != std::string::npos;) srt.erase(at, 1);
  std::vector<Cue> cues;
  std::istringstream in(srt);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find(" --> ") == std::string::npos) continue;
    Cue c = {SrtSeconds(line.substr(0, 12)), SrtSeconds(line.substr(17, 12)), ""};
    while (std::getline(in, line) && !line.empty()) c.text += (c.text.empty() ? "" : "\n") + line;
    cues.push_back(c);
  }
  return cues;
}

// The cues read are the page's (one shown longer than 10 s in pieces of
// 10 s), shift seconds earlier (to a millisecond; the shift taken across
// the 33-bit wrap, as ffprobe puts a stream's start before it); of a
// stream sent twice, then again, all by the one span the timeline put
// between the two (30 s and a frame or so).
void ExpectCues(const std::vector<Cue>& got, const Page& page, double shift, int copies) {
  shift = std::remainder(shift, 8589934592.0 / 90000);
  std::vector<Cue> want;
  for (const Cue& c : page.cues)
    for (double from = c.start; from < c.end; from += 10) want.push_back({from, std::min(from + 10, c.end), c.text});
  ASSERT_EQ(got.size(), want.size() * copies);
  double span = copies == 2 ? got[want.size()].start - got[0].start : 0;
  EXPECT_TRUE(copies == 1 || (span >= 30 && span < 30.1)) << span;
  for (size_t i = 0; i < got.size(); ++i) {
    const Cue& w = want[i % want.size()];
    double at = i < want.size() ? 0 : span;
    EXPECT_EQ(got[i].text, w.text);
    EXPECT_NEAR(got[i].start, w.start - shift + at, 0.0015);
    EXPECT_NEAR(got[i].end, w.end - shift + at, 0.0015);
  }
}

// A stream's start time as ffprobe gives it, and its video's.
void StartTimes(const std::string& ts, double* start, double* video) {
  JsonValue probe;
  ASSERT_TRUE(Json({"ffprobe", "-v", "error", "-of", "json", "-show_entries",
                    "format=start_time:stream=codec_type,start_time", ts}, &probe));
  *start = std::atof(Member(Member(probe, "format"), "start_time").text.c_str());
  for (const JsonValue& s : Member(probe, "streams").items)
    if (Member(s, "codec_type").text == "video") *video = std::atof(Member(s, "start_time").text.c_str());
}

class ExtractSubtitlesTest : public ScratchTest {};

TEST_F(ExtractSubtitlesTest, PagesAsTextTracksAndSrtFiles) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg (Debian ffmpeg) is not installed: it makes the test streams";
  if (!HaveMkvmerge()) GTEST_SKIP() << "mkvmerge (Debian mkvtoolnix) is not installed: it checks the files";
  // The second one's stamps pass 2^33 after 2.3 s; the third is the first
  // twice.
  std::string once = MakeStream("subtitled", Mpeg2(0), Teletext()), twice = StreamFolder() + "/twice.ts";
  ASSERT_TRUE(!once.empty() && RunShell("cat '" + once + "' '" + once + "' > '" + twice + "'"));
  const struct {
    const char* name;
    std::string path;
    int copies;
  } recordings[] = {{"Subtitled", once, 1}, {"Wrapped", MakeStream("wrapped", Mpeg2(95440), Teletext()), 1},
                    {"Twice", twice, 2}};
  testdisk::Disk d;
  d.clusterCount = 2000;
  for (const auto& r : recordings) {
    ASSERT_FALSE(r.path.empty());
    d.entries.push_back(Recording(r.name, ReadWhole(r.path), true));
  }
  Build(d);
  // Another recording's subtitles are there already.
  ASSERT_TRUE(RunShell("mkdir -p '" + Path("ts") + "'"));
  WriteWholeFile(Path("ts/Wrapped.deu.srt"), "another's");

  ChildResult mkv = RunMelvir({"extract", "--all", "--container", "mkv", "-d", Path("mkv"), Path("disk.img")}, 120);
  ASSERT_EQ(mkv.status, 0) << mkv.err;
  ChildResult ts = RunMelvir({"extract", "--all", "--subtitles", "srt", "-d", Path("ts"), Path("disk.img")}, 120);
  ASSERT_EQ(ts.status, 0) << ts.err;
  EXPECT_NE(ts.err.find("ts/Wrapped.deu.srt: exists; these subtitles are in " + Path("ts/Wrapped.deu (2).srt")),
            std::string::npos) << ts.err;
  EXPECT_EQ(ReadWholeFile(Path("ts/Wrapped.deu.srt")), "another's");
  ChildResult beside = RunMelvir({"extract", "-n", "1", "--container", "mkv", "--subtitles", "srt", "-d",
                                  Path("beside"), Path("disk.img")}, 120);
  ASSERT_EQ(beside.status, 0) << beside.err;

  for (const auto& r : recordings) {
    SCOPED_TRACE(r.name);
    double pcr = FirstPcrSeconds(ReadWhole(r.path)), start = 0, video = 0;
    StartTimes(r.path, &start, &video);
    std::string file = Path("mkv/") + r.name + ".mkv";
    ChildResult decoded = RunProgram({"ffmpeg", "-v", "error", "-nostdin", "-i", file, "-f", "null", "-"});
    EXPECT_EQ(decoded.err, "");
    JsonValue tracks;
    ASSERT_TRUE(Json({"mkvmerge", "-J", file}, &tracks));
    const std::vector<JsonValue>& got = Member(tracks, "tracks").items;
    ASSERT_EQ(got.size(), 2 + std::size(kPages));  // video, audio, a track per subtitle page
    for (size_t i = 0; i < std::size(kPages); ++i) {
      const Page& page = kPages[i];
      SCOPED_TRACE(page.number);
      const JsonValue& p = Member(got[2 + i], "properties");
      EXPECT_EQ(Member(p, "codec_id").text, "S_TEXT/UTF8");
      EXPECT_EQ(Member(p, "language").text, page.mkvLanguage);
      EXPECT_FALSE(Member(p, "default_track").boolean);
      EXPECT_EQ(Member(p, "flag_hearing_impaired").boolean, page.hearingImpaired);
      // On the video's timeline: 0 its first frame.
      ChildResult read = RunProgram({"ffmpeg", "-v", "error", "-nostdin", "-i", file, "-map",
                                     "0:s:" + std::to_string(i), "-f", "srt", "-"});
      EXPECT_EQ(read.err, "");
      ExpectCues(ParseSrt(read.out), page, video - pcr, r.copies);
      // Beside the .ts: 0 its start.
      ExpectCues(ParseSrt(ReadWholeFile(Path("ts/") + r.name + (r.name[0] == 'W' && i == 0 ? ".deu (2).srt" : page.file))),
                 page, start - pcr, r.copies);
      if (r.name[0] == 'S')
        ExpectCues(ParseSrt(ReadWholeFile(Path("beside/") + r.name + page.file)), page, video - pcr, 1);
    }
  }
  // A copy resumed from the .part a stopped run left reads the teletext of
  // the bytes it keeps too.
  ASSERT_TRUE(RunShell("mkdir '" + Path("resumed") + "' && head -c 700000 '" + Path("ts/Twice.ts") + "' > '" +
                       Path("resumed/Twice.ts.part") + "'"));
  ChildResult resumed = RunMelvir({"extract", "-n", "3", "--subtitles", "srt", "-d", Path("resumed"), Path("disk.img")});
  EXPECT_NE(resumed.err.find("resuming after"), std::string::npos) << resumed.err;
  for (const Page& page : kPages)
    EXPECT_EQ(ReadWholeFile(Path("resumed/Twice") + page.file), ReadWholeFile(Path("ts/Twice") + page.file));
  // Page 100 is no subtitle page: no file of it (4 of each recording's
  // pages beside its .ts, another's file, 4 beside the .mkv).
  ChildResult listed = RunProgram({"sh", "-c", "ls '" + Path("ts") + "' '" + Path("beside") + "' | grep -c srt"});
  EXPECT_EQ(listed.out, "17\n");

  JsonValue probe;
  ASSERT_TRUE(Json({MelvirPath(), "probe", "-n", "1", "--json", Path("disk.img")}, &probe));
  ASSERT_EQ(probe.items.size(), 1u);
  const std::vector<JsonValue>& pages = Member(probe.items[0], "teletext_pages").items;
  ASSERT_EQ(pages.size(), std::size(kPages));
  for (size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(Member(pages[i], "page").text, kPages[i].number);
    EXPECT_EQ(Member(pages[i], "language").text, kPages[i].language);
    EXPECT_EQ(Member(pages[i], "type").number, kPages[i].hearingImpaired ? 5 : 2);
    EXPECT_EQ(Member(pages[i], "hearing_impaired").boolean, kPages[i].hearingImpaired);
  }
  EXPECT_EQ(Member(probe.items[0], "dvb_subtitles").kind, JsonValue::kArray);
}

}  // namespace
