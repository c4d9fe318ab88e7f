// extract --container mkv on a recorder disk image of streams made at test
// time: every track with its language and flags and exactly one default
// audio (mkvmerge -J), a file that decodes without a word (ffmpeg -v error)
// and starts at 0 with its true duration across the clock's wrap, a jump
// back, a marked and an unmarked jump forward and a zeroed range; the
// programme's title and tags; DVB bitmap subtitles kept; a stream that is none refused; the usage
// errors; a second run that knows a complete file and restarts a .part.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "../cli/child.h"
#include "../stream/streams.h"
#include "mkv_checks.h"
#include "support.h"

using testdisk::Disk;

namespace {

const std::string kEvents =
    "--utc 1241383440 --offset '120' --sdt 'Caf\\xC2" "e|P' "
    "--event '1241383000|3600|fra|Le\\x8A" "film|Ligne 1\\x8ALigne 2\\x86'";

struct Track {
  const char* type;
  const char* codec;
  const char* language;
  bool isDefault, visualImpaired, hearingImpaired;
  const char* name;  // "" for none
};

struct Case {
  const char* recording;
  double seconds;  // the file's duration
  std::vector<Track> tracks;
  std::vector<std::pair<std::string, std::string>> tags;  // of the file (title included)
};

const Track kMpeg2 = {"video", "V_MPEG2", "und", true, false, false, ""};
const Track kMp2 = {"audio", "A_MPEG/L2", "und", true, false, false, ""};

const Case kCases[] = {
    {"Five audio", 4.0,
     {kMpeg2,
      {"audio", "A_MPEG/L2", "fre", false, true, false, "audio description"},
      {"audio", "A_MPEG/L2", "eng", false, false, false, "clean effects"},
      {"audio", "A_MPEG/L2", "ger", false, false, true, ""},
      {"audio", "A_MPEG/L2", "eng", true, false, false, ""},
      {"audio", "A_MPEG/L2", "fre", false, false, false, ""}},
     {{"title", "Le film"}, {"DESCRIPTION", "Ligne 1\nLigne 2"}, {"SERVICE_NAME", "Caf\xC3\xA9"},
      {"DATE_RECORDED", "2009-05-03 20:36:40"}}},
    {"Clip", 3.0,
     {{"video", "V_MPEG4/ISO/AVC", "und", true, false, false, ""},
      {"audio", "A_AAC", "und", true, false, false, ""},
      {"subtitles", "S_DVBSUB", "ger", false, false, false, ""}},
     {}},
    {"Wrap", 6.0, {kMpeg2, kMp2}, {}},     // its stamps pass 2^33 after 2.3 s
    {"Back", 8.04, {kMpeg2, kMp2}, {}},    // a second copy with the same stamps follows
    {"Marked", 8.04, {kMpeg2, kMp2}, {}},  // the stamps jump 100 s on, marked discontinuous
    {"Gap", 104.0, {kMpeg2, kMp2}, {}},    // the same, unmarked: the gap stays
    {"Holes", 20.0, {kMpeg2, kMp2}, {}},   // 8 KiB in the middle cannot be read
};

// Five audio tracks: audio description, clean effects, hearing impaired,
// then two main ones; the first main one is the default.
std::string FiveAudio() {
  std::string inputs = "-f lavfi -i testsrc=size=176x144:rate=25", maps = " -map 0";
  for (int i = 0; i < 5; ++i) {
    inputs += " -f lavfi -i sine=frequency=" + std::to_string(300 + 100 * i);
    maps += " -map " + std::to_string(i + 1);
  }
  const char* language[] = {"fra", "eng", "deu", "eng", "fra"};
  const char* disposition[] = {"visual_impaired", "clean_effects", "hearing_impaired", "0", "0"};
  std::string flags;
  for (int i = 0; i < 5; ++i)
    flags += " -metadata:s:a:" + std::to_string(i) + " language=" + language[i] + " -disposition:a:" +
             std::to_string(i) + " " + disposition[i];
  return inputs + " -t 4" + maps + " -c:v mpeg2video -b:v 200k -c:a mp2 -b:a 64k" + flags;
}

class ExtractMkvTest : public ScratchTest {};

TEST_F(ExtractMkvTest, EveryTrackOnOneTimeline) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg (Debian ffmpeg) is not installed: it makes the test streams";
  if (!HaveMkvmerge()) GTEST_SKIP() << "mkvmerge (Debian mkvtoolnix) is not installed: it checks the files";
  const std::string& f = StreamFolder();
  std::string five = MakeStream("five", FiveAudio(), kEvents);
  std::string clip = MakeStream("clip", H264Aac(3), "--utc 1241383440 --dvbsub 'deu|0.5'");
  std::string wrap = MakeStream("wrap", Mpeg2(6, "200k", 95440), "");
  std::string first = MakeStream("first", Mpeg2(4, "200k", 0), "");
  std::string later = MakeStream("later", Mpeg2(4, "200k", 100), "");
  std::string holes = MakeStream("holes", Mpeg2(20, "1500k", 0), "");
  ASSERT_TRUE(!five.empty() && !clip.empty() && !wrap.empty() && !first.empty() && !later.empty() &&
              !holes.empty());
  ASSERT_TRUE(RunShell("cat '" + first + "' '" + first + "' > '" + f + "/back.ts'"));
  ASSERT_TRUE(RunShell("cat '" + first + "' '" + later + "' > '" + f + "/gap.ts'"));
  ASSERT_TRUE(RunShell(std::string(MELVIR_TS_SI) + " '" + f + "/gap.ts' '" + f +
                       "/marked.ts' --utc 1241383440 --mark-discontinuity"));
  Disk d;
  d.sectorsPerCluster = 64;
  d.clusterCount = 600;
  d.entries.push_back(Recording("Five audio", ReadWhole(five), true));
  d.entries.push_back(Recording("Clip", ReadWhole(clip), false));
  d.entries.push_back(Recording("Wrap", ReadWhole(wrap), false));
  d.entries.push_back(Recording("Back", ReadWhole(f + "/back.ts"), false));
  d.entries.push_back(Recording("Marked", ReadWhole(f + "/marked.ts"), false));
  d.entries.push_back(Recording("Gap", ReadWhole(f + "/gap.ts"), false));
  d.entries.push_back(Recording("Holes", ReadWhole(holes), false));
  std::vector<uint8_t> noise(200000);
  std::srand(3);
  for (uint8_t& b : noise) b = uint8_t(std::rand() >> 5);
  d.entries.push_back(Recording("Noise", noise, false));
  testdisk::Layout layout = Build(d);
  // 8 KiB a third of the way into Holes cannot be read.
  uint64_t bad = layout.ClusterByte(layout.chains[6][layout.chains[6].size() / 3]) + 8192;
  char map[256];
  std::snprintf(map, sizeof map, "0x0 +\n0x0 0x%llX +\n0x%llX 0x2000 -\n0x%llX 0x%llX +\n",
                (unsigned long long)bad, (unsigned long long)bad, (unsigned long long)(bad + 8192),
                (unsigned long long)(layout.imageSize - bad - 8192));
  WriteWholeFile(Path("disk.map"), map);

  ChildResult r = RunMelvir({"extract", "--all", "--container", "mkv", "--rescue", "--mapfile",
                             Path("disk.map"), "-d", Path("out"), Path("disk.img")}, 120);
  EXPECT_EQ(r.status, 1) << r.err;  // Noise failed; the others went on
  EXPECT_NE(r.err.find("Noise.mkv: not written as Matroska: no transport stream"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Holes.mkv: 16 unreadable sectors (8192 bytes) read as zeros, the packets over "
                       "them left out"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("8 recordings: 7 extracted, 0 skipped, 1 failed"), std::string::npos) << r.err;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.recording);
    std::string file = Path("out/") + c.recording + ".mkv";
    ChildResult decoded = RunProgram({"ffmpeg", "-v", "error", "-nostdin", "-i", file, "-f", "null", "-"});
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.err, "");
    JsonValue probe, tracks;
    ASSERT_TRUE(Json({"ffprobe", "-v", "error", "-of", "json", "-show_entries",
                      "format=start_time,duration:format_tags", file}, &probe));
    const JsonValue& format = Member(probe, "format");
    EXPECT_EQ(Member(format, "start_time").text, "0.000000");
    EXPECT_NEAR(std::atof(Member(format, "duration").text.c_str()), c.seconds, 0.1);
    for (const auto& tag : c.tags) EXPECT_EQ(Member(Member(format, "tags"), tag.first).text, tag.second);
    ASSERT_TRUE(Json({"mkvmerge", "-J", file}, &tracks));
    const std::vector<JsonValue>& got = Member(tracks, "tracks").items;
    ASSERT_EQ(got.size(), c.tracks.size());
    for (size_t i = 0; i < got.size(); ++i) {
      SCOPED_TRACE("track " + std::to_string(i));
      const Track& want = c.tracks[i];
      const JsonValue& p = Member(got[i], "properties");
      EXPECT_EQ(Member(got[i], "type").text, want.type);
      EXPECT_EQ(Member(p, "codec_id").text, want.codec);
      EXPECT_EQ(Member(p, "language").text, want.language);
      EXPECT_EQ(Member(p, "default_track").boolean, want.isDefault);
      EXPECT_EQ(Member(p, "flag_visual_impaired").boolean, want.visualImpaired);
      EXPECT_EQ(Member(p, "flag_hearing_impaired").boolean, want.hearingImpaired);
      EXPECT_EQ(Member(p, "track_name").text, want.name);
    }
  }
  JsonValue probe;
  ASSERT_TRUE(Json({MelvirPath(), "probe", "-n", "2", "--json", Path("disk.img")}, &probe));
  ASSERT_EQ(probe.items.size(), 1u);
  const std::vector<JsonValue>& dvb = Member(probe.items[0], "dvb_subtitles").items;
  ASSERT_EQ(dvb.size(), 1u);
  EXPECT_EQ(Member(dvb[0], "language").text, "deu");
  EXPECT_EQ(Member(dvb[0], "type").number, 16);
}

TEST_F(ExtractMkvTest, AgainKnowsCompleteFilesAndRestartsParts) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg (Debian ffmpeg) is not installed: it makes the test streams";
  std::string a = MakeStream("a", H264Aac(2), ""), b = MakeStream("b", Mpeg2(20, "200k", 0), "");
  ASSERT_TRUE(!a.empty() && !b.empty());
  Disk d;
  d.entries.push_back(Recording("News", ReadWhole(a), false));
  d.entries.push_back(Recording("News", ReadWhole(b), false));
  Build(d);
  ChildResult first = RunMelvir({"extract", "--all", "--container", "mkv", "-d", Path("out"), Path("disk.img")});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.err.find("out/News (2).mkv: File extraction done!"), std::string::npos) << first.err;
  // Each file is its recording's, complete; a .part left behind is kept
  // aside and the file written afresh.
  WriteWholeFile(Path("out/News (2).mkv.part"), "left by a stopped run");
  ChildResult again = RunMelvir({"extract", "--all", "--container", "mkv", "-d", Path("out"), Path("disk.img")});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.err.find("2 recordings: 0 extracted, 2 skipped, 0 failed"), std::string::npos) << again.err;
  std::remove(Path("out/News (2).mkv").c_str());
  ChildResult part = RunMelvir({"extract", "-n", "2", "-o", Path("out/News (2).mkv"), Path("disk.img")});
  EXPECT_EQ(part.status, 0) << part.err;
  EXPECT_NE(part.err.find("News (2).mkv.part: left by an earlier run, and a Matroska file cannot be "
                          "resumed; kept as "), std::string::npos) << part.err;
  EXPECT_EQ(ReadWholeFile(Path("out/News (2).mkv.part.old")), "left by a stopped run");
  ChildResult decoded = RunProgram({"ffmpeg", "-v", "error", "-nostdin", "-i", Path("out/News (2).mkv"),
                                    "-f", "null", "-"});
  EXPECT_EQ(decoded.err, "");
  // A file of another recording, or one cut short (its cues lost), is not this one.
  RunShell("cp '" + Path("out/News.mkv") + "' '" + Path("out/other.mkv") + "'");
  RunShell("head -c 300000 '" + Path("out/News (2).mkv") + "' > '" + Path("out/cut.mkv") + "'");
  for (const char* name : {"other.mkv", "cut.mkv"}) {
    ChildResult r = RunMelvir({"extract", "-n", "2", "-o", Path("out/") + name, Path("disk.img")});
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_NE(r.err.find("exists; use --force to replace it"), std::string::npos) << r.err;
  }
}

TEST_F(ExtractMkvTest, UsageErrors) {
  const struct {
    std::vector<std::string> args;
    const char* says;
  } rows[] = {
      {{"-o", "x.mkv", "--container", "ts"}, "-o names a .mkv file and --container says ts"},
      {{"-o", "x.ts", "--container", "mkv"}, "-o names a .ts file and --container says mkv"},
      {{"-o", "-", "--container", "mkv"}, "-o - takes --container ts"},
      {{"-o", "/dev/null", "--container", "mkv"}, "which a pipe or device cannot do"},
      {{"--container", "avi"}, "--container takes ts or mkv, not 'avi'"},
      {{"--subtitles", "embed"}, "--subtitles embed puts text tracks into a Matroska file"},
      {{"-o", "-", "--subtitles", "srt"}, "--subtitles srt writes files beside the output: not with -o -"},
      {{"-o", "/dev/null", "--subtitles", "srt"}, "writes files beside the output, which a pipe or device has not"},
      {{"--subtitles", "vtt"}, "--subtitles takes embed, srt or none, not 'vtt'"},
  };
  Build(Disk{});
  for (const auto& row : rows) {
    std::vector<std::string> args = {"extract", "-n", "1"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    args.push_back(Path("disk.img"));
    ChildResult r = RunMelvir(args);
    EXPECT_EQ(r.status, 2) << row.says;
    EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
  }
}

}  // namespace
