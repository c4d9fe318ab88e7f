// melvir probe on a recorder disk image holding the test streams.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "../cli/child.h"
#include "../cli/json_check.h"
#include "streams.h"
#include "support.h"

using testdisk::BytesContent;
using testdisk::Disk;
using testdisk::Entry;

namespace {

const std::string kEvents =
    "--utc 1241383440 --offset '120' --event '1241383000|3600|fra|Le\\x8A" "film|Ligne 1\\x8ALigne 2\\x86'";

Entry Recording(const std::string& name, std::vector<uint8_t> bytes, bool blockForm) {
  Entry e;
  e.name = name;
  if (blockForm) bytes = testdisk::ToBlockForm(bytes);
  e.clusters = uint32_t((bytes.size() + 32767) / 32768);
  e.content = BytesContent(bytes);
  return e;
}

const JsonValue& Member(const JsonValue& v, const std::string& key) {
  static const JsonValue missing;
  auto found = v.members.find(key);
  return found == v.members.end() ? missing : found->second;
}

bool Exists(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

class ProbeCommandTest : public ScratchTest {};

TEST_F(ProbeCommandTest, ReportsWhatEachRecordingHolds) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: the test streams cannot be made";
  // The service name in each of its codings.
  const struct {
    const char* sdt;
    const char* name;
  } names[] = {
      {"\\x15" "Caf\\xC3\\xA9|P", "Caf\xC3\xA9"},
      {"\\x05\\xDEi|P", "\xC5\x9Ei"},
      {"\\x10\\x00\\x02\\xA3\\xF3" "d\\xBC|P", "\xC5\x81\xC3\xB3" "d\xC5\xBA"},
      {"Caf\\xC2" "e|P", "Caf\xC3\xA9"},
  };
  Disk d;
  d.sectorsPerCluster = 64;
  d.clusterCount = 600;
  for (size_t i = 0; i < 4; ++i) {
    std::string path = MakeStream("named" + std::to_string(i), Mpeg2TwoLanguages(3),
                                  kEvents + " --sdt '" + names[i].sdt + "'");
    ASSERT_FALSE(path.empty());
    std::string name = i == 0 ? "Caf\xE9 cr\xE8me" : "Rec " + std::to_string(i);
    d.entries.push_back(Recording(name, ReadWhole(path), i == 0));
  }
  std::string h264 = MakeStream("h264", H264Aac(2), "");
  ASSERT_FALSE(h264.empty());
  d.entries.push_back(Recording("Clip", ReadWhole(h264), false));
  std::vector<uint8_t> noise(200000);
  std::srand(3);
  for (uint8_t& b : noise) b = uint8_t(std::rand() >> 5);
  d.entries.push_back(Recording("Noise", noise, false));
  Build(d);

  ChildResult r = RunMelvir({"probe", "--json", Path("disk.img")});
  ASSERT_EQ(r.status, 0) << r.err;
  JsonValue v;
  std::string error;
  ASSERT_TRUE(ParseJson(r.out, &v, &error)) << error << "\n" << r.out;
  ASSERT_EQ(v.items.size(), 6u);
  // Each recording is named as list --json names it.
  ChildResult l = RunMelvir({"list", "--json", Path("disk.img")});
  JsonValue listed;
  ASSERT_TRUE(ParseJson(l.out, &listed, &error)) << error << "\n" << l.out;
  ASSERT_EQ(listed.items.size(), v.items.size());
  for (size_t i = 0; i < v.items.size(); ++i)
    for (const char* key : {"name", "decoded_name"})
      EXPECT_EQ(Member(v.items[i], key).text, Member(listed.items[i], key).text) << key << i;
  EXPECT_EQ(Member(v.items[0], "decoded_name").text, "Caf\xC3\xA9 cr\xC3\xA8me");
  for (size_t i = 0; i < 4; ++i) {
    const JsonValue& p = v.items[i];
    EXPECT_EQ(Member(Member(p, "service"), "name").text, names[i].name) << i;
    EXPECT_EQ(Member(Member(p, "event"), "title").text, "Le film");
    EXPECT_EQ(Member(Member(p, "event"), "text").text, "Ligne 1\nLigne 2");
    EXPECT_EQ(Member(Member(p, "event"), "start").text, "2009-05-03T20:36:40Z");
    EXPECT_EQ(Member(p, "first_time").text, "2009-05-03T20:44:00Z");
    EXPECT_EQ(Member(p, "local_offset_min").number, 120);
    EXPECT_EQ(Member(p, "duration_source").text, "pcr_full");
    EXPECT_NEAR(Member(p, "duration_s").number, 3.0, 0.3);
    EXPECT_EQ(Member(Member(p, "health"), "continuity_errors").number, 0);
  }
  const JsonValue& clip = v.items[4];
  ASSERT_EQ(Member(clip, "streams").items.size(), 2u);
  EXPECT_EQ(Member(Member(clip, "streams").items[0], "codec").text, "H.264");
  EXPECT_EQ(Member(Member(clip, "streams").items[1], "codec").text, "AAC");
  EXPECT_EQ(Member(clip, "event").kind, JsonValue::kNull);
  EXPECT_EQ(Member(Member(clip, "service"), "name").text, "Arte");
  // One programme: the one described.
  ASSERT_EQ(Member(clip, "programs").items.size(), 1u);
  EXPECT_EQ(Member(Member(clip, "programs").items[0], "program").number, Member(clip, "program").number);
  EXPECT_EQ(Member(Member(clip, "programs").items[0], "streams").items.size(), 2u);
  const JsonValue& noiseProbe = v.items[5];
  EXPECT_FALSE(Member(noiseProbe, "transport_stream").boolean);
  EXPECT_EQ(noiseProbe.keys, (std::vector<std::string>{"index", "name", "decoded_name", "transport_stream",
                                                       "full", "probed_bytes", "reason"}));
  const std::vector<std::string> keys = {
      "index", "name", "decoded_name", "transport_stream", "full", "probed_bytes", "reason", "program",
      "duration_s", "duration_source", "splice", "service", "event", "following", "chapters", "first_time",
      "last_time", "local_offset_min", "streams", "teletext_pages", "dvb_subtitles", "programs", "packets",
      "bitrate_bps", "health"};
  EXPECT_EQ(v.items[0].keys, keys);
  // The same names make the files, in local time where the TOT gives it.
  ChildResult named = RunMelvir({"extract", "-n", "1,2,5", "-d", Path("out"), "--quiet",
                                 "--name-format", "{date} {time} {service} - {title}", Path("disk.img")});
  EXPECT_EQ(named.status, 0) << named.err;
  EXPECT_TRUE(Exists(Path("out/2009-05-03 22.44 Caf\xC3\xA9 - Le film.ts")));
  EXPECT_TRUE(Exists(Path("out/2009-05-03 22.44 \xC5\x9Ei - Le film.ts")));
  EXPECT_TRUE(Exists(Path("out/Arte.ts")));  // no tables but the SDT
}

TEST_F(ProbeCommandTest, UnreadableSectorsNeedRescue) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: the test streams cannot be made";
  std::string path = MakeStream("damaged", Mpeg2TwoLanguages(3), kEvents);
  ASSERT_FALSE(path.empty());
  Disk d;
  d.entries.push_back(Recording("Film", ReadWhole(path), true));
  testdisk::Layout layout = Build(d);
  // Eight sectors in the recording's second cluster fail.
  uint64_t bad = layout.ClusterByte(layout.chains[0][1]);
  char map[256];
  std::snprintf(map, sizeof map, "0x0 0x%llX +\n0x%llX 0x1000 -\n0x%llX 0x%llX +\n",
                (unsigned long long)bad, (unsigned long long)bad, (unsigned long long)(bad + 4096),
                (unsigned long long)(layout.imageSize - bad - 4096));
  WriteWholeFile(Path("disk.map"), std::string("0x0 +\n") + map);
  ChildResult plain = RunMelvir({"probe", "--mapfile", Path("disk.map"), Path("disk.img")});
  EXPECT_EQ(plain.status, 1) << plain.err;
  EXPECT_NE(plain.err.find("--rescue"), std::string::npos) << plain.err;
  ChildResult r = RunMelvir({"probe", "--json", "--rescue", "--mapfile", Path("disk.map"), Path("disk.img")});
  EXPECT_EQ(r.status, 3) << r.err;
  JsonValue v;
  std::string error;
  ASSERT_TRUE(ParseJson(r.out, &v, &error)) << error << "\n" << r.out;
  const JsonValue& health = Member(v.items.at(0), "health");
  EXPECT_EQ(Member(health, "unreadable_packets").number, 23);  // 4096 bytes touch 22 or 23 packets
  EXPECT_EQ(Member(health, "continuity_errors").number, 0);
  EXPECT_EQ(Member(health, "sync_losses").number, 0);
}

// A recording spliced from two broadcasts: the head read gives one, the
// tail the other. The duration is then read from the whole stream, and the
// time is never shown as a range that runs backwards.
TEST_F(ProbeCommandTest, HeadAndTailOfTwoBroadcastsAreReadWhole) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: the test streams cannot be made";
  auto Part = [](const std::string& name, int seconds, const std::string& options, long long utc) {
    return MakeStream(name, "-f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine -t " +
                                std::to_string(seconds) + " -c:v mpeg2video -b:v 200k -c:a mp2 "
                                "-muxrate 2000000 " + options, "--utc " + std::to_string(utc));
  };
  const long long kEvening = 1241383440, kAfternoon = 1241373600, kNextDay = 1241473600;
  std::string evening = Part("evening", 45, "", kEvening);
  std::string afternoon = Part("afternoon", 45, "", kAfternoon);
  std::string nextDay = Part("nextday", 45, "-output_ts_offset 30000", kNextDay);
  std::string whole = Part("whole", 90, "", kEvening);
  ASSERT_FALSE(evening.empty() || afternoon.empty() || nextDay.empty() || whole.empty());
  auto Joined = [&](const std::string& second) {
    std::vector<uint8_t> bytes = ReadWhole(evening), more = ReadWhole(second);
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
  };
  Disk d;
  d.sectorsPerCluster = 64;
  d.clusterCount = 2600;
  d.entries.push_back(Recording("Backwards", Joined(afternoon), false));
  d.entries.push_back(Recording("Clock", Joined(nextDay), false));
  d.entries.push_back(Recording("Whole", ReadWhole(whole), false));
  testdisk::Layout layout = Build(d);
  const struct {
    const char* splice;  // null: one broadcast
    bool full;
  } cases[] = {{"the broadcast time runs backwards", true},
               {"the clock does not run on across the bytes not read", true},
               {nullptr, false}};
  ChildResult r = RunMelvir({"probe", "--json", Path("disk.img")});
  ASSERT_EQ(r.status, 0) << r.err;
  JsonValue v;
  std::string error;
  ASSERT_TRUE(ParseJson(r.out, &v, &error)) << error << "\n" << r.out;
  ASSERT_EQ(v.items.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const JsonValue& p = v.items[i];
    SCOPED_TRACE(Member(p, "name").text);
    if (cases[i].splice) EXPECT_EQ(Member(p, "splice").text, cases[i].splice);
    else EXPECT_EQ(Member(p, "splice").kind, JsonValue::kNull);
    EXPECT_EQ(Member(p, "full").boolean, cases[i].full);
    EXPECT_NEAR(Member(p, "duration_s").number, 90.0, 0.5);
  }
  ChildResult text = RunMelvir({"probe", "-n", "1", Path("disk.img")});
  EXPECT_NE(text.out.find("time       2009-05-03T20:44:00Z at the start, 2009-05-03T18:0"), std::string::npos)
      << text.out;
  EXPECT_EQ(text.out.find(" to "), std::string::npos) << text.out;

  // When the middle cannot be read, the duration is not known, and said.
  uint64_t middle = layout.ClusterByte(layout.chains[0][layout.chains[0].size() / 2]);
  char map[256];
  std::snprintf(map, sizeof map, "0x0 +\n0x0 0x%llX +\n0x%llX 0x200 -\n0x%llX 0x%llX +\n",
                (unsigned long long)middle, (unsigned long long)middle, (unsigned long long)(middle + 512),
                (unsigned long long)(layout.imageSize - middle - 512));
  WriteWholeFile(Path("disk.map"), map);
  ChildResult unread = RunMelvir({"probe", "--json", "-n", "1", "--mapfile", Path("disk.map"), Path("disk.img")});
  EXPECT_EQ(unread.status, 1) << unread.err;
  EXPECT_NE(unread.err.find("so its duration is not known (--rescue reads past damage)"), std::string::npos) << unread.err;
  JsonValue u;
  ASSERT_TRUE(ParseJson(unread.out, &u, &error)) << error << "\n" << unread.out;
  ASSERT_EQ(u.items.size(), 1u);
  EXPECT_EQ(Member(u.items[0], "splice").text, cases[0].splice);
  EXPECT_EQ(Member(u.items[0], "duration_s").kind, JsonValue::kNull);
  EXPECT_FALSE(Member(u.items[0], "full").boolean);
}

// A lost recording is named by --name-format as a listed one is, from
// what its stream says (it has no number: {index} is left out).
TEST_F(ProbeCommandTest, NameFormatNamesLostRecordings) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: the test streams cannot be made";
  std::string path = MakeStream("lost", Mpeg2TwoLanguages(3), kEvents + " --sdt 'Arte|ARTE'");
  ASSERT_FALSE(path.empty());
  Disk d;
  d.entries.push_back(Recording("Gone", ReadWhole(path), true));
  d.entries[0].type = 0;  // its clusters kept, its name gone
  testdisk::Layout layout = Build(d);
  std::string first = std::to_string(layout.chains[0][0]);
  const char* format = "{index} {date} {time} {service} - {title} ({cluster})";
  std::string file = "2009-05-03 22.44 Arte - Le film (" + first + ").ts";
  for (const char* way : {"--lost", "--all-lost"}) {
    SCOPED_TRACE(way);
    std::vector<std::string> args = {"extract", way, "-d", Path(way), "--quiet", "--name-format", format,
                                     Path("disk.img")};
    if (std::string(way) == "--lost") args.insert(args.begin() + 2, first);
    ChildResult r = RunMelvir(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Exists(Path(std::string(way) + "/" + file))) << file;
  }
}

// Bytes the process has read so far (its rchar).
uint64_t BytesRead(pid_t pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return 0;
}

// Ctrl-C in the middle of a long recording stops the probe there, not after
// the recording: 32 GiB (of zeros, which cost the image nothing) read whole.
TEST_F(ProbeCommandTest, CtrlCStopsTheReadAtOnce) {
  Disk d;
  d.sectorsPerCluster = 1024;
  d.clusterCount = 66000;
  d.entries.push_back(testdisk::PatternRecording("Long", 65536));
  Build(d);
  bool sent = false;
  std::chrono::steady_clock::time_point at;
  ChildResult r = RunMelvir({"probe", "--full", Path("disk.img")}, 120, [&](pid_t child) {
    if (!sent && BytesRead(child) >= (256u << 20)) {
      kill(child, SIGINT);
      sent = true;
      at = std::chrono::steady_clock::now();
    }
  });
  double after = std::chrono::duration<double>(std::chrono::steady_clock::now() - at).count();
  ASSERT_TRUE(sent) << r.err;
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_EQ(r.err, "melvir: stopped\n");
  EXPECT_EQ(r.out, "");
  EXPECT_LT(after, 5.0);  // reading all of it takes several times that
}

}  // namespace
