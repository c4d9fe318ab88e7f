// What the scan and extraction threads send to the user interface. Each
// front end (the Windows program, the command line, the tests) fills one of
// these; the threads never touch a window directly.
#ifndef MELVIR_APP_UI_PORT_H
#define MELVIR_APP_UI_PORT_H

#include "platform/types.h"

struct UiPort {
  // A message box with the error icon and an OK button; returns when closed.
  void (*showError)(const char* text);
  // A plain message box (OK, no icon): the completion notice, the Info text.
  void (*showNotice)(const char* text);
  // The recording list: empty it, append one line.
  void (*resetList)();
  void (*addListLine)(const char* text);
  // The extraction dialog: status text, progress position (0..100 or a
  // little beyond), disable the Stop button.
  void (*setStatus)(const char* text);
  void (*setProgress)(u32 position);
  void (*disableStop)();
  // The thread-done message: the scan to the main window, the extraction
  // run to its dialog. Sent as the thread's last act.
  void (*scanDone)();
  void (*extractDone)();
  // Optional (null where unused): called once per whole MiB read by the
  // extraction run, with the MiB read so far, for a front end that shows
  // amounts and rates rather than a percentage bar.
  void (*readProgress)(u32 mibRead);
};

// The port in force; the front end sets it before starting any thread.
void SetUiPort(const UiPort* port);
const UiPort* CurrentUiPort();
// The port that shows nothing (readProgress null): in force until a front
// end sets its own, and the start of a port that shows a little.
const UiPort& SilentUiPort();

#endif
