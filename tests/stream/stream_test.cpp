// The stream reader on streams ffmpeg and melvir-ts-si make at test time.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "stream/summary.h"
#include "streams.h"

namespace {

#define NEED_FFMPEG() \
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: the test streams cannot be made"

const long long kStart = 1241383440;  // 2009-05-03T20:44:00Z
const std::string kTables =
    "--utc 1241383440 --offset '120|1241383000|60' "
    "--event '1241380800|2641|fra|Avant|' "
    "--event '1241383441|3600|fra|Le film du soir|Un film' "
    "--event '1241387041|1800|fra|Apr\\xC2" "es|'";

// Feeds bytes in pieces of an odd size, so packets straddle them; unread
// [hole, hole + holeLength) is given as unreadable.
ProbeSummary Analyze(const std::vector<unsigned char>& bytes, size_t hole = 0, size_t holeLength = 0) {
  StreamAnalysis a;
  EXPECT_TRUE(StartAnalysis(&a));
  for (size_t at = 0; at < bytes.size();) {
    if (holeLength && at == hole) {
      FeedUnreadable(&a, holeLength);
      at += holeLength;
      continue;
    }
    size_t n = std::min<size_t>(1001, bytes.size() - at);
    if (holeLength && at < hole && at + n > hole) n = hole - at;
    FeedStream(&a, bytes.data() + at, u32(n));
    at += n;
  }
  ProbeSummary s;
  SummarizeStream(a, &s);
  EndAnalysis(&a);
  return s;
}

u32 PidErrors(const ProbeSummary& s, u16 pid) {
  for (const StreamSummary& st : s.streams)
    if (st.pid == pid) return st.continuityErrors;
  return ~0u;
}

TEST(StreamProbe, ProgrammeWithTables) {
  NEED_FFMPEG();
  std::string path = MakeStream("mpeg2", Mpeg2TwoLanguages(6), kTables);
  ASSERT_FALSE(path.empty());
  ProbeSummary s = Analyze(ReadWhole(path));
  ASSERT_TRUE(s.transportStream);
  EXPECT_EQ(s.reason, nullptr);
  EXPECT_TRUE(s.programKnown);
  EXPECT_EQ(s.service.name, "France 2");
  EXPECT_EQ(s.service.provider, "FTV");
  EXPECT_EQ(s.durationSource, kDurationPcr);
  EXPECT_NEAR(s.durationSeconds, 6.0, 0.3);
  EXPECT_GT(s.bitrate, 200000u);
  EXPECT_EQ(s.firstTime, kStart);
  EXPECT_EQ(s.lastTime, kStart + 4);
  EXPECT_EQ(s.localOffsetMinutes, 60);  // changed before the first time
  // Present at the start is "Avant" (1 s recorded); the film overlaps most.
  EXPECT_EQ(s.event.title, "Le film du soir");
  EXPECT_EQ(s.event.text, "Un film");
  EXPECT_EQ(s.event.start, 1241383441);
  EXPECT_EQ(s.event.duration, 3600u);
  EXPECT_EQ(s.following.title, "Apr\xC2" "es");
  ASSERT_EQ(s.streams.size(), 3u);
  const char* kinds[][2] = {{"MPEG-1/2 video", ""}, {"MPEG audio", "fra"}, {"MPEG audio", "eng"}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_STREQ(s.streams[i].codec, kinds[i][0]);
    EXPECT_STREQ(s.streams[i].language, kinds[i][1]);
  }
  EXPECT_EQ(s.syncLosses + s.continuityErrors + s.transportErrors + s.unreadablePackets, 0u);
}

struct Damage {
  const char* what;
  std::function<void(std::vector<unsigned char>*)> change;
  size_t hole, holeLength;
  u64 syncLosses, unreadable, continuityErrors;
  bool transportStream;
};

TEST(StreamProbe, DamageIsCountedWhereItIs) {
  NEED_FFMPEG();
  std::string path = MakeStream("plain", Mpeg2TwoLanguages(3), "");
  ASSERT_FALSE(path.empty());
  const std::vector<unsigned char> clean = ReadWhole(path);
  auto randomBytes = [](std::vector<unsigned char>* b) {
    std::srand(7);
    for (unsigned char& c : *b) c = (unsigned char)(std::rand() >> 4);
  };
  const Damage cases[] = {
      {"starts mid-packet", [](std::vector<unsigned char>* b) { b->erase(b->begin(), b->begin() + 100); }, 0, 0, 0, 0, 0, true},
      // The packet is not read: its PID's counter then jumps.
      {"one sync byte broken", [](std::vector<unsigned char>* b) { (*b)[188 * 50] = 0; }, 0, 0, 0, 0, 1, true},
      {"sync bytes broken twice", [](std::vector<unsigned char>* b) { (*b)[188 * 50] = (*b)[188 * 51] = 0; }, 0, 0, 1, 0, 0, true},
      {"ends in zeros", [](std::vector<unsigned char>* b) { b->resize(b->size() + 5000); }, 0, 0, 0, 0, 0, true},
      {"ends in other bytes", [](std::vector<unsigned char>* b) { b->resize(b->size() + 5000, 0x55); }, 0, 0, 1, 0, 0, true},
      {"unreadable sectors", [](std::vector<unsigned char>*) {}, 512 * 40, 512 * 8, 0, 23, 0, true},
      {"random bytes", randomBytes, 0, 0, 0, 0, 0, false},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<unsigned char> bytes = clean;
    c.change(&bytes);
    if (c.holeLength) std::memset(bytes.data() + c.hole, 0, c.holeLength);
    ProbeSummary s = Analyze(bytes, c.hole, c.holeLength);
    EXPECT_EQ(s.transportStream, c.transportStream);
    if (!c.transportStream) continue;
    EXPECT_EQ(s.syncLosses, c.syncLosses);
    EXPECT_EQ(s.unreadablePackets, c.unreadable);
    EXPECT_EQ(s.continuityErrors, c.continuityErrors);
    EXPECT_NEAR(s.durationSeconds, 3.0, 0.3);
  }
}

TEST(StreamProbe, DolbyAudioIsKnownByDescriptorOrStreamType) {
  NEED_FFMPEG();
  // DVB marks AC-3 and E-AC-3 by a descriptor on stream type 0x06; ATSC, and
  // ffmpeg by default, by stream type 0x81.
  const struct {
    const char* codec;
    const char* encoder;
    const char* flags;
    u8 streamType;
  } cases[] = {{"AC-3", "ac3", " -mpegts_flags system_b", 0x06},
               {"E-AC-3", "eac3", " -mpegts_flags system_b", 0x06},
               {"AC-3", "ac3", "", 0x81}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.encoder) + c.flags);
    std::string path = MakeStream(c.encoder + std::to_string(c.streamType),
                                  std::string("-f lavfi -i sine -t 1 -c:a ") + c.encoder + c.flags, "");
    ASSERT_FALSE(path.empty());
    ProbeSummary s = Analyze(ReadWhole(path));
    ASSERT_EQ(s.streams.size(), 1u);
    EXPECT_EQ(s.streams[0].streamType, c.streamType);
    EXPECT_EQ(s.streams[0].kind, kKindAudio);
    EXPECT_STREQ(s.streams[0].codec, c.codec);
  }
}

TEST(StreamProbe, EveryProgrammeIsListedTheChosenFirst) {
  NEED_FFMPEG();
  // Programme 2 carries the most packets: it is the one described.
  std::string path = MakeStream(
      "two", "-f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine -f lavfi -i "
             "testsrc=size=160x120:rate=25 -f lavfi -i sine=frequency=660 -t 2 -map 0 -map 1 -map 2 "
             "-map 3 -c:v mpeg2video -c:a mp2 -b:v:0 400k -b:v:1 100k "
             "-program program_num=1:title=Small:st=2:st=3 -program program_num=2:title=Big:st=0:st=1",
      "");
  ASSERT_FALSE(path.empty());
  ProbeSummary s = Analyze(ReadWhole(path));
  ASSERT_TRUE(s.programKnown);
  EXPECT_EQ(s.program, 2);
  EXPECT_EQ(s.service.name, "Big");
  EXPECT_EQ(s.streams.size(), 2u);
  ASSERT_EQ(s.others.size(), 1u);
  EXPECT_EQ(s.others[0].program, 1);
  EXPECT_EQ(s.others[0].service.name, "Small");
  ASSERT_EQ(s.others[0].streams.size(), 2u);
  EXPECT_EQ(s.others[0].streams[0].kind, kKindVideo);
  EXPECT_EQ(s.others[0].streams[1].kind, kKindAudio);
}

TEST(StreamProbe, WithoutTablesTheClockStillTells) {
  NEED_FFMPEG();
  std::string path = MakeStream("nopat", Mpeg2TwoLanguages(3), "");
  ASSERT_FALSE(path.empty());
  std::vector<unsigned char> bytes = ReadWhole(path), kept;
  for (size_t at = 0; at + 188 <= bytes.size(); at += 188)
    if (((bytes[at + 1] & 0x1F) << 8 | bytes[at + 2]) != 0) kept.insert(kept.end(), &bytes[at], &bytes[at + 188]);
  ProbeSummary s = Analyze(kept);
  EXPECT_STREQ(s.reason, "no PAT");
  EXPECT_EQ(s.durationSource, kDurationPcr);
  EXPECT_NEAR(s.durationSeconds, 3.0, 0.3);
  // Without the PCR flag, the PTS give the duration.
  for (size_t at = 0; at + 188 <= bytes.size(); at += 188)
    if ((bytes[at + 3] & 0x20) && bytes[at + 4] > 0) bytes[at + 5] &= 0xEF;
  s = Analyze(bytes);
  EXPECT_EQ(s.reason, nullptr);
  EXPECT_EQ(s.durationSource, kDurationPts);
  EXPECT_NEAR(s.durationSeconds, 3.0, 0.3);
}

TEST(StreamProbe, ClockAcrossWrapAndSplices) {
  NEED_FFMPEG();
  std::string wrapped = MakeStream("wrap", H264Aac(16) + " -output_ts_offset 95430", "");
  std::string part = MakeStream("part", Mpeg2TwoLanguages(3), "");
  ASSERT_FALSE(wrapped.empty() || part.empty());
  std::string joined = StreamFolder() + "/joined.ts", marked = StreamFolder() + "/marked.ts";
  ASSERT_TRUE(RunShell("cat '" + part + "' '" + part + "' >'" + joined + "'"));
  ASSERT_TRUE(RunShell(std::string(MELVIR_TS_SI) + " '" + joined + "' '" + marked +
                       "' --utc 0 --mark-discontinuity"));
  struct Case {
    std::string path;
    double seconds;
    bool pcrPidErrors;  // the splice breaks the PCR PID's counter
  } cases[] = {{wrapped, 16.0, false}, {joined, 6.0, true}, {marked, 6.0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ProbeSummary s = Analyze(ReadWhole(c.path));
    EXPECT_EQ(s.durationSource, kDurationPcr);
    EXPECT_NEAR(s.durationSeconds, c.seconds, 0.4);
    EXPECT_EQ(PidErrors(s, 0x100) > 0, c.pcrPidErrors);
  }
}

// A hostile event table names a new event, or a new service, in every
// section: each section must cost the same little, so that 64 MiB of them
// read in far less than the minute a cost growing with the events seen
// took. The tables kept stay bounded, and the programme is still found.
TEST(StreamProbe, HostileEventTablesCostLittlePerSection) {
  NEED_FFMPEG();
  const struct {
    const char* name;
    const char* flood;
    bool event;  // of the programme's service
  } cases[] = {{"events", "--eit-flood 180000", true},
               {"services", "--eit-flood 180000 --flood-services", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = MakeStream(std::string("flood-") + c.name,
                                  "-f lavfi -i testsrc=size=176x144:rate=25 -t 1 -c:v mpeg2video",
                                  std::string("--utc 1241383440 ") + c.flood);
    ASSERT_FALSE(path.empty());
    std::vector<unsigned char> bytes = ReadWhole(path);
    ASSERT_GT(bytes.size(), 64u << 20);
    auto start = std::chrono::steady_clock::now();
    ProbeSummary s = Analyze(bytes);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10.0);
    EXPECT_TRUE(s.programKnown);
    EXPECT_EQ(s.event.known, c.event);
  }
}

// The picture format from the stream's own headers, for each coding and
// what it varies: MPEG-2's aspect codes, square samples and sequence
// extension (a width past 4095, frame rate 30000/1001), MPEG-1's pixel
// aspect without one, H.264's cropping (1080 lines of 1088 coded;
// field-coded; 4:2:2 chroma) and its VUI sample aspect ratio and timing.
TEST(StreamProbe, VideoFormatFromSequenceHeaderOrSps) {
  NEED_FFMPEG();
  const struct {
    const char* name;
    const char* video;  // testsrc's size and rate, then the output's options
    u32 width, height, rateNum, rateDen, aspectNum, aspectDen;
  } cases[] = {
      {"mpeg2-wide", "720x576:rate=25 -c:v mpeg2video -aspect 16:9", 720, 576, 25, 1, 16, 9},
      {"mpeg2-ntsc", "720x480:rate=30000/1001 -c:v mpeg2video -aspect 4:3", 720, 480, 30000, 1001, 4, 3},
      {"mpeg2-square", "176x144:rate=50 -c:v mpeg2video -vf setsar=1", 176, 144, 50, 1, 11, 9},
      {"mpeg2-large", "4160x240:rate=25 -c:v mpeg2video -aspect 221:100", 4160, 240, 25, 1, 221, 100},
      {"mpeg1", "352x288:rate=25 -c:v mpeg1video -aspect 4:3", 352, 288, 25, 1, 4, 3},
      {"h264-hd", "1440x1080:rate=25 -vf setsar=4/3 -pix_fmt yuv420p -c:v libx264 -preset ultrafast",
       1440, 1080, 25, 1, 16, 9},
      {"h264-fields", "1920x1080:rate=25 -vf setsar=1 -pix_fmt yuv420p -c:v libx264 -preset ultrafast "
       "-flags +ildct+ilme -x264opts interlaced=1", 1920, 1080, 25, 1, 16, 9},
      {"h264-422", "720x576:rate=25 -vf setsar=16/11 -pix_fmt yuv422p -c:v libx264 -preset ultrafast "
       "-x264opts crop-rect=2,0,6,2", 712, 574, 25, 1, 16, 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = MakeStream(c.name, std::string("-f lavfi -i testsrc=size=") + c.video + " -t 1", "");
    ASSERT_FALSE(path.empty());
    ProbeSummary s = Analyze(ReadWhole(path));
    ASSERT_EQ(s.streams.size(), 1u);
    const VideoFormat& f = s.streams[0].video;
    ASSERT_TRUE(f.known);
    EXPECT_EQ(f.width, c.width);
    EXPECT_EQ(f.height, c.height);
    EXPECT_EQ(f.rateNum, c.rateNum);
    EXPECT_EQ(f.rateDen, c.rateDen);
    EXPECT_EQ(f.aspectNum, c.aspectNum);
    EXPECT_EQ(f.aspectDen, c.aspectDen);
  }
}

}  // namespace
