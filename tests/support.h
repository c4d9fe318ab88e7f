// Shared test scaffolding: a scratch folder per test, images from the
// test-disk builder mapped as drives, a clean disk record, and a user
// interface that records what the threads send it.
#ifndef MELVIR_TESTS_SUPPORT_H
#define MELVIR_TESTS_SUPPORT_H

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "testdisk.h"

// Runs each test in a new empty folder (the trace log goes to the current
// folder) and leaves the disk layer and fault injection as new.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // Writes the disk to name and returns its layout; fails the test on error.
  testdisk::Layout Build(const testdisk::Disk& disk, const std::string& name = "disk.img");
  // Maps the given files as drives 0, 1, ...
  void MapDrives(const std::vector<std::string>& paths);
  // Builds the disk and maps it alone as drive 0.
  testdisk::Layout BuildAndMap(const testdisk::Disk& disk);

  std::string dir_;
  std::string oldDir_;
  std::vector<std::string> drivePaths_;
  std::vector<const char*> driveTable_;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
// 1630503 as the command line's read failures name a sector: "1,630,503".
std::string Grouped(uint64_t n);

// One recording as GetNextEntry gives it.
struct Listed {
  std::string text;
  unsigned start, size;
  bool operator==(const Listed& o) const {
    return text == o.text && start == o.start && size == o.size;
  }
};
// Lists the whole directory; stops at the first failure.
bool ListAll(std::vector<Listed>* out);


// A user interface that records every call. Thread-safe.
struct UiRecord {
  std::mutex mutex;
  std::vector<std::string> errors, notices, lines, statuses;
  std::vector<unsigned> progress;
  int resets = 0, stopDisabled = 0, scanDone = 0, extractDone = 0;
};
extern UiRecord g_ui;
void InstallRecordingUi();  // clears g_ui and makes it the port in force

#endif
