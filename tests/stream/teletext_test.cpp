// The teletext subtitle decoder on pages coded by tools/teletext_pages.h:
// the cues of what a broadcaster sends, and the pages of melvir-ts-si's
// teletext stream as the PMT names them, in SubRip.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "stream/pes.h"
#include "stream/subrip.h"
#include "stream/teletext.h"
#include "streams.h"
#include "teletext_pages.h"

namespace {

struct Cues {
  std::vector<TeletextCue> all;
};
void Collect(void* context, const TeletextCue& cue) { static_cast<Cues*>(context)->all.push_back(cue); }

u64 Ticks(double seconds) { return u64(std::llround(seconds * 90000)); }

ttx::Packet Head(int page = 0x888, bool erase = true, bool serial = false) {
  ttx::Header h;
  h.magazine = page >> 8;
  h.page = page & 0xFF;
  h.erase = erase;
  h.serial = serial;
  return ttx::PageHeader(h);
}
ttx::Packet Closing(int magazine = 8) {  // a time-filling header
  ttx::Header h;
  h.magazine = magazine;
  h.page = 0xFF;
  h.erase = h.subtitle = false;
  return ttx::PageHeader(h);
}
ttx::Packet Row(int row, const std::string& text, int magazine = 8) {
  return ttx::PageRow(magazine, row, text, ttx::SubsetNamed("en"));
}
ttx::Packet WithParityError(ttx::Packet p, int column) {
  p[2 + column] ^= 0x80;
  return p;
}

struct Send {
  double at;
  std::vector<ttx::Packet> packets;
};
struct Want {
  double start, end;
  const char* text;
};
struct Case {
  const char* name;
  std::vector<Send> sends;
  double finish;
  std::vector<Want> cues;
};

// Page 0x888 (English) from a PTS of base at 0 s; the cues' times from base.
std::vector<TeletextCue> Decode(const Case& c, u64 base) {
  Cues cues;
  static TeletextDecoder d;
  ResetTeletext(&d, Collect, &cues);
  EXPECT_TRUE(AddTeletextPage(&d, 0x888, "eng"));
  std::vector<uint8_t> start = ttx::Pes(base % kPtsWrap, {});
  EXPECT_TRUE(FeedTeletextPes(&d, start.data(), start.size()));
  for (const Send& s : c.sends) {
    std::vector<uint8_t> pes = ttx::Pes((base + Ticks(s.at)) % kPtsWrap, s.packets);
    EXPECT_TRUE(FeedTeletextPes(&d, pes.data(), pes.size()));
  }
  FinishTeletext(&d, base + Ticks(c.finish));
  for (TeletextCue& cue : cues.all) {
    cue.startPts -= base;
    cue.endPts -= base;
  }
  return cues.all;
}

TEST(Teletext, CuesFollowThePages) {
  std::vector<Send> everySecond;
  for (int t = 2; t <= 24; ++t) everySecond.push_back({double(t), {}});
  everySecond.insert(everySecond.begin(), {1, {Head(), Row(23, "Long")}});
  everySecond.push_back({24.5, {Head(), Closing()}});
  const std::vector<Case> cases = {
      {"shown until erased", {{1, {Head(), Row(22, "Hello"), Row(23, "  World  "), Closing()}}, {3.5, {Head(), Closing()}}},
       10, {{1, 3.5, "Hello\nWorld"}}},
      {"replaced by the next page",
       {{1, {Head(), Row(23, "One"), Closing()}}, {2, {Head(), Row(23, "Two"), Closing()}}, {4, {Head(), Closing()}}},
       10, {{1, 2, "One"}, {2, 4, "Two"}}},
      {"sent again unchanged goes on",
       {{1, {Head(), Row(23, "Same"), Closing()}}, {2, {Head(), Row(23, "Same"), Closing()}}, {3, {Head(), Closing()}}},
       10, {{1, 3, "Same"}}},
      {"rows stay without the erase bit",
       {{1, {Head(), Row(21, "Top"), Row(23, "Bottom"), Closing()}}, {2, {Head(0x888, false), Row(23, "Changed"), Closing()}},
        {3, {Head(), Closing()}}},
       10, {{1, 2, "Top\nBottom"}, {2, 3, "Top\nChanged"}}},
      // Never closed by a header: the reception limit closes it, then 10 s pieces.
      {"a long one in 10 s pieces", everySecond, 30, {{1, 11, "Long"}, {11, 21, "Long"}, {21, 24.5, "Long"}}},
      {"a parity error is a space", {{1, {Head(), WithParityError(Row(23, "Hello"), 3), Closing()}}, {2, {Head(), Closing()}}},
       10, {{1, 2, "Hel o"}}},
      {"another page of the magazine closes it, its rows not ours",
       {{1, {Head(), Row(23, "Mine")}}, {1.5, {Head(0x889), Row(23, "Other")}}, {2, {Head(), Closing()}}}, 10,
       {{1, 2, "Mine"}}},
      {"parallel magazines: another magazine's header does not close it",
       {{1, {Head(), Row(22, "A"), Head(0x100), Row(23, "B"), Closing()}}, {2, {Head(), Closing()}}}, 10,
       {{1, 2, "A\nB"}}},
      {"serial magazines: any header closes it",
       {{1, {Head(0x888, true, true), Row(22, "A"), Head(0x100, true, true), Row(23, "B"), Closing()}},
        {2, {Head(), Closing()}}},
       10, {{1, 2, "A"}}},
      {"double height hides the row below",
       {{1, {Head(), Row(21, "\x0DUp"), Row(22, "Hidden"), Closing()}}, {2, {Head(), Closing()}}}, 10, {{1, 2, "Up"}}},
      {"the end of the recording ends it", {{1, {Head(), Row(23, "Last"), Closing()}}}, 4, {{1, 4, "Last"}}},
  };
  // Low, and 3 s before the 33-bit wrap.
  for (u64 base : {u64(900000), kPtsWrap - 3 * kPtsPerSecond}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " from PTS " + std::to_string(base));
      std::vector<TeletextCue> cues = Decode(c, base);
      ASSERT_EQ(cues.size(), c.cues.size());
      for (size_t i = 0; i < cues.size(); ++i) {
        EXPECT_EQ(cues[i].page, 0x888);
        EXPECT_EQ(cues[i].text, c.cues[i].text);
        EXPECT_EQ(cues[i].startPts, Ticks(c.cues[i].start));
        EXPECT_EQ(cues[i].endPts, Ticks(c.cues[i].end));
      }
    }
  }
}

// The section that starts in packet p, or null.
const uint8_t* Section(const uint8_t* p, size_t* length) {
  if (!(p[1] & 0x40)) return nullptr;
  size_t at = p[3] & 0x20 ? 5u + p[4] : 4u;
  at += 1 + p[at];
  *length = 3 + size_t((p[at + 1] & 0x0F) << 8 | p[at + 2]);
  return at + *length <= 188 ? p + at : nullptr;
}

// The teletext stream's PID and descriptor body, from the PAT and PMT.
bool FindTeletext(const std::vector<unsigned char>& ts, int* pid, std::vector<uint8_t>* descriptor) {
  int pmt = -1;
  for (size_t at = 0; at + 188 <= ts.size(); at += 188) {
    const uint8_t* p = &ts[at];
    size_t n;
    const uint8_t* s = Section(p, &n);
    int packetPid = (p[1] & 0x1F) << 8 | p[2];
    if (!s) continue;
    if (packetPid == 0 && s[0] == 0) pmt = (s[10] & 0x1F) << 8 | s[11];
    if (packetPid != pmt || s[0] != 2) continue;
    size_t es = 12 + ((s[10] & 0x0F) << 8 | s[11]);
    for (; es + 5 <= n - 4; es += 5 + ((s[es + 3] & 0x0F) << 8 | s[es + 4])) {
      size_t info = (s[es + 3] & 0x0F) << 8 | s[es + 4];
      for (size_t d = es + 5; d + 2 <= es + 5 + info; d += 2 + s[d + 1]) {
        if (s[d] != 0x56) continue;
        *pid = (s[es + 1] & 0x1F) << 8 | s[es + 2];
        descriptor->assign(s + d + 2, s + d + 2 + s[d + 1]);
        return true;
      }
    }
  }
  return false;
}

std::vector<std::vector<uint8_t>> PesOf(const std::vector<unsigned char>& ts, int pid) {
  std::vector<std::vector<uint8_t>> pes;
  for (size_t at = 0; at + 188 <= ts.size(); at += 188) {
    const uint8_t* p = &ts[at];
    if (((p[1] & 0x1F) << 8 | p[2]) != pid || !(p[3] & 0x10)) continue;
    if (p[1] & 0x40) pes.emplace_back();
    size_t from = p[3] & 0x20 ? 5u + p[4] : 4u;
    if (!pes.empty() && from < 188) pes.back().insert(pes.back().end(), p + from, p + 188);
  }
  return pes;
}

std::string Capture(const std::string& command) {
  std::string out;
  if (std::FILE* f = popen(command.c_str(), "r")) {
    char buffer[256];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) out.append(buffer, n);
    pclose(f);
  }
  return out;
}

TEST(Teletext, PagesOfTheToolsStream) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: the test streams cannot be made";
  std::string path = MakeStream(
      "teletext", Mpeg2TwoLanguages(6),
      "--utc 1241383440 --teletext 'deu|2|888' --teletext 'eng|5|889' --teletext 'deu|1|100' "
      "--subtitle '888|1|2.5|Gr\\xC3\\xBC\\xC3\\x9Fe\\x0AZweite Zeile|de|1' --subtitle '888|3|-|Danke|de|1' "
      "--subtitle '889|1.5|4|Hello'");
  ASSERT_FALSE(path.empty());
  // FFmpeg, as the remux will read it, sees the teletext and its languages.
  std::string probe = Capture("ffprobe -v error -select_streams s -show_entries stream=codec_name:stream_tags=language "
                              "-of csv=p=0 '" + path + "'");
  EXPECT_NE(probe.find("dvb_teletext,\"deu,eng,deu\"\n"), std::string::npos) << probe;

  std::vector<unsigned char> ts = ReadWhole(path);
  int pid = -1;
  std::vector<uint8_t> body;
  ASSERT_TRUE(FindTeletext(ts, &pid, &body));
  // The descriptor as the PMT has it, and as FFmpeg's demuxer keeps it:
  // the languages as ffprobe gave them, each entry's last two bytes.
  TeletextEntry entries[4], demuxed[4];
  ASSERT_EQ(ReadTeletextDescriptor(body.data(), uint8_t(body.size()), entries, 4), 3u);
  std::vector<uint8_t> extradata;
  for (size_t at = 0; at + 5 <= body.size(); at += 5) extradata.insert(extradata.end(), &body[at + 3], &body[at + 5]);
  ASSERT_EQ(ReadDemuxedTeletext("deu,eng,deu", extradata.data(), extradata.size(), demuxed, 4), 3u);
  const TeletextEntry kWritten[] = {{"deu", 2, 0x888}, {"eng", 5, 0x889}, {"deu", 1, 0x100}};
  Cues cues;
  static TeletextDecoder d;
  ResetTeletext(&d, Collect, &cues);
  for (int i = 0; i < 3; ++i) {
    for (const TeletextEntry& e : {entries[i], demuxed[i]}) {
      EXPECT_STREQ(e.language, kWritten[i].language);
      EXPECT_EQ(e.type, kWritten[i].type);
      EXPECT_EQ(e.page, kWritten[i].page);
    }
    if (IsSubtitleEntry(entries[i])) {
      EXPECT_TRUE(AddTeletextPage(&d, entries[i].page, entries[i].language));
    }
  }
  std::vector<std::vector<uint8_t>> pes = PesOf(ts, pid);
  ASSERT_GT(pes.size(), 5u);
  u64 zero;  // the first PES's, at the first PCR
  ASSERT_TRUE(PesPts(pes[0].data(), pes[0].size(), &zero));
  for (const std::vector<uint8_t>& p : pes) EXPECT_TRUE(FeedTeletextPes(&d, p.data(), p.size()));
  FinishTeletext(&d, zero + Ticks(6));
  std::string srt888, srt889;
  u32 n888 = 0, n889 = 0;
  for (const TeletextCue& cue : cues.all) {
    std::string* srt = cue.page == 0x888 ? &srt888 : &srt889;
    EXPECT_TRUE(AppendSubripCue(srt, cue.page == 0x888 ? ++n888 : ++n889, cue, zero));
  }
  EXPECT_EQ(srt888,
            "1\n00:00:01,000 --> 00:00:02,500\nGr\xC3\xBC\xC3\x9F" "e\nZweite Zeile\n\n"
            "2\n00:00:03,000 --> 00:00:06,000\nDanke\n\n");
  EXPECT_EQ(srt889, "1\n00:00:01,500 --> 00:00:04,000\nHello\n\n");
  EXPECT_EQ(SubripTime(Ticks(100 * 3600 + 61.5)), "100:01:01,500");
}

}  // namespace
