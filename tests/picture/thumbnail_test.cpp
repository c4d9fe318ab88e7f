// Pictures of streams that ffmpeg makes at test time: the size follows the
// display aspect ratio, the picture is a JPEG of that size read from a tenth
// of the way in (from the start when no key frame follows the tenth), and
// what has no video gives none.
#include <gtest/gtest.h>

#include <cctype>
#include <algorithm>
#include <cstdlib>
#include <random>

#include "picture/thumbnail.h"
#include "support.h"

namespace {

struct MemoryStream {
  std::string bytes;
  bool fail;       // every read fails, as an unreadable sector does without --rescue
  u64 lowestRead;  // the first byte any read asked for
};

bool ReadMemory(void* context, u64 offset, u8* buffer, u32 count, u32* got) {
  MemoryStream* m = static_cast<MemoryStream*>(context);
  if (m->fail) return false;
  if (offset < m->lowestRead) m->lowestRead = offset;
  u64 size = m->bytes.size();
  *got = offset >= size ? 0 : u32(size - offset < count ? size - offset : count);
  std::copy(m->bytes.data() + offset, m->bytes.data() + offset + *got, buffer);
  return true;
}

// The width and height the JPEG's start-of-frame segment gives.
bool JpegSize(const std::vector<u8>& j, u32* w, u32* h) {
  if (j.size() < 4 || j[0] != 0xFF || j[1] != 0xD8 || j[j.size() - 2] != 0xFF || j.back() != 0xD9) return false;
  for (size_t i = 2; i + 9 < j.size(); i += 2 + (j[i + 2] << 8 | j[i + 3])) {
    if (j[i] != 0xFF) return false;
    if (j[i + 1] == 0xC0 || j[i + 1] == 0xC1 || j[i + 1] == 0xC2) {
      *h = j[i + 5] << 8 | j[i + 6];
      *w = j[i + 7] << 8 | j[i + 8];
      return true;
    }
  }
  return false;
}

struct Case {
  const char* what;
  const char* ffmpeg;  // arguments before the output file; null: 1 MiB of random bytes
  bool fail;
  u32 zeros;           // bytes from the tenth read as zeros, as a rescue reads lost sectors
  u32 width, height;   // 0: no picture
  bool fromStart;      // no key frame follows the tenth: the first is taken
};

const Case kCases[] = {
  {"MPEG-2 720x576 16:9", "-f lavfi -i testsrc=size=720x576:rate=25 -f lavfi -i sine -t 2 "
                          "-c:v mpeg2video -aspect 16:9 -c:a mp2", false, 0, 320, 180, false},
  {"MPEG-2 720x576 4:3", "-f lavfi -i testsrc=size=720x576:rate=25 -t 2 -c:v mpeg2video -aspect 4:3",
   false, 0, 320, 240, false},
  {"H.264 1440x1080 SAR 4:3", "-f lavfi -i testsrc=size=1440x1080:rate=25 -t 2 -vf setsar=4/3 "
                              "-c:v libx264 -preset ultrafast -g 25", false, 0, 320, 180, false},
  {"zeros at the tenth", "-f lavfi -i testsrc=size=720x576:rate=25 -t 2 -c:v mpeg2video -b:v 8M -minrate 8M "
                         "-maxrate 8M -bufsize 1835008 -aspect 4:3",
   false, 512 << 10, 320, 240, false},
  {"audio only", "-f lavfi -i sine -t 2 -c:a mp2", false, 0, 0, 0, false},
  {"random bytes", nullptr, false, 0, 0, 0, false},
  {"reader fails", "-f lavfi -i testsrc=size=720x576:rate=25 -t 2 -c:v mpeg2video", true, 0, 0, 0, false},
  {"H.264 key frame at the start only", "-f lavfi -i testsrc=size=320x240:rate=25 -t 4 -c:v libx264 "
                                        "-preset ultrafast -g 250", false, 0, 320, 240, true},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

class Thumbnails : public ScratchTest, public ::testing::WithParamInterface<Case> {};

TEST_P(Thumbnails, SizeAndPicture) {
  const Case& c = GetParam();
  MemoryStream m{std::string(), c.fail, ~0ull};
  if (c.ffmpeg) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "ffmpeg (Debian ffmpeg) is not installed: it makes the test streams";
    std::string cmd = std::string("ffmpeg -nostdin -loglevel error -y ") + c.ffmpeg + " -f mpegts in.ts";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    m.bytes = ReadWholeFile(Path("in.ts"));
  } else {
    std::mt19937 random(21);
    for (int i = 0; i < 1 << 20; ++i) m.bytes += char(random());
  }
  size_t tenth = m.bytes.size() / 10 / 188 * 188;
  ASSERT_LT(tenth + c.zeros, m.bytes.size());
  std::fill_n(m.bytes.begin() + tenth, c.zeros, '\0');
  StreamSource source{ReadMemory, &m, m.bytes.size()};
  Thumbnail t;
  bool made = MakeThumbnail(source, &t);
  ASSERT_EQ(made, c.width != 0);
  if (!made) return;
  EXPECT_EQ(t.width, c.width);
  EXPECT_EQ(t.height, c.height);
  u32 w = 0, h = 0;
  ASSERT_TRUE(JpegSize(t.jpeg, &w, &h));
  EXPECT_EQ(w, c.width);
  EXPECT_EQ(h, c.height);
  EXPECT_EQ(m.lowestRead, c.fromStart ? 0 : tenth);
}

INSTANTIATE_TEST_SUITE_P(Streams, Thumbnails, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) {
                           std::string n;
                           for (const char* p = i.param.what; *p; ++p)
                             if (std::isalnum(static_cast<unsigned char>(*p))) n += *p;
                           return n;
                         });

// Display aspect ratios, and the rounding to an even height.
TEST(ThumbnailHeight, FromFrameAndSampleAspect) {
  struct { u32 w, h, num, den, height; } rows[] = {
    {720, 576, 64, 45, 180}, {720, 576, 16, 15, 240}, {1440, 1080, 4, 3, 180},
    {1920, 1080, 1, 1, 180}, {1920, 1080, 0, 1, 180}, {704, 576, 12, 11, 240},
    {352, 288, 1, 1, 262},   {1000, 1, 1, 1, 2},    {100, 1000, 1, 1, 1280},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ThumbnailHeight(r.w, r.h, r.num, r.den), r.height) << r.w << "x" << r.h << " " << r.num << ":" << r.den;
}

}  // namespace
