// Drives MELVIR.EXE through its windows, as a user would, and checks what
// it shows. Finds windows by class and caption, works them with messages.
// Every failed check prints "FAIL: ..." and ends with exit status 1.
//
//   gui_driver browse  MELVIR.EXE LIST.txt INFO.txt README.txt
//   gui_driver extract MELVIR.EXE LINE OUTPUT
//   gui_driver readerror MELVIR.EXE LINE OUTPUT  (the recording has an unreadable sector)
//   gui_driver scanerror MELVIR.EXE LIST.txt     (the lines listed before an unreadable sector)
//   gui_driver stop    MELVIR.EXE LINE OUTPUT
//   gui_driver trace   MELVIR.EXE LINES
//   gui_driver syntax  MELVIR.EXE LINES
//   gui_driver nodisk  MELVIR.EXE
//   gui_driver scanwait MELVIR.EXE LINES        (on a disk whose scan takes seconds)
//   gui_driver templates MELVIR.EXE              (the dialog templates' styles)
//   gui_driver pose    MELVIR.EXE LINE OUTPUT   (holds each view for a screenshot)
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int kFileList = 107, kStart = 108, kStatus = 113, kStop = 116, kReadMeText = 110;
const int kQuitMenu = 102, kReadMeMenu = 104, kAboutMenu = 105, kInfoMenu = 106;
const int kMessageText = 0xFFFF;  // the text of a message box

PROCESS_INFORMATION g_child;
DWORD g_pid;

[[noreturn]] void Fail(const std::string& what) {
  std::printf("FAIL: %s\n", what.c_str());
  std::fflush(stdout);
  if (g_child.hProcess) TerminateProcess(g_child.hProcess, 99);
  std::exit(1);
}

void Check(bool ok, const std::string& what) {
  if (!ok) Fail(what);
  std::printf("ok: %s\n", what.c_str());
}

// How long the program has to show what is awaited: a bound on failure
// only, generous for a machine slowed by other work.
const int kWaitMs = 60000;

template <typename F>
bool WaitFor(F ready, int ms = kWaitMs) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (ready()) return true;
    Sleep(50);
  }
  return ready();
}

std::string ReadFile(const char* path) {
  std::string s;
  FILE* f = std::fopen(path, "rb");
  if (!f) Fail(std::string("cannot read ") + path);
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  std::fclose(f);
  return s;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

std::string Text(HWND w) {
  char buf[8192];
  int n = GetWindowTextA(w, buf, sizeof buf);
  if (n <= 0) {
    n = static_cast<int>(SendMessageA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf)));
  }
  return std::string(buf, n > 0 ? n : 0);
}

void Start(const char* exe, const char* args) {
  std::string cmd = std::string("\"") + exe + "\" " + args;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back(0);
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &g_child))
    Fail("cannot start " + cmd);
  g_pid = g_child.dwProcessId;
}

// A top-level window of the program, told apart by class, caption and a
// control it must have. The control belongs in the search itself: the
// program's message boxes share the extraction dialog's class and caption,
// and a box that is up first would otherwise be taken for the dialog.
struct Search {
  const char* className;
  const char* caption;  // null: any
  int control;          // the window has this control
  int otherControl;     // or this one (0: no other)
  HWND found;
};

BOOL CALLBACK Match(HWND w, LPARAM p) {
  Search* s = reinterpret_cast<Search*>(p);
  DWORD pid;
  GetWindowThreadProcessId(w, &pid);
  if (pid != g_pid || !IsWindowVisible(w)) return TRUE;
  char cls[64];
  GetClassNameA(w, cls, sizeof cls);
  if (std::strcmp(cls, s->className) != 0) return TRUE;
  if (s->caption && Text(w) != s->caption) return TRUE;
  if (!GetDlgItem(w, s->control) && !(s->otherControl && GetDlgItem(w, s->otherControl)))
    return TRUE;
  s->found = w;
  return FALSE;
}

HWND Find(const char* className, const char* caption, int control, int otherControl = 0) {
  Search s = {className, caption, control, otherControl, nullptr};
  EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND WaitWindow(const char* className, const char* caption, int control, const std::string& what,
                int otherControl = 0) {
  HWND w = nullptr;
  if (!WaitFor([&] { return (w = Find(className, caption, control, otherControl)) != nullptr; }))
    Fail("no window: " + what);
  return w;
}

struct Box {
  const char* text;
  HWND found;
};

BOOL CALLBACK MatchMessageBox(HWND w, LPARAM p) {
  Box* b = reinterpret_cast<Box*>(p);
  DWORD pid;
  GetWindowThreadProcessId(w, &pid);
  char cls[64];
  GetClassNameA(w, cls, sizeof cls);
  if (pid != g_pid || !IsWindowVisible(w) || std::strcmp(cls, "#32770") != 0) return TRUE;
  HWND t = GetDlgItem(w, kMessageText);
  if (Text(w) != "MELVIR" || !t) return TRUE;
  if (b->text && Text(t) != b->text) return TRUE;
  b->found = w;
  return FALSE;
}

// A message box of the program: caption "MELVIR" with a text control.
HWND FindMessageBox(const char* text) {
  Box box = {text, nullptr};
  EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&box));
  return box.found;
}

HWND WaitMessageBox(const char* text) {
  HWND w = nullptr;
  if (!WaitFor([&] { return (w = FindMessageBox(text)) != nullptr; }))
    Fail(std::string("no message box \"") + (text ? text : "(any)") + "\"");
  return w;
}

void Press(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Answer(const char* text, int id) {
  HWND box = WaitMessageBox(text);
  Press(box, id);
  Check(WaitFor([&] { return !IsWindow(box); }), std::string("answered \"") + text + "\"");
}

HWND MainWindow() {
  return WaitWindow("MELVIR", "MELVIR file extractor", kFileList, "main window");
}

int ListCount(HWND main) {
  return static_cast<int>(SendDlgItemMessageA(main, kFileList, LB_GETCOUNT, 0, 0));
}

std::vector<std::string> ListLines(HWND main) {
  std::vector<std::string> lines;
  for (int i = 0; i < ListCount(main); ++i) {
    // Across processes the text comes back wide whatever the sender asks.
    wchar_t wide[256] = {};
    SendDlgItemMessageW(main, kFileList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide));
    char buf[512] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, buf, sizeof buf, nullptr, nullptr);
    lines.push_back(buf);
  }
  return lines;
}

// The scan thread ends once the main window has taken its closing message,
// which is what makes a selected line extractable; it is the only thread the
// program starts, and Wine starts none in it, so waiting for every thread
// but the main one waits for the scan. Call it once the scan has shown
// something: its thread exists by then.
void WaitScanEnd() {
  std::vector<HANDLE> threads;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) Fail("cannot list the program's threads");
  THREADENTRY32 t = {};
  t.dwSize = sizeof t;
  for (BOOL more = Thread32First(snapshot, &t); more; more = Thread32Next(snapshot, &t)) {
    if (t.th32OwnerProcessID != g_pid || t.th32ThreadID == g_child.dwThreadId) continue;
    // A thread already gone cannot be opened, and needs no waiting for.
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, t.th32ThreadID);
    if (thread) threads.push_back(thread);
  }
  CloseHandle(snapshot);
  bool ended = threads.empty() ||
               WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE,
                                      kWaitMs) == WAIT_OBJECT_0;
  for (HANDLE thread : threads) CloseHandle(thread);
  Check(ended, "the scan has ended");
}

void WaitForList(HWND main, size_t count) {
  if (!WaitFor([&] { return ListCount(main) == static_cast<int>(count); }))
    Fail("the list has " + std::to_string(ListCount(main)) + " lines, not " +
         std::to_string(count));
  WaitScanEnd();
}

// Sent, as the list box itself sends it: once this returns, the program has
// handled the new selection.
void Select(HWND main, int line) {
  HWND list = GetDlgItem(main, kFileList);
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(line), 0);
  SendMessageA(main, WM_COMMAND, MAKEWPARAM(kFileList, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
}

bool StartEnabled(HWND main) { return IsWindowEnabled(GetDlgItem(main, kStart)) != 0; }

DWORD WaitExit() {
  if (WaitForSingleObject(g_child.hProcess, kWaitMs) != WAIT_OBJECT_0) Fail("the program did not end");
  DWORD code = 0;
  GetExitCodeProcess(g_child.hProcess, &code);
  return code;
}

void Quit(HWND main) {
  PostMessageA(main, WM_COMMAND, MAKEWPARAM(kQuitMenu, 0), 0);
  Check(WaitExit() == 0, "Quit ends the program with exit code 0");
}

// Starts an extraction of line through the Save dialog, naming the file.
HWND BeginExtraction(HWND main, int line, const char* output, bool allFiles = false) {
  Select(main, line);
  Check(WaitFor([&] { return StartEnabled(main); }), "Start is enabled once a line is selected");
  PostMessageA(GetDlgItem(main, kStart), BM_CLICK, 0, 0);
  // The file name box: a combo box in the Explorer-style dialog, an edit
  // box in the older one.
  HWND save = WaitWindow("#32770", "Save file as", 0x47C, "the Save dialog with its file name box",
                         0x480);
  HWND name = GetDlgItem(save, 0x47C);
  if (!name) name = GetDlgItem(save, 0x480);
  if (allFiles) {
    // With "All files" chosen the dialog has no filter extension to add, so
    // a bare name gets the program's default extension.
    HWND types = GetDlgItem(save, 0x470);
    if (!types) Fail("no file type box in the Save dialog");
    // Sent, so that the dialog has taken the new type before the name.
    SendMessageA(types, CB_SETCURSEL, 1, 0);
    SendMessageA(save, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
  }
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(output));
  Press(save, IDOK);
  return WaitWindow("#32770", "MELVIR", kStop, "the extraction dialog");
}

// ---- Scenarios -------------------------------------------------------------

void Browse(const char* exe, char** argv) {
  std::vector<std::string> expected = Lines(ReadFile(argv[0]));
  std::string info = ReadFile(argv[1]);
  while (!info.empty() && (info.back() == '\n' || info.back() == '\r')) info.pop_back();
  for (char& c : info)
    if (c == '\n') c = '\r';
  std::string readme = ReadFile(argv[2]);
  Start(exe, "");
  HWND main = MainWindow();
  WaitForList(main, expected.size());
  std::vector<std::string> listed = ListLines(main);
  if (listed != expected)
    for (const std::string& l : listed) std::printf("listed: [%s]\n", l.c_str());
  Check(listed == expected, "the list shows exactly the recordings' list texts");
  // (Wine keeps menus per process, so the File menu cannot be read from here.)
  Check(!StartEnabled(main), "Start stays disabled with no selection");
  Select(main, 1);
  Check(WaitFor([&] { return StartEnabled(main); }), "selecting a line enables Start");
  Select(main, -1);
  Check(WaitFor([&] { return !StartEnabled(main); }), "no selection disables Start again");

  PostMessageA(main, WM_COMMAND, MAKEWPARAM(kInfoMenu, 0), 0);
  HWND box = WaitMessageBox(nullptr);
  std::string shown = Text(GetDlgItem(box, kMessageText));
  if (shown != info) std::printf("info shown:\n%s\nexpected:\n%s\n", shown.c_str(), info.c_str());
  Check(shown == info, "Info shows the disk's geometry (hard disk 1)");
  Press(box, IDOK);
  WaitFor([&] { return !IsWindow(box); });

  PostMessageA(main, WM_COMMAND, MAKEWPARAM(kReadMeMenu, 0), 0);
  HWND readMe = WaitWindow("#32770", "MELVIR Read Me", kReadMeText, "Read Me");
  HWND edit = GetDlgItem(readMe, kReadMeText);
  std::string text = Text(edit);
  std::string want;
  for (char c : readme) {
    if (c == '\n') want += '\r';
    want += c;
  }
  Check(text == want, "Read Me shows the whole read-me text");
  // The edit control got the focus as the dialog opened.
  DWORD sel = static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
  Check(LOWORD(sel) == HIWORD(sel), "nothing is selected in Read Me");
  Press(readMe, 111);
  Check(WaitFor([&] { return !IsWindow(readMe); }), "Return closes Read Me");

  PostMessageA(main, WM_COMMAND, MAKEWPARAM(kAboutMenu, 0), 0);
  HWND about = nullptr;
  Check(WaitFor([&] { return (about = Find("#32770", "", IDOK)) != nullptr; }), "About opens");
  Press(about, IDOK);
  Check(WaitFor([&] { return !IsWindow(about); }), "OK closes About");

  // Esc, as typed in the list: the dialog handling turns it into IDCANCEL.
  HWND list = GetDlgItem(main, kFileList);
  PostMessageA(list, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageA(list, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  Check(WaitExit() == 0, "Esc quits with exit code 0");
}

// A line selected while the scan runs must not enable extraction before the
// scan's end does. Start is read first, the list count after: a count still
// short of the whole proves the scan was running when Start was read.
void ScanWait(const char* exe, int lines) {
  Start(exe, "");
  HWND main = MainWindow();
  Check(WaitFor([&] { return ListCount(main) > 0; }), "the first line is listed");
  Select(main, 0);
  bool enabled = StartEnabled(main);
  int listed = ListCount(main);
  Check(listed < lines, "the scan is still running: " + std::to_string(listed) + " of " +
                            std::to_string(lines) + " lines listed");
  Check(SendDlgItemMessageA(main, kFileList, LB_GETCURSEL, 0, 0) == 0, "the first line is selected");
  Check(!enabled, "Start stays disabled while the scan runs, a line selected");
  Check(WaitFor([&] { return ListCount(main) == lines; }, 180000), "the scan lists every line");
  Check(WaitFor([&] { return StartEnabled(main); }), "the scan's end enables Start");
  Quit(main);
}

// Starts the program and waits until the list holds line and the scan has
// ended: a line counts as selected only once the scan has taken its row.
HWND StartListing(const char* exe, int line) {
  Start(exe, "");
  HWND main = MainWindow();
  Check(WaitFor([&] { return ListCount(main) > line; }), "the list is filled");
  WaitScanEnd();
  return main;
}

// An extraction that ends with the message ending.
void Extract(const char* exe, char** argv, const char* ending) {
  int line = std::atoi(argv[0]);
  HWND main = StartListing(exe, line);
  const char* name = argv[1];
  bool bare = std::strrchr(name, '.') < std::strrchr(name, '\\');
  HWND dialog = BeginExtraction(main, line, name, bare);
  Answer(ending, IDOK);
  Check(WaitFor([&] { return !IsWindow(dialog); }), "the extraction dialog closes");
  Quit(main);
}

void Stop(const char* exe, char** argv) {
  int line = std::atoi(argv[0]);
  HWND main = StartListing(exe, line);
  HWND dialog = BeginExtraction(main, line, argv[1]);
  HWND stop = GetDlgItem(dialog, kStop);
  HWND bar = FindWindowExA(dialog, nullptr, "msctls_progress32", nullptr);
  Check(bar != nullptr, "the extraction dialog has its progress bar");
  // The extraction thread sets the status line as it starts, a moment after
  // the dialog is up.
  HWND statusLine = GetDlgItem(dialog, kStatus);
  Check(WaitFor([&] { return Text(statusLine).rfind("Extracting: ", 0) == 0; }),
        "the status line says what is extracted");
  PostMessageA(stop, BM_CLICK, 0, 0);
  HWND question = WaitMessageBox("Stop file extraction?");
  LRESULT before = SendMessageA(bar, 0x0408 /* PBM_GETPOS */, 0, 0);
  Press(question, IDNO);
  Check(WaitFor([&] { return SendMessageA(bar, 0x0408, 0, 0) > before; }),
        "answered No, the extraction goes on");
  Check(WaitFor([&] { return IsWindowEnabled(stop) != 0; }), "Stop is enabled again");
  PostMessageA(stop, BM_CLICK, 0, 0);
  Answer("Stop file extraction?", IDYES);
  Answer("File extraction done!", IDOK);
  Check(WaitFor([&] { return !IsWindow(dialog); }), "the extraction dialog closes");
  Quit(main);
}

// A scan that meets an unreadable sector ends on its message; what was
// listed before it stays.
void ScanError(const char* exe, const char* listFile) {
  std::vector<std::string> expected = Lines(ReadFile(listFile));
  Start(exe, "");
  HWND main = MainWindow();
  Answer("Error detected while scanning files", IDOK);
  std::vector<std::string> listed = ListLines(main);
  if (listed != expected)
    for (const std::string& l : listed) std::printf("listed: [%s]\n", l.c_str());
  Check(listed == expected, "the list keeps the " + std::to_string(expected.size()) +
                                " line(s) read before the failure");
  Quit(main);
}

void ListsAndQuits(const char* exe, const char* args, size_t lines) {
  HWND main = MainWindow();
  WaitForList(main, lines);
  Check(ListLines(main).size() == lines, "the list is filled");
  Quit(main);
  (void)exe;
  (void)args;
}

// The styles of the dialog templates as built, read from the program's
// resources: exactly those of the design, DS_SETFONT aside (the templates
// name their font).
void Templates(const char* exe) {
  struct Template {
    const char* name;
    DWORD style;
  };
  const Template kTemplates[] = {
      {"MELVIR", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX},
      {"README", WS_POPUP | WS_CAPTION | WS_SYSMENU},
      {"ABOUT", WS_POPUP | WS_DLGFRAME},
      {"EXTRACT", WS_POPUP | WS_CAPTION},
  };
  HMODULE module = LoadLibraryExA(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) Fail(std::string("cannot load the resources of ") + exe);
  for (const Template& t : kTemplates) {
    HRSRC found = FindResourceA(module, t.name, reinterpret_cast<LPCSTR>(RT_DIALOG));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const DLGTEMPLATE* dialog = loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
    if (!dialog) Fail(std::string("no dialog template ") + t.name);
    char shown[128];
    std::snprintf(shown, sizeof shown, "%s: style %08lX, extended %08lX (designed: %08lX, 0)",
                  t.name, static_cast<unsigned long>(dialog->style),
                  static_cast<unsigned long>(dialog->dwExtendedStyle),
                  static_cast<unsigned long>(t.style | DS_SETFONT));
    Check(dialog->style == (t.style | DS_SETFONT) && dialog->dwExtendedStyle == 0, shown);
  }
  FreeLibrary(module);
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 3) Fail("usage: gui_driver SCENARIO MELVIR.EXE ...");
  std::string scenario = argv[1];
  const char* exe = argv[2];
  char** rest = argv + 3;
  int more = argc - 3;
  if (scenario == "browse" && more == 3) {
    Browse(exe, rest);
  } else if (scenario == "extract" && more == 2) {
    Extract(exe, rest, "File extraction done!");
  } else if (scenario == "readerror" && more == 2) {
    Extract(exe, rest, "Input file access error");
  } else if (scenario == "scanerror" && more == 1) {
    ScanError(exe, rest[0]);
  } else if (scenario == "stop" && more == 2) {
    Stop(exe, rest);
  } else if (scenario == "trace" && more == 1) {
    Start(exe, "/T");
    ListsAndQuits(exe, "/T", std::atoi(rest[0]));
  } else if (scenario == "syntax" && more == 1) {
    Start(exe, "/X");
    Answer("Command line syntax error", IDOK);
    ListsAndQuits(exe, "/X", std::atoi(rest[0]));
  } else if (scenario == "nodisk" && more == 0) {
    Start(exe, "");
    Answer("No DVB-T drive found", IDOK);
    HWND main = MainWindow();
    WaitScanEnd();
    Check(ListCount(main) == 0, "the list is empty");
    Quit(main);
  } else if (scenario == "scanwait" && more == 1) {
    ScanWait(exe, std::atoi(rest[0]));
  } else if (scenario == "templates" && more == 0) {
    Templates(exe);
  } else if (scenario == "pose" && more == 2) {
    // The pauses here hold each view for the screenshot taken on "READY".
    Start(exe, "");
    HWND main = MainWindow();
    Check(WaitFor([&] { return ListCount(main) > 0; }), "the list is filled");
    WaitScanEnd();
    Select(main, std::atoi(rest[0]));
    Sleep(500);
    std::printf("READY main\n");
    Sleep(2500);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(kInfoMenu, 0), 0);
    HWND box = WaitMessageBox(nullptr);
    std::printf("READY info\n");
    Sleep(2500);
    Press(box, IDOK);
    WaitFor([&] { return !IsWindow(box); });
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(kReadMeMenu, 0), 0);
    HWND readMe = WaitWindow("#32770", "MELVIR Read Me", kReadMeText, "Read Me");
    Sleep(500);
    std::printf("READY readme\n");
    Sleep(2500);
    Press(readMe, 111);
    WaitFor([&] { return !IsWindow(readMe); });
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(kAboutMenu, 0), 0);
    HWND about = nullptr;
    WaitFor([&] { return (about = Find("#32770", "", IDOK)) != nullptr; });
    Sleep(500);
    std::printf("READY about\n");
    Sleep(2500);
    Press(about, IDOK);
    WaitFor([&] { return !IsWindow(about); });
    HWND dialog = BeginExtraction(main, std::atoi(rest[0]), rest[1]);
    Sleep(1500);
    std::printf("READY extract\n");
    Sleep(2500);
    PostMessageA(GetDlgItem(dialog, kStop), BM_CLICK, 0, 0);
    Answer("Stop file extraction?", IDYES);
    Answer("File extraction done!", IDOK);
    Quit(main);
  } else {
    Fail("unknown scenario or wrong arguments: " + scenario);
  }
  std::printf("PASS %s\n", scenario.c_str());
  return 0;
}
