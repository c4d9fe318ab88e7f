// `melvir domain`: the sectors that matter, as a ddrescue domain mapfile.
#include <cstdio>
#include <vector>

#include "check/findings.h"
#include "cli/recording_commands.h"
#include "cli/rescue_settings.h"
#include "disk/recorder_disk.h"
#include "platform/platform.h"
#include "report/domain_mapfile.h"
#include "report/say.h"
#include "rescue/rescue.h"

namespace {

// The chains of lost recordings as far as the table the check reads knows
// them: those it offers, and those shaped so whose first cluster cannot be
// read yet (imaging them is how one learns what they are). False when the
// domain leaves some out.
bool LostChainRuns(const Options& o, std::vector<SectorRun>* runs) {
  CheckFindings findings;
  if (!RunCheck(&findings)) {
    Say("%s", "not enough memory for the allocation table: no lost chains given");
    return false;
  }
  bool whole = true;
  for (const LostChain& c : findings.lost) {
    if (c.kind == kLostIntoListed) continue;
    if (!RecordingSectorRuns(c.first, c.clusters, AppendSectorRun, runs)) {
      Say("the lost chain from cluster %u cannot be followed to its end; the sectors up to there "
          "are given%s", c.first, RescueHint(o));
      whole = false;
    }
  }
  CheckSummary summary;
  SummariseCheck(findings, &summary);
  if (summary.incomplete) {
    Say("%s", "the check could not hold the whole table: lost chains past it are left out");
    whole = false;
  }
  return whole;
}

}  // namespace

// A domain that leaves out sectors it should hold is written, and fails:
// exit 1, or 3 under --rescue, where damage is the reason.
int DomainCommand(const Options& o, const Catalog& c) {
  std::vector<const Recording*> rows;
  if (SelectionWays(o) && !SelectRecordings(o, c, &rows)) return kExitFailed;
  std::vector<SectorRun> runs;
  bool partial = false;
  if (o.metadata) MetadataSectorRuns(AppendSectorRun, &runs);
  for (const Recording* r : rows) {
    if (!RecordingSectorRuns(r->entry.firstCluster, r->entry.clusters, AppendSectorRun, &runs)) {
      Say("recording %u: its chain cannot be followed to its end; the sectors up to there are given%s",
          r->number, RescueHint(o));
      partial = true;
    }
  }
  if (o.all && c.scanFailed) {
    Say("the domain leaves out the recordings after recording %u, which the scan did not reach",
        u32(c.recordings.size()));
    partial = true;
  }
  if ((o.lostChains || o.all) && !LostChainRuns(o, &runs)) partial = true;
  u64 size = 0;
  if (!DriveSize(g_disk.device, &size)) {
    Say("%s: its size is not known", c.source);
    return kExitFailed;
  }
  u64 leftOut;
  ClipSectorRuns(&runs, size / kSectorSize, &leftOut);
  if (leftOut) {
    Say("%llu sector%s of the domain lie past the drive's end (%llu sectors): left out",
        (unsigned long long)leftOut, leftOut == 1 ? "" : "s", (unsigned long long)(size / kSectorSize));
    partial = true;
  }
  if (runs.empty()) {
    Say("%s", "the domain holds no sector: no mapfile written");
    return kExitFailed;
  }
  if (!WriteDomainMapfile(stdout, runs, size)) return kExitFailed;
  if (partial && o.rescue) NoteDamage();
  return partial && !o.rescue ? kExitFailed : kExitDone;
}
