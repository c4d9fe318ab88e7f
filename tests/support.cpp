#include "support.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "app/state.h"
#include "app/ui_port.h"
#include "disk/recorder_disk.h"
#include "platform/fault.h"
#include "platform/platform.h"

UiRecord g_ui;

namespace {
void Lock(void (*f)(UiRecord&)) {
  std::lock_guard<std::mutex> lock(g_ui.mutex);
  f(g_ui);
}
thread_local const char* t_text;
void OnError(const char* t) { t_text = t; Lock([](UiRecord& r) { r.errors.push_back(t_text); }); }
void OnNotice(const char* t) { t_text = t; Lock([](UiRecord& r) { r.notices.push_back(t_text); }); }
void OnLine(const char* t) { t_text = t; Lock([](UiRecord& r) { r.lines.push_back(t_text); }); }
void OnStatus(const char* t) { t_text = t; Lock([](UiRecord& r) { r.statuses.push_back(t_text); }); }
thread_local unsigned t_pos;
void OnProgress(u32 p) { t_pos = p; Lock([](UiRecord& r) { r.progress.push_back(t_pos); }); }
void OnReset() { Lock([](UiRecord& r) { ++r.resets; }); }
void OnStop() { Lock([](UiRecord& r) { ++r.stopDisabled; }); }
void OnScanDone() { Lock([](UiRecord& r) { ++r.scanDone; }); }
void OnExtractDone() { Lock([](UiRecord& r) { ++r.extractDone; }); }
const UiPort kRecordingPort = {OnError, OnNotice, OnReset, OnLine, OnStatus,
                               OnProgress, OnStop, OnScanDone, OnExtractDone, nullptr};
}  // namespace

void InstallRecordingUi() {
  {
    std::lock_guard<std::mutex> lock(g_ui.mutex);
    g_ui.errors.clear();
    g_ui.notices.clear();
    g_ui.lines.clear();
    g_ui.statuses.clear();
    g_ui.progress.clear();
    g_ui.resets = g_ui.stopDisabled = g_ui.scanDone = g_ui.extractDone = 0;
  }
  SetUiPort(&kRecordingPort);
}

bool ListAll(std::vector<Listed>* out) {
  ResetDirectory();
  for (int guard = 0; guard < 10000; ++guard) {
    char text[kEntryTextSize];
    u32 start = 0, size = 0;
    if (!GetNextEntry(text, &start, &size)) return false;
    if (start == 0) return true;
    out->push_back({text, start, size});
  }
  return false;
}

void ScratchTest::SetUp() {
  char tmpl[] = "/tmp/melvir-test-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  dir_ = tmpl;
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  oldDir_ = cwd;
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  ResetDiskRecord();
  DisarmFault();
  ResetFaultCounts();
  SetDriveTable(nullptr, 0);
  InstallRecordingUi();
}

void ScratchTest::TearDown() {
  DisarmFault();
  ResetDiskRecord();
  SetDriveTable(nullptr, 0);
  SetUiPort(nullptr);
  ASSERT_EQ(chdir(oldDir_.c_str()), 0);
  std::string cmd = "rm -rf '" + dir_ + "'";
  ASSERT_EQ(system(cmd.c_str()), 0);
}

testdisk::Layout ScratchTest::Build(const testdisk::Disk& disk, const std::string& name) {
  testdisk::Layout layout;
  std::string error;
  EXPECT_TRUE(testdisk::WriteImage(disk, Path(name), &layout, &error)) << error;
  return layout;
}

void ScratchTest::MapDrives(const std::vector<std::string>& paths) {
  drivePaths_ = paths;
  driveTable_.clear();
  for (const std::string& p : drivePaths_) driveTable_.push_back(p.c_str());
  SetDriveTable(driveTable_.data(), static_cast<u32>(driveTable_.size()));
}

testdisk::Layout ScratchTest::BuildAndMap(const testdisk::Disk& disk) {
  testdisk::Layout layout = Build(disk);
  MapDrives({Path("disk.img")});
  return layout;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Grouped(uint64_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}
