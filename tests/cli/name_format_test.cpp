// extract --name-format: placeholders filled, empty ones folded away.
#include <gtest/gtest.h>

#include "cli/file_names.h"

namespace {
bool g_streamBuilt = true;
}  // namespace

// The build's probe, as a test double: these tests fill the values themselves.
bool StreamPlaceholdersBuilt() { return g_streamBuilt; }
void StreamNameValues(const Recording&, bool, NameValues*) {}

namespace {

TEST(CliNameFormat, EmptyPlaceholdersFoldWithTheirSeparators) {
  NameValues all;
  all.name = "Film";
  all.index = "3";
  all.service = "France 2";
  all.title = "Le film";
  all.date = "2009-05-03";
  all.time = "22.44";
  NameValues noTitle = all, noService = all, noTime = all, directory = all;
  noTitle.title.clear();
  noService.service.clear();
  noTime.date.clear();
  noTime.time.clear();
  directory.service = directory.title = directory.date = directory.time = "";
  const char* kBroadcast = "{date} {time} {service} - {title}";
  const struct {
    const char* format;
    const NameValues* values;
    const char* name;
  } cases[] = {
      {kBroadcast, &all, "2009-05-03 22.44 France 2 - Le film"},
      {kBroadcast, &noTitle, "2009-05-03 22.44 France 2"},
      {kBroadcast, &noService, "2009-05-03 22.44 - Le film"},
      {kBroadcast, &noTime, "France 2 - Le film"},
      {kBroadcast, &directory, "Film"},
      {"{index}_{title}", &directory, "3"},
      {"Rec{index} {title}", &directory, "Rec3"},
  };
  for (const auto& c : cases) EXPECT_EQ(FillNameFormat(c.format, *c.values), c.name) << c.format;
}

TEST(CliNameFormat, UnknownPlaceholdersAndStreamOnesWithoutProbeAreRefused) {
  const struct {
    const char* format;
    bool streamBuilt, accepted, usesStream;
  } cases[] = {
      {"{name}", false, true, false},   {"{index} {cluster}", false, true, false},
      {"{title}", true, true, true},    {"{title}", false, false, true},
      {"{nome}", true, false, false},   {"{name", true, false, false},
      {"name}", true, false, false},
  };
  for (const auto& c : cases) {
    g_streamBuilt = c.streamBuilt;
    bool usesStream = false;
    char error[200];
    EXPECT_EQ(CheckNameFormat(c.format, &usesStream, error, sizeof error), c.accepted) << c.format;
    if (c.accepted) {
      EXPECT_EQ(usesStream, c.usesStream) << c.format;
    }
  }
  g_streamBuilt = true;
}

}  // namespace
