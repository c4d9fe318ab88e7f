// A disk whose partition table in sector 2 is broken: check --find-header
// finds its volume header in each byte order, and --header reads the disk
// from it as a healthy one lists.
#include <regex>
#include <string>

#include "child.h"
#include "support.h"

using testdisk::Disk;
using testdisk::PatternRecording;

class HeaderTest : public ScratchTest {};

TEST_F(HeaderTest, ABrokenPartitionTableIsPassedByTheHeaderItsSearchFinds) {
  struct Case {
    const char* what;
    testdisk::ByteOrder order;
    std::string magic;    // sector 2's magic, "" for the order's own
    int partitionIndex;   // -1: no recording partition in the table
    uint32_t header;      // where the volume header lies (0: the builder's sector 64)
    const char* orderName;
  };
  const Case cases[] = {
      {"big-endian, no magic", testdisk::kBigEndian, "XXXX", 0, 0, "big-endian"},
      {"little-endian, no partition", testdisk::kLittleEndian, "", -1, 0, "little-endian"},
      {"word-swapped, no magic", testdisk::kWordSwapped, "NONE", 0, 300, "word-swapped"},
  };
  for (const Case& c : cases) {
    Disk d;
    d.order = c.order;
    d.headerSector = c.header;
    d.entries.push_back(PatternRecording("One", 3, 1));
    d.entries.push_back(PatternRecording("Two", 2, 2));
    Disk healthy = d;
    d.magic = c.magic;
    d.partitionIndex = c.partitionIndex;
    testdisk::Layout layout = Build(d, "broken.img");
    Build(healthy, "healthy.img");
    std::string header = std::to_string(layout.headerSector);

    EXPECT_EQ(RunMelvir({"list", Path("broken.img")}).status, 1) << c.what;
    ChildResult found = RunMelvir({"check", "--find-header", Path("broken.img")});
    EXPECT_EQ(found.status, 0) << c.what << found.err;
    EXPECT_NE(found.out.find("sector " + header + ": " + c.orderName + ","), std::string::npos)
        << c.what << found.out;
    EXPECT_NE(found.out.find("melvir list --header " + header + " " + Path("broken.img")),
              std::string::npos) << c.what << found.out;
    EXPECT_NE(found.out.find("1 volume header in sectors 0 to "), std::string::npos) << found.out;

    ChildResult listed = RunMelvir({"list", "--json", "--header", header, Path("broken.img")});
    ChildResult wanted = RunMelvir({"list", "--json", Path("healthy.img")});
    EXPECT_EQ(listed.status, 0) << c.what << listed.err;
    EXPECT_EQ(listed.out, std::regex_replace(wanted.out, std::regex("healthy.img"), "broken.img"))
        << c.what;
    ChildResult wrong = RunMelvir({"list", "--header", "3", Path("broken.img")});
    EXPECT_EQ(wrong.status, 1) << c.what;
    EXPECT_NE(wrong.err.find("sector 3 holds no volume header"), std::string::npos) << wrong.err;
  }
}
