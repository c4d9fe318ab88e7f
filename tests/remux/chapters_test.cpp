// The programme's chapters and the cut to it, on a test disk of streams
// ffmpeg and melvir-ts-si make with three EIT events (the end of the
// programme before, the programme, the start of the next) whose
// present/following table switches during the stream, late against their
// start times: the .mkv's chapters at the switches with their titles, its
// GENRE and DESCRIPTION (short and extended text); --trim as .mkv and .ts
// (the programme's span, the PAT and PMT in front, a second run that knows
// the .ts); a stream without EIT written whole, said; probe's chapters,
// where a switch that never comes leaves the start time.
#include <gtest/gtest.h>

#include <cstdlib>

#include "../cli/child.h"
#include "../stream/streams.h"
#include "mkv_checks.h"
#include "support.h"

using testdisk::Disk;

namespace {

const long kUtc = 1241383440;  // the stream's first broadcast time
// The programme: scheduled 5 s in, named present at 8 s; the next event
// scheduled at 18 s, named present at 20 s.
const double kProgrammeSwitch = 8, kNextSwitch = 20;
const std::string kExtended =
    "Une longue histoire, racont\\xC2" "ee sur deux descripteurs: le premier en tient cent octets, "
    "le second la suite et la fin.";

std::string At(long seconds) { return std::to_string(kUtc + seconds); }

// ts-si options: the three events, the programme's switch at switchAt.
std::string Events(long switchAt) {
  return "--utc " + At(0) + " --sdt 'Chaine|P' --event '" + At(-600) + "|605|fra|Avant|Fin du journal' " +
         "--event '" + At(5) + "|13|fra|Le film|Un film|0x10|" + kExtended + "|" + At(switchAt) + "' " +
         "--event '" + At(18) + "|600|fra|Apres|La suite|||" + At(20) + "'";
}

double Number(const JsonValue& v, const std::string& key) { return std::atof(Member(v, key).text.c_str()); }

// The file's chapters (title, start) and format (duration, tags), by ffprobe.
bool Probe(const std::string& file, JsonValue* v) {
  return Json({"ffprobe", "-v", "error", "-of", "json", "-show_chapters", "-show_entries",
               "format=start_time,duration:format_tags", file}, v);
}

// The switch's PCR lies ahead of the pictures shown then by the
// multiplex's buffering (under a second): a chapter at a switch begins a
// little before it on the file's timeline, never after.
void ExpectAtSwitch(double at, double switchAt) {
  EXPECT_GT(at, switchAt - 1.0);
  EXPECT_LE(at, switchAt + 0.1);
}

class ChaptersTest : public ScratchTest {};

TEST_F(ChaptersTest, ChaptersTagsAndTheCutToTheProgramme) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg (Debian ffmpeg) is not installed: it makes the test streams";
  std::string three = MakeStream("three", Mpeg2(30, "200k", 0), Events(8));
  std::string skipped = MakeStream("skipped", Mpeg2(30, "200k", 0), Events(100000));
  std::string plain = MakeStream("plain", Mpeg2(4, "200k", 0), "");
  ASSERT_TRUE(!three.empty() && !skipped.empty() && !plain.empty());
  Disk d;
  d.sectorsPerCluster = 64;
  d.clusterCount = 400;
  d.entries.push_back(Recording("Three", ReadWhole(three), true));
  d.entries.push_back(Recording("Skipped", ReadWhole(skipped), false));
  d.entries.push_back(Recording("Plain", ReadWhole(plain), false));
  Build(d);

  // Chapters at the switches, titled; the programme's genre and its text.
  ChildResult r = RunMelvir({"extract", "-n", "1", "--container", "mkv", "-o", Path("three.mkv"), Path("disk.img")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("3 chapters"), std::string::npos) << r.err;
  JsonValue whole;
  ASSERT_TRUE(Probe(Path("three.mkv"), &whole));
  const std::vector<JsonValue>& chapters = Member(whole, "chapters").items;
  ASSERT_EQ(chapters.size(), 3u);
  const char* titles[] = {"Avant", "Le film", "Apres"};
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(Member(Member(chapters[i], "tags"), "title").text, titles[i]);
  EXPECT_EQ(Number(chapters[0], "start_time"), 0.0);
  ExpectAtSwitch(Number(chapters[1], "start_time"), kProgrammeSwitch);
  ExpectAtSwitch(Number(chapters[2], "start_time"), kNextSwitch);
  const JsonValue& tags = Member(Member(whole, "format"), "tags");
  EXPECT_EQ(Member(tags, "GENRE").text, "Movie/Drama");
  EXPECT_EQ(Member(tags, "DESCRIPTION").text,
            "Un film\nUne longue histoire, racont\xC3\xA9" "e sur deux descripteurs: le premier en tient "
            "cent octets, le second la suite et la fin.");

  // The programme alone: from the key frame at or before its switch (a GOP
  // is 0.48 s) to the next one's, its chapter alone.
  r = RunMelvir({"extract", "-n", "1", "--container", "mkv", "--trim", "-o", Path("trim.mkv"), Path("disk.img")});
  ASSERT_EQ(r.status, 0) << r.err;
  JsonValue cut;
  ASSERT_TRUE(Probe(Path("trim.mkv"), &cut));
  double span = kNextSwitch - kProgrammeSwitch;
  EXPECT_EQ(Number(Member(cut, "format"), "start_time"), 0.0);
  EXPECT_GE(Number(Member(cut, "format"), "duration"), span - 0.1);
  EXPECT_LE(Number(Member(cut, "format"), "duration"), span + 0.48 + 0.1);
  ASSERT_EQ(Member(cut, "chapters").items.size(), 1u);
  EXPECT_EQ(Member(Member(Member(cut, "chapters").items[0], "tags"), "title").text, "Le film");
  ChildResult decoded = RunProgram({"ffmpeg", "-v", "error", "-nostdin", "-i", Path("trim.mkv"), "-f", "null", "-"});
  EXPECT_EQ(decoded.err, "");

  // The same cut on whole packets, the PAT and PMT in front (the audio sent
  // with the video's first frames begins a little earlier); a second run
  // knows the file.
  r = RunMelvir({"extract", "-n", "1", "--trim", "-o", Path("trim.ts"), Path("disk.img")});
  ASSERT_EQ(r.status, 0) << r.err;
  JsonValue ts;
  ASSERT_TRUE(Json({"ffprobe", "-v", "error", "-of", "json", "-show_entries", "format=duration", Path("trim.ts")}, &ts));
  EXPECT_GE(Number(Member(ts, "format"), "duration"), span - 0.2);
  EXPECT_LE(Number(Member(ts, "format"), "duration"), span + 0.48 + 0.5);
  std::string bytes = ReadWholeFile(Path("trim.ts"));
  ASSERT_GE(bytes.size(), 3 * 188u);
  for (int i = 0; i < 2; ++i) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 188 * i;
    EXPECT_TRUE(p[0] == 0x47 && (p[1] & 0x40) && (p[3] & 0x30) == 0x10) << "packet " << i;
    EXPECT_EQ(p[5 + p[4]], i == 0 ? 0x00 : 0x02) << "packet " << i << ": the PAT, then the PMT";
  }
  decoded = RunProgram({"ffmpeg", "-v", "error", "-nostdin", "-i", Path("trim.ts"), "-f", "null", "-"});
  EXPECT_EQ(decoded.err, "");
  r = RunMelvir({"extract", "-n", "1", "--trim", "-o", Path("trim.ts"), Path("disk.img")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("is there complete (its sampled blocks are the programme's)"), std::string::npos) << r.err;

  // Without EIT: the whole recording, and why.
  r = RunMelvir({"extract", "-n", "3", "--container", "mkv", "--trim", "-o", Path("plain.mkv"), Path("disk.img")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("plain.mkv: the stream names no programme (no EIT event), so all of the recording is "
                       "written"), std::string::npos) << r.err;
  JsonValue all;
  ASSERT_TRUE(Probe(Path("plain.mkv"), &all));
  EXPECT_NEAR(Number(Member(all, "format"), "duration"), 4.0, 0.1);
  EXPECT_TRUE(Member(all, "chapters").items.empty());

  // probe: from the first PCR; a switch that never comes leaves the start time.
  JsonValue probed;
  ASSERT_TRUE(Json({MELVIR_CLI_PATH, "probe", "--json", "-n", "1-2", Path("disk.img")}, &probed));
  ASSERT_EQ(probed.items.size(), 2u);
  const struct {
    const char* title;
    double start;
    const char* from;
  } want[2][3] = {
      {{"Avant", 0, "recording_start"}, {"Le film", kProgrammeSwitch, "switch"}, {"Apres", kNextSwitch, "switch"}},
      {{"Avant", 0, "recording_start"}, {"Le film", 5, "start_time"}, {"Apres", kNextSwitch, "switch"}}};
  for (size_t n = 0; n < 2; ++n) {
    const std::vector<JsonValue>& listed = Member(probed.items[n], "chapters").items;
    ASSERT_EQ(listed.size(), 3u) << n;
    for (size_t i = 0; i < 3; ++i) {
      SCOPED_TRACE(std::to_string(n) + " " + want[n][i].title);
      EXPECT_EQ(Member(listed[i], "title").text, want[n][i].title);
      EXPECT_NEAR(Member(listed[i], "start_s").number, want[n][i].start, 0.3);
      EXPECT_EQ(Member(listed[i], "from").text, want[n][i].from);
    }
  }
}

}  // namespace
