// The recording list scan: find the disk, list up to 100 recordings.
#include "app/messages.h"
#include "app/runs.h"
#include "app/state.h"
#include "app/ui_port.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"

namespace {
// Once per started scan: the copy is written before the flag is set and
// never again while the flag stays set, so a reader that sees the flag reads
// a finished copy.
void PublishDiskInfo() {
  if (TestFlag(g_app.infoPublished)) return;
  g_app.infoAfterDiscovery = g_disk;
  SetFlag(g_app.infoPublished);
}
}  // namespace

bool StartScan() {
  ClearFlag(g_app.infoPublished);
  g_app.infoBeforeScan = g_disk;
  return StartThread(ScanThread, nullptr);
}

void FormatPublishedDiskInfo(char* text) {
  FormatDiskInfoOf(
      TestFlag(g_app.infoPublished) ? &g_app.infoAfterDiscovery : &g_app.infoBeforeScan, text);
}

u32 ScanThread(void*) {
  const UiPort* ui = CurrentUiPort();
  RecordingTable& table = g_app.recordings;
  ui->resetList();
  table.rowCount.store(0, std::memory_order_release);
  ClearFlag(g_app.scanFailed);
  bool found = FindRecorderDisk(g_app.traceOption);
  PublishDiskInfo();
  if (!found) {
    ShowError(IDS_NO_DRIVE);
  } else {
    SetFlag(g_app.diskOpen);
    ResetDirectory();
    for (u32 row = 0; row < kMaxRecordings; ++row) {
      char text[kEntryTextSize];
      u32 first, size;
      if (!GetNextEntry(text, &first, &size)) {
        SetFlag(g_app.scanFailed);
        if (!g_app.quietOption) ShowError(IDS_SCAN_ERROR);
        break;
      }
      if (first == 0) break;
      ui->addListLine(text);
      table.rows[row] = RecordingInfo{row, first, size};
      // Publishes the row: a reader that sees the count sees the row.
      table.rowCount.store(row + 1, std::memory_order_release);
    }
  }
  ui->scanDone();
  return 0;
}

