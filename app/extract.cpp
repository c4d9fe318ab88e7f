// The extraction run: the selected recording, block by block, into the
// output writer, with progress, the Stop request and every failure reported.
#include "app/messages.h"
#include "app/runs.h"
#include "app/state.h"
#include "app/ui_port.h"
#include "disk/block_form.h"
#include "disk/recorder_disk.h"
#include "output/writer.h"

namespace {

const u32 kMiB = 1048576;

// Position of the progress bar for progressSum = 100 x MiB read. A listed
// size of 0 MiB tells nothing of the length: clusters under 1 KiB list every
// recording as 0 Mo, however long. The bar then stays at 0 for the whole run
// rather than show the end after the first MiB.
u32 ProgressPosition(u32 progressSum, u32 sizeMiB) {
  return sizeMiB ? progressSum / sizeMiB : 0;
}

// Settles the recording's block form from the first bytes of its first
// blocks (at most four reads), before any block is written, then opens the
// recording again at its start. False when a read fails.
bool SettleBlockForm(u32 first, u8* block, BlockForm* form) {
  *form = NewBlockForm();
  while (!FormSettled(*form)) {
    u32 n;
    if (!ReadEntryData(block, kReadBufferSize, &n)) return false;
    if (n == 0) break;  // fewer blocks, all starting with 0x47: block form
    SeeBlockStart(form, block[0]);
  }
  return OpenEntry(first);
}

// Copies the recording; false when the run ended on a failure (without the
// completion notice), true when it reached the finish step.
bool CopyRecording(const UiPort* ui) {
  const Selection& sel = g_app.selection;
  char format[48], status[100];
  LoadText(IDS_EXTRACTING, format, sizeof format);
  FormatText(status, sizeof status, format, sel.text);
  ui->setStatus(status);
  if (!OpenOutput(g_app.outputPath)) {
    SetFlag(g_app.abortFlag);
    ShowError(IDS_CREATE_ERROR);
    return false;
  }
  u8* block = g_app.readBuffer;
  BlockForm form;
  if (!OpenEntry(sel.firstCluster) || !SettleBlockForm(sel.firstCluster, block, &form)) {
    SetFlag(g_app.abortFlag);
    ShowError(IDS_INPUT_ERROR);
    CloseOutput();
    return false;
  }
  u32 progressSum = 0, lastPosition = 0, bytesSinceStep = 0;
  while (!TestFlag(g_app.abortFlag)) {
    u32 n;
    if (!ReadEntryData(block, kReadBufferSize, &n)) {
      SetFlag(g_app.abortFlag);
      ShowError(IDS_INPUT_ERROR);
      CloseOutput();
      return false;
    }
    if (n == 0) break;
    bytesSinceStep += n;  // counted as read, before the cut
    n = StreamBytes(form, n);
    if (!WriteOutput(block, n)) {
      CloseOutput();  // the writer has shown its message and set the abort flag
      return false;
    }
    if (bytesSinceStep >= kMiB) {
      progressSum += 100;
      bytesSinceStep -= kMiB;
      if (ui->readProgress) ui->readProgress(progressSum / 100);
      u32 position = ProgressPosition(progressSum, sel.sizeMiB);
      if (position != lastPosition) {
        ui->setProgress(position);
        lastPosition = position;
      }
    }
  }
  ui->disableStop();
  CloseOutput();  // a failure here has been shown by the writer
  return true;
}

}  // namespace

u32 ExtractThread(void*) {
  const UiPort* ui = CurrentUiPort();
  bool ready = TestFlag(g_app.diskOpen);
  if (!ready && FindRecorderDisk(false)) {
    SetFlag(g_app.diskOpen);
    ready = true;
  }
  if (!ready) {
    ShowError(IDS_NO_DRIVE);
  } else if (CopyRecording(ui)) {
    char text[100];
    LoadText(IDS_DONE, text, sizeof text);
    ui->showNotice(text);
  }
  ui->extractDone();
  return 0;
}
