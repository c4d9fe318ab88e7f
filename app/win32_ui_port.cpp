// The user-interface port of the Windows program: messages sent to its
// windows, message boxes owned by the main window, texts from its resources.
#include <windows.h>
#include <commctrl.h>

#include "app/gui.h"
#include "app/messages.h"
#include "app/ui_port.h"
#include "res/strings.h"

namespace {

void ShowErrorBox(const char* text) {
  MessageBoxA(g_mainWindow, text, MELVIR_CAPTION, MB_OK | MB_ICONERROR);
}

void ShowNotice(const char* text) { MessageBoxA(g_mainWindow, text, MELVIR_CAPTION, MB_OK); }

void ResetList() { SendMessageA(g_fileList, LB_RESETCONTENT, 0, 0); }

void AddListLine(const char* text) {
  SendMessageA(g_fileList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

void SetStatus(const char* text) {
  SendMessageA(g_statusText, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void SetProgress(u32 position) { SendMessageA(g_progressBar, PBM_SETPOS, position, 0); }

void DisableStop() { EnableWindow(g_stopButton, FALSE); }

void ScanDone() { SendMessageA(g_mainWindow, WM_THREAD_DONE, 0, 0); }

void ExtractDone() { SendMessageA(g_extractDialog, WM_THREAD_DONE, 0, 0); }

// The texts come from the program's string-table resource, as every other
// text it shows.
u32 LoadResourceText(u32 id, char* buffer, u32 size) {
  if (size == 0) return 0;
  buffer[0] = 0;
  int n = LoadStringA(g_instance, id, buffer, static_cast<int>(size));
  return n > 0 ? static_cast<u32>(n) : 0;
}

const UiPort kWin32Port = {ShowErrorBox, ShowNotice, ResetList,   AddListLine, SetStatus,
                           SetProgress,  DisableStop, ScanDone, ExtractDone, nullptr};

}  // namespace

void InstallWin32UiPort() {
  SetTextSource(LoadResourceText);
  SetUiPort(&kWin32Port);
}
