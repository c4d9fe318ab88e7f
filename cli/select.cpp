// The recordings a line selects: by number, name, slot, first cluster, or
// the lost ones the check finds.
#include "cli/recording_commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/check_command.h"
#include "report/check_report.h"
#include "cli/cli_port.h"
#include "cli/copy.h"
#include "cli/existing_output.h"
#include "cli/rescue_settings.h"
#include "rescue/rescue.h"
#include "report/info_text.h"
#include "report/json.h"
#include "report/long_list.h"
#include "cli/file_names.h"
#include "cli/os.h"
#include "files/output_file.h"
#include "text/pattern.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"

namespace {

// ---- extract: which recordings, and where each goes ------------------------

// The lost recordings asked for, as rows of their own.
bool SelectLost(const Options& o, std::vector<const Recording*>* rows) {
  static CheckFindings findings;
  static std::vector<Recording> lost;
  if (!RunCheck(&findings)) {
    Say("%s", "not enough memory for the allocation table");
    return false;
  }
  for (const LostChain& c : findings.lost) {
    if (c.kind != kLostRecording || (o.lostCluster && c.first != o.lostCluster)) continue;
    lost.emplace_back();
    LostRecording(c.first, c.clusters, c.sizeMiB, &lost.back());
  }
  if (o.lostCluster && lost.empty()) {
    Say("cluster %u is not the first cluster of a lost recording ('melvir check' lists them)",
        o.lostCluster);
    return false;
  }
  if (o.nameFormat) NameLostRecordings(o.nameFormat, o.rescue, &lost);
  for (const Recording& r : lost) rows->push_back(&r);
  return true;
}

}  // namespace

bool SelectRecordings(const Options& o, const Catalog& c, std::vector<const Recording*>* rows) {
  if (o.lostCluster || o.allLost) return SelectLost(o, rows);
  u32 count = u32(c.recordings.size());
  for (u32 i = 0; i < o.rangeCount; ++i) {
    for (u64 n = o.ranges[i].first; n <= o.ranges[i].last; ++n) {
      if (n > count) {
        Say("no recording %llu: the disk lists %u", static_cast<unsigned long long>(n), count);
        return false;
      }
      rows->push_back(&c.recordings[n - 1]);
    }
  }
  for (u32 i = 0; i < o.slotCount; ++i) {
    for (u64 slot = o.slots[i].first; slot <= o.slots[i].last; ++slot) {
      const Recording* found = nullptr;
      for (const Recording& r : c.recordings)
        if (r.entry.entry == slot) found = &r;
      if (!found) {
        Say("directory slot %llu holds no recording ('melvir check' names every slot)",
            static_cast<unsigned long long>(slot));
        return false;
      }
      rows->push_back(found);
    }
  }
  if (o.firstCluster) {
    for (const Recording& r : c.recordings)
      if (r.entry.firstCluster == o.firstCluster) rows->push_back(&r);
    if (rows->empty()) {
      Say("no recording's chain starts at cluster %u", o.firstCluster);
      return false;
    }
  }
  for (u32 i = 0; i < count && (o.all || o.namePattern); ++i)
    if (o.all || MatchesPattern(o.namePattern, c.recordings[i].decoded))
      rows->push_back(&c.recordings[i]);
  if (o.namePattern && rows->empty()) {
    Say("no recording's name matches '%s'", o.namePattern);
    return false;
  }
  return true;
}
