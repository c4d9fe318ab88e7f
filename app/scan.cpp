// The recording list scan: find the disk, list up to 100 recordings.
#include "app/messages.h"
#include "app/runs.h"
#include "app/state.h"
#include "app/ui_port.h"
#include "disk/recorder_disk.h"

u32 ScanThread(void*) {
  const UiPort* ui = CurrentUiPort();
  RecordingTable& table = g_app.recordings;
  ui->resetList();
  table.rowCount.store(0, std::memory_order_release);
  ClearFlag(g_app.scanFailed);
  if (!FindRecorderDisk(g_app.traceOption)) {
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
