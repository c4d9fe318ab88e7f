// `melvir probe`: each selected recording probed and reported.
#include <vector>

#include "cli/cli_port.h"
#include "cli/recording_commands.h"
#include "cli/os.h"
#include "cli/probe.h"
#include "cli/probe_record.h"
#include "cli/rescue_settings.h"

bool ProbeAvailable() { return true; }

int ProbeCommand(const Options& o, const Catalog& c) {
  std::vector<const Recording*> rows;
  if (!SelectionWays(o)) {
    for (const Recording& r : c.recordings) rows.push_back(&r);
  } else if (!SelectRecordings(o, c, &rows)) {
    return kExitFailed;
  }
  CatchInterrupt();
  bool failed = false;
  if (o.json) std::fputs(rows.empty() ? "[" : "[\n", stdout);
  static ProbeRecord record;
  bool first = true;
  for (const Recording* r : rows) {
    bool probed = !Interrupted() && ProbeRecording(*r, o.full, o.rescue, RescueHint(o), &record);
    if (Interrupted()) {
      if (o.json) std::fputs(first ? "]\n" : "\n]\n", stdout);
      Say("%s", "stopped");
      return kExitStopped;
    }
    if (!probed || record.middleUnread) failed = true;
    if (!probed) continue;
    if (o.json) {
      std::fputs(first ? "  {" : ",\n  {", stdout);
      WriteProbeJsonMembers(stdout, record);
      std::fputc('}', stdout);
    } else {
      if (!first) std::fputc('\n', stdout);
      WriteProbeText(stdout, record);
    }
    first = false;
  }
  if (o.json) std::fputs(first ? "]\n" : "\n]\n", stdout);
  return failed || c.scanFailed ? kExitFailed : kExitDone;
}
