// The Windows program's command line.
#include <gtest/gtest.h>

#include "app/command_line.h"

namespace {

struct Parsed {
  bool ok, trace, quiet;
};

Parsed Parse(const char* line) {
  Parsed p{false, false, false};
  p.ok = ParseCommandLine(line, &p.trace, &p.quiet);
  return p;
}

void Expect(const char* line, bool ok, bool trace, bool quiet) {
  Parsed p = Parse(line);
  EXPECT_EQ(p.ok, ok) << '"' << line << '"';
  EXPECT_EQ(p.trace, trace) << '"' << line << '"';
  EXPECT_EQ(p.quiet, quiet) << '"' << line << '"';
}

TEST(CommandLine, EmptyOrBlankSetsNothing) {
  Expect("", true, false, false);
  Expect("    ", true, false, false);
}

TEST(CommandLine, OptionsInEitherCaseWithOrWithoutBlanks) {
  Expect("/t", true, true, false);
  Expect("/T", true, true, false);
  Expect("/v", true, false, true);
  Expect("/T/V", true, true, true);
  Expect("  /V   /t ", true, true, true);
}

TEST(CommandLine, AnythingElseIsASyntaxErrorKeepingWhatCameBefore) {
  Expect("/TV", false, true, false);  // the V has no slash
  Expect("T", false, false, false);
  Expect("/T\t/V", false, true, false);  // a tab is not a blank
  Expect("/T /", false, true, false);    // a slash at the end
  Expect("/V /X", false, false, true);
  Expect("/T -V", false, true, false);
}

}  // namespace
