// `melvir library`: each selected recording probed, placed by the library
// room, copied through the copy to a free name (a file already there as
// this recording is left), then what goes beside it written.
#include "cli/library_command.h"

#include <string>
#include <vector>

#include "cli/catalog_card.h"
#include "cli/cli_port.h"
#include "cli/copy.h"
#include "cli/exit_status.h"
#include "cli/existing_output.h"
#include "cli/os.h"
#include "cli/progress.h"
#include "cli/recording_commands.h"
#include "cli/rescue_settings.h"
#include "files/output_file.h"
#include "library/library_run.h"
#include "platform/platform.h"
#include "report/rescue_report.h"

namespace {

struct Planned {
  const Recording* recording;
  LibraryEntry entry;
  std::string path;  // DIR/FOLDER/STEM.EXT
  u64 bitrate;       // bits per second, 0 when not known
};

LibraryAs AsOf(TakeAs as) { return as == kTakeAsFilm ? kAsFilm : as == kTakeAsShow ? kAsShow : kAsContent; }

// The outputs still to be written against DIR's free space, for the whole
// run first. False, said, when they do not fit.
bool SpaceSuffices(const Options& o, const std::vector<Planned>& plan) {
  u64 need = 0, available = 0;
  for (const Planned& p : plan)
    if (!(NameExists(p.path.c_str()) &&
          OutputIsComplete(*p.recording, o.rescue, p.path.c_str(), o.container == kContainerMkv, false)))
      need += OutputBytes(*p.recording, o.rescue);
  if (!FreeSpace(o.outputDir, &available) || available >= need) return true;
  const double kMiB = 1048576.0;
  Say("%s: %.1f MiB free, the recordings need %.1f MiB: %.1f MiB missing; nothing copied", o.outputDir,
      available / kMiB, need / kMiB, (need - available) / kMiB);
  return false;
}

// Where each recording goes, from a quiet probe of its stream.
void Plan(const Options& o, const std::vector<const Recording*>& rows, std::vector<Planned>* plan) {
  static ProbeRecord record;
  bool utcSaid = false;
  const char* ext = o.container == kContainerMkv ? ".mkv" : ".ts";
  for (const Recording* r : rows) {
    bool probed = ProbeRecording(*r, false, o.rescue, nullptr, &record);
    Planned p{r, LibraryEntry{}, "", probed ? record.summary.bitrate : 0};
    EntryOfRecording(probed ? &record : nullptr, r->decoded, AsOf(o.as), &p.entry);
    p.path = std::string(o.outputDir) + "/" + p.entry.folder + "/" + p.entry.stem + ext;
    if (p.entry.timeKnown && p.entry.utc && !utcSaid && !o.quiet) {
      Say("%s: the stream gives no local time offset (no TOT): air dates are UTC", r->decoded);
      utcSaid = true;
    }
    plan->push_back(p);
  }
}

// The picture of an entry whose file is whole, when one is wanted.
std::vector<u8> PictureFor(const Options& o, const Planned& p, const std::string& written) {
  std::string stem = written.substr(0, written.rfind('.'));
  if (!PictureWanted(p.entry, o.outputDir, stem)) return {};
  static Thumbnail picture;
  bool made = false;
  PictureOfRecording(*p.recording, o.rescue, RescueHint(o), &picture, &made, kLibraryPictureWidth);
  return made ? picture.jpeg : std::vector<u8>();
}

}  // namespace

int PrepareLibrary(const Options& o) {
  if (!MatroskaAvailable()) return kExitFailed;  // said
  TargetKind kind = KindOfTarget(o.outputDir);
  if (kind != kTargetFolder && kind != kTargetMissing) {
    Say("%s: not a folder", o.outputDir);
    return kExitFailed;
  }
  return kExitDone;
}

int LibraryCommand(const Options& o, const Catalog& c) {
  std::vector<const Recording*> rows;
  if (!SelectionWays(o)) {
    for (const Recording& r : c.recordings) rows.push_back(&r);
  } else if (!SelectRecordings(o, c, &rows)) {
    return kExitFailed;
  }
  u32 error;
  if (!MakeFolders(o.outputDir, &error)) {
    char reason[200];
    SystemErrorText(error, reason, sizeof reason);
    Say("%s: cannot make this folder: %s", o.outputDir, reason);
    return kExitFailed;
  }
  CatchInterrupt();
  std::vector<Planned> plan;
  Plan(o, rows, &plan);
  if (Interrupted()) {
    Say("%s", "stopped");
    return kExitStopped;
  }
  if (!SpaceSuffices(o, plan)) return kExitFailed;
  u32 totalMiB = 0, doneMiB = 0;
  for (const Recording* r : rows) totalMiB += r->entry.sizeMiB;
  StartRunProgress(!o.quiet && StderrIsTerminal(), u32(rows.size()), totalMiB);
  LibraryTally tally = {};
  bool stopped = false;
  for (u32 i = 0; i < plan.size() && !stopped; ++i) {
    const Planned& p = plan[i];
    RunProgressNext(i, doneMiB);
    doneMiB += p.recording->entry.sizeMiB;
    std::string folder = p.path.substr(0, p.path.rfind('/'));
    if (!MakeFolders(folder.c_str(), &error)) {
      char reason[200];
      SystemErrorText(error, reason, sizeof reason);
      Say("%s: cannot make this folder: %s", folder.c_str(), reason);
      ++tally.failed;
      continue;
    }
    RescueRecord met;
    CopyTarget target = {p.path.c_str(), false, o.quiet, o.rescue, nullptr, RescueHint(o), c.source, false,
                         true, o.container == kContainerMkv, o.subtitles, false, &met};
    char written[1100];
    Ending ending = CopyToFreeName(false, true, p.path.c_str(), *p.recording, &target, written, sizeof written);
    if (ending == kEndStopped || ending == kEndClosed || Interrupted()) {
      stopped = true;
      break;
    }
    if (ending == kEndFailed) {
      ++tally.failed;
      continue;
    }
    bool fresh = ending != kEndSkipped;
    std::string damage;
    u64 unreadable = fresh && o.rescue ? UnreadableBytes(met) : 0;
    if (unreadable) {
      damage = DamageLine(p.bitrate ? double(unreadable) * 8 / double(p.bitrate) : 0);
      ++tally.damaged;
    }
    std::string failed;
    if (!WriteBeside(o.outputDir, p.entry, written, fresh, damage, PictureFor(o, p, written), &failed)) {
      Say("%s: cannot be written", failed.c_str());
      ++tally.failed;
      continue;
    }
    if (ending == kEndSkipped) ++tally.alreadyThere;
    else ++tally.added;
    if (ending == kEndRenamed) ++tally.renamed;
  }
  EndRunProgress();
  bool paged = WriteLibraryPage(o.outputDir);
  if (!paged) Say("%s/index.html: cannot be written", o.outputDir);
  if (stopped) {
    Say("%s", "stopped");
    return kExitStopped;
  }
  if (!o.quiet) Say("%s", TallyText(tally, u32(rows.size())).c_str());
  if (tally.failed || !paged || c.scanFailed) return kExitFailed;
  // Damage met makes the status 3 (main.cpp).
  return kExitDone;
}
