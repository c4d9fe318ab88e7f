#include "cli/catalog_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/catalog_card.h"
#include "cli/cli_port.h"
#include "cli/recording_commands.h"
#include "cli/os.h"
#include "files/output_file.h"
#include "cli/progress.h"
#include "cli/rescue_settings.h"
#include "platform/platform.h"
#include "platform/write_guard.h"

namespace {

bool WriteWhole(const std::string& path, const std::vector<u8>& bytes) {
  WriteVerdict verdict;
  u32 error;
  std::FILE* f = OpenStreamForWriting(path.c_str(), true, &verdict, &error);
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

void SayCannotWrite(const std::string& path) {
  Say("%s: cannot be written: %s", path.c_str(), std::strerror(errno ? errno : EIO));
}

// The run's folder and what it writes there.
struct Output {
  std::string folder;
  std::FILE* json;
  bool first;
  bool failed;  // a file could not be written
};

// The recording's picture, written as thumbs/INDEX.jpg; false when its
// bytes cannot be read. An old picture of that name goes when there is none.
bool AddPicture(const Options& o, const Recording& r, const ProbeRecord& record, Output* out,
                CatalogueCard* card) {
  std::string name = "thumbs/" + std::to_string(r.number) + ".jpg", path = out->folder + "/" + name;
  static Thumbnail picture;
  bool made = false, read = true;
  if (record.summary.transportStream && HasVideo(record.summary))
    read = PictureOfRecording(r, o.rescue, RescueHint(o), &picture, &made);
  if (made && !WriteWhole(path, picture.jpeg)) {
    SayCannotWrite(path);
    out->failed = true;
    made = false;
  }
  if (!made) {
    RemoveSideFile(path.c_str());
    return read;
  }
  card->thumbnail = name;
  card->thumbWidth = picture.width;
  card->thumbHeight = picture.height;
  return read;
}

void AddJson(const ProbeRecord& record, const CatalogueCard& card, Output* out) {
  std::fputs(out->first ? "\n  {" : ",\n  {", out->json);
  WriteProbeJsonMembers(out->json, record);
  WriteProbeJsonThumbnail(out->json, card.thumbnail.empty() ? nullptr : card.thumbnail.c_str());
  std::fputc('}', out->json);
  out->first = false;
}

// Ends catalog.json and writes the page: false (said) when either fails.
bool Finish(Output* out, const CataloguePage& page) {
  std::fputs(out->first ? "]\n" : "\n]\n", out->json);
  bool ok = !std::ferror(out->json);
  if (std::fclose(out->json) != 0 || !ok) {
    SayCannotWrite(out->folder + "/catalog.json");
    ok = false;
  }
  std::string html = out->folder + "/index.html";
  if (!WriteCataloguePage(html.c_str(), page)) {
    SayCannotWrite(html);
    ok = false;
  }
  return ok;
}

}  // namespace

int PrepareCatalog(const Options& o) {
  TargetKind kind = KindOfTarget(o.outputDir);
  if (kind != kTargetFolder && kind != kTargetMissing) {
    Say("%s: not a folder", o.outputDir);
    return kExitFailed;
  }
  return kExitDone;
}

int CatalogCommand(const Options& o, const Catalog& c) {
  std::vector<const Recording*> rows;
  if (!SelectionWays(o)) {
    for (const Recording& r : c.recordings) rows.push_back(&r);
  } else if (!SelectRecordings(o, c, &rows)) {
    return kExitFailed;
  }
  Output out{o.outputDir, nullptr, true, false};
  u32 error;
  if (!MakeFolders((out.folder + "/thumbs").c_str(), &error)) {
    char reason[200];
    SystemErrorText(error, reason, sizeof reason);
    Say("%s: cannot make this folder: %s", (out.folder + "/thumbs").c_str(), reason);
    return kExitFailed;
  }
  WriteVerdict verdict;
  if (!(out.json = OpenStreamForWriting((out.folder + "/catalog.json").c_str(), true, &verdict, &error))) {
    SayCannotWrite(out.folder + "/catalog.json");
    return kExitFailed;
  }
  std::fputc('[', out.json);
  static CataloguePage page;
  page.source = c.source;
  // The disk is found where --header says, and only there.
  page.options = o.headerSector ? "--header " + std::to_string(o.headerSector) : "";
  u32 listed = 0, done = 0;
  for (const Recording* r : rows) listed += r->entry.sizeMiB;
  CatchInterrupt();
  StartProgress(StderrIsTerminal(), listed);
  bool unread = false, stopped = false;
  static ProbeRecord record;
  for (size_t i = 0; i < rows.size() && !(stopped = Interrupted()); ++i) {
    const Recording& r = *rows[i];
    char label[160];
    FormatText(label, sizeof label, "%u/%u %s", unsigned(i + 1), unsigned(rows.size()), r.decoded);
    ProgressPercent(u32(i * 100 / rows.size()));
    ProgressLabel(label);
    bool probed = ProbeRecording(r, o.full, o.rescue, RescueHint(o), &record);
    if (!probed || record.middleUnread) unread = true;
    if (probed) {
      CatalogueCard card;
      CardOfProbe(record, &card);
      bool pictured = AddPicture(o, r, record, &out, &card);
      if ((stopped = Interrupted())) break;  // its picture was not looked for to the end
      if (!pictured) unread = true;
      AddJson(record, card, &out);
      page.cards.push_back(card);
    } else if ((stopped = record.stopped)) {
      break;
    }
    ProgressMiB(done += r.entry.sizeMiB);
  }
  EndProgress();
  bool written = Finish(&out, page);
  if (stopped) {
    Say("%s", "stopped");
    return kExitStopped;
  }
  return unread || !written || out.failed || c.scanFailed ? kExitFailed : kExitDone;
}
