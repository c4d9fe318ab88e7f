// The main window: the recording list, the selection, and the commands.
#include <windows.h>
#include <commdlg.h>

#include "app/gui.h"
#include "app/runs.h"
#include "app/state.h"
#include "disk/recorder_disk.h"
#include "res/resource.h"
#include "res/strings.h"

HMENU g_menu;
HWND g_fileList;
HWND g_startButton;

namespace {

void EnableExtraction(bool on) {
  EnableMenuItem(g_menu, IDM_EXTRACT, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
  EnableWindow(g_startButton, on);
}

// A line counts as selected only once its row is in the recording table.
void OnSelectionChange() {
  Selection& sel = g_app.selection;
  LRESULT line = SendMessageA(g_fileList, LB_GETCURSEL, 0, 0);
  u32 rows = g_app.recordings.rowCount.load(std::memory_order_acquire);
  for (u32 i = 0; i < rows; ++i) {
    const RecordingInfo& row = g_app.recordings.rows[i];
    if (line == LB_ERR || static_cast<LRESULT>(row.listPosition) != line) continue;
    LRESULT length = SendMessageA(g_fileList, LB_GETTEXTLEN, line, 0);
    if (length == LB_ERR || length >= static_cast<LRESULT>(kEntryTextSize)) break;
    sel.firstCluster = row.firstCluster;
    sel.sizeMiB = row.sizeMiB;
    sel.valid = true;
    SendMessageA(g_fileList, LB_GETTEXT, line, reinterpret_cast<LPARAM>(sel.text));
    if (TestFlag(g_app.scanDone)) EnableExtraction(true);
    return;
  }
  sel.valid = false;
  EnableExtraction(false);
}

void Extract(HWND window) {
  char filter[300] = {};
  char title[32];
  LoadStringA(g_instance, IDS_SAVE_FILTER, filter, sizeof filter);
  LoadStringA(g_instance, IDS_SAVE_TITLE, title, sizeof title);
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // the structure of Windows 98 and NT 4
  ofn.hwndOwner = window;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = g_app.outputPath;  // offers the last name chosen again
  ofn.nMaxFile = kOutputPathSize;
  ofn.lpstrTitle = title;
  ofn.Flags = OFN_OVERWRITEPROMPT;
  ofn.lpstrDefExt = "MPG";
  if (GetSaveFileNameA(&ofn)) DialogBoxParamA(g_instance, "EXTRACT", window, ExtractDlgProc, 0);
}

void ShowInfo(HWND window) {
  char text[kDiskInfoSize];
  FormatPublishedDiskInfo(text);
  MessageBoxA(window, text, MELVIR_CAPTION, MB_OK);
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  if (HIWORD(wParam) == LBN_SELCHANGE) OnSelectionChange();
  if (HIWORD(wParam) != 0) return DefDlgProcA(window, WM_COMMAND, wParam, lParam);
  switch (LOWORD(wParam)) {
    case IDCANCEL:  // Esc or the close box, never a control
      if (lParam == 0) PostQuitMessage(0);
      break;
    case IDM_EXTRACT:
    case IDC_START:
      Extract(window);
      break;
    case IDM_QUIT:
      PostQuitMessage(0);
      break;
    case IDM_READ_ME:
      DialogBoxParamA(g_instance, "README", window, ReadMeDlgProc, 0);
      break;
    case IDM_ABOUT:
      DialogBoxParamA(g_instance, "ABOUT", window, AboutDlgProc, 0);
      break;
    case IDM_INFO:
      ShowInfo(window);
      break;
  }
  return 0;
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_THREAD_DONE:
      SetFlag(g_app.scanDone);
      if (g_app.selection.valid) EnableExtraction(true);
      return 0;
    case WM_COMMAND:
      return OnCommand(window, wParam, lParam);
  }
  return DefDlgProcA(window, message, wParam, lParam);
}
