// The teletext decoder against libzvbi's on the same bytes: the error
// codes over every byte and every error of one and two bits, and pages in
// each national option subset, chosen by C12-C14 with the language's
// region and by X/28/0 and M/29/0 designations, under a double-height row.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "stream/teletext.h"
#include "stream/teletext_coding.h"
#include "teletext_pages.h"
#include "zvbi_pages.h"

#ifdef MELVIR_HAVE_ZVBI
#include <libzvbi.h>
#endif

namespace {

#define NEED_ZVBI() \
  if (*ZvbiMissing()) GTEST_SKIP() << ZvbiMissing() << ": nothing to check the decoder against"

TEST(TeletextAgainstLibzvbi, ErrorCodes) {
  NEED_ZVBI();
#ifdef MELVIR_HAVE_ZVBI
  for (unsigned n = 0; n < 16; ++n) EXPECT_EQ(ttx::Hamming84(n), vbi_ham8(n)) << n;
  for (unsigned b = 0; b < 256; ++b) {
    int zvbi = vbi_unham8(b);
    EXPECT_EQ(Hamming84(u8(b)), zvbi < 0 ? -1 : zvbi) << b;
    zvbi = vbi_unpar8(b);
    EXPECT_EQ(OddParity(u8(b)), zvbi < 0 ? -1 : zvbi) << b;
  }
  for (uint32_t data : {0u, 1u, 0x3FFFFu, 0x15555u, 0x2AAAAu, 0x0B00u, 0x1234Fu}) {
    uint8_t ours[3], theirs[3];
    ttx::Hamming2418(data, ours);
    vbi_ham24p(theirs, data);
    ASSERT_EQ(0, std::memcmp(ours, theirs, 3)) << data;
    // Every error of one bit, and of two.
    for (int i = -1; i < 24; ++i) {
      for (int j = i; j < 24; ++j) {
        uint8_t t[3] = {ours[0], ours[1], ours[2]};
        if (i >= 0) t[i / 8] ^= uint8_t(1 << i % 8);
        if (j > i) t[j / 8] ^= uint8_t(1 << j % 8);
        int zvbi = vbi_unham24p(t);
        EXPECT_EQ(Hamming2418(t), zvbi < 0 ? -1 : zvbi) << data << " bits " << i << " " << j;
      }
    }
  }
#endif
}

struct PageCase {
  const char* language;
  int region;          // what the language implies, for libzvbi
  int national;        // C12-C14
  const char* designation;  // "", "X28:N" or "M29:N"
  const char* subset;  // the subset the text is written in
  const char* text;    // written; null: the subset's 13 characters
};

std::string NationalCharacters(int subset) {
  std::string s = "Aa ";
  for (u32 i = 0; i < kNationalPositions; ++i) {
    char utf8[4];
    u32 n = 0;
    u32 c = kNationalCharacters[subset][i];
    if (c < 0x80) utf8[n++] = char(c);
    else if (c < 0x800) { utf8[n++] = char(0xC0 | c >> 6); utf8[n++] = char(0x80 | (c & 0x3F)); }
    else { utf8[n++] = char(0xE0 | c >> 12); utf8[n++] = char(0x80 | (c >> 6 & 0x3F)); utf8[n++] = char(0x80 | (c & 0x3F)); }
    s.append(utf8, n);
  }
  return s;
}

// Where libzvbi draws a letter the subset does not have: a private-use
// code for the lira sign, and Ð ð, Ǎ ǎ Í, ȩ for the Serbian/Croatian Đ đ,
// the Romanian Ă ă Î and the Lithuanian ę.
std::string AsTheStandard(std::string text) {
  const char* const kDrawnAs[][2] = {{"\xEE\xA0\x80", "\xE2\x82\xBA"}, {"\xC3\x90", "\xC4\x90"},
                                     {"\xC3\xB0", "\xC4\x91"},        {"\xC7\x8D", "\xC4\x82"},
                                     {"\xC7\x8E", "\xC4\x83"},        {"\xC3\x8D", "\xC3\x8E"},
                                     {"\xC8\xA9", "\xC4\x99"}};
  for (const auto& d : kDrawnAs)
    for (size_t at; (at = text.find(d[0])) != std::string::npos;) text.replace(at, std::strlen(d[0]), d[1]);
  return text;
}

TEST(TeletextAgainstLibzvbi, NationalSubsets) {
  NEED_ZVBI();
  const PageCase kCases[] = {
      {"deu", 0, 1, "", "de", "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln: \xC3\x84pfel, \xC3\x96l, \xC3\x9C" "bung"},
      {"fra", 0, 4, "", "fr", "p\xC3\xA8re \xC3\xA0 c\xC3\xB4t\xC3\xA9, o\xC3\xB9 \xC3\xA7" "a, \xC3\xAAtre"},
      {"eng", 0, 0, "", "en", nullptr},  {"deu", 0, 1, "", "de", nullptr}, {"swe", 0, 2, "", "sv", nullptr},
      {"ita", 0, 3, "", "it", nullptr},  {"fra", 0, 4, "", "fr", nullptr}, {"spa", 0, 5, "", "es", nullptr},
      {"ces", 0, 6, "", "cs", nullptr},  {"pol", 8, 0, "", "pl", nullptr}, {"tur", 16, 6, "", "tr", nullptr},
      {"slv", 24, 5, "", "sr", nullptr}, {"rum", 24, 7, "", "ro", nullptr}, {"est", 32, 2, "", "et", nullptr},
      {"lit", 32, 3, "", "lt", nullptr},
      // Designations pick the group; the header's C12-C14 the option in it.
      {"eng", 0, 0, "X28:8", "pl", nullptr}, {"eng", 0, 6, "M29:22", "tr", nullptr},
      {"eng", 0, 0, "X28:9", "pl", nullptr},
  };
  for (const PageCase& c : kCases) {
    int subset = ttx::SubsetNamed(c.subset);
    std::string text = c.text ? c.text : NationalCharacters(subset);
    SCOPED_TRACE(std::string(c.language) + " " + c.subset + " " + c.designation + ": " + text);
    ttx::Header h;
    h.national = c.national;
    std::vector<ttx::Packet> head;
    std::string d = c.designation;
    if (d.compare(0, 4, "M29:") == 0) head.push_back(ttx::Designation(8, 29, std::atoi(d.c_str() + 4)));
    head.push_back(ttx::PageHeader(h));
    if (d.compare(0, 4, "X28:") == 0) head.push_back(ttx::Designation(8, 28, std::atoi(d.c_str() + 4)));
    // A double-height row above, whose lower half hides the row under it.
    std::vector<ttx::Packet> rows = {ttx::PageRow(8, 19, "\x0DTop", subset), ttx::PageRow(8, 20, "Hidden", subset)};
    for (const ttx::Packet& row : ttx::SubtitleRows(8, text, subset)) rows.push_back(row);
    ttx::Header closing;
    closing.page = 0xFF;
    closing.erase = false;
    rows.push_back(ttx::PageHeader(closing));
    std::vector<std::vector<uint8_t>> pes = {ttx::Pes(90000, head), ttx::Pes(93600, rows)};

    std::vector<std::string> ours;
    static TeletextDecoder decoder;
    ResetTeletext(&decoder, [](void* context, const TeletextCue& cue) {
      static_cast<std::vector<std::string>*>(context)->push_back(cue.text);
    }, &ours);
    AddTeletextPage(&decoder, 0x888, c.language);
    for (const std::vector<uint8_t>& p : pes) FeedTeletextPes(&decoder, p.data(), p.size());
    FinishTeletext(&decoder, 900000);
    ASSERT_EQ(ours.size(), 1u);
    EXPECT_EQ(ours[0], "Top\n" + text);
    std::vector<std::string> theirs = ZvbiPageTexts(pes, 0x888, c.region);
    ASSERT_EQ(theirs.size(), 1u);
    EXPECT_EQ(ours[0], AsTheStandard(theirs[0]));
  }
}

}  // namespace
