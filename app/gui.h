// The Windows program's window handles and procedures.
#ifndef MELVIR_APP_GUI_H
#define MELVIR_APP_GUI_H

#include <windows.h>

// Sent by the scan thread to the main window and by the extraction thread to
// its dialog, as their last act.
const UINT WM_THREAD_DONE = WM_APP;

extern HINSTANCE g_instance;
extern HWND g_mainWindow;  // owner of every message box; null until created
extern HMENU g_menu;
extern HWND g_fileList;
extern HWND g_startButton;
extern HWND g_extractDialog;
extern HWND g_statusText;
extern HWND g_stopButton;
extern HWND g_progressBar;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ExtractDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ReadMeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Makes the scan and extraction threads talk to these windows and take
// their texts from the string-table resource.
void InstallWin32UiPort();

#endif
