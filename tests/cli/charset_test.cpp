// Recording names decoded from each charset into UTF-8.
#include <gtest/gtest.h>

#include <string>

#include "text/charset.h"

namespace {

#define BAD "\xEF\xBF\xBD"  // U+FFFD

std::string Decode(Charset charset, const std::string& raw, u32 size = kDecodedNameSize) {
  char out[kDecodedNameSize];
  DecodeName(reinterpret_cast<const u8*>(raw.data()), u32(raw.size()), charset, out, size);
  return out;
}

struct Case {
  const char* what;
  Charset charset;
  std::string raw;
  std::string decoded;
};

TEST(CliCharset, EachCharsetDecodesItsOwnBytes) {
  const Case cases[] = {
      {"latin1 0xA4", kLatin1, "\xA4", "\xC2\xA4"},
      {"latin1 letters", kLatin1, "Caf\xE9 cr\xE8me", "Caf\xC3\xA9 cr\xC3\xA8me"},
      {"latin9 0xA4", kLatin9, "\xA4", "\xE2\x82\xAC"},
      {"cp1252 0x80", kCp1252, "\x80", "\xE2\x82\xAC"},
      {"cp1252 undefined 0x81", kCp1252, "a\x81", "a" BAD},
      {"control codes", kLatin1, "a\x01" "b\x7F\x85", "a" BAD "b" BAD BAD},
      {"utf-8", kUtf8, "Caf\xC3\xA9 \xF0\x9F\x98\x80", "Caf\xC3\xA9 \xF0\x9F\x98\x80"},
      {"utf-8 C1 control", kUtf8, "\xC2\x85", BAD},
      {"utf-8 overlong", kUtf8, "\xC0\xAF\xE0\x80\xAF", BAD BAD BAD BAD BAD},
      {"utf-8 surrogate", kUtf8, "\xED\xA0\x80", BAD BAD BAD},
      {"utf-8 past U+10FFFF", kUtf8, "\xF4\x90\x80\x80", BAD BAD BAD BAD},
      {"utf-8 cut short", kUtf8, "\xE2\x82" "b\xF0\x9F\x98", BAD "b" BAD},
      {"utf-8 stray continuation", kUtf8, "\x80\xBF", BAD BAD},
      {"dvb ISO 6937", kDvb, "Caf\xC2" "e", "Caf\xC3\xA9"},
      {"dvb ISO 6937 mark alone", kDvb, "\xC2" "1 a\xC2", BAD "1 a" BAD},
      {"dvb 0x01 is ISO 8859-5", kDvb, "\x01\xBF\xE0\xD8\xD2\xD5\xE2",
       "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
      {"dvb 0x05 is ISO 8859-9", kDvb, "\x05\xDEi\xFE" "e", "\xC5\x9Ei\xC5\x9F" "e"},
      {"dvb 0x0B is ISO 8859-15", kDvb, "\x0B\xA4", "\xE2\x82\xAC"},
      {"dvb 0x10 0x00 0x02", kDvb, std::string("\x10\x00\x02\xA3\xF3" "d\xBC", 7),
       "\xC5\x81\xC3\xB3" "d\xC5\xBA"},
      {"dvb 0x15 UTF-8", kDvb, "\x15" "Caf\xC3\xA9", "Caf\xC3\xA9"},
      {"dvb emphasis and line break", kDvb, "\x86News\x87\x8Anow\x80", "News now" BAD},
      {"dvb UTF-8 control codes", kDvb, "\x15\xEE\x82\x86" "A\xEE\x82\x87\xEE\x82\x8A" "B",
       "A B"},
      {"dvb two-byte table", kDvb, "\x12" "ab", BAD BAD},
      {"dvb 0x11 UCS-2", kDvb, std::string("\x11\x00" "A\x20\xAC\xD8\x00\x00", 8), "A\xE2\x82\xAC" BAD BAD},
      {"dvb no ISO 8859-12", kDvb, "\x08" "a", BAD},
      {"dvb bad 0x10 table", kDvb, std::string("\x10\x01\x02" "ab", 5), BAD BAD},
      {"full expansion fits", kCp1252, std::string(64, '\x81'), [] {
         std::string s;
         for (int i = 0; i < 64; ++i) s += BAD;
         return s;
       }()},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.charset, c.raw), c.decoded) << c.what;
}

TEST(CliCharset, BroadcastStringsDropControlCodes) {
  const struct {
    const char* what;
    std::string raw;
    bool text;
    std::string decoded;
  } cases[] = {
      {"line", "\x86News\x87\x8Anow\x80", false, "News now"},
      {"text", "\x86News\x87\x8Anow\x80", true, "News\nnow"},
      {"UTF-8 text", "\x15" "A\xEE\x82\x8A" "B\xC2\x85", true, "A\nB"},
      {"UCS-2 text", std::string("\x11\x00\x8A\x00" "a\xE0\x86", 7), true, "\na"},
      {"two-byte table stays replaced", "\x13" "ab", true, BAD BAD},
  };
  for (const auto& c : cases) {
    char out[kBroadcastStringSize];
    DecodeBroadcastString(reinterpret_cast<const u8*>(c.raw.data()), u32(c.raw.size()), c.text, out,
                          sizeof out);
    EXPECT_EQ(out, c.decoded) << c.what;
  }
}

TEST(CliCharset, ANameCutShortEndsAtAWholeCharacter) {
  EXPECT_EQ(Decode(kLatin1, "\xE9\xE9", 4), "\xC3\xA9");
  EXPECT_EQ(Decode(kLatin9, "ab\xA4", 5), "ab");
  EXPECT_EQ(Decode(kLatin1, "ab", 1), "");
}

TEST(CliCharset, NamesAndSpellings) {
  const struct {
    const char* name;
    Charset charset;
  } known[] = {
      {"ISO-8859-1", kLatin1}, {"latin1", kLatin1},       {"iso_8859-1", kLatin1},
      {"ISO8859-15", kLatin9}, {"Latin9", kLatin9},       {"CP1252", kCp1252},
      {"windows-1252", kCp1252}, {"UTF-8", kUtf8},        {"utf8", kUtf8},
      {"DVB", kDvb},
  };
  for (const auto& k : known) {
    Charset c = kUtf8 == k.charset ? kLatin1 : kUtf8;
    EXPECT_TRUE(ParseCharset(k.name, &c)) << k.name;
    EXPECT_EQ(c, k.charset) << k.name;
  }
  for (const char* unknown : {"", "ISO-8859-2", "utf-16", "latin", "iso-8859-1-and-a-long-tail"}) {
    Charset c;
    EXPECT_FALSE(ParseCharset(unknown, &c)) << unknown;
  }
}

}  // namespace
