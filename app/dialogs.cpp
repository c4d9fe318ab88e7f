// The extraction dialog, the Read Me dialog and the About box.
#include <windows.h>
#include <commctrl.h>

#include "app/gui.h"
#include "app/runs.h"
#include "app/state.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "res/strings.h"

HWND g_extractDialog;
HWND g_statusText;
HWND g_stopButton;
HWND g_progressBar;

namespace {

void CreateProgressBar(HWND dialog) {
  RECT r = {30, 28, 30 + 100, 28 + 10};
  MapDialogRect(dialog, &r);
  g_progressBar = CreateWindowExA(0, PROGRESS_CLASSA, "",
                                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER | PBS_SMOOTH,
                                  r.left, r.top, r.right - r.left, r.bottom - r.top, dialog,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS)),
                                  g_instance, nullptr);
}

void AskStop() {
  EnableWindow(g_stopButton, FALSE);
  char question[32];
  LoadStringA(g_instance, IDS_STOP_QUERY, question, sizeof question);
  if (MessageBoxA(g_mainWindow, question, MELVIR_CAPTION,
                  MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2) == IDYES)
    SetFlag(g_app.abortFlag);
  EnableWindow(g_stopButton, TRUE);
}

}  // namespace

INT_PTR CALLBACK ExtractDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      g_extractDialog = dialog;
      g_statusText = GetDlgItem(dialog, IDC_STATUS);
      g_stopButton = GetDlgItem(dialog, IDC_STOP);
      CreateProgressBar(dialog);
      ClearFlag(g_app.abortFlag);
      // Without its thread the dialog would never be told to close.
      if (!StartThread(ExtractThread, nullptr)) EndDialog(dialog, 0);
      return TRUE;
    case WM_COMMAND:
      // Esc and everything else are ignored: the run closes the dialog.
      if (LOWORD(wParam) == IDC_STOP && !TestFlag(g_app.abortFlag)) AskStop();
      return FALSE;
    case WM_THREAD_DONE:
      EndDialog(dialog, 0);
      return FALSE;
  }
  return FALSE;
}

INT_PTR CALLBACK ReadMeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      // Shared: the system keeps one copy however often Read Me opens.
      HANDLE icon = LoadImageA(g_instance, "MELVIR", IMAGE_ICON, 16, 16, LR_SHARED);
      SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
      HRSRC found = FindResourceA(g_instance, "README", "TEXT");
      HGLOBAL loaded = found ? LoadResource(g_instance, found) : nullptr;
      const char* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
      DWORD size = found ? SizeofResource(g_instance, found) : 0;
      // The text is set only if it really ends in its NUL.
      if (text && size > 0 && text[size - 1] == 0) SetDlgItemTextA(dialog, IDC_README_TEXT, text);
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == EN_SETFOCUS) {
        SendDlgItemMessageA(dialog, IDC_README_TEXT, EM_SETSEL, static_cast<WPARAM>(-1), 0);
      } else if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_README_RETURN) {
        EndDialog(dialog, 0);
      }
      return FALSE;
  }
  return FALSE;
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
      return FALSE;
  }
  return FALSE;
}
