// melvir catalog on a recorder disk image of test streams: the JSON, the
// pictures at the display aspect ratio, and the page's escaping (the page in
// a browser: tests/picture/catalogue_browser.sh).
#include <gtest/gtest.h>

#include <cstdio>

#include "../cli/child.h"
#include "../cli/json_check.h"
#include "streams.h"
#include "support.h"

using testdisk::BytesContent;
using testdisk::Disk;
using testdisk::Entry;

namespace {

const JsonValue& Member(const JsonValue& v, const std::string& key) {
  static const JsonValue missing;
  auto found = v.members.find(key);
  return found == v.members.end() ? missing : found->second;
}

// The frame size of a baseline or progressive JPEG; 0x0 when there is none.
std::pair<int, int> JpegSize(const std::vector<unsigned char>& j) {
  for (size_t i = 2; i + 9 < j.size() && j[i] == 0xFF;) {
    unsigned char marker = j[i + 1];
    if (marker >= 0xC0 && marker <= 0xC2) return {j[i + 7] << 8 | j[i + 8], j[i + 5] << 8 | j[i + 6]};
    i += 2 + (j[i + 2] << 8 | j[i + 3]);
  }
  return {0, 0};
}

std::string Video(const std::string& size, const std::string& codec) {
  return "-f lavfi -i testsrc=size=" + size + ":rate=25 -f lavfi -i sine -t 3 " + codec +
         " -c:a mp2 -metadata service_name=Arte";
}

class CatalogCommandTest : public ScratchTest {};

TEST_F(CatalogCommandTest, WritesPageJsonAndPictures) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: the test streams cannot be made";
  const std::string hostile = "Le \"<script>\" du soir";
  const struct {
    const char* name;
    std::string ffmpeg;
    int width, height;  // of the picture; 0: none
    const char* video;  // as the card shows it
  } cases[] = {
      {"wide", Video("720x576", "-c:v mpeg2video -b:v 2M -aspect 16:9"), 320, 180, "720x576, 25 fps, 16:9"},
      {"narrow", Video("720x576", "-c:v mpeg2video -b:v 2M -aspect 4:3"), 320, 240, "720x576, 25 fps, 4:3"},
      {"hd", Video("1440x1080", "-vf setsar=4/3 -c:v libx264 -preset ultrafast -g 25"), 320, 180,
       "1440x1080, 25 fps, 16:9"},
      {"radio", "-f lavfi -i sine -t 3 -c:a mp2", 0, 0, nullptr},
  };
  Disk d;
  d.clusterCount = 1500;
  for (const auto& c : cases) {
    std::string path = MakeStream(c.name, c.ffmpeg,
                                  "--utc 1241383440 --offset 120 --event '1241383000|3600|fra|" + hostile + "|'");
    ASSERT_FALSE(path.empty()) << c.name;
    Entry e;
    e.name = c.name;
    std::vector<uint8_t> bytes = testdisk::ToBlockForm(ReadWhole(path));
    e.clusters = uint32_t((bytes.size() + 32767) / 32768);
    e.content = BytesContent(bytes);
    d.entries.push_back(e);
  }
  Build(d);
  // A picture left by an earlier run of a recording that has none now goes.
  ASSERT_EQ(RunMelvir({"catalog", "-n", "1", "-d", Path("out"), Path("disk.img")}).status, 0);
  ASSERT_EQ(std::rename(Path("out/thumbs/1.jpg").c_str(), Path("out/thumbs/4.jpg").c_str()), 0);

  ChildResult r = RunMelvir({"catalog", "-d", Path("out"), Path("disk.img")});
  ASSERT_EQ(r.status, 0) << r.err;
  JsonValue v;
  std::string error;
  std::vector<unsigned char> json = ReadWhole(Path("out/catalog.json"));
  ASSERT_TRUE(ParseJson(std::string(json.begin(), json.end()), &v, &error)) << error;
  ASSERT_EQ(v.items.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    const JsonValue& p = v.items[i];
    ASSERT_FALSE(p.keys.empty());
    EXPECT_EQ(p.keys.back(), "thumbnail") << cases[i].name;
    EXPECT_EQ(p.keys.size(), 26u) << cases[i].name;  // probe's 25, and the thumbnail
    EXPECT_EQ(Member(Member(p, "event"), "title").text, hostile) << cases[i].name;
    std::string thumb = "thumbs/" + std::to_string(i + 1) + ".jpg";
    std::vector<unsigned char> jpeg = ReadWhole(Path("out/" + thumb));
    if (cases[i].width) {
      EXPECT_EQ(Member(p, "thumbnail").text, thumb);
      EXPECT_EQ(JpegSize(jpeg), std::make_pair(cases[i].width, cases[i].height)) << cases[i].name;
    } else {
      EXPECT_EQ(Member(p, "thumbnail").kind, JsonValue::kNull) << cases[i].name;
      EXPECT_TRUE(jpeg.empty()) << cases[i].name << ": an old picture is left";
    }
  }
  std::vector<unsigned char> bytes = ReadWhole(Path("out/index.html"));
  std::string page(bytes.begin(), bytes.end());
  EXPECT_NE(page.find("Le &quot;&lt;script&gt;&quot; du soir"), std::string::npos);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_NE(page.find("2009-05-03 22:44"), std::string::npos);  // local time, from the TOT
  EXPECT_NE(page.find("melvir extract -n 3 "), std::string::npos);
  for (const auto& c : cases) {
    std::string row = std::string("<dt>Video</dt><dd>") + (c.video ? c.video : "&ndash;") + "</dd>";
    EXPECT_NE(page.find(row), std::string::npos) << c.name;
  }

  EXPECT_EQ(RunMelvir({"catalog", Path("disk.img")}).status, 2);  // no -d
}

// Where the picture is taken (a tenth of the way in) but the probe does not
// read (past the tables at the start, before the last 4 MiB), sectors fail:
// without --rescue the recording has no picture and the run fails; with it
// they are zeros, the picture is made and damage was met.
TEST_F(CatalogCommandTest, UnreadablePictureNeedsRescue) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: the test streams cannot be made";
  std::string path = MakeStream("long", Video("352x288", "-t 40 -c:v mpeg2video -b:v 2M -muxrate 2500000"),
                                "--utc 1241383440 --event '1241383000|3600|fra|Le film|'");
  ASSERT_FALSE(path.empty());
  Disk d;
  d.clusterCount = 600;
  Entry e;
  e.name = "Film";
  std::vector<uint8_t> bytes = ReadWhole(path);
  ASSERT_GT(bytes.size(), 9u << 20);
  e.clusters = uint32_t((bytes.size() + 32767) / 32768);
  e.content = BytesContent(bytes);
  d.entries.push_back(e);
  testdisk::Layout layout = Build(d);
  uint64_t tenth = bytes.size() / 10 / 188 * 188;
  uint64_t bad = layout.ClusterByte(layout.chains[0][tenth / layout.usableClusterBytes]) +
                 tenth % layout.usableClusterBytes / 512 * 512;
  char map[256];
  std::snprintf(map, sizeof map, "0x0 +\n0x0 0x%llX +\n0x%llX 0x1000 -\n0x%llX 0x%llX +\n",
                (unsigned long long)bad, (unsigned long long)bad, (unsigned long long)(bad + 4096),
                (unsigned long long)(layout.imageSize - bad - 4096));
  WriteWholeFile(Path("disk.map"), map);
  const struct {
    bool rescue;
    int status;
    bool picture;
  } cases[] = {{false, 1, false}, {true, 3, true}};
  for (const auto& c : cases) {
    std::vector<std::string> args = {"catalog", "-d", Path("out"), "--mapfile", Path("disk.map"), Path("disk.img")};
    if (c.rescue) args.push_back("--rescue");
    ChildResult r = RunMelvir(args);
    EXPECT_EQ(r.status, c.status) << c.rescue << r.err;
    EXPECT_EQ(r.err.find("no picture") != std::string::npos, !c.rescue) << r.err;
    JsonValue v;
    std::string error;
    std::vector<unsigned char> json = ReadWhole(Path("out/catalog.json"));
    ASSERT_TRUE(ParseJson(std::string(json.begin(), json.end()), &v, &error)) << error;
    ASSERT_EQ(v.items.size(), 1u);  // the card stays, with what the probe read
    EXPECT_EQ(Member(Member(v.items[0], "event"), "title").text, "Le film");
    EXPECT_EQ(Member(v.items[0], "thumbnail").kind == JsonValue::kString, c.picture) << c.rescue;
  }
}

// The recordings are chosen as probe and extract choose them, and a disk
// found through --header is named so in the commands the page shows.
TEST_F(CatalogCommandTest, SelectsAsTheOtherCommandsDo) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: the test streams cannot be made";
  std::string path = MakeStream("pick", "-f lavfi -i sine -t 1 -c:a mp2", "");
  ASSERT_FALSE(path.empty());
  Disk d;
  for (const char* name : {"News", "Film", "Night film"}) {
    Entry e;
    e.name = name;
    std::vector<uint8_t> bytes = ReadWhole(path);
    e.clusters = uint32_t((bytes.size() + 32767) / 32768);
    e.content = BytesContent(bytes);
    d.entries.push_back(e);
  }
  testdisk::Layout layout = Build(d);
  const struct {
    std::vector<std::string> args;
    std::vector<int> indexes;
  } cases[] = {
      {{"--name", "*film"}, {2, 3}},
      {{"--slot", "0,2"}, {1, 3}},
      {{"--cluster", std::to_string(layout.chains[1][0])}, {2}},
      {{"--header", "64", "-n", "3"}, {3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    std::vector<std::string> args = {"catalog", "-d", Path("out")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back(Path("disk.img"));
    ChildResult r = RunMelvir(args);
    ASSERT_EQ(r.status, 0) << r.err;
    JsonValue v;
    std::string error;
    std::vector<unsigned char> json = ReadWhole(Path("out/catalog.json"));
    ASSERT_TRUE(ParseJson(std::string(json.begin(), json.end()), &v, &error)) << error;
    std::vector<int> indexes;
    for (const JsonValue& item : v.items) indexes.push_back(int(Member(item, "index").number));
    EXPECT_EQ(indexes, c.indexes);
  }
  std::vector<unsigned char> bytes = ReadWhole(Path("out/index.html"));
  std::string page(bytes.begin(), bytes.end());
  EXPECT_NE(page.find("melvir extract -n 3 --header 64 " + Path("disk.img")), std::string::npos) << page;
  EXPECT_EQ(RunMelvir({"catalog", "-d", Path("out"), "-n", "1", "--slot", "1", Path("disk.img")}).status, 2);
}

}  // namespace
