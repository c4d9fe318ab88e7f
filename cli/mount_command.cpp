// `melvir mount`: what the mount shows, from the recording table and the
// check's lost recordings, handed to the mount room.
#include "cli/mount_command.h"

#include "check/findings.h"
#include "cli/exit_status.h"
#include "cli/rescue_settings.h"
#include "mount/mount.h"
#include "report/info_text.h"
#include "report/say.h"

int PrepareMount(const Options& o) {
  return CheckMountPoint(o.mountPoint, o.allowOther) ? kExitDone : kExitFailed;
}

int MountCommand(const Options& o, const Catalog& c) {
  static MountRequest request;
  request = MountRequest{};
  request.mountPoint = o.mountPoint;
  request.background = o.background;
  request.allowOther = o.allowOther;
  request.quiet = o.quiet;
  request.rescue = o.rescue;
  request.source = c.source;
  request.scanFailed = c.scanFailed;
  request.noteDamage = NoteDamage;
  request.map = ActiveMap();
  for (const Recording& r : c.recordings)
    request.recordings.push_back({r.file, r.entry.firstCluster, r.entry.clusters});
  static CheckFindings findings;
  static std::vector<Recording> lost;
  if (RunCheck(&findings)) {
    for (const LostChain& chain : findings.lost) {
      if (chain.kind != kLostRecording) continue;
      lost.emplace_back();
      LostRecording(chain.first, chain.clusters, chain.sizeMiB, &lost.back());
    }
    for (const Recording& r : lost)
      request.lost.push_back({r.file, r.entry.firstCluster, r.entry.clusters});
  } else {
    Say("%s", "not enough memory for the allocation table: lost recordings not looked for");
  }
  static char info[kInfoTextSize];
  FormatInfoText(u32(c.recordings.size()), info, sizeof info);
  request.info = info;
  return MountAndServe(request) ? kExitDone : kExitFailed;
}
