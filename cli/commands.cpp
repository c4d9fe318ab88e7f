// The commands that read the recording table: list, info, check and
// extract, with the choice of recordings and where extract writes them.
#include "cli/commands.h"

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
#include "cli/output_file.h"
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

int CheckOutputChoice(const Options& o) {
  Destination d;
  int status = kExitDone;
  if (o.command != kExtract || PlanDestination(o, SelectsSeveral(o), &d, &status)) return kExitDone;
  if (status == kExitUsage) std::fputs(UsageText(kExtract), stderr);
  return status;
}

bool PlanDestination(const Options& o, bool several, Destination* d, int* status) {
  d->folder = o.outputDir;
  d->stream = false;
  *status = kExitFailed;
  const char* file = o.outputFile;
  if (file) {
    u32 n = u32(std::strlen(file));
    TargetKind kind = std::strcmp(file, "-") == 0 ? kTargetStream : KindOfTarget(file);
    if (kind == kTargetFolder || file[n - 1] == '/' || file[n - 1] == '\\') {
      d->folder = file;
    } else if (several) {
      Say("%s", "-o names one file; with several recordings use -d DIR or -o DIR/");
      *status = kExitUsage;
      return false;
    } else if (kind == kTargetDevice) {
      Say("%s: is a device, never written to", file);
      return false;
    } else if (std::strcmp(file, "-") == 0 && StandardOutputIsTerminal()) {
      Say("%s", "-o - writes the stream to standard output, which is a terminal");
      *status = kExitUsage;
      return false;
    } else {
      d->stream = kind == kTargetStream;
    }
  }
  if (d->folder && KindOfTarget(d->folder) != kTargetFolder &&
      KindOfTarget(d->folder) != kTargetMissing) {
    Say("%s: not a folder", d->folder);
    return false;
  }
  return true;
}

namespace {

// The file name recording r gets.
const char* OutputName(const Options& o, const Catalog& c,
                       const std::vector<std::string>& formatted, const Recording& r) {
  // A lost recording is no row of the catalog and keeps its name.
  bool listed = o.nameFormat && r.number >= 1 && r.number <= c.recordings.size() &&
                &c.recordings[r.number - 1] == &r;
  return listed ? formatted[r.number - 1].c_str() : r.file;
}

// Where recording r goes; false when the path is too long.
bool OutputPath(const Options& o, const Destination& d, const Catalog& c,
                const std::vector<std::string>& formatted, const Recording& r, char* path, u32 size) {
  const char* file = OutputName(o, c, formatted, r);
  if (d.folder || !o.outputFile) return JoinPath(d.folder, file, path, size);
  return FormatText(path, size, "%s", o.outputFile) < size - 1;
}

// Several recordings: the bytes their outputs still need against the
// folder's free space (an output kept as it exists needs none, a .part
// holds some). False, said, when they do not fit.
bool SpaceSuffices(const Options& o, const Destination& d, const Catalog& c,
                   const std::vector<std::string>& formatted,
                   const std::vector<const Recording*>& rows) {
  const char* folder = d.folder ? d.folder : ".";
  u64 need = 0, available = 0, held = 0;
  char path[1100], part[1200];
  for (const Recording* r : rows) {
    if (!OutputPath(o, d, c, formatted, *r, path, sizeof path)) continue;  // said when copied
    if (!o.force && KindOfTarget(path) != kTargetMissing) continue;     // skipped
    u64 bytes = OutputBytes(*r, o.rescue);
    FormatText(part, sizeof part, "%s.part", path);
    need += bytes - (SizeOfFile(part, &held) && held < bytes ? held : 0);
  }
  if (!FreeSpace(folder, &available) || available >= need) return true;
  const double kMiB = 1048576.0;
  Say("%s: %.1f MiB free, the outputs still need %.1f MiB: %.1f MiB missing; nothing copied "
      "(--ignore-space copies what fits)",
      folder, available / kMiB, need / kMiB, (need - available) / kMiB);
  return false;
}

bool OnSource(const Options& o, const char* path) {
  if (IsDiskDevice(path)) return true;
  for (u32 i = 0; i < o.sourceCount; ++i)
    if (SameFile(path, o.sources[i])) return true;
  return false;
}

}  // namespace

int ListCommand(const Options& o, const Catalog& c) {
  if (o.longList) {
    std::vector<LongListRow> rows;
    for (const Recording& r : c.recordings)
      rows.push_back({r.number, r.entry.entry, r.entry.firstCluster, AllocatedBytes(r), r.decoded,
                      r.damage, r.unreadableKnown, r.unreadableBytes});
    WriteLongList(stdout, rows);
    return c.scanFailed ? kExitFailed : kExitDone;
  }
  u32 width = DecimalDigits(c.recordings.size());
  if (o.json) std::fputs(c.recordings.empty() ? "[" : "[\n", stdout);
  for (const Recording& r : c.recordings) {
    if (!o.json) {
      std::printf("%*u  %s  %uMo\n", int(width), r.number, r.decoded, r.entry.sizeMiB);
      continue;
    }
    std::fputs("  ", stdout);
    WriteJsonRecording(stdout, r.number, r.entry.name, r.entry.firstCluster, r.entry.sizeMiB,
                       r.entry.text);
    std::printf(", \"clusters\": %u, \"allocated_bytes\": %llu, \"decoded_name\": ",
                r.entry.clusters, static_cast<unsigned long long>(AllocatedBytes(r)));
    WriteJsonUtf8(stdout, r.decoded);
    std::fputs(", \"source\": ", stdout);
    WriteJsonUtf8(stdout, c.source);
    if (r.unreadableKnown)
      std::printf(", \"unreadable_bytes\": %llu", static_cast<unsigned long long>(r.unreadableBytes));
    if (r.damage[0]) {
      std::fputs(", \"damaged\": ", stdout);
      WriteJsonString(stdout, r.damage);
    }
    std::printf(", \"slot\": %u", r.entry.entry);
    std::fputs(&r == &c.recordings.back() ? "}\n" : "},\n", stdout);
  }
  if (o.json) std::fputs("]\n", stdout);
  return c.scanFailed ? kExitFailed : kExitDone;
}

int CheckDiskCommand(const Options& o, const Catalog& c) {
  return CheckCommand(o.json, o.charset, c.source, stdout);
}

int InfoCommand(const Options& o, const Catalog& c) {
  if (!o.json) {
    char text[kInfoTextSize];
    FormatInfoText(u32(c.recordings.size()), text, sizeof text);
    std::fputs(text, stdout);
    return c.scanFailed ? kExitFailed : kExitDone;
  }
  u32 clusterBytes = g_disk.sectorsPerCluster * kSectorSize;
  std::printf("{\"hard_disk\": %u, \"partition\": %u, \"sectors_per_cluster\": %u, "
              "\"cluster_count\": %u, \"table_start\": %u, \"table_interleave\": %u, "
              "\"table_size\": %u, \"directory_start\": %u, \"directory_interleave\": %u, "
              "\"directory_size\": %u, \"data_start\": %u, \"byte_order\": \"%s\", "
              "\"cluster_bytes\": %u, \"usable_cluster_bytes\": %u, \"partition_gib\": %.2f, "
              "\"recordings\": %u, \"source\": ",
              g_disk.diskNumber, g_disk.partitionIndex + 1, g_disk.sectorsPerCluster,
              g_disk.clusterCount, g_disk.tableStart, g_disk.tableInterleave, g_disk.tableSize,
              g_disk.directoryStart, g_disk.directoryInterleave, g_disk.directorySize,
              g_disk.dataStart, ByteOrderName(), clusterBytes, g_disk.usableClusterBytes,
              PartitionGiB(), u32(c.recordings.size()));
  WriteJsonUtf8(stdout, c.source);
  std::fputs("}\n", stdout);
  return c.scanFailed ? kExitFailed : kExitDone;
}

int ExtractCommand(const Options& o, const Catalog& c) {
  std::vector<const Recording*> rows;
  if (!SelectRecordings(o, c, &rows)) return kExitFailed;
  bool several = SelectsSeveral(o);
  Destination d;
  int status;
  if (!PlanDestination(o, several || rows.size() > 1, &d, &status)) return status;
  if (rows.empty()) {
    if (!o.quiet) Say("%s", o.allLost ? "no lost recordings found" : "the disk holds no recordings");
    return c.scanFailed ? kExitFailed : kExitDone;
  }
  u32 error;
  if (d.folder && !MakeFolders(d.folder, &error)) {
    char reason[200];
    SystemErrorText(error, reason, sizeof reason);
    Say("%s: cannot make this folder: %s", d.folder, reason);
    return kExitFailed;
  }
  std::FILE* report = nullptr;
  // Binary: the same bytes, LF line ends, on every system.
  if (o.report && !(report = std::fopen(o.report, "wb"))) {
    Say("%s: cannot create the report: %s", o.report, std::strerror(errno));
    return kExitFailed;
  }
  std::vector<std::string> formatted;
  if (o.nameFormat) FormatFileNames(o.nameFormat, o.rescue, c, &formatted);
  if (!d.stream && (several || rows.size() > 1) && !o.ignoreSpace &&
      !SpaceSuffices(o, d, c, formatted, rows)) {
    if (report) std::fclose(report);
    return kExitFailed;
  }
  CatchInterrupt();
  u32 extracted = 0, skipped = 0, failed = 0;
  for (const Recording* row : rows) {
    const Recording& r = *row;
    char path[1100];
    bool joined = OutputPath(o, d, c, formatted, r, path, sizeof path);
    if (Interrupted()) {
      Say("stopped before %s", joined ? path : OutputName(o, c, formatted, r));
      return kExitStopped;
    }
    if (!joined) {
      Say("%s: output path too long", OutputName(o, c, formatted, r));
      ++failed;
      continue;
    }
    if (!d.stream && OnSource(o, path)) {
      Say("%s: is a disk or source, never written to", path);
      ++failed;
      continue;
    }
    if (!d.stream && !o.force && KindOfTarget(path) != kTargetMissing) {
      if (!several && OutputIsComplete(r, o.rescue, path)) {
        if (!o.quiet) Say("%s: is there complete (its size and last block are the recording's)", path);
        return kExitDone;
      }
      if (!several) {
        Say("%s: exists; use --force to replace it", path);
        return kExitFailed;
      }
      Say("%s: exists, skipped (--force replaces it)", path);
      ++skipped;
      continue;
    }
    CopyTarget target = {path, d.stream, o.quiet, o.rescue, report, RescueHint(o), c.source};
    CopyOutcome outcome = CopyToTarget(r, target);
    if (outcome == kCopyStopped || outcome == kCopyClosed) {
      if (report) std::fclose(report);
      return outcome == kCopyStopped ? kExitStopped : kExitDone;
    }
    if (outcome == kCopyDone) ++extracted;
    else ++failed;
  }
  if (several && !o.quiet)
    Say("%u recording%s: %u extracted, %u skipped, %u failed", u32(rows.size()),
        rows.size() == 1 ? "" : "s", extracted, skipped, failed);
  if (report && std::fclose(report) != 0) {
    Say("%s: cannot write the report: %s", o.report, std::strerror(errno));
    return kExitFailed;
  }
  return failed || c.scanFailed ? kExitFailed : kExitDone;
}
