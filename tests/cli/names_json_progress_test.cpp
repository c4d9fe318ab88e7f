// The command line's own pure parts: JSON strings, file names, the
// progress line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "report/json.h"
#include "text/names.h"
#include "cli/progress.h"
#include "json_check.h"

namespace {

std::string JsonOf(const std::string& text) {
  char* data = nullptr;
  size_t size = 0;
  std::FILE* f = open_memstream(&data, &size);
  WriteJsonString(f, text.c_str());
  std::fclose(f);
  std::string out(data, size);
  free(data);
  return out;
}

TEST(CliJson, EveryByteSurvivesAsPlainAscii) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += char(c);
  std::string json = JsonOf(all);
  for (unsigned char c : json) EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << int(c);
  JsonValue v;
  std::string error;
  ASSERT_TRUE(ParseJson(json, &v, &error)) << error;
  EXPECT_EQ(v.text, all);
  EXPECT_EQ(JsonOf("a\"b\\c\x01\x7F\xE9"), "\"a\\\"b\\\\c\\u0001\\u007F\\u00E9\"");
}

std::string Stem(const char* name) {
  char stem[kFileNameSize];
  SafeStem(name, stem, sizeof stem);
  return stem;
}

TEST(CliNames, StemsAreSafeOnEveryFileSystem) {
  EXPECT_EQ(Stem("News: \"Late\" edition?"), "News_ _Late_ edition_");
  EXPECT_EQ(Stem("a/b\\c<d>e|f*g\th"), "a_b_c_d_e_f_g_h");
  EXPECT_EQ(Stem("  .hidden.  "), "hidden");
  EXPECT_EQ(Stem(". . ."), "recording");
  EXPECT_EQ(Stem(""), "recording");
  EXPECT_EQ(Stem("\xE9t\xE9"), "_t_");
  // Device names, in any case and whatever follows a dot.
  EXPECT_EQ(Stem("con"), "con_");
  EXPECT_EQ(Stem("Aux.2024"), "Aux_.2024");
  EXPECT_EQ(Stem("COM7"), "COM7_");
  EXPECT_EQ(Stem("lpt1 .x"), "lpt1_ .x");
  EXPECT_EQ(Stem("Console"), "Console");
  EXPECT_EQ(Stem("COM"), "COM");
  EXPECT_EQ(Stem("COMA"), "COMA");
  std::string longest(64, 'x');
  EXPECT_EQ(Stem(longest.c_str()), longest);
}

TEST(CliNames, FileNamesAreUniqueRegardlessOfCase) {
  static NameSet set;
  set.count = 0;
  char file[kFileNameSize];
  const char* stems[] = {"Film", "film", "FILM", "Film (2)", "Other"};
  const char* files[] = {"Film.ts", "film (2).ts", "FILM (3).ts", "Film (2) (2).ts", "Other.ts"};
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(UniqueFileName(&set, stems[i], file, sizeof file));
    EXPECT_STREQ(file, files[i]);
  }
}

TEST(CliNames, DecodedLettersStayInStems) {
  const struct {
    const char* name;
    const char* stem;
  } cases[] = {
      {"Caf\xC3\xA9 cr\xC3\xA8me", "Caf\xC3\xA9 cr\xC3\xA8me"},
      {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
       "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
      {"a\xEF\xBF\xBD" "b", "a_b"},                // U+FFFD
      {"a\xC2\x85" "b", "a_b"},                    // a C1 control code
      {"photo\xE2\x80\xAEst.exe", "photo_st.exe"},  // right-to-left override
      {"\xC2\xA0" "x\xC2\xA0", "\xC2\xA0" "x\xC2\xA0"},  // only ASCII blanks are trimmed
      {"COM\xC2\xB9", "COM\xC2\xB9_"},
      {"COM\xC2\xB9x", "COM\xC2\xB9x"},
  };
  for (const auto& c : cases) EXPECT_EQ(Stem(c.name), c.stem) << c.name;
  char stem[8];  // room for 5 bytes and a device '_': "ab" and one 3-byte letter
  SafeStem("ab\xE2\x82\xAC\xE2\x82\xAC", stem, sizeof stem);
  EXPECT_STREQ(stem, "ab\xE2\x82\xAC");
}

TEST(CliNames, FileNamesClashOverAccentedLettersAndHaveNoLimit) {
  NameSet set = {};
  char file[kFileNameSize];
  const char* stems[] = {"CAF\xC3\x89", "caf\xC3\xA9", "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x99\xCE\x91",
                         "\xCF\x83\xCE\xBF\xCF\x86\xCE\xB9\xCE\xB1", "Film (2)", "Film", "film"};
  const char* files[] = {"CAF\xC3\x89.ts",
                         "caf\xC3\xA9 (2).ts",
                         "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x99\xCE\x91.ts",
                         "\xCF\x83\xCE\xBF\xCF\x86\xCE\xB9\xCE\xB1 (2).ts",
                         "Film (2).ts",
                         "Film.ts",
                         "film (3).ts"};
  for (int i = 0; i < 7; ++i) {
    ASSERT_TRUE(UniqueFileName(&set, stems[i], file, sizeof file));
    EXPECT_STREQ(file, files[i]);
  }
  for (int i = 0; i < 1000; ++i) {
    char stem[16];
    std::snprintf(stem, sizeof stem, "R%d", i % 400);
    ASSERT_TRUE(UniqueFileName(&set, stem, file, sizeof file)) << i;
    char expected[32];
    if (i < 400) std::snprintf(expected, sizeof expected, "R%d.ts", i);
    else std::snprintf(expected, sizeof expected, "R%d (%d).ts", i % 400, i / 400 + 1);
    ASSERT_STREQ(file, expected);
  }
  set.count = 0;  // emptied: every name is free again
  ASSERT_TRUE(UniqueFileName(&set, "film", file, sizeof file));
  EXPECT_STREQ(file, "film.ts");
  EXPECT_FALSE(UniqueFileName(&set, "longer than this", file, 16));
  FreeNameSet(&set);
}

TEST(CliNames, NameIsTheListTextLessItsOwnSizeSuffix) {
  char name[80];
  ASSERT_TRUE(NameFromListText("Film  5Mo  12Mo", 12, name, sizeof name));
  EXPECT_STREQ(name, "Film  5Mo");
  EXPECT_FALSE(NameFromListText("Film  12Mo", 2, name, sizeof name));
  ASSERT_TRUE(NameFromListText("  0Mo", 0, name, sizeof name));
  EXPECT_STREQ(name, "");
  char path[16];
  ASSERT_TRUE(JoinPath("out", "a.ts", path, sizeof path));
  EXPECT_STREQ(path, "out/a.ts");
  ASSERT_TRUE(JoinPath("out/", "a.ts", path, sizeof path));
  EXPECT_STREQ(path, "out/a.ts");
  EXPECT_FALSE(JoinPath("a-long-folder", "name.ts", path, sizeof path));
}

TEST(CliProgress, TheLineFitsTheTerminalLabelFirstToGo) {
  char line[512];
  u32 n = FormatProgressLine(line, sizeof line, "Extracting: Film  27Mo...", 44, 12, 27, 2.0, 80);
  EXPECT_STREQ(line, "Extracting: Film  27Mo...   44%  12/27 MiB  6.0 MiB/s  0:03 left");
  EXPECT_EQ(n, std::strlen(line));
  n = FormatProgressLine(line, sizeof line, "Extracting: Film  27Mo...", 44, 12, 27, 2.0, 50);
  EXPECT_STREQ(line, "Extracting   44%  12/27 MiB  6.0 MiB/s  0:03 left");
  EXPECT_EQ(n, 49u);
  n = FormatProgressLine(line, sizeof line, "label", 100, 5000, 4990, 1000.0, 30);
  EXPECT_EQ(n, 29u);
  EXPECT_EQ(std::string(line), std::string("100%  5000/4990 MiB  5.0 MiB/s  0:00 left").substr(0, 29));
  FormatProgressLine(line, sizeof line, "", 0, 0, 3000, 0.01, 80);
  EXPECT_STREQ(line, "  0%  0/3000 MiB  -- MiB/s  --:-- left");
  FormatProgressLine(line, sizeof line, "", 1, 30, 3000, 10.0, 80);
  EXPECT_STREQ(line, "  1%  30/3000 MiB  3.0 MiB/s  16:30 left");
}

}  // namespace
