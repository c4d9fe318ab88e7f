// Start-up: options, buffers, the main window, the scan, the message loop.
#include <windows.h>
#include <commctrl.h>

#include "app/command_line.h"
#include "app/gui.h"
#include "app/messages.h"
#include "app/runs.h"
#include "app/state.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"
#include "res/resource.h"

HINSTANCE g_instance;
HWND g_mainWindow;

namespace {

void RegisterMainClass(HINSTANCE instance) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWndProc;
  wc.cbWndExtra = DLGWINDOWEXTRA;  // the class serves a dialog template
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, "MELVIR");
  wc.hIconSm = static_cast<HICON>(LoadImageA(instance, "MELVIR", IMAGE_ICON, 16, 16, 0));
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszMenuName = "MELVIR";
  wc.lpszClassName = "MELVIR";
  RegisterClassExA(&wc);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  g_mainWindow = nullptr;
  g_instance = instance;
  g_app.outputPath[0] = 0;
  g_app.selection.valid = false;
  ClearFlag(g_app.scanDone);
  InitCommonControls();
  ClearFlag(g_app.diskOpen);
  g_app.quietOption = false;
  InstallWin32UiPort();
  if (!ParseCommandLine(commandLine, &g_app.traceOption, &g_app.quietOption))
    ShowError(IDS_SYNTAX_ERROR);
  if (!AllocateBuffers()) {
    ShowError(IDS_NO_BUFFER);
    return 1;
  }
  RegisterMainClass(instance);
  g_mainWindow = CreateDialogParamA(instance, "MELVIR", nullptr, nullptr, 0);
  g_menu = GetMenu(g_mainWindow);
  g_fileList = GetDlgItem(g_mainWindow, IDC_FILE_LIST);
  g_startButton = GetDlgItem(g_mainWindow, IDC_START);
  ShowWindow(g_mainWindow, show);
  StartScan();
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(g_mainWindow, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  // A scan still running keeps the drive; the process ends right after.
  if (TestFlag(g_app.diskOpen) && TestFlag(g_app.scanDone)) CloseDisk();
  return 0;
}
