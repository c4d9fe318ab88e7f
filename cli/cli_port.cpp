// The command line's side of the user-interface port: the core's error
// messages as lines on stderr, clear of the progress line.
#include "cli/cli_port.h"

#include "app/ui_port.h"
#include "cli/progress.h"

void InstallCliPort() {
  static UiPort port = SilentUiPort();
  port.showError = SayText;
  SetUiPort(&port);
  SetBeforeSay(ClearProgress);
}
